#include "controller/EventLogReader.h"

#include "data/EventLog.h"
#include "link/CommandCodes.h"
#include "link/EventWait.h"
#include "link/Tarn_Comm.h"

bool EventLogReader::Read(Tarn_Comm* link)
{
    m_count = 0;
    m_elapsedMs = 0;
    m_progressMs = 0;
    m_clock.start();
    bool ended = false;
    while (!(abortFlag && *abortFlag)) {
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
        if (link->TarnData.compare(0, 3, "END") == 0) {
            ended = true;
            break;
        }
        if (event)
            event(DecodeLogEvent(link->TarnData));
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
