#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

/// What one round of the chaos run recorded, all times in seconds on the round's clock, and the
/// promises the program keeps checked against it. No widgets: the records are plain values, so
/// that a journal with a known fault can be fed in by hand.
namespace ChaosChecks {

/// One frame the controller received.
struct Request
{
    double at = 0;
    int command = 0;
    /// The data as sent (8-bit bytes).
    std::string data;
    /// False when the controller ignored it (muted or dropped): it changed nothing.
    bool answered = true;
    /// False when its reply did not leave whole (corrupted, noise before it) or was not sent.
    bool clean = true;
    /// True when its reply was corrupted or not sent; noise before a whole reply is not that.
    bool damaged = false;
};

/// The controller's serial number from `from` on. A change made while the program was running
/// is known to have happened between `from` and `until`.
struct Identity
{
    double from = 0;
    double until = 0;
    std::string serial;
};

/// The technician asked for a write: the serial the window showed then, and the field typed
/// (its index among the two-digit fields of the command's data, and the value), if any.
struct WriteAsk
{
    double at = 0;
    std::string shownSerial;
    int command = 0;
    int typedField = -1;
    int typedValue = 0;
};

/// A hold (runtime 0) or a timed test of `runtime` seconds started.
struct OutputStart
{
    double at = 0;
    double runtime = 0;
};

/// An event the program's history holds.
struct ArchivedEvent
{
    std::string serial;
    std::string raw;
};

struct Round
{
    std::vector<Request> requests;
    /// The controller killed: its outputs go off with its power.
    std::vector<double> kills;
    std::vector<OutputStart> starts;
    /// A hold or a timed test ended by the technician, or the program closed or signalled.
    std::vector<double> ends;
    std::vector<Identity> identities;
    std::vector<WriteAsk> asks;
    /// Spans with a field fault: faults, a delay, mute, the controller away.
    std::vector<std::pair<double, double>> faultSpans;
    /// Events appended to the controller's log memory, in order, with when.
    std::vector<std::pair<double, std::string>> appended;
    /// Events stored before the round, and the position of the next new one.
    std::vector<std::string> storedBefore;
    std::size_t readPointerBefore = 0;
    /// The controller's delays block (command 98's data) at the start.
    std::string delaysBefore;
    /// The PC's clock (seconds since 1970) when the round's clock began; 0 when not known.
    double wallStart = 0;
    std::vector<ArchivedEvent> history;
    /// A wait of the program ended (as seen between two turns of the event loop), and how long
    /// the window then took to take a key.
    std::vector<std::pair<double, double>> keyAnswers;
    /// Seconds the program waits for a reply, and the pause before an outputs-off.
    double replyTimeout = 1.5;
    double pause = 0.5;
    /// The round's time limit and how long it took.
    double limit = 60;
    double duration = 0;
    bool ended = true;
};

/// Figures of the checks over one or many rounds.
struct Figures
{
    int outputsOn = 0;
    int outputsOff = 0;
    double worstOff = 0; ///< seconds from a hold's or test's end to its off word
    int writes = 0;
    int eventsChecked = 0;
    int eventsLost = 0; ///< handed out under a fault and not in the history (allowed)
    /// Kept under an unknown controller: the line failed between their reading and the
    /// controller's identification (allowed).
    int eventsUnattributed = 0;
    int waitsEnded = 0;
    double worstKey = 0; ///< seconds from a wait's end to the window taking a key
    void add(const Figures& other);
};

/// Commands that change the controller's settings or log memory.
bool IsWrite(const Request& request);

/// Every output switched on went off (an outputs word without it, or the controller's power)
/// within the pause + 1 s of the end of its hold or test, plus the reply time-out and the pause
/// for every request around it that got no clean reply. Failures as text, one a line.
std::vector<std::string> CheckOutputs(const Round& round, Figures& figures);
/// Every write was asked for, the controller was identified again after the question and
/// before it, as the one the window showed when it was asked for, and the write carries only
/// what was typed and what that controller held.
std::vector<std::string> CheckWrites(const Round& round, Figures& figures);
/// Every event handed out is in the history at most once, under the controller that handed it
/// out or under an unknown controller, and at least once when it was handed out without
/// a fault; the history holds nothing the controller did not store.
std::vector<std::string> CheckEvents(const Round& round, Figures& figures);
/// A clock written may differ this much from the PC's clock at the moment it was received.
constexpr double kClockSkew = 2.0;

/// The window takes a key within kKeyAnswer of every wait's end.
std::vector<std::string> CheckKeys(const Round& round, Figures& figures);
constexpr double kKeyAnswer = 1.0;
/// The round ended within its limit.
std::vector<std::string> CheckTime(const Round& round);
/// All of the above.
std::vector<std::string> CheckAll(const Round& round, Figures& figures);

/// "<seconds> <command> <hex>" journal lines (and "BAD" lines, skipped) as requests, at
/// `offset` seconds on the round's clock; `faultLines` are the simulator's fault journal.
std::vector<Request> ParseJournal(const std::vector<std::string>& lines,
                                  const std::vector<std::string>& faultLines, double offset);

} // namespace ChaosChecks
