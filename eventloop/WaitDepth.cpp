#include "eventloop/WaitDepth.h"

#include <QCoreApplication>
#include <QMetaObject>

WaitDepth& WaitDepth::Instance()
{
    static WaitDepth instance;
    return instance;
}

WaitDepth::Scope::Scope()
{
    ++Instance().m_depth;
}

WaitDepth::Scope::~Scope()
{
    WaitDepth& self = Instance();
    if (--self.m_depth == 0 && !self.m_deferred.empty() && !self.m_runQueued) {
        // Not from here: the code after the wait runs first, and may start the next one.
        self.m_runQueued = true;
        QMetaObject::invokeMethod(&self, &WaitDepth::RunDeferred, Qt::QueuedConnection);
    }
}

int WaitDepth::Current()
{
    return Instance().m_depth;
}

int WaitDepth::Deferred()
{
    return static_cast<int>(Instance().m_deferred.size());
}

bool WaitDepth::WhenIdle(QObject* context, std::function<void()> work)
{
    WaitDepth& self = Instance();
    // Work whose window has gone holds nothing back.
    std::erase_if(self.m_deferred, [](const Work& deferred) { return !deferred.context; });
    if (self.m_depth == 0 && self.m_deferred.empty()) {
        work();
        return true;
    }
    self.m_deferred.push_back({context, std::move(work)});
    if (self.m_depth == 0 && !self.m_runQueued) {
        self.m_runQueued = true;
        QMetaObject::invokeMethod(&self, &WaitDepth::RunDeferred, Qt::QueuedConnection);
    }
    return false;
}

void WaitDepth::RunDeferred()
{
    m_runQueued = false;
    // One at a time, in the order asked; a wait started by one holds back the rest again.
    while (m_depth == 0 && !m_deferred.empty()) {
        Work next = std::move(m_deferred.front());
        m_deferred.erase(m_deferred.begin());
        if (next.context)
            next.work();
    }
}
