#include "history/HistoryArchivePrivate.h"

#include "history/ControllerSummary.h"

#include <algorithm>

using namespace ArchiveRows;

std::vector<qint64> HistoryArchive::UnnamedControllers(double firmware, const QString& raw)
{
    d->awaitWriter();
    std::vector<qint64> found;
    d->attempt([&](QString& errText) {
        found.clear();
        ArchiveConnection& db = d->queueing ? *d->local : *d->main;
        const char* events = d->queueing ? kQueueTables.events : kArchiveTables.events;
        QString sql = QStringLiteral(
            "SELECT c.id FROM controllers c WHERE c.serial_number IS NULL AND c.firmware = ?");
        QVariantList values{FirmwareValue(db, firmware)};
        if (!raw.isEmpty()) {
            sql += QStringLiteral(" AND EXISTS (SELECT 1 FROM %1 e WHERE e.controller_id = c.id "
                                  "AND e.raw = ? AND %EVENT)")
                       .arg(QLatin1String(events));
            values << raw;
        }
        QSqlQuery* query = db.Run(sql + QStringLiteral(" ORDER BY c.id"), values, errText);
        if (!query)
            return false;
        while (query->next())
            found.push_back(d->queueing ? -query->value(0).toLongLong()
                                        : query->value(0).toLongLong());
        query->finish();
        return true;
    });
    return found;
}

bool HistoryArchive::SeenController(qint64 controllerId, const ControllerKey& key)
{
    const QString seenAt = NowText();
    d->adopt(controllerId);
    return d->keep([controllerId, key, seenAt](HistoryArchive& a, QString& errText) {
        Target into;
        return a.d->target(controllerId, into, errText) &&
               a.d->touchController(*into.db, into.controllerId, key, seenAt, errText);
    });
}

std::optional<ArchivedController> HistoryArchive::ControllerById(qint64 controllerId)
{
    for (const ArchivedController& controller : Controllers())
        if (controller.id == controllerId)
            return controller;
    return std::nullopt;
}

bool HistoryArchive::Private::writableByHand(const char* done, QString& errText)
{
    errText.clear();
    awaitWriter();
    if (!open || broken) {
        errText = fault;
        return false;
    }
    if (queueing) {
        errText = QStringLiteral("records are %1 on the server only, and it cannot be reached now")
                      .arg(QLatin1String(done));
        return false;
    }
    return true;
}

bool HistoryArchive::Merge(qint64 intoId, qint64 fromId, QString& errText)
{
    if (!d->writableByHand("merged", errText))
        return false;
    const std::optional<ArchivedController> into = ControllerById(intoId);
    const std::optional<ArchivedController> from = ControllerById(fromId);
    if (!into || !from || intoId == fromId) {
        errText = !into   ? QStringLiteral("the history holds no record %1").arg(intoId)
                  : !from ? QStringLiteral("the history holds no record %1").arg(fromId)
                          : QStringLiteral("a record is not merged with itself");
        return false;
    }
    const QString serialInto = into->key.SerialName();
    const QString serialFrom = from->key.SerialName();
    if (!serialInto.isEmpty() && !serialFrom.isEmpty() && serialInto != serialFrom) {
        errText = QStringLiteral("records %1 and %2 hold the serial numbers %3 and %4: two "
                                 "controllers")
                      .arg(intoId)
                      .arg(fromId)
                      .arg(serialInto, serialFrom);
        return false;
    }
    QString dbError;
    const bool done = d->attempt([&](QString& failure) {
        ArchiveConnection& db = *d->main;
        if (!db.Begin(failure))
            return false;
        const QVariantList both{intoId, fromId};
        // The same controller's events read by both: the n-th time a reply came is one event.
        const QStringList statements{
            QStringLiteral("DELETE FROM events WHERE controller_id = ? AND %EVENT AND EXISTS "
                           "(SELECT 1 FROM events e WHERE e.controller_id = ? AND %EVENT AND "
                           "e.raw = events.raw AND e.ordinal = events.ordinal)"),
            QStringLiteral("UPDATE events SET controller_id = ? WHERE controller_id = ?"),
            QStringLiteral("UPDATE statuses SET controller_id = ? WHERE controller_id = ?"),
            QStringLiteral("UPDATE changes SET controller_id = ? WHERE controller_id = ?"),
            QStringLiteral("DELETE FROM rereads WHERE controller_id = ?"),
            QStringLiteral("DELETE FROM readings WHERE controller_id = ?"),
            QStringLiteral("DELETE FROM controllers WHERE id = ?"),
            QStringLiteral("UPDATE controllers SET serial_number = ?, first_seen = ?, "
                           "last_seen = ?, name = ? WHERE id = ?"),
        };
        const QVariantList values[] = {
            {fromId, intoId},
            both,
            both,
            both,
            {fromId},
            {fromId},
            {fromId},
            {serialInto.isEmpty() ? (serialFrom.isEmpty() ? NullText() : QVariant(serialFrom))
                                  : QVariant(serialInto),
             UtcText(qMin(into->firstSeen, from->firstSeen)),
             UtcText(qMax(into->lastSeen, from->lastSeen)),
             // Its own name, else the other's.
             !into->name.isEmpty()   ? QVariant(into->name)
             : !from->name.isEmpty() ? QVariant(from->name)
                                     : NullText(),
             intoId},
        };
        for (int i = 0; i < statements.size(); ++i) {
            QSqlQuery* query = db.Run(statements[i], values[i], failure);
            if (!query) {
                dbError = failure;
                db.Rollback();
                return false;
            }
            query->finish();
        }
        // The merged record's count, last service and visit, from its records.
        if (!ControllerSummary::Rebuild(db, intoId, failure)) {
            dbError = failure;
            db.Rollback();
            return false;
        }
        return db.Commit(failure);
    });
    if (!done)
        errText = dbError.isEmpty() ? d->fault : dbError;
    return done;
}

bool HistoryArchive::Name(qint64 controllerId, const QString& name, QString& errText)
{
    if (!d->writableByHand("named", errText))
        return false;
    const QString given = name.trimmed();
    if (given.size() > kMaxNameLength) {
        errText = QStringLiteral("a name has at most %1 characters").arg(kMaxNameLength);
        return false;
    }
    if (std::any_of(given.begin(), given.end(),
                    [](QChar c) { return c.category() == QChar::Other_Control; })) {
        errText = QStringLiteral("a name is one line of text");
        return false;
    }
    const std::vector<ArchivedController> records = Controllers();
    if (!isOpen()) {
        errText = d->fault;
        return false;
    }
    if (std::none_of(records.begin(), records.end(), [controllerId](const ArchivedController& r) {
            return r.id == controllerId;
        })) {
        errText = QStringLiteral("the history holds no record %1").arg(controllerId);
        return false;
    }
    // Two records of one name would tell nothing apart.
    for (const ArchivedController& other : records)
        if (other.id != controllerId && !given.isEmpty() &&
            other.name.compare(given, Qt::CaseInsensitive) == 0) {
            errText =
                QStringLiteral("record %1 is called \"%2\" already").arg(other.id).arg(other.name);
            return false;
        }
    QString dbError;
    const bool done = d->attempt([&](QString& failure) {
        QSqlQuery* query =
            d->main->Run(QStringLiteral("UPDATE controllers SET name = ? WHERE id = ?"),
                         {given.isEmpty() ? NullText() : QVariant(given), controllerId}, failure);
        if (!query) {
            dbError = failure;
            return false;
        }
        query->finish();
        return true;
    });
    if (!done)
        errText = dbError.isEmpty() ? d->fault : dbError;
    return done;
}

bool HistoryArchive::Private::markReading(qint64 controllerId, bool rewound)
{
    adopt(controllerId);
    return keep([controllerId, rewound](HistoryArchive& a, QString& errText) {
        Target into;
        if (!a.d->target(controllerId, into, errText))
            return false;
        if (qstrcmp(into.tables.events, kArchiveTables.events) == 0) {
            if (!a.d->markReadingIn(*into.db, into.controllerId, rewound, errText))
                return false;
        } else {
            // The queue keeps the mark after the events queued before it; the server's reading
            // is marked when they are sent.
            QSqlQuery* query = into.db->Run(
                QStringLiteral("INSERT INTO queue_readings (controller_id, rewound, "
                               "queued_after) SELECT ?, ?, COALESCE(MAX(id), 0) FROM queue_events"),
                {into.controllerId, Flag(rewound)}, errText);
            if (!query)
                return false;
            query->finish();
        }
        a.d->rewoundKnown.insert(controllerId, rewound);
        return true;
    });
}

bool HistoryArchive::Private::markReadingIn(ArchiveConnection& db, qint64 controllerId,
                                            bool rewound, QString& errText)
{
    const QString mark =
        rewound ? QStringLiteral("INSERT INTO readings (controller_id, rewound, cleared_after, "
                                 "rewound_at, reread_after) VALUES (?, TRUE, 0, (SELECT "
                                 "COALESCE(MAX(id), 0) FROM events WHERE controller_id = ?), 0) "
                                 "ON CONFLICT (controller_id) DO UPDATE SET rewound = TRUE, "
                                 "rewound_at = excluded.rewound_at, "
                                 "reread_after = readings.cleared_after")
                : QStringLiteral("INSERT INTO readings (controller_id, rewound, cleared_after) "
                                 "VALUES (?, FALSE, (SELECT COALESCE(MAX(id), 0) FROM events "
                                 "WHERE controller_id = ?)) ON CONFLICT (controller_id) DO "
                                 "UPDATE SET rewound = FALSE, "
                                 "cleared_after = excluded.cleared_after");
    const QVariantList values{controllerId, controllerId};
    if (!db.Begin(errText))
        return false;
    for (const auto& [sql, bound] :
         {std::pair{mark, values},
          std::pair{QStringLiteral("DELETE FROM rereads WHERE controller_id = ?"),
                    QVariantList{controllerId}}}) {
        QSqlQuery* query = db.Run(sql, bound, errText);
        if (!query) {
            db.Rollback();
            return false;
        }
        query->finish();
    }
    return db.Commit(errText);
}

bool HistoryArchive::MarkRewound(qint64 controllerId)
{
    return d->markReading(controllerId, true);
}

bool HistoryArchive::MarkCleared(qint64 controllerId)
{
    return d->markReading(controllerId, false);
}
