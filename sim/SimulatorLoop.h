#pragma once

#include "protocol/FrameCutter.h"
#include "sim/ControllerState.h"
#include "sim/Journal.h"
#include "sim/PtyLine.h"
#include "sim/SimOptions.h"

#include <chrono>
#include <deque>
#include <random>
#include <string>
#include <string_view>

/// Serves the line and the operator's commands on standard input until "quit", SIGTERM or
/// SIGINT: cuts the received bytes into frames, answers them from ControllerState and injects
/// the faults and the line timing that the options ask for.
class SimulatorLoop
{
public:
    /// Between two looks at a line that no PC holds open.
    static constexpr int kHangupBackoffMs = 30;
    /// Longest operator line; a longer one is thrown away.
    static constexpr std::size_t kMaxControlLine = 65536;
    /// Longest burst of line noise.
    static constexpr int kMaxNoiseBytes = 16;
    static constexpr int kBitsPerByte = 10;

    explicit SimulatorLoop(SimOptions options);
    ~SimulatorLoop();
    SimulatorLoop(const SimulatorLoop&) = delete;
    SimulatorLoop& operator=(const SimulatorLoop&) = delete;

    /// Sets up, prints the terminal's path and READY, serves; the process exit code.
    int run();

private:
    using Clock = std::chrono::steady_clock;
    struct PendingWrite
    {
        Clock::time_point due;
        std::string bytes;
    };

    bool setUp(std::string& error);
    bool makeLink(std::string& error);
    void removeLink();
    void readLine(bool& hungUp);
    void readControl();
    void handleLineBytes(std::string_view bytes, Clock::time_point now);
    void handleFrame(const std::string& frame, Clock::time_point receivedAt);
    void handleControlLine(std::string_view line);
    bool runControl(std::string_view line, std::string& error);
    /// Writes the log memory to the store file, when there is one; `onlyIfMoved`: only when
    /// the read position or the number of events changed since the last write.
    bool saveStore(bool onlyIfMoved, std::string& error);
    void schedule(std::string bytes, Clock::time_point readyAt);
    void writeDue(Clock::time_point now);
    Clock::duration wireTime(std::size_t bytes) const;
    Clock::duration replyDelay() const;
    std::string noiseBurst();
    static std::string CorruptChecksum(std::string frame);
    double secondsSinceStart() const;
    static void Say(const std::string& line);

    SimOptions m_options;
    ControllerState m_state;
    PtyLine m_line;
    Journal m_journal;
    Journal m_faultJournal;
    FrameCutter m_cutter;
    std::mt19937 m_random;
    Clock::time_point m_start;
    Clock::time_point m_receivedUntil;
    Clock::time_point m_lineFreeAt;
    std::deque<PendingWrite> m_pending;
    int m_replyDelayMs = 0;
    long long m_mute = 0;
    /// The command whose requests m_mute counts; -1 for every command.
    int m_muteCommand = -1;
    long long m_requests = 0;
    long long m_replies = 0;
    std::string m_controlBuffer;
    bool m_controlOpen = true;
    bool m_discardingControl = false;
    bool m_quit = false;
    /// What the store file holds: the read position and the number of events.
    std::size_t m_savedPointer = 0;
    std::size_t m_savedEvents = 0;
    bool m_linkMade = false;
};
