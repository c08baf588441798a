#include "controller/ArchiveRead.h"

#include "eventloop/WaitDepth.h"

#include <QEventLoop>
#include <QTimer>

bool ArchiveRead::Await(HistoryArchive& archive, quint64 number)
{
    QEventLoop loop;
    bool answered = false;
    QObject::connect(&archive, &HistoryArchive::answered, &loop, [&](quint64 answer) {
        if (answer != number)
            return;
        answered = true;
        loop.quit();
    });
    QObject::connect(&archive, &QObject::destroyed, &loop, &QEventLoop::quit);
    QTimer::singleShot(kWait, &loop, &QEventLoop::quit);
    const WaitDepth::Scope wait;
    loop.exec();
    return answered;
}
