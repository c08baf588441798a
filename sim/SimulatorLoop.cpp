#include "sim/SimulatorLoop.h"

#include "protocol/FrameCodec.h"
#include "sim/EventGenerator.h"
#include "sim/HexText.h"
#include "sim/LogStore.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
/// Written by the signal handler, watched by the loop.
int g_signalPipe[2] = {-1, -1};

void HandleStopSignal(int)
{
    const char byte = 1;
    const ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
    (void)ignored;
}

bool InstallSignals(std::string& error)
{
    if (pipe2(g_signalPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    struct sigaction stop
    {
    };
    stop.sa_handler = HandleStopSignal;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGHUP, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

bool ParseInt(std::string_view text, long long low, long long high, long long& value)
{
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size() &&
           value >= low && value <= high;
}

/// The first word of `text` and what follows the blanks after it.
std::string_view NextWord(std::string_view& text)
{
    const std::size_t start = std::min(text.find_first_not_of(' '), text.size());
    text.remove_prefix(start);
    const std::size_t end = std::min(text.find(' '), text.size());
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(end);
    const std::size_t next = std::min(text.find_first_not_of(' '), text.size());
    text.remove_prefix(next);
    return word;
}
} // namespace

SimulatorLoop::SimulatorLoop(SimOptions options)
    : m_options(std::move(options)), m_random(m_options.seed),
      m_replyDelayMs(m_options.replyDelayMs)
{
    m_state.setVersion(m_options.version);
    for (const int code : m_options.nakCodes)
        m_state.setReplyOverride(code, "NAK");
    if (m_options.events > 0)
        m_state.setEvents(
            EventGenerator::Generate(m_options.events, m_options.seed, TarnDateTime::Now()));
}

SimulatorLoop::~SimulatorLoop()
{
    removeLink();
}

int SimulatorLoop::run()
{
    std::string error;
    if (!setUp(error)) {
        std::fprintf(stderr, "tarn-sim: %s\n", error.c_str());
        return 1;
    }
    Say(m_line.slavePath());
    Say("READY");

    bool hungUp = false;
    while (!m_quit) {
        writeDue(Clock::now());

        std::vector<pollfd> fds;
        fds.push_back({g_signalPipe[0], POLLIN, 0});
        const std::size_t controlIndex = fds.size();
        if (m_controlOpen)
            fds.push_back({STDIN_FILENO, POLLIN, 0});
        const std::size_t lineIndex = fds.size();
        if (!hungUp)
            fds.push_back({m_line.masterFd(), POLLIN, 0});

        timespec wait{};
        timespec* timeout = nullptr;
        auto until = Clock::time_point::max();
        if (!m_pending.empty())
            until = m_pending.front().due;
        if (hungUp)
            until = std::min(until, Clock::now() + std::chrono::milliseconds(kHangupBackoffMs));
        if (until != Clock::time_point::max()) {
            const auto left = std::max(Clock::duration::zero(), until - Clock::now());
            const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            wait.tv_sec = static_cast<time_t>(nanos / 1000000000);
            wait.tv_nsec = static_cast<long>(nanos % 1000000000);
            timeout = &wait;
        }
        const int ready = ppoll(fds.data(), fds.size(), timeout, nullptr);
        if (ready < 0 && errno != EINTR) {
            std::fprintf(stderr, "tarn-sim: poll: %s\n", std::strerror(errno));
            return 1;
        }
        if (ready <= 0) {
            hungUp = false;
            continue;
        }
        if (fds[0].revents != 0)
            break;
        if (m_controlOpen && fds[controlIndex].revents != 0)
            readControl();
        if (!hungUp && fds[lineIndex].revents != 0)
            readLine(hungUp);
        else
            hungUp = false;
    }
    writeDue(Clock::now());
    return 0;
}

bool SimulatorLoop::setUp(std::string& error)
{
    if (!InstallSignals(error) || !m_line.open(error))
        return false;
    if (!m_options.journalPath.empty() && !m_journal.open(m_options.journalPath, error))
        return false;
    if (!m_options.faultJournalPath.empty() &&
        !m_faultJournal.open(m_options.faultJournalPath, error))
        return false;
    if (!m_options.storePath.empty()) {
        struct stat existing
        {
        };
        if (stat(m_options.storePath.c_str(), &existing) == 0) {
            std::vector<std::string> events;
            std::size_t readPointer = 0;
            if (!LogStore::Load(m_options.storePath, events, readPointer, error))
                return false;
            m_state.setEvents(std::move(events));
            m_state.setReadPointer(readPointer);
        }
        if (!saveStore(false, error))
            return false;
    }
    if (!m_options.linkPath.empty() && !makeLink(error))
        return false;
    const int flags = fcntl(STDIN_FILENO, F_GETFL);
    if (flags >= 0)
        fcntl(STDIN_FILENO, F_SETFL, flags | O_NONBLOCK);
    m_start = Clock::now();
    m_receivedUntil = m_start;
    m_lineFreeAt = m_start;
    return true;
}

bool SimulatorLoop::makeLink(std::string& error)
{
    struct stat existing
    {
    };
    if (lstat(m_options.linkPath.c_str(), &existing) == 0 &&
        unlink(m_options.linkPath.c_str()) != 0) {
        error = "cannot replace " + m_options.linkPath + ": " + std::strerror(errno);
        return false;
    }
    if (symlink(m_line.slavePath().c_str(), m_options.linkPath.c_str()) != 0) {
        error = "cannot link " + m_options.linkPath + ": " + std::strerror(errno);
        return false;
    }
    m_linkMade = true;
    return true;
}

void SimulatorLoop::removeLink()
{
    if (!m_linkMade)
        return;
    m_linkMade = false;
    // Only our own link: another simulator may have taken the name over meanwhile.
    char target[4096];
    const ssize_t length = readlink(m_options.linkPath.c_str(), target, sizeof target);
    if (length > 0 &&
        std::string_view(target, static_cast<std::size_t>(length)) == m_line.slavePath())
        unlink(m_options.linkPath.c_str());
}

void SimulatorLoop::readLine(bool& hungUp)
{
    for (;;) {
        std::string bytes;
        const PtyLine::ReadStatus status = m_line.read(bytes);
        if (status == PtyLine::ReadStatus::Data) {
            handleLineBytes(bytes, Clock::now());
            continue;
        }
        if (status == PtyLine::ReadStatus::Hangup || status == PtyLine::ReadStatus::Failed) {
            // Nobody holds the port; whatever was half received belongs to nobody now.
            hungUp = true;
            m_cutter.clear();
        }
        return;
    }
}

void SimulatorLoop::readControl()
{
    char buffer[4096];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR)) {
        // End of input is not the end of the simulator: tests may close it.
        m_controlOpen = false;
        return;
    }
    if (count < 0)
        return;
    for (ssize_t i = 0; i < count && !m_quit; ++i) {
        const char c = buffer[i];
        if (c == '\n') {
            if (m_discardingControl)
                Say("ERR line too long");
            else
                handleControlLine(m_controlBuffer);
            m_controlBuffer.clear();
            m_discardingControl = false;
            continue;
        }
        if (m_discardingControl)
            continue;
        m_controlBuffer.push_back(c);
        if (m_controlBuffer.size() > kMaxControlLine) {
            m_controlBuffer.clear();
            m_controlBuffer.shrink_to_fit();
            m_discardingControl = true;
        }
    }
}

void SimulatorLoop::handleLineBytes(std::string_view bytes, Clock::time_point now)
{
    const auto byteTime = wireTime(1);
    for (const char byte : bytes) {
        m_receivedUntil = std::max(m_receivedUntil, now) + byteTime;
        FrameCutter::Result cut = m_cutter.feed(byte);
        if (cut.kind == FrameCutter::Result::Kind::Frame)
            handleFrame(cut.frame, m_receivedUntil);
    }
    writeDue(Clock::now());
}

void SimulatorLoop::handleFrame(const std::string& frame, Clock::time_point receivedAt)
{
    const CheckedFrame checked = CheckFrame(frame);
    // One time for the frame's lines in both journals, so that they can be matched.
    const double seconds = secondsSinceStart();
    if (checked.status != CheckedFrame::Status::Ok) {
        m_journal.badFrame(seconds, frame);
        return;
    }
    m_journal.frame(seconds, checked.command, checked.data);
    ++m_requests;
    if (m_mute > 0 && (m_muteCommand < 0 || m_muteCommand == checked.command)) {
        --m_mute;
        m_faultJournal.fault(seconds, checked.command, checked.data, "muted");
        return;
    }
    if (m_options.dropEvery > 0 && m_requests % m_options.dropEvery == 0) {
        m_faultJournal.fault(seconds, checked.command, checked.data, "dropped");
        return;
    }

    const std::string data = m_state.reply(checked.command, checked.data);
    // Stored before the reply leaves, as the controller does before it answers.
    std::string error;
    if (!saveStore(true, error))
        std::fprintf(stderr, "tarn-sim: %s\n", error.c_str());
    ++m_replies;
    std::string bytes;
    if (m_options.noiseEvery > 0 && m_replies % m_options.noiseEvery == 0) {
        bytes = noiseBurst();
        m_faultJournal.fault(seconds, checked.command, checked.data, "noise");
    }
    std::string reply = BuildRequestFrame(kPcAddress, kControllerAddress, checked.command, data);
    if (m_options.corruptEvery > 0 && m_replies % m_options.corruptEvery == 0) {
        reply = CorruptChecksum(std::move(reply));
        m_faultJournal.fault(seconds, checked.command, checked.data, "corrupted");
    }
    bytes += reply;
    schedule(std::move(bytes), receivedAt + replyDelay());
}

void SimulatorLoop::handleControlLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.find_first_not_of(' ') == std::string_view::npos)
        return;
    std::string error;
    if (runControl(line, error) && saveStore(false, error))
        Say("OK");
    else
        Say("ERR " + error);
}

bool SimulatorLoop::saveStore(bool onlyIfMoved, std::string& error)
{
    if (m_options.storePath.empty())
        return true;
    if (onlyIfMoved && m_state.readPointer() == m_savedPointer &&
        m_state.eventCount() == m_savedEvents)
        return true;
    if (!LogStore::Save(m_options.storePath, m_state.events(), m_state.readPointer())) {
        error = "cannot write " + m_options.storePath;
        return false;
    }
    m_savedPointer = m_state.readPointer();
    m_savedEvents = m_state.eventCount();
    return true;
}

bool SimulatorLoop::runControl(std::string_view line, std::string& error)
{
    std::string_view rest = line;
    const std::string_view word = NextWord(rest);
    long long number = 0;

    if (word == "inputs")
        return m_state.setInputs(rest, error);
    if (word == "delays")
        return m_state.setDelays(rest, error);
    if (word == "admin")
        return m_state.setAdminData(rest, error);
    if (word == "event")
        return m_state.appendEvent(rest, error);
    if (word == "version") {
        m_state.setVersion(std::string(rest));
        return true;
    }
    if (word == "clear-events") {
        m_state.clearEvents();
        return true;
    }
    if (word == "profile") {
        const std::string_view zone = NextWord(rest);
        long long id = 0;
        if (!ParseInt(zone, 0, ControllerState::kZones - 1, number) ||
            !ParseInt(rest, 0, std::numeric_limits<uint32_t>::max(), id)) {
            error = "usage: profile ZONE(0..2) ID";
            return false;
        }
        return m_state.setProfileId(static_cast<int>(number), static_cast<uint32_t>(id), error);
    }
    if (word == "ack") {
        const std::string_view code = NextWord(rest);
        if (!ParseInt(code, 0, 255, number)) {
            error = "usage: ack CODE [TEXT]";
            return false;
        }
        if (rest.empty())
            m_state.clearReplyOverride(static_cast<int>(number));
        else
            m_state.setReplyOverride(static_cast<int>(number), std::string(rest));
        return true;
    }
    if (word == "mute") {
        const std::string_view count = NextWord(rest);
        long long command = -1;
        if (!ParseInt(count, 0, std::numeric_limits<int>::max(), number) ||
            (!rest.empty() && !ParseInt(rest, 0, 255, command))) {
            error = "usage: mute N [CODE]";
            return false;
        }
        m_mute = number;
        m_muteCommand = static_cast<int>(command);
        return true;
    }
    if (word == "faults") {
        long long values[3] = {};
        for (long long& value : values) {
            if (!ParseInt(NextWord(rest), 0, std::numeric_limits<int>::max(), value)) {
                error = "usage: faults DROP-EVERY CORRUPT-EVERY NOISE-EVERY (0 = none)";
                return false;
            }
        }
        m_options.dropEvery = static_cast<int>(values[0]);
        m_options.corruptEvery = static_cast<int>(values[1]);
        m_options.noiseEvery = static_cast<int>(values[2]);
        return true;
    }
    if (word == "delay") {
        if (!ParseInt(rest, 0, SimOptions::kMaxDelayMs, number)) {
            error = "usage: delay MS (0.." + std::to_string(SimOptions::kMaxDelayMs) + ")";
            return false;
        }
        m_replyDelayMs = static_cast<int>(number);
        return true;
    }
    if (word == "frame") {
        const std::string_view code = NextWord(rest);
        std::string data;
        if (!ParseInt(code, 0, 255, number) || !HexToBytes(rest, data)) {
            error = "usage: frame CODE [HEXDATA]";
            return false;
        }
        schedule(BuildRequestFrame(kPcAddress, kControllerAddress, static_cast<int>(number), data),
                 Clock::now());
        writeDue(Clock::now());
        return true;
    }
    if (word == "raw") {
        std::string bytes;
        if (!HexToBytes(rest, bytes) || bytes.empty()) {
            error = "usage: raw HEXBYTES";
            return false;
        }
        schedule(std::move(bytes), Clock::now());
        writeDue(Clock::now());
        return true;
    }
    if (word == "quit") {
        m_quit = true;
        return true;
    }
    error = "unknown command " + std::string(word);
    return false;
}

void SimulatorLoop::schedule(std::string bytes, Clock::time_point readyAt)
{
    const auto start = std::max(readyAt, m_lineFreeAt);
    const auto due = start + wireTime(bytes.size());
    m_lineFreeAt = due;
    m_pending.push_back({due, std::move(bytes)});
}

void SimulatorLoop::writeDue(Clock::time_point now)
{
    while (!m_pending.empty() && m_pending.front().due <= now) {
        std::string error;
        if (!m_line.write(m_pending.front().bytes, error))
            std::fprintf(stderr, "tarn-sim: %s\n", error.c_str());
        m_pending.pop_front();
    }
}

SimulatorLoop::Clock::duration SimulatorLoop::wireTime(std::size_t bytes) const
{
    if (m_options.lineRate <= 0)
        return Clock::duration::zero();
    const auto nanos =
        static_cast<long long>(bytes) * kBitsPerByte * 1000000000LL / m_options.lineRate;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(nanos));
}

SimulatorLoop::Clock::duration SimulatorLoop::replyDelay() const
{
    return std::chrono::milliseconds(m_replyDelayMs);
}

std::string SimulatorLoop::noiseBurst()
{
    const int length = 1 + static_cast<int>(m_random() % kMaxNoiseBytes);
    std::string bytes;
    for (int i = 0; i < length; ++i)
        bytes.push_back(static_cast<char>(m_random() % kFrameEndByte));
    return bytes;
}

std::string SimulatorLoop::CorruptChecksum(std::string frame)
{
    if (frame.size() < 2)
        return frame;
    const auto sound = static_cast<uint8_t>(frame[frame.size() - 2]);
    uint8_t wrong = sound ^ 0x01;
    if (wrong == kFrameEndByte)
        wrong = sound ^ 0x02;
    frame[frame.size() - 2] = static_cast<char>(wrong);
    return frame;
}

double SimulatorLoop::secondsSinceStart() const
{
    return std::chrono::duration<double>(Clock::now() - m_start).count();
}

void SimulatorLoop::Say(const std::string& line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
