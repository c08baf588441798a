// Writes the same events as every other run into one archive: the test starts several at once.
// history_writer FOLDER DATABASE EVENTS NEW: EVENTS events as read again (explicit ordinals,
// 10 different replies), then NEW new events of one reply (ordinal 0).
#include "history/HistoryArchive.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 5) {
        std::fputs("usage: history_writer FOLDER DATABASE EVENTS NEW\n", stderr);
        return 2;
    }
    HistoryArchive archive(QStringLiteral("tarn"));
    const auto id = archive.Open(args[1], args[2])
                        ? archive.ControllerId({QStringLiteral("S1"), 3.06, QStringLiteral("COM1")})
                        : std::nullopt;
    const int events = args[3].toInt();
    const int fresh = args[4].toInt();
    bool ok = id && !archive.isQueueing();
    for (int i = 0; ok && i < events + fresh; ++i) {
        ArchivedEvent event;
        const bool isNew = i >= events;
        event.raw = isNew ? QStringLiteral("NEW") : QStringLiteral("R%1").arg(i % 10);
        event.ordinal = isNew ? 0 : i / 10 + 1;
        event.code = i % 5;
        event.eventTime = QDateTime(QDate(2026, 1, 1), QTime(0, 0)).addSecs(i);
        ok = archive.StoreEvent(*id, event);
    }
    if (!ok)
        std::fprintf(stderr, "history_writer: %s\n", qPrintable(archive.fault()));
    return ok ? 0 : 1;
}
