#include "eventloop/EventWait.h"

#include "eventloop/WaitDepth.h"

#include <QEventLoop>
#include <QTimer>

bool WaitProcessingEvents(std::chrono::milliseconds duration)
{
    if (duration.count() <= 0)
        return true;
    const WaitDepth::Scope waiting;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(duration);
    // exec() answers -1 without running once the application is quitting.
    return loop.exec() != -1;
}
