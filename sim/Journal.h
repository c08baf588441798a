#pragma once

#include <fstream>
#include <string>
#include <string_view>

/// One line per received frame, flushed at once so that a reader sees it while the simulator
/// runs: "<seconds> <command> <data hex>" or "<seconds> BAD <frame hex>".
class Journal
{
public:
    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return m_out.is_open(); }

    void frame(double seconds, int command, std::string_view data);
    void badFrame(double seconds, std::string_view frame);
    /// A request whose reply was not sent as it should: "<seconds> <command> <data hex> <what>",
    /// `what` one of "muted", "dropped", "corrupted", "noise".
    void fault(double seconds, int command, std::string_view data, std::string_view what);

    /// "<seconds with 3 decimals>"
    static std::string FormatSeconds(double seconds);

private:
    void writeLine(const std::string& line);
    std::ofstream m_out;
};
