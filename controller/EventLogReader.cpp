#include "controller/EventLogReader.h"

#include "data/EventLog.h"
#include "link/CommandCodes.h"
#include "link/EventWait.h"
#include "link/Tarn_Comm.h"

#include <QScopeGuard>

#include <deque>

bool EventLogReader::Read(Tarn_Comm* link)
{
    m_count = 0;
    m_elapsedMs = 0;
    m_progressMs = 0;
    m_clock.start();
    // A reply that comes after its request has timed out holds an event that the controller
    // has moved past. It arrives between two requests, or as the answer to the next request,
    // whose own reply then comes between two requests: either way it is kept, not dropped.
    bool inRequest = false;
    std::deque<std::string> lateReplies;
    QMetaObject::Connection lateReply;
    if (link)
        lateReply = QObject::connect(link, &Tarn_Comm::DataRecieved, [&](int command) {
            if (!inRequest && command == TarnCommand::ReadNextLogEvent)
                lateReplies.push_back(link->TarnData);
        });
    const auto stopListening = qScopeGuard([&] { QObject::disconnect(lateReply); });

    bool ended = false;
    while (!(abortFlag && *abortFlag)) {
        std::string reply;
        if (!lateReplies.empty()) {
            reply = std::move(lateReplies.front());
            lateReplies.pop_front();
        } else {
            QElapsedTimer turn;
            turn.start();
            inRequest = true;
            const bool answered = link && link->Send(TarnCommand::ReadNextLogEvent);
            inRequest = false;
            if (!answered) {
                if (keepGoing && !keepGoing(true))
                    break;
                // A request that failed at once must not turn the loop into a busy one that
                // the abort and the rest of the program cannot reach.
                const auto spent = std::chrono::milliseconds(turn.elapsed());
                if (!WaitProcessingEvents(kFailedRequestPause - spent))
                    break;
                continue;
            }
            reply = link->TarnData;
        }
        if (reply.compare(0, 3, "END") == 0) {
            ended = true;
            break;
        }
        if (event)
            event(DecodeLogEvent(reply));
        ++m_count;
        m_elapsedMs = m_clock.elapsed();
        if (m_elapsedMs - m_progressMs >= kProgressInterval.count()) {
            m_progressMs = m_elapsedMs;
            if (progress)
                progress();
        }
        if (keepGoing && !keepGoing(false))
            break;
    }
    return ended;
}

bool EventLogReader::Rewind(Tarn_Comm& link)
{
    return link.Send(TarnCommand::LogControl, std::string(1, TarnCommand::LogRewind));
}

double EventLogReader::rate() const
{
    return m_elapsedMs > 0 && m_count > 0 ? m_count * 1000.0 / static_cast<double>(m_elapsedMs)
                                          : 0.0;
}
