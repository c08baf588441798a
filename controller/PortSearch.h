#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <vector>

class Tarn_Comm;

/// The auto-detect search: the link is started on each port in turn with the settings given
/// and asked for its version; the first port that answers with one is kept.
class PortSearch
{
public:
    /// Pause between stopping the link and trying the next port.
    static constexpr std::chrono::milliseconds kDetectPause{300};

    /// What became of a port that was tried.
    enum class Outcome
    {
        Answered,
        Missing,
        Busy,
        NoPermission,
        /// Would not open for another reason (the attempt's errText).
        NotOpened,
        NoAnswer,
        /// Answered with a version that reads as 0.
        NoVersion,
        /// The search was stopped while the port was tried.
        Stopped
    };
    struct Attempt
    {
        int port = 0;
        QString device;
        Outcome outcome = Outcome::NoAnswer;
        /// The link's text for the failure.
        QString errText;
    };
    struct Result
    {
        /// Index into the ports of the one that answered, or -1.
        int found = -1;
        /// True when `stop` ended the search before every port was tried.
        bool stopped = false;
        std::vector<Attempt> attempts;
    };

    /// Tries `ports` in order. `trying` is told each index before it is tried; `stop` is asked
    /// between ports, and true ends the search there (to end it during a request, the caller
    /// also stops the link, which ends the wait). When nothing
    /// answered, the link goes back to the port and settings it had (started again if it was
    /// started) rather than staying on the last one tried.
    static Result Run(Tarn_Comm& link, const std::vector<int>& ports, const QString& settings,
                      const std::function<void(int index)>& trying = {},
                      const std::function<bool()>& stop = {});
    /// Run's index of the port that answered, or -1.
    static int Search(Tarn_Comm& link, const std::vector<int>& ports, const QString& settings,
                      const std::function<void(int index)>& trying = {});
    /// Port numbers 1 to the highest the program offers.
    static std::vector<int> AllPorts();

    /// Why the ports tried did not answer: one line per port ("COM3 - /dev/ttyUSB2: busy"),
    /// then what the user can do about each kind of failure. `iniPath` names the devices
    /// present for a missing one.
    static QString FailureReport(const Result& result, const QString& settings,
                                 const QString& iniPath);
    /// "missing", "busy", "no permission", "no answer"...
    static QString OutcomeText(const Attempt& attempt);
};
