#include "controller/PortSearch.h"

#include "controller/StatusCycle.h"
#include "protocol/CommandCodes.h"
#include "eventloop/EventWait.h"
#include "link/PortNames.h"
#include "link/Tarn_Comm.h"

int PortSearch::Search(Tarn_Comm& link, const std::vector<int>& ports, const QString& settings,
                       const std::function<void(int index)>& trying)
{
    const int16_t previousPort = link.CommPort;
    const QString previousSettings = link.CommSettings;
    const bool wasStarted = link.isStarted();
    int found = -1;
    const int count = static_cast<int>(ports.size());
    for (int i = 0; i < count && found < 0; ++i) {
        link.StopCom();
        if (!WaitProcessingEvents(kDetectPause))
            break;
        if (trying)
            trying(i);
        link.CommPort = static_cast<int16_t>(ports[static_cast<std::size_t>(i)]);
        link.CommSettings = settings;
        // A device that is missing, busy or forbidden fails here at once: no reply is waited
        // for on a port that did not open.
        QString errText;
        if (!link.Start(errText) || !link.Send(TarnCommand::ReadVersion))
            continue;
        if (StatusCycle::VersionFromReply(link.TarnData) > 0)
            found = i;
    }
    if (found < 0) {
        link.StopCom();
        link.CommPort = previousPort;
        link.CommSettings = previousSettings;
        QString errText;
        if (wasStarted)
            link.Start(errText);
    }
    return found;
}

std::vector<int> PortSearch::AllPorts()
{
    std::vector<int> ports;
    for (int port = 1; port <= kMaxCommPort; ++port)
        ports.push_back(port);
    return ports;
}
