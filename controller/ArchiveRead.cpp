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

bool ArchiveRead::Write(HistoryArchive& archive,
                        const std::function<bool(HistoryArchive&, QString&)>& write,
                        QString& errText)
{
    struct Outcome
    {
        bool done = false;
        QString errText = QStringLiteral("the history did not answer");
    };
    const Outcome outcome = Read<Outcome>(archive, [write](HistoryArchive& writers) {
        Outcome result;
        result.done = write(writers, result.errText);
        return result;
    });
    errText = outcome.errText;
    return outcome.done;
}

bool ArchiveRead::Merge(HistoryArchive& archive, qint64 into, qint64 from, QString& errText)
{
    return Write(
        archive,
        [into, from](HistoryArchive& writers, QString& why) {
            return writers.Merge(into, from, why);
        },
        errText);
}

bool ArchiveRead::Name(HistoryArchive& archive, qint64 id, const QString& name, QString& errText)
{
    return Write(
        archive,
        [id, name](HistoryArchive& writers, QString& why) { return writers.Name(id, name, why); },
        errText);
}
