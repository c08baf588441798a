#include "controller/EventLogReader.h"

#include "data/EventLog.h"
#include "eventloop/EventWait.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

bool EventLogReader::Read(Tarn_Comm* link)
{
    m_count = 0;
    m_lost = 0;
    m_refused = false;
    m_elapsedMs = 0;
    m_progressMs = 0;
    m_clock.start();
    if (link)
        link->dropLogEnds();
    bool ended = false;
    // Stopped, no more requests go out; the replies already in are handed on.
    bool stopped = false;
    for (;;) {
        if (!link || !link->hasLogReply()) {
            if (stopped || (abortFlag && *abortFlag))
                break;
            QElapsedTimer turn;
            turn.start();
            const bool answered = link && link->Send(TarnCommand::ReadNextLogEvent);
            // A request that failed may still have brought a reply: a damaged one, or one
            // late for an earlier request.
            if (!answered && !(link && link->hasLogReply())) {
                if (keepGoing && !keepGoing(true))
                    break;
                // A request that failed at once must not turn the loop into a busy one that
                // the abort and the rest of the program cannot reach.
                const auto spent = std::chrono::milliseconds(turn.elapsed());
                if (!WaitProcessingEvents(kFailedRequestPause - spent))
                    break;
                continue;
            }
            if (!link->hasLogReply())
                continue;
        }
        const Tarn_Comm::LogReply reply = link->takeLogReply();
        if (!reply.damaged && reply.data.compare(0, 3, "END") == 0) {
            ended = true;
            break;
        }
        // No event, and asking again brings the same answer.
        if (!reply.damaged && reply.data == TarnCommand::kRefusal) {
            m_refused = true;
            break;
        }
        if (reply.damaged) {
            ++m_lost;
            if (lost)
                lost();
        } else {
            ++m_count;
            if (event)
                event(DecodeLogEvent(reply.data), reply.data);
        }
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
    if (!link.Send(TarnCommand::LogControl, std::string(1, TarnCommand::LogRewind)))
        return false;
    // The controller sends every stored event again, those of the kept replies too.
    link.dropLogReplies();
    return true;
}

double EventLogReader::rate() const
{
    return m_elapsedMs > 0 && m_count > 0 ? m_count * 1000.0 / static_cast<double>(m_elapsedMs)
                                          : 0.0;
}
