#include "history/HistoryArchivePrivate.h"

using namespace ArchiveRows;

bool HistoryArchive::Private::controllerIdIn(ArchiveConnection& db, const ControllerKey& key,
                                             const QString& seenAt, qint64& id, QString& errText)
{
    const auto one = [&](QSqlQuery* query) {
        const bool found = query->next();
        if (found)
            id = query->value(0).toLongLong();
        query->finish();
        return found;
    };
    const QString bySerial = QStringLiteral("SELECT id FROM controllers WHERE serial_number = ?");
    const QString insert = QStringLiteral(
        "INSERT INTO controllers (serial_number, firmware, port, first_seen, last_seen) "
        "VALUES (?, ?, ?, ?, ?) ON CONFLICT DO NOTHING RETURNING id");
    const QString serialNumber = key.SerialName();
    const bool named = !serialNumber.isEmpty();
    const QString port = Text(key.port);
    const QVariant serial = named ? QVariant(serialNumber) : NullText();
    QSqlQuery* query = nullptr;
    // A controller seen before is found without the write lock (which another program may
    // hold for a while); only its last sighting waits for it.
    if (named) {
        if (!(query = db.Run(bySerial, {serial}, errText)))
            return false;
        if (one(query)) {
            QString ignored;
            touchController(db, id, key, seenAt, ignored);
            return true;
        }
    }
    if (!db.Begin(errText))
        return false;
    const auto failed = [&] {
        db.Rollback();
        return false;
    };
    // Without a serial number each call is a controller of its own: which record an unnamed
    // controller belongs to is told by its events, not here.
    if (!(query = db.Run(insert, {serial, key.firmware, port, seenAt, seenAt}, errText)))
        return failed();
    // Nothing inserted: another program recorded the same serial number meanwhile.
    if (!one(query)) {
        if (!named || !(query = db.Run(bySerial, {serial}, errText)))
            return failed();
        if (!one(query)) {
            errText = QStringLiteral("the controller could not be recorded");
            return failed();
        }
    }
    return db.Commit(errText);
}

bool HistoryArchive::Private::touchController(ArchiveConnection& db, qint64 id,
                                              const ControllerKey& key, const QString& seenAt,
                                              QString& errText)
{
    QSqlQuery* query = db.Run(QStringLiteral("UPDATE controllers SET firmware = ?, port = ?, "
                                             "last_seen = ? WHERE id = ?"),
                              {key.firmware, Text(key.port), seenAt, id}, errText);
    if (!query)
        return false;
    query->finish();
    return true;
}

bool HistoryArchive::Private::insertEvent(ArchiveConnection& db, const char* table,
                                          qint64 controllerId, const ArchivedEvent& event,
                                          bool& duplicate, QString& errText)
{
    duplicate = false;
    const QString raw = Text(event.gap ? QString() : event.raw);
    const QVariant readAt =
        UtcText(event.readAt.isValid() ? event.readAt : QDateTime::currentDateTimeUtc());
    const QString by = Text(event.program.isEmpty() ? program : event.program);
    const bool queue = qstrcmp(table, kArchiveTables.events) != 0;
    if (event.gap || event.ordinal > 0 || queue) {
        QSqlQuery* query =
            db.Run(QStringLiteral("INSERT INTO %1 (%2) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                                  "ON CONFLICT DO NOTHING")
                       .arg(QLatin1String(table), QLatin1String(kEventColumns)),
                   {controllerId, event.gap ? 1 : 0, raw, event.gap ? 0 : qMax(event.ordinal, 0),
                    EventTimeValue(event.eventTime), event.gap ? -1 : event.code,
                    event.temperatureCelsius, Text(event.text), readAt, by},
                   errText);
        if (!query)
            return false;
        duplicate = query->numRowsAffected() == 0;
        query->finish();
        return true;
    }
    // Read again after a rewind (by this run or another): its occurrence since the log was
    // cleared, counted in the archive.
    bool rewound = false;
    qint64 clearedAfter = 0;
    if (!readingOf(db, controllerId, rewound, clearedAfter, errText))
        return false;
    if (rewound)
        return insertReread(db, table, controllerId, event, clearedAfter, duplicate, errText);
    // A new event: the next ordinal for its reply, taken in the same statement; when another
    // program took that ordinal first, the next one.
    const QString next =
        QStringLiteral(
            "INSERT INTO %1 (%2) SELECT CAST(? AS BIGINT), 0, CAST(? AS TEXT), "
            "COALESCE(MAX(ordinal), 0) + 1, CAST(? AS TEXT), CAST(? AS INTEGER), "
            "CAST(? AS DOUBLE PRECISION), CAST(? AS TEXT), CAST(? AS TEXT), CAST(? AS TEXT) "
            "FROM %1 WHERE controller_id = ? AND raw = ? AND gap = 0 ON CONFLICT DO NOTHING")
            .arg(QLatin1String(table), QLatin1String(kEventColumns));
    for (int attempt = 0; attempt < kOrdinalAttempts; ++attempt) {
        QSqlQuery* query =
            db.Run(next,
                   {controllerId, raw, EventTimeValue(event.eventTime), event.code,
                    event.temperatureCelsius, Text(event.text), readAt, by, controllerId, raw},
                   errText);
        if (!query)
            return false;
        const bool inserted = query->numRowsAffected() > 0;
        query->finish();
        if (inserted)
            return true;
    }
    errText = QStringLiteral("other programs kept taking the event's ordinal");
    return false;
}

bool HistoryArchive::Private::readingOf(ArchiveConnection& db, qint64 controllerId, bool& rewound,
                                        qint64& clearedAfter, QString& errText)
{
    QSqlQuery* query = db.Run(
        QStringLiteral("SELECT rewound, cleared_after FROM readings WHERE controller_id = ?"),
        {controllerId}, errText);
    if (!query)
        return false;
    rewound = false;
    clearedAfter = 0;
    if (query->next()) {
        rewound = query->value(0).toInt() != 0;
        clearedAfter = query->value(1).toLongLong();
    }
    query->finish();
    return true;
}

bool HistoryArchive::Private::insertReread(ArchiveConnection& db, const char* table,
                                           qint64 controllerId, const ArchivedEvent& event,
                                           qint64 clearedAfter, bool& duplicate, QString& errText)
{
    const QString raw = Text(event.raw);
    if (!db.Begin(errText))
        return false;
    const auto failed = [&] {
        db.Rollback();
        return false;
    };
    QSqlQuery* query = db.Run(
        QStringLiteral("INSERT INTO rereads (controller_id, raw, seen) VALUES (?, ?, 1) "
                       "ON CONFLICT (controller_id, raw) DO UPDATE SET seen = rereads.seen + 1 "
                       "RETURNING seen"),
        {controllerId, raw}, errText);
    if (!query)
        return failed();
    const int seen = query->next() ? query->value(0).toInt() : 0;
    query->finish();
    // The same reply archived before the log was cleared is another event.
    query = db.Run(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE controller_id = ? AND raw = ? "
                                  "AND gap = 0 AND id <= ?")
                       .arg(QLatin1String(table)),
                   {controllerId, raw, clearedAfter}, errText);
    if (!query)
        return failed();
    const int before = query->next() ? query->value(0).toInt() : 0;
    query->finish();
    ArchivedEvent numbered = event;
    numbered.ordinal = before + seen;
    if (seen <= 0 || !insertEvent(db, table, controllerId, numbered, duplicate, errText))
        return failed();
    return db.Commit(errText);
}

bool HistoryArchive::Private::insertStatus(ArchiveConnection& db, const char* table,
                                           qint64 controllerId, const QString& readAt,
                                           const QString& by, const QString& valuesJson,
                                           bool& stored, QString& errText)
{
    stored = false;
    QSqlQuery* query = db.Run(QStringLiteral("SELECT values_json FROM %1 WHERE controller_id = ? "
                                             "ORDER BY id DESC LIMIT 1")
                                  .arg(QLatin1String(table)),
                              {controllerId}, errText);
    if (!query)
        return false;
    const bool same = query->next() && SameStatus(query->value(0).toString(), valuesJson);
    query->finish();
    if (same)
        return true;
    query = db.Run(QStringLiteral("INSERT INTO %1 (controller_id, read_at, program, values_json) "
                                  "VALUES (?, ?, ?, ?)")
                       .arg(QLatin1String(table)),
                   {controllerId, readAt, Text(by), Text(valuesJson)}, errText);
    if (!query)
        return false;
    query->finish();
    stored = true;
    return true;
}

bool HistoryArchive::Private::insertChange(ArchiveConnection& db, const char* table,
                                           qint64 controllerId, const ArchivedChange& change,
                                           QString& errText)
{
    QSqlQuery* query = db.Run(
        QStringLiteral("INSERT INTO %1 (controller_id, written_at, program, command, data, "
                       "before_json, after_json, summary) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
            .arg(QLatin1String(table)),
        {controllerId,
         UtcText(change.writtenAt.isValid() ? change.writtenAt : QDateTime::currentDateTimeUtc()),
         Text(change.program.isEmpty() ? program : change.program), change.command,
         Text(change.data), Text(change.beforeJson), Text(change.afterJson), Text(change.summary)},
        errText);
    if (!query)
        return false;
    query->finish();
    return true;
}
