#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

/// Counts the waits under way: the local event loops that run while an operation waits for a
/// reply or a pause. Anything those loops run sits on top of the wait and keeps it from
/// returning until it ends itself; a modal window opened there holds back the command after a
/// pause for as long as it is open. Work that could do so (a modal window, a page change, the
/// close, a request) is handed to WhenIdle, which runs it at once when no wait is under way and
/// otherwise once the last wait has ended.
class WaitDepth : public QObject
{
    Q_OBJECT
public:
    /// Held for the length of one wait.
    class Scope
    {
    public:
        Scope();
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

    /// The number of waits under way.
    static int Current();
    static bool Idle() { return Current() == 0; }
    /// Runs `work` now when no wait is under way, else from the event loop once none is; the
    /// work is dropped when `context` is destroyed first. True when it ran now.
    static bool WhenIdle(QObject* context, std::function<void()> work);
    /// Work waiting for the end of the waits.
    static int Deferred();

private:
    WaitDepth() = default;
    static WaitDepth& Instance();
    void RunDeferred();

    struct Work
    {
        QPointer<QObject> context;
        std::function<void()> work;
    };
    int m_depth = 0;
    bool m_runQueued = false;
    std::vector<Work> m_deferred;
};
