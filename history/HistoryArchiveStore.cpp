#include "history/HistoryArchivePrivate.h"

#include "history/ControllerSummary.h"

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
        "INSERT INTO controllers (serial_number, firmware, port, first_seen, last_seen, "
        "visit_start) VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING RETURNING id");
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
            // Asked for at every event: its row is updated once a while, not every time.
            const QString at = db.connectionName() + u'/' + QString::number(id);
            Touched& last = touched[at];
            if (last.since.isValid() && last.key == key &&
                !last.since.hasExpired(
                    std::chrono::duration_cast<std::chrono::milliseconds>(kTouchInterval).count()))
                return true;
            QString ignored;
            if (touchController(db, id, key, seenAt, ignored)) {
                last.key = key;
                last.since.start();
            }
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
    if (!(query = db.Run(insert,
                         {serial, FirmwareValue(db, key.firmware), port, seenAt, seenAt, seenAt},
                         errText)))
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
    return ControllerSummary::Contact(db, id, key.firmware, key.port, FromUtcText(seenAt), errText);
}

bool HistoryArchive::Private::insertRow(ArchiveConnection& db, const char* table,
                                        qint64 controllerId, const ArchivedEvent& event,
                                        bool& stored, QString& errText)
{
    QSqlQuery* query =
        db.Run(QStringLiteral("INSERT INTO %1 (%2) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                              "ON CONFLICT DO NOTHING")
                   .arg(QLatin1String(table), QLatin1String(kEventColumns)),
               {controllerId, Flag(event.gap), Text(event.gap ? QString() : event.raw),
                event.gap                                  ? 0
                : qstrcmp(table, kQueueTables.events) == 0 ? qMax(event.ordinal, kQueuedReread)
                                                           : qMax(event.ordinal, 0),
                EventTimeValue(event.eventTime), CodeValue(db, event), event.temperatureCelsius,
                Text(event.text), UtcText(event.readAt), Text(event.program)},
               errText);
    if (!query)
        return false;
    stored = query->numRowsAffected() > 0;
    query->finish();
    return true;
}

bool HistoryArchive::Private::insertEvent(ArchiveConnection& db, const char* table,
                                          qint64 controllerId, const ArchivedEvent& given,
                                          bool& duplicate, QString& errText, bool* rewound)
{
    duplicate = false;
    ArchivedEvent event = given;
    if (!event.readAt.isValid())
        event.readAt = QDateTime::currentDateTimeUtc();
    if (event.program.isEmpty())
        event.program = program;
    if (event.gap)
        event.eventTime = QDateTime();
    const bool queue = qstrcmp(table, kArchiveTables.events) != 0;
    if (!db.Begin(errText))
        return false;
    const auto failed = [&] {
        db.Rollback();
        return false;
    };
    bool stored = false;
    if (event.gap || event.ordinal > 0 || queue) {
        if (!insertRow(db, table, controllerId, event, stored, errText))
            return failed();
    } else {
        // Read again after a rewind (by this run or another): its occurrence since the log was
        // cleared, counted in the archive.
        Reading reading;
        if (!readingOf(db, controllerId, reading, errText))
            return failed();
        if (rewound)
            *rewound = reading.rewound;
        if (reading.rewound) {
            if (!insertReread(db, table, controllerId, event, reading, stored, errText))
                return failed();
        } else {
            // A new event: the next ordinal for its reply, taken in the same statement; when
            // another program took that ordinal first, the next one.
            const QString next =
                QStringLiteral("INSERT INTO %1 (%2) SELECT CAST(? AS BIGINT), FALSE, "
                               "CAST(? AS TEXT), COALESCE(MAX(ordinal), 0) + 1, CAST(? AS %TS), "
                               "CAST(? AS INTEGER), CAST(? AS DOUBLE PRECISION), "
                               "CAST(? AS TEXT), CAST(? AS %TSTZ), CAST(? AS TEXT) FROM %1 "
                               "WHERE controller_id = ? AND raw = ? AND %EVENT "
                               "ON CONFLICT DO NOTHING")
                    .arg(QLatin1String(table), QLatin1String(kEventColumns));
            const QString raw = Text(event.raw);
            for (int attempt = 0; attempt < kOrdinalAttempts && !stored; ++attempt) {
                QSqlQuery* query =
                    db.Run(next,
                           {controllerId, raw, EventTimeValue(event.eventTime), event.code,
                            event.temperatureCelsius, Text(event.text), UtcText(event.readAt),
                            Text(event.program), controllerId, raw},
                           errText);
                if (!query)
                    return failed();
                stored = query->numRowsAffected() > 0;
                query->finish();
            }
            if (!stored) {
                errText = QStringLiteral("other programs kept taking the event's ordinal");
                return failed();
            }
        }
    }
    duplicate = !stored;
    // The controller's summary, in the same transaction: counted once, when first stored.
    if (stored && !event.gap &&
        !ControllerSummary::EventStored(db, controllerId, event.text, event.readAt, errText))
        return failed();
    return db.Commit(errText);
}

bool HistoryArchive::Private::readingOf(ArchiveConnection& db, qint64 controllerId,
                                        Reading& reading, QString& errText)
{
    QSqlQuery* query = db.Run(QStringLiteral("SELECT rewound, cleared_after, rewound_at, "
                                             "reread_after FROM readings WHERE controller_id = ?"),
                              {controllerId}, errText);
    if (!query)
        return false;
    reading = Reading();
    if (query->next()) {
        reading.rewound = query->value(0).toBool();
        reading.clearedAfter = query->value(1).toLongLong();
        reading.rewoundAt = query->value(2).toLongLong();
        reading.rereadAfter = query->value(3).toLongLong();
    }
    query->finish();
    return true;
}

bool HistoryArchive::Private::insertReread(ArchiveConnection& db, const char* table,
                                           qint64 controllerId, const ArchivedEvent& event,
                                           const Reading& reading, bool& stored, QString& errText)
{
    stored = false;
    const QString raw = Text(event.raw);
    QSqlQuery* query = db.Run(
        QStringLiteral("INSERT INTO rereads (controller_id, raw, seen) VALUES (?, ?, 1) "
                       "ON CONFLICT (controller_id, raw) DO UPDATE SET seen = rereads.seen + 1 "
                       "RETURNING seen"),
        {controllerId, raw}, errText);
    if (!query)
        return false;
    const int seen = query->next() ? query->value(0).toInt() : 0;
    query->finish();
    if (seen <= 0) {
        errText = QStringLiteral("the event's occurrence could not be counted");
        return false;
    }
    // The same reply archived before the log was cleared is another event.
    query = db.Run(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE controller_id = ? AND raw = ? "
                                  "AND %EVENT AND id <= ?")
                       .arg(QLatin1String(table)),
                   {controllerId, raw, reading.clearedAfter}, errText);
    if (!query)
        return false;
    const int before = query->next() ? query->value(0).toInt() : 0;
    query->finish();
    ArchivedEvent numbered = event;
    numbered.ordinal = before + seen;
    const auto moveTo = [&](qint64 id) {
        query =
            db.Run(QStringLiteral("UPDATE readings SET reread_after = ? WHERE controller_id = ?"),
                   {id, controllerId}, errText);
        if (query)
            query->finish();
        return query != nullptr;
    };
    // Stored already: the reading stands after it.
    query = db.Run(QStringLiteral("SELECT id FROM %1 WHERE controller_id = ? AND raw = ? AND "
                                  "ordinal = ? AND %EVENT")
                       .arg(QLatin1String(table)),
                   {controllerId, raw, numbered.ordinal}, errText);
    if (!query)
        return false;
    const qint64 found = query->next() ? query->value(0).toLongLong() : 0;
    query->finish();
    if (found > 0)
        return moveTo(found);
    // New: when the record after the last one found again is a gap archived before the
    // rewind, the event was lost there to a damaged reply: it takes the gap's place.
    query =
        db.Run(QStringLiteral("SELECT id, gap FROM %1 WHERE controller_id = ? AND id > ? "
                              "AND id <= ? ORDER BY id LIMIT 1")
                   .arg(QLatin1String(table)),
               {controllerId, qMax(reading.rereadAfter, reading.clearedAfter), reading.rewoundAt},
               errText);
    if (!query)
        return false;
    qint64 gapId = 0;
    if (query->next() && query->value(1).toBool())
        gapId = query->value(0).toLongLong();
    query->finish();
    if (gapId == 0)
        return insertRow(db, table, controllerId, numbered, stored, errText);
    query = db.Run(QStringLiteral("UPDATE %1 SET gap = FALSE, raw = ?, ordinal = ?, "
                                  "event_time = ?, code = ?, temperature = ?, text = ?, "
                                  "read_at = ?, program = ? WHERE id = ?")
                       .arg(QLatin1String(table)),
                   {raw, numbered.ordinal, EventTimeValue(numbered.eventTime), numbered.code,
                    numbered.temperatureCelsius, Text(numbered.text), UtcText(numbered.readAt),
                    Text(numbered.program), gapId},
                   errText);
    if (!query)
        return false;
    stored = query->numRowsAffected() > 0;
    query->finish();
    return moveTo(gapId);
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
    if (!db.Begin(errText))
        return false;
    query = db.Run(QStringLiteral("INSERT INTO %1 (controller_id, read_at, program, values_json) "
                                  "VALUES (?, ?, ?, ?)")
                       .arg(QLatin1String(table)),
                   {controllerId, readAt, Text(by), JsonValue(db, valuesJson)}, errText);
    const bool inserted = query != nullptr;
    if (query)
        query->finish();
    if (!inserted || !ControllerSummary::StatusStored(db, controllerId, valuesJson, errText)) {
        db.Rollback();
        return false;
    }
    if (!db.Commit(errText))
        return false;
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
         CommandData(db, change.data), JsonValue(db, change.beforeJson),
         JsonValue(db, change.afterJson), Text(change.summary)},
        errText);
    if (!query)
        return false;
    query->finish();
    return true;
}
