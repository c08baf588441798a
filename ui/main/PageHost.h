#pragma once

#include "eventloop/WaitDepth.h"

#include <QString>

#include <cstdint>
#include <functional>

class HistoryRecorder;
class MessageBoxes;
class Tarn_Comm;

/// What a page of the main window needs of the window: the link, the status line, the message
/// boxes and the periodic-work flag. The pages see the window only through this, so that a
/// page builds and tests without the whole window.
class PageHost
{
public:
    virtual ~PageHost() = default;

    /// The one link to the controller; null before the program has started.
    virtual Tarn_Comm* link() const = 0;
    /// True when the link is open; otherwise the status line says why, in red.
    virtual bool LinkReady() = 0;
    virtual void ShowStatus(const QString& msg) = 0;
    virtual MessageBoxes& messageBoxes() const = 0;
    /// Periodic work is allowed.
    virtual bool autoUpdate() const = 0;
    /// Pump and both valves off, between the two pauses of the outputs.
    virtual void StopPumpAndValves() = 0;
    /// After a send of an output word that switches outputs off.
    virtual void NoteOutputsOffSent(bool sent) = 0;
    /// The running number of the next event-log row, and the flag that stops a reading.
    virtual int32_t& logEventNo() = 0;
    virtual bool& abortLogReading() = 0;
    /// Where what is read is archived; null when the program keeps no history.
    virtual HistoryRecorder* history() { return nullptr; }
    /// Runs `work` now, or once the wait under way has ended; meanwhile `note` says so on the
    /// status line, and asking again for the same changes nothing. Dropped with `context`.
    virtual void WhenIdleSaying(QObject* context, const QString& note,
                                const std::function<void()>& work)
    {
        (void)note;
        WaitDepth::WhenIdle(context, work);
    }
    /// After a reading during which the controller on the cable could not be told (the line
    /// was lost meanwhile): a status read tells, so that the events go to its history.
    virtual void IdentifyController() {}
};
