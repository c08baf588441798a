#include "ChaosChecks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <set>
#include <sstream>

namespace ChaosChecks {

namespace {

constexpr int kSetClock = 65;
constexpr int kLogControl = 66;
constexpr int kReadAdmin = 51;
constexpr int kReadEvent = 48;
constexpr int kSetDelays = 98;
constexpr int kSetAdmin = 99;
constexpr int kSetOutputs = 100;
constexpr int kSetProfile = 102;
constexpr int kSetZoneProfile = 104;
constexpr char kLogRewind = 1;
constexpr char kLogDeleteAll = 0;
/// An output goes off within its pause and this much after its hold or test ended.
constexpr double kOffMargin = 1.0;
/// Length of the delays in command 98's data: ten two-digit fields.
constexpr std::size_t kDelaysDigits = 20;
constexpr int kOutputBits = 16;
/// The simulator's journal gives its times rounded to the millisecond: a word sent right
/// after its start may read as a little before it.
constexpr double kJournalResolution = 0.001;

std::string Format(const char* format, double a, double b = 0, double c = 0)
{
    char text[256];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

std::vector<Request> Sorted(const Round& round)
{
    std::vector<Request> requests = round.requests;
    std::stable_sort(requests.begin(), requests.end(),
                     [](const Request& a, const Request& b) { return a.at < b.at; });
    return requests;
}

bool InFault(const Round& round, double at)
{
    return std::any_of(round.faultSpans.begin(), round.faultSpans.end(),
                       [&](const auto& span) { return at >= span.first && at <= span.second; });
}

/// The serials the controller may have had at `at`: more than one while a change was made.
std::set<std::string> SerialsAt(const Round& round, double at)
{
    std::set<std::string> serials;
    const Identity* settled = nullptr;
    for (const Identity& identity : round.identities) {
        if (identity.until <= at && (!settled || identity.until >= settled->until))
            settled = &identity;
        else if (identity.from <= at && at < identity.until)
            serials.insert(identity.serial);
    }
    if (settled)
        serials.insert(settled->serial);
    return serials;
}

std::string Hex2(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

int OutputWord(const std::string& data)
{
    try {
        return std::stoi(data, nullptr, 16);
    } catch (...) {
        return 0;
    }
}

} // namespace

void Figures::add(const Figures& other)
{
    outputsOn += other.outputsOn;
    outputsOff += other.outputsOff;
    worstOff = std::max(worstOff, other.worstOff);
    writes += other.writes;
    eventsChecked += other.eventsChecked;
    eventsLost += other.eventsLost;
    eventsUnattributed += other.eventsUnattributed;
    waitsEnded += other.waitsEnded;
    worstKey = std::max(worstKey, other.worstKey);
}

bool IsWrite(const Request& request)
{
    switch (request.command) {
    case kSetClock:
    case kSetDelays:
    case kSetAdmin:
    case kSetProfile:
    case kSetZoneProfile:
        return true;
    case kLogControl:
        return request.data == std::string(1, kLogDeleteAll);
    default:
        return false;
    }
}

std::vector<std::string> CheckOutputs(const Round& round, Figures& figures)
{
    std::vector<std::string> failures;
    const std::vector<Request> requests = Sorted(round);
    // Every change of the controller's outputs: an outputs word it took, or its power gone.
    struct Change
    {
        double at;
        int word;
    };
    std::vector<Change> changes;
    for (const Request& request : requests)
        if (request.command == kSetOutputs && request.answered)
            changes.push_back({request.at, OutputWord(request.data)});
    for (double kill : round.kills)
        changes.push_back({kill, 0});
    std::stable_sort(changes.begin(), changes.end(),
                     [](const Change& a, const Change& b) { return a.at < b.at; });

    int word = 0;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const int switchedOn = changes[i].word & ~word;
        word = changes[i].word;
        const double on = changes[i].at;
        for (int bit = 0; bit < kOutputBits; ++bit) {
            if (!(switchedOn & (1 << bit)))
                continue;
            ++figures.outputsOn;
            double off = -1;
            for (std::size_t k = i + 1; k < changes.size() && off < 0; ++k)
                if (!(changes[k].word & (1 << bit)))
                    off = changes[k].at;
            // The end of its hold or test: the technician's first after it began, or the
            // timed test's own.
            const OutputStart* start = nullptr;
            for (const OutputStart& s : round.starts)
                if (s.at <= on + kJournalResolution && (!start || s.at >= start->at))
                    start = &s;
            const double began = start ? start->at : on;
            double end = -1;
            for (double e : round.ends)
                if (e >= began && (end < 0 || e < end))
                    end = e;
            if (start && start->runtime > 0 && (end < 0 || on + start->runtime < end))
                end = on + start->runtime;
            const std::string what = Format("output bit %.0f switched on at %.3f s", bit, on);
            if (end < 0) {
                failures.push_back(what + ": its hold or test never ended");
                continue;
            }
            if (off < 0) {
                failures.push_back(what + Format(", ended at %.3f s, never switched off", end));
                continue;
            }
            ++figures.outputsOff;
            figures.worstOff = std::max(figures.worstOff, off - end);
            // Each request without a clean reply costs its time-out, and the pause the program
            // keeps after an outputs command before it tries again.
            double allowed = end + round.pause + kOffMargin;
            for (const Request& request : requests)
                if (request.at >= end - round.replyTimeout && request.at <= off &&
                    (!request.answered || !request.clean || InFault(round, request.at)))
                    allowed += round.replyTimeout + round.pause;
            if (off > allowed)
                failures.push_back(what + Format(", ended at %.3f s, off only at %.3f s (allowed "
                                                 "%.3f s)",
                                                 end, off, allowed));
        }
    }
    return failures;
}

std::vector<std::string> CheckWrites(const Round& round, Figures& figures)
{
    std::vector<std::string> failures;
    std::string delays = round.delaysBefore;
    double delaysSetAt = 0;
    const std::vector<Request> requests = Sorted(round);
    for (const Request& request : requests) {
        if (!IsWrite(request))
            continue;
        // A controller started again holds its delays as it starts.
        if (std::any_of(round.kills.begin(), round.kills.end(),
                        [&](double kill) { return kill > delaysSetAt && kill < request.at; }))
            delays = round.delaysBefore;
        ++figures.writes;
        const std::string what = Format("write %.0f at %.3f s", request.command, request.at);
        // The question of this write: the last one asked for its command (the journal's clock
        // and the round's differ by milliseconds, and the next question may come that close).
        const WriteAsk* ask = nullptr;
        for (const WriteAsk& a : round.asks)
            if (a.command == request.command && a.at <= request.at && (!ask || a.at >= ask->at))
                ask = &a;
        if (!ask) {
            failures.push_back(what + ": nobody asked for it");
            continue;
        }
        // The controller is identified again between the question and the write. One swapped
        // after that, in the fraction of a second before the write, no program can see.
        const Request* identified = nullptr;
        for (const Request& r : requests)
            if (r.command == kReadAdmin && !r.damaged && r.at > ask->at && r.at < request.at)
                identified = &r;
        if (!identified) {
            failures.push_back(what + ": written without identifying the controller after it "
                                      "was asked for");
        } else if (const std::set<std::string> serials = SerialsAt(round, identified->at);
                   !serials.count(ask->shownSerial)) {
            std::string to;
            for (const std::string& serial : serials)
                to += (to.empty() ? "" : " or ") + serial;
            failures.push_back(what + ": reached serial " + to + ", the window showed serial " +
                               ask->shownSerial);
        }
        if (request.command == kSetClock && round.wallStart > 0) {
            // The PC's own time, as the controller's clock text "YYYYMMDDhhmmssD" has it.
            std::tm written{};
            written.tm_isdst = -1;
            if (std::sscanf(request.data.c_str(), "%4d%2d%2d%2d%2d%2d", &written.tm_year,
                            &written.tm_mon, &written.tm_mday, &written.tm_hour, &written.tm_min,
                            &written.tm_sec) != 6) {
                failures.push_back(what + ": clock sent as \"" + request.data + "\"");
            } else {
                written.tm_year -= 1900;
                written.tm_mon -= 1;
                const double pc = round.wallStart + request.at;
                const double off = double(std::mktime(&written)) - pc;
                if (std::abs(off) > kClockSkew)
                    failures.push_back(what + ": clock sent " + request.data +
                                       Format(", %.1f s from the PC's clock", off));
            }
        }
        if (request.command == kSetDelays && request.data.size() >= kDelaysDigits) {
            for (std::size_t field = 0; field * 2 < kDelaysDigits; ++field) {
                const std::string sent = request.data.substr(field * 2, 2);
                const bool typed = ask->command == kSetDelays && int(field) == ask->typedField;
                const std::string expected =
                    typed ? Hex2(ask->typedValue) : delays.substr(field * 2, 2);
                if (sent != expected && delays.size() >= kDelaysDigits)
                    failures.push_back(what + Format(": field %.0f", double(field)) + " sent " +
                                       sent + ", neither typed nor held (" + expected + ")");
            }
            if (request.answered) {
                delays = request.data;
                delaysSetAt = request.at;
            }
        }
    }
    return failures;
}

std::vector<std::string> CheckEvents(const Round& round, Figures& figures)
{
    std::vector<std::string> failures;
    struct Delivery
    {
        double at;
        std::string raw;
        std::set<std::string> serials;
        bool clean;
    };
    std::vector<Delivery> deliveries;
    std::vector<std::string> store = round.storedBefore;
    std::set<std::string> everStored(store.begin(), store.end());
    std::size_t pointer = round.readPointerBefore;
    std::size_t appended = 0;
    const std::vector<Request> requests = Sorted(round);
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const Request& request = requests[i];
        for (; appended < round.appended.size() && round.appended[appended].first <= request.at;
             ++appended) {
            store.push_back(round.appended[appended].second);
            everStored.insert(store.back());
        }
        if (!request.answered)
            continue;
        if (request.command == kLogControl && request.data == std::string(1, kLogRewind)) {
            pointer = 0;
        } else if (request.command == kLogControl &&
                   request.data == std::string(1, kLogDeleteAll)) {
            store.clear();
            pointer = 0;
        } else if (request.command == kReadEvent && pointer < store.size()) {
            // A reply in flight when the controller went is lost with it.
            const bool killedAfter =
                std::any_of(round.kills.begin(), round.kills.end(), [&](double kill) {
                    return kill >= request.at && kill <= request.at + round.replyTimeout;
                });
            // Its controller is the one on the cable when it was handed out.
            const std::set<std::string> serials = SerialsAt(round, request.at);
            deliveries.push_back({request.at, store[pointer++], serials,
                                  request.clean && !InFault(round, request.at) && !killedAfter &&
                                      serials.size() == 1});
        }
    }

    std::map<std::pair<std::string, std::string>, int> archived;
    for (const ArchivedEvent& event : round.history)
        ++archived[{event.serial, event.raw}];
    for (const auto& [key, count] : archived) {
        const std::string what = "event " + key.second + " under serial " + key.first;
        if (count > 1)
            failures.push_back(what + Format(": in the history %.0f times", count));
        // Kept under an unknown controller on the port: not misfiled, not lost.
        if (key.first.empty()) {
            figures.eventsUnattributed += count;
            continue;
        }
        const bool given = std::any_of(deliveries.begin(), deliveries.end(), [&](const auto& d) {
            return d.raw == key.second && d.serials.count(key.first);
        });
        if (!given)
            failures.push_back(what + (everStored.count(key.second)
                                           ? ": that controller never handed it out"
                                           : ": the controller never stored it"));
    }
    std::set<std::pair<std::string, std::string>> counted;
    for (const Delivery& delivery : deliveries) {
        const std::string serial = delivery.serials.empty() ? "" : *delivery.serials.begin();
        if (!counted.insert({serial, delivery.raw}).second)
            continue;
        ++figures.eventsChecked;
        const bool inHistory = std::any_of(delivery.serials.begin(), delivery.serials.end(),
                                           [&](const std::string& s) {
                                               return archived.count({s, delivery.raw}) > 0;
                                           }) ||
                               archived.count({std::string(), delivery.raw}) > 0;
        if (inHistory)
            continue;
        if (delivery.clean)
            failures.push_back("event " + delivery.raw + " handed out at " +
                               Format("%.3f s", delivery.at) + " to serial " + serial +
                               " without a fault is not in the history");
        else
            ++figures.eventsLost;
    }
    return failures;
}

std::vector<std::string> CheckKeys(const Round& round, Figures& figures)
{
    std::vector<std::string> failures;
    for (const auto& [at, took] : round.keyAnswers) {
        ++figures.waitsEnded;
        figures.worstKey = std::max(figures.worstKey, took);
        if (took > kKeyAnswer)
            failures.push_back(Format("the window took a key only %.3f s after a wait", took) +
                               Format(" ended at %.3f s", at));
    }
    return failures;
}

std::vector<std::string> CheckTime(const Round& round)
{
    if (!round.ended)
        return {Format("the round did not end within its limit of %.0f s", round.limit)};
    if (round.duration > round.limit)
        return {
            Format("the round took %.1f s, over its limit of %.0f s", round.duration, round.limit)};
    return {};
}

std::vector<std::string> CheckAll(const Round& round, Figures& figures)
{
    std::vector<std::string> failures = CheckOutputs(round, figures);
    for (auto* check : {&CheckWrites, &CheckEvents, &CheckKeys}) {
        const std::vector<std::string> more = check(round, figures);
        failures.insert(failures.end(), more.begin(), more.end());
    }
    const std::vector<std::string> time = CheckTime(round);
    failures.insert(failures.end(), time.begin(), time.end());
    return failures;
}

std::vector<Request> ParseJournal(const std::vector<std::string>& lines,
                                  const std::vector<std::string>& faultLines, double offset)
{
    std::map<std::string, std::string> faults;
    for (const std::string& line : faultLines) {
        const std::size_t last = line.rfind(' ');
        if (last != std::string::npos)
            faults[line.substr(0, last)] = line.substr(last + 1);
    }
    std::vector<Request> requests;
    for (const std::string& line : lines) {
        std::istringstream in(line);
        std::string seconds;
        std::string command;
        std::string hex;
        in >> seconds >> command >> hex;
        if (command.empty() || command == "BAD")
            continue;
        Request request;
        request.at = offset + std::stod(seconds);
        request.command = std::stoi(command);
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            request.data.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
        const auto fault = faults.find(seconds + ' ' + command + ' ' + hex);
        if (fault != faults.end()) {
            request.clean = false;
            request.answered = fault->second != "muted" && fault->second != "dropped";
            request.damaged = fault->second != "noise";
        }
        requests.push_back(request);
    }
    return requests;
}

} // namespace ChaosChecks
