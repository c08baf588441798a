#include "controller/PortSearch.h"

#include "controller/StatusCycle.h"
#include "eventloop/EventWait.h"
#include "link/ConnectionAdvice.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

#include <QStringList>

#include <algorithm>

namespace {

PortSearch::Outcome OpenFailure(const SerialPort* port)
{
    switch (port ? port->failure() : PortFailure::Other) {
    case PortFailure::DeviceMissing:
        return PortSearch::Outcome::Missing;
    case PortFailure::DeviceBusy:
        return PortSearch::Outcome::Busy;
    case PortFailure::PermissionDenied:
        return PortSearch::Outcome::NoPermission;
    case PortFailure::None:
    case PortFailure::Other:
        break;
    }
    return PortSearch::Outcome::NotOpened;
}

PortFailure LinkFailure(PortSearch::Outcome outcome)
{
    switch (outcome) {
    case PortSearch::Outcome::Missing:
        return PortFailure::DeviceMissing;
    case PortSearch::Outcome::Busy:
        return PortFailure::DeviceBusy;
    case PortSearch::Outcome::NoPermission:
        return PortFailure::PermissionDenied;
    default:
        return PortFailure::None;
    }
}

} // namespace

PortSearch::Result PortSearch::Run(Tarn_Comm& link, const std::vector<int>& ports,
                                   const QString& settings,
                                   const std::function<void(int index)>& trying,
                                   const std::function<bool()>& stop)
{
    const int16_t previousPort = link.CommPort;
    const QString previousSettings = link.CommSettings;
    const bool wasStarted = link.isStarted();
    Result result;
    const int count = static_cast<int>(ports.size());
    for (int i = 0; i < count && result.found < 0; ++i) {
        if (stop && stop()) {
            result.stopped = true;
            break;
        }
        link.StopCom();
        if (!WaitProcessingEvents(kDetectPause))
            break;
        // The pause runs the event loop: a stop asked for meanwhile ends the search here.
        if (stop && stop()) {
            result.stopped = true;
            break;
        }
        if (trying)
            trying(i);
        Attempt attempt;
        attempt.port = ports[static_cast<std::size_t>(i)];
        link.CommPort = static_cast<int16_t>(attempt.port);
        link.CommSettings = settings;
        // A device that is missing, busy or forbidden fails here at once: no reply is waited
        // for on a port that did not open.
        if (!link.Start(attempt.errText)) {
            attempt.outcome = OpenFailure(link.comm);
        } else if (!link.Send(TarnCommand::ReadVersion)) {
            attempt.outcome = stop && stop() ? Outcome::Stopped : Outcome::NoAnswer;
            attempt.errText = link.lastError();
        } else if (StatusCycle::VersionFromReply(link.TarnData) > 0) {
            attempt.outcome = Outcome::Answered;
            result.found = i;
        } else {
            attempt.outcome = Outcome::NoVersion;
        }
        if (link.comm)
            attempt.device = link.comm->deviceName();
        result.attempts.push_back(attempt);
    }
    if (result.found < 0) {
        link.StopCom();
        link.CommPort = previousPort;
        link.CommSettings = previousSettings;
        QString errText;
        if (wasStarted)
            link.Start(errText);
    }
    return result;
}

int PortSearch::Search(Tarn_Comm& link, const std::vector<int>& ports, const QString& settings,
                       const std::function<void(int index)>& trying)
{
    return Run(link, ports, settings, trying).found;
}

std::vector<int> PortSearch::AllPorts()
{
    std::vector<int> ports;
    for (int port = 1; port <= kMaxCommPort; ++port)
        ports.push_back(port);
    return ports;
}

QString PortSearch::OutcomeText(const Attempt& attempt)
{
    switch (attempt.outcome) {
    case Outcome::Answered:
        return QStringLiteral("answered");
    case Outcome::Missing:
        return QStringLiteral("missing");
    case Outcome::Busy:
        return QStringLiteral("busy");
    case Outcome::NoPermission:
        return QStringLiteral("no permission");
    case Outcome::NotOpened:
        return QStringLiteral("would not open (%1)").arg(attempt.errText);
    case Outcome::NoAnswer:
        return QStringLiteral("no answer");
    case Outcome::NoVersion:
        return QStringLiteral("answered without a version");
    case Outcome::Stopped:
        return QStringLiteral("stopped");
    }
    return {};
}

QString PortSearch::FailureReport(const Result& result, const QString& settings,
                                  const QString& iniPath)
{
    QStringList lines;
    for (const Attempt& attempt : result.attempts)
        lines << QStringLiteral("COM%1 - %2: %3")
                     .arg(attempt.port)
                     .arg(attempt.device, OutcomeText(attempt));
    // What to do, once for each kind of failure, named by the first device that had it.
    QStringList advice;
    std::vector<Outcome> told;
    for (const Attempt& attempt : result.attempts) {
        if (std::find(told.begin(), told.end(), attempt.outcome) != told.end())
            continue;
        told.push_back(attempt.outcome);
        const PortFailure failure = LinkFailure(attempt.outcome);
        if (failure != PortFailure::None) {
            advice << ConnectionAdvice(failure, attempt.device,
                                       failure == PortFailure::DeviceMissing
                                           ? PresentSerialDevices(iniPath)
                                           : QStringList());
        } else if (attempt.outcome == Outcome::NoAnswer || attempt.outcome == Outcome::NoVersion) {
            advice << QStringLiteral("A port that opened did not answer as Tarn does: is Tarn "
                                     "switched on, its cable connected, and %1 baud its rate?")
                          .arg(settings.section(u',', 0, 0));
        }
    }
    if (!advice.isEmpty())
        lines << QString() << advice.join(QStringLiteral("\n\n"));
    return lines.join(u'\n');
}
