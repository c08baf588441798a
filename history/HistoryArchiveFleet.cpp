#include "history/HistoryArchivePrivate.h"

#include "data/EventKinds.h"

#include "history/SqliteRows.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <unordered_map>

using namespace ArchiveRows;

namespace {

/// The date the controller gives for "no date".
const QDate kZeroDate(1899, 12, 30);

/// admin.lastService of a status's values; invalid when the status has none.
QDateTime LastService(const QString& valuesJson)
{
    const QJsonObject admin = QJsonDocument::fromJson(valuesJson.toUtf8())
                                  .object()
                                  .value(QLatin1String("admin"))
                                  .toObject();
    const QDateTime time = ParseTime(admin.value(QLatin1String("lastService")).toString(), Qt::UTC);
    return time.isValid() && time.date() != kZeroDate ? time : QDateTime();
}

} // namespace

std::vector<FleetEntry> HistoryArchive::Fleet()
{
    d->awaitWriter();
    std::vector<FleetEntry> fleet;
    d->attempt([&](QString& errText) {
        fleet.clear();
        ArchiveConnection& db = d->queueing ? *d->local : *d->main;
        const Tables tables = d->queueing ? kQueueTables : kArchiveTables;
        QSqlQuery* query = db.Run(
            QStringLiteral("SELECT id, serial_number, firmware, port, first_seen, last_seen, 0 "
                           "FROM controllers ORDER BY id"),
            {}, errText);
        if (!query)
            return false;
        QHash<qint64, std::size_t> index;
        while (query->next()) {
            FleetEntry entry;
            entry.controller = ControllerFrom(*query);
            index.insert(entry.controller.id, fleet.size());
            fleet.push_back(entry);
        }
        query->finish();

        // The last status of each controller holds its last service date.
        query = db.Run(QStringLiteral("SELECT controller_id, values_json FROM %1 WHERE id IN "
                                      "(SELECT MAX(id) FROM %1 GROUP BY controller_id)")
                           .arg(QLatin1String(tables.statuses)),
                       {}, errText);
        if (!query)
            return false;
        while (query->next()) {
            const auto at = index.constFind(query->value(0).toLongLong());
            if (at != index.constEnd())
                fleet[*at].lastService = LastService(query->value(1).toString());
        }
        query->finish();

        // The last visit's events, newest first, up to the first read before the visit: the
        // controller's index on id gives them without reading its older history. Read times
        // are compared as the archive writes them (UtcText), which sorts as the times do.
        const QString visitSql = QStringLiteral("SELECT text, read_at FROM %1 WHERE "
                                                "controller_id = ? AND gap = 0 ORDER BY id DESC")
                                     .arg(QLatin1String(tables.events));
        std::unordered_map<std::string, EventKinds::Kind> kinds;
        std::string key; // reused: no allocation per event
        const auto count = [&kinds, &key](FleetEntry& entry, std::string_view text) {
            key.assign(text);
            auto kind = kinds.find(key);
            if (kind == kinds.end())
                kind = kinds.emplace(key, EventKinds::Of(text)).first;
            entry.alarms += kind->second == EventKinds::Kind::Alarm ? 1 : 0;
            entry.faults += kind->second == EventKinds::Kind::Fault ? 1 : 0;
        };
        for (FleetEntry& entry : fleet) {
            if (!entry.controller.lastSeen.isValid())
                continue;
            const std::string visitStart =
                UtcText(
                    entry.controller.lastSeen.addSecs(
                        -std::chrono::duration_cast<std::chrono::seconds>(kVisitLength).count()))
                    .toStdString();
            if (!db.isPostgres()) {
                const auto row = [&](sqlite3_stmt* r) {
                    const auto* readAt = reinterpret_cast<const char*>(sqlite3_column_text(r, 1));
                    if (!readAt || std::string_view(readAt) < visitStart)
                        return false;
                    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(r, 0));
                    count(entry,
                          text ? std::string_view(text, std::size_t(sqlite3_column_bytes(r, 0)))
                               : std::string_view());
                    return true;
                };
                if (SqliteRows::ReadWhile(QSqlDatabase::database(db.connectionName(), false),
                                          visitSql, {entry.controller.id}, row, errText))
                    continue;
                if (!errText.isEmpty())
                    return false;
                entry.alarms = entry.faults = 0;
            }
            query = db.Run(visitSql, {entry.controller.id}, errText);
            if (!query)
                return false;
            while (query->next()) {
                if (query->value(1).toString().toStdString() < visitStart)
                    break;
                count(entry, query->value(0).toString().toUtf8().toStdString());
            }
            query->finish();
        }
        if (d->queueing)
            for (FleetEntry& entry : fleet)
                entry.controller.id = -entry.controller.id;
        return true;
    });
    return fleet;
}
