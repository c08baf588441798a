#pragma once

// Records for the archive's tests, and an archive opened on a file or on a server's database.

#include "history/ArchiveConnection.h"
#include "history/HistoryArchive.h"
#include "history/PostgresAddress.h"

#include <QTemporaryDir>
#include <QTest>

namespace ArchiveRecords {

inline const QString kProgram = QStringLiteral("tarn");
inline const ControllerKey kS1{QStringLiteral("S1"), 3.06, QStringLiteral("COM1")};

inline ArchivedEvent Event(const QString& raw, int ordinal = 0, int code = 1,
                           const QDateTime& time = QDateTime(QDate(2026, 3, 1), QTime(8, 0),
                                                             Qt::UTC))
{
    ArchivedEvent event;
    event.raw = raw;
    event.ordinal = ordinal;
    event.code = code;
    event.eventTime = time;
    event.text = QStringLiteral("Alarm detector ") + raw;
    return event;
}

/// "A1 - B1": each event's reply and ordinal, a gap as "-".
inline QString Raws(const std::vector<ArchivedEvent>& events)
{
    QStringList raws;
    for (const ArchivedEvent& event : events)
        raws << (event.gap ? QStringLiteral("-") : event.raw + QString::number(event.ordinal));
    return raws.join(u' ');
}

/// Stores "A B - C": an event per letter (its ordinal given by the archive), a gap per "-".
inline void Store(HistoryArchive& archive, qint64 id, const QString& sequence)
{
    for (const QString& token : sequence.split(u' ', Qt::SkipEmptyParts))
        QVERIFY(token == u'-' ? archive.StoreGap(id, QDateTime::currentDateTimeUtc())
                              : archive.StoreEvent(id, Event(token)));
}

/// An archive in a folder of its own, on its file or (`address` given) on that server's
/// database, and the record of `key` in it.
struct OpenArchive
{
    QTemporaryDir dir;
    HistoryArchive archive{kProgram};
    qint64 id = 0;

    bool open(const QString& address = QString(), const ControllerKey& key = kS1)
    {
        if (!archive.Open(dir.path(), address))
            return false;
        const auto found = archive.ControllerId(key);
        id = found.value_or(0);
        return found.has_value();
    }
    QString file() const { return dir.filePath(QLatin1String(HistoryArchive::kFileName)); }
};

/// A connection of its own to the archive's file, or to the server at `address`.
inline bool Connect(ArchiveConnection& db, const QString& file, const QString& address,
                    QString& errText)
{
    if (address.isEmpty())
        return db.OpenSqlite(file, HistoryArchive::kBusyTimeout, errText);
    PostgresAddress server;
    return PostgresAddress::Parse(address, server, errText) && db.OpenPostgres(server, errText);
}

/// A new database `name` on the server of `server` (an archive's address), its address in
/// `address`.
inline bool CreateDatabase(const QString& server, const QString& name, QString& address,
                           QString& errText)
{
    ArchiveConnection admin;
    if (!Connect(admin, QString(), server, errText) ||
        !admin.Exec(QStringLiteral("CREATE DATABASE %1").arg(name), errText))
        return false;
    address = server.section(u'/', 0, -2) + u'/' + name;
    return true;
}

/// The first column of the first row `sql` gives, -1 when there is none.
inline qint64 Count(ArchiveConnection& db, const QString& sql)
{
    QString errText;
    QSqlQuery* query = db.Run(sql, {}, errText);
    return query && query->next() ? query->value(0).toLongLong() : -1;
}

} // namespace ArchiveRecords
