#pragma once

#include <QElapsedTimer>

#include <chrono>
#include <functional>
#include <string>

class Tarn_Comm;
class Tarn_Inputs;

/// Reads the controller's stored events one request at a time until it answers "END", the
/// abort flag is set or the caller stops it. Every event read is handed on at once: the
/// controller has moved past it. The replies come from those the link keeps, so one that
/// arrived late, after an earlier reading stopped, is handed on first.
class EventLogReader
{
public:
    /// The shortest turn of the loop after a failed request: a request that fails at once (a
    /// link that is not open, a device that has gone) is repeated no sooner.
    static constexpr std::chrono::milliseconds kFailedRequestPause{100};
    /// Firmware from which the controller can send all of its stored events again (Rewind).
    static constexpr double kAllEventsVersion = 2.07;
    /// How often `progress` is called while reading.
    static constexpr std::chrono::milliseconds kProgressInterval{250};

    /// Set (by anyone, at any time) to stop at the next turn; read, never cleared, here.
    const bool* abortFlag = nullptr;
    /// Each event read: decoded, and the reply's data as received.
    std::function<void(const Tarn_Inputs& event, const std::string& raw)> event;
    /// Each event lost to a damaged reply, in its place among the events.
    std::function<void()> lost;
    /// After each event and after each failed request (failed true): false stops the reading.
    std::function<bool(bool failed)> keepGoing;
    /// Now and then while reading; count() and elapsedMs() tell how far it got.
    std::function<void()> progress;

    /// True when the controller answered "END"; false when the reading stopped before, as it
    /// does when the controller refuses to send the next event.
    bool Read(Tarn_Comm* link);
    /// Command 66 with "rewind": the next reading starts at the oldest stored event.
    static bool Rewind(Tarn_Comm& link);

    /// Events read, and events lost to damaged replies, by the last reading.
    int count() const { return m_count; }
    int lostCount() const { return m_lost; }
    /// The last reading stopped because the controller refused to send the next event.
    bool refused() const { return m_refused; }
    qint64 elapsedMs() const { return m_elapsedMs; }
    /// Events per second of the last reading; 0 before the first event.
    double rate() const;

private:
    int m_count = 0;
    int m_lost = 0;
    bool m_refused = false;
    qint64 m_elapsedMs = 0;
    qint64 m_progressMs = 0;
    QElapsedTimer m_clock;
};
