#include "history/HistoryArchivePrivate.h"

#include "history/SqliteRows.h"

#include <QSqlDatabase>

#include <sqlite3.h>

using namespace ArchiveRows;

int HistoryArchive::StoredCount(qint64 controllerId, const QString& raw)
{
    d->awaitWriter();
    int count = 0;
    d->attempt([&](QString& errText) {
        Target into;
        if (!d->target(controllerId, into, errText))
            return false;
        QSqlQuery* query = into.db->Run(
            QStringLiteral("SELECT COUNT(*) FROM %1 WHERE controller_id = ? AND raw = ? AND "
                           "%EVENT")
                .arg(QLatin1String(into.tables.events)),
            {into.controllerId, raw}, errText);
        if (!query)
            return false;
        count = query->next() ? query->value(0).toInt() : 0;
        query->finish();
        return true;
    });
    return count;
}

std::vector<ArchivedController> HistoryArchive::Private::controllers(const QString& serialNumber)
{
    awaitWriter();
    std::vector<ArchivedController> found;
    attempt([&](QString& errText) {
        found.clear();
        ArchiveConnection& db = queueing ? *local : *main;
        // Each controller's count is kept in its row: no event is read.
        QSqlQuery* query = db.Run(
            QStringLiteral("SELECT id, serial_number, firmware, port, first_seen, last_seen, "
                           "events_stored, name FROM controllers%1 ORDER BY id")
                .arg(serialNumber.isNull() ? QString()
                                           : QStringLiteral(" WHERE serial_number = ?")),
            serialNumber.isNull() ? QVariantList{} : QVariantList{serialNumber}, errText);
        if (!query)
            return false;
        while (query->next()) {
            ArchivedController controller = ControllerFrom(*query, db.isPostgres());
            if (queueing)
                controller.id = -controller.id;
            else if (usesServer)
                serverKeys.insert(controller.id, controller.key);
            found.push_back(controller);
        }
        query->finish();
        return true;
    });
    return found;
}

std::vector<ArchivedController> HistoryArchive::Controllers()
{
    return d->controllers(QString());
}

std::optional<ArchivedController> HistoryArchive::FindController(const QString& serialNumber)
{
    if (serialNumber.isEmpty())
        return std::nullopt;
    const std::vector<ArchivedController> found = d->controllers(serialNumber);
    if (found.empty())
        return std::nullopt;
    return found.front();
}

std::vector<ArchivedEvent> HistoryArchive::Events(qint64 controllerId, const EventFilter& filter)
{
    d->awaitWriter();
    std::vector<ArchivedEvent> events;
    d->attempt([&](QString& errText) {
        events.clear();
        Target into;
        if (!d->target(controllerId, into, errText))
            return false;
        QString sql = QStringLiteral("SELECT id, gap, raw, ordinal, event_time, code, "
                                     "temperature, text, read_at, program FROM %1 "
                                     "WHERE controller_id = ?")
                          .arg(QLatin1String(into.tables.events));
        QVariantList values{into.controllerId};
        // A gap has no event time nor code: a filter on either leaves gaps out.
        if (!filter.withGaps || filter.since || filter.until || filter.code)
            sql += QStringLiteral(" AND %EVENT");
        if (filter.since) {
            sql += QStringLiteral(" AND event_time >= ?");
            values << ClockText(*filter.since);
        }
        if (filter.until) {
            sql += QStringLiteral(" AND event_time <= ?");
            values << ClockText(*filter.until);
        }
        if (filter.code) {
            sql += QStringLiteral(" AND code = ?");
            values << *filter.code;
        }
        sql += QStringLiteral(" ORDER BY id");
        // A controller's whole history read from the file at SQLite's own pace; Qt SQL's
        // reading of each value took most of the History view's opening.
        if (!into.db->isPostgres()) {
            const auto row = [&events](sqlite3_stmt* r) {
                ArchivedEvent event;
                event.id = sqlite3_column_int64(r, 0);
                event.gap = sqlite3_column_int(r, 1) != 0;
                event.raw = SqliteRows::Text(r, 2);
                event.ordinal = sqlite3_column_int(r, 3);
                if (sqlite3_column_type(r, 4) != SQLITE_NULL)
                    event.eventTime = ParseTime(SqliteRows::Text(r, 4), Qt::UTC);
                event.code = sqlite3_column_int(r, 5);
                event.temperatureCelsius = sqlite3_column_double(r, 6);
                event.text = SqliteRows::Text(r, 7);
                event.readAt = FromUtcText(SqliteRows::Text(r, 8));
                event.program = SqliteRows::Text(r, 9);
                events.push_back(std::move(event));
            };
            if (SqliteRows::Read(QSqlDatabase::database(into.db->connectionName(), false),
                                 into.db->Dialect(sql), values, row, errText))
                return true;
            if (!errText.isEmpty())
                return false;
            events.clear();
        }
        QSqlQuery* query = into.db->Run(sql, values, errText);
        if (!query)
            return false;
        while (query->next()) {
            ArchivedEvent event = EventFrom(*query, 1);
            event.id = query->value(0).toLongLong();
            events.push_back(std::move(event));
        }
        query->finish();
        return true;
    });
    return events;
}

std::vector<ArchivedStatus> HistoryArchive::Statuses(qint64 controllerId)
{
    d->awaitWriter();
    std::vector<ArchivedStatus> statuses;
    d->attempt([&](QString& errText) {
        statuses.clear();
        Target into;
        if (!d->target(controllerId, into, errText))
            return false;
        QSqlQuery* query = into.db->Run(
            QStringLiteral("SELECT id, read_at, values_json FROM %1 WHERE controller_id = ? "
                           "ORDER BY id")
                .arg(QLatin1String(into.tables.statuses)),
            {into.controllerId}, errText);
        if (!query)
            return false;
        while (query->next())
            statuses.push_back({query->value(0).toLongLong(), TimeFrom(query->value(1)),
                                query->value(2).toString()});
        query->finish();
        return true;
    });
    return statuses;
}

std::vector<ArchivedChange> HistoryArchive::Changes(qint64 controllerId)
{
    d->awaitWriter();
    std::vector<ArchivedChange> changes;
    d->attempt([&](QString& errText) {
        changes.clear();
        Target into;
        if (!d->target(controllerId, into, errText))
            return false;
        QSqlQuery* query = into.db->Run(
            QStringLiteral("SELECT id, written_at, program, command, data, before_json, "
                           "after_json, summary FROM %1 WHERE controller_id = ? ORDER BY id")
                .arg(QLatin1String(into.tables.changes)),
            {into.controllerId}, errText);
        if (!query)
            return false;
        while (query->next()) {
            ArchivedChange change;
            change.id = query->value(0).toLongLong();
            change.writtenAt = TimeFrom(query->value(1));
            change.program = query->value(2).toString();
            change.command = query->value(3).toInt();
            change.data = CommandDataFrom(query->value(4));
            change.beforeJson = query->value(5).toString();
            change.afterJson = query->value(6).toString();
            change.summary = query->value(7).toString();
            changes.push_back(change);
        }
        query->finish();
        return true;
    });
    return changes;
}
