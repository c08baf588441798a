#include "controller/EventLogReader.h"

#include "data/EventLog.h"
#include "protocol/CommandCodes.h"
#include "eventloop/EventWait.h"
#include "link/Tarn_Comm.h"

#include <QScopeGuard>

#include <deque>

bool EventLogReader::Read(Tarn_Comm* link)
{
    m_count = 0;
    m_elapsedMs = 0;
    m_progressMs = 0;
    m_clock.start();
    // Every reply to a log request, in the order of arrival. A reply that comes after its
    // request has timed out holds an event that the controller has moved past: it arrives
    // between two requests, as the answer to the next request, or in the pause after that
    // answer, where Send does not return it. Taken from here, none of them is lost.
    std::deque<std::string> replies;
    QMetaObject::Connection collect;
    if (link)
        collect = QObject::connect(link, &Tarn_Comm::DataRecieved, [&](int command) {
            if (command == TarnCommand::ReadNextLogEvent)
                replies.push_back(link->TarnData);
        });
    const auto stopCollecting = qScopeGuard([&] { QObject::disconnect(collect); });

    bool ended = false;
    // Stopped, no more requests go out; the replies already in are handed on.
    bool stopped = false;
    for (;;) {
        if (replies.empty()) {
            if (stopped || (abortFlag && *abortFlag))
                break;
            QElapsedTimer turn;
            turn.start();
            if (!link || !link->Send(TarnCommand::ReadNextLogEvent)) {
                if (keepGoing && !keepGoing(true))
                    break;
                // A request that failed at once must not turn the loop into a busy one that
                // the abort and the rest of the program cannot reach.
                const auto spent = std::chrono::milliseconds(turn.elapsed());
                if (!WaitProcessingEvents(kFailedRequestPause - spent))
                    break;
                continue;
            }
            if (replies.empty())
                replies.push_back(link->TarnData);
        }
        const std::string reply = std::move(replies.front());
        replies.pop_front();
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
            stopped = true;
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
