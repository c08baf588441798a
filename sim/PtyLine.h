#pragma once

#include <string>
#include <string_view>

/// The controller's end of the serial line: the master of a pseudo-terminal pair, whose slave
/// the PC opens as its serial port. The line is raw both ways, bytes 0..255 pass unchanged.
class PtyLine
{
public:
    /// How long a write waits for room when the PC does not read.
    static constexpr int kWriteTimeoutMs = 1000;

    enum class ReadStatus
    {
        Data,
        NothingYet,
        /// No slave is open: the PC closed the port or has not opened it yet.
        Hangup,
        Failed
    };

    PtyLine() = default;
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    bool open(std::string& error);
    int masterFd() const { return m_master; }
    const std::string& slavePath() const { return m_slavePath; }

    /// Appends what is waiting to `bytes`.
    ReadStatus read(std::string& bytes);
    /// Writes all of `bytes`; when no PC holds the line open they are dropped.
    bool write(std::string_view bytes, std::string& error);

private:
    int m_master = -1;
    std::string m_slavePath;
};
