#include "history/HistoryArchivePrivate.h"

#include "data/EventKinds.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

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
        // controller's index on id gives them without reading its older history.
        const QString visitSql = QStringLiteral("SELECT text, read_at FROM %1 WHERE "
                                                "controller_id = ? AND gap = 0 ORDER BY id DESC")
                                     .arg(QLatin1String(tables.events));
        QHash<QString, EventKinds::Kind> kinds;
        for (FleetEntry& entry : fleet) {
            if (!entry.controller.lastSeen.isValid())
                continue;
            const QDateTime visitStart = entry.controller.lastSeen.addSecs(
                -std::chrono::duration_cast<std::chrono::seconds>(kVisitLength).count());
            query = db.Run(visitSql, {entry.controller.id}, errText);
            if (!query)
                return false;
            while (query->next()) {
                if (FromUtcText(query->value(1).toString()) < visitStart)
                    break;
                const QString text = query->value(0).toString();
                auto kind = kinds.constFind(text);
                if (kind == kinds.constEnd())
                    kind = kinds.insert(text, EventKinds::Of(text.toLatin1().toStdString()));
                entry.alarms += *kind == EventKinds::Kind::Alarm ? 1 : 0;
                entry.faults += *kind == EventKinds::Kind::Fault ? 1 : 0;
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
