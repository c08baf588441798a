#include "history/HistoryArchivePrivate.h"

using namespace ArchiveRows;

std::vector<FleetEntry> HistoryArchive::Fleet()
{
    d->awaitWriter();
    std::vector<FleetEntry> fleet;
    d->attempt([&](QString& errText) {
        fleet.clear();
        ArchiveConnection& db = d->queueing ? *d->local : *d->main;
        // What the fleet shows of each controller is kept in its row (ControllerSummary): one
        // statement over the controllers, no event nor status read, whatever they hold.
        QSqlQuery* query = db.Run(QStringLiteral("SELECT id, serial_number, firmware, port, "
                                                 "first_seen, last_seen, events_stored, name, "
                                                 "last_service, visit_alarms, visit_faults "
                                                 "FROM controllers ORDER BY id"),
                                  {}, errText);
        if (!query)
            return false;
        while (query->next()) {
            FleetEntry entry;
            entry.controller = ControllerFrom(*query, db.isPostgres());
            if (d->queueing)
                entry.controller.id = -entry.controller.id;
            entry.lastService = ClockFrom(query->value(8));
            entry.alarms = query->value(9).toInt();
            entry.faults = query->value(10).toInt();
            fleet.push_back(entry);
        }
        query->finish();
        return true;
    });
    return fleet;
}
