#include "history/HistorySchema.h"

#include "history/ArchiveConnection.h"
#include "history/ControllerSummary.h"

namespace {
/// Taken by every program that migrates a PostgreSQL archive, so two never do it at once.
constexpr qint64 kMigrationLockKey = 0x7461726e68697374; // "tarnhist"
/// The version from which each controller keeps its summary (ControllerSummary).
constexpr int kSummaryVersion = 3;

const HistorySchema::Steps kSteps = {
    // 1: controllers, events, statuses, setup changes, and the queue kept in the local file
    //    while the server cannot be reached (the controller's row there gives its key; a
    //    server has no queue).
    {
        QStringLiteral("CREATE TABLE controllers (id %ID, serial_number TEXT, "
                       "firmware DOUBLE PRECISION NOT NULL, port TEXT NOT NULL, "
                       "first_seen TEXT NOT NULL, last_seen TEXT NOT NULL)"),
        QStringLiteral("CREATE UNIQUE INDEX controllers_serial ON controllers (serial_number)"),
        QStringLiteral("CREATE UNIQUE INDEX controllers_unnamed ON controllers (firmware, port) "
                       "WHERE serial_number IS NULL"),
        QStringLiteral("CREATE TABLE events (id %ID, "
                       "controller_id BIGINT NOT NULL REFERENCES controllers (id), "
                       "gap INTEGER NOT NULL, raw TEXT NOT NULL, ordinal INTEGER NOT NULL, "
                       "event_time TEXT, code INTEGER NOT NULL, "
                       "temperature DOUBLE PRECISION NOT NULL, text TEXT NOT NULL, "
                       "read_at TEXT NOT NULL, program TEXT NOT NULL)"),
        QStringLiteral("CREATE UNIQUE INDEX events_once ON events (controller_id, raw, ordinal) "
                       "WHERE gap = 0"),
        QStringLiteral("CREATE INDEX events_by_controller ON events (controller_id, id)"),
        QStringLiteral("CREATE TABLE statuses (id %ID, "
                       "controller_id BIGINT NOT NULL REFERENCES controllers (id), "
                       "read_at TEXT NOT NULL, program TEXT NOT NULL, values_json TEXT NOT NULL)"),
        QStringLiteral("CREATE INDEX statuses_by_controller ON statuses (controller_id, id)"),
        QStringLiteral("CREATE TABLE changes (id %ID, "
                       "controller_id BIGINT NOT NULL REFERENCES controllers (id), "
                       "written_at TEXT NOT NULL, program TEXT NOT NULL, command INTEGER NOT NULL, "
                       "data TEXT NOT NULL, before_json TEXT NOT NULL, after_json TEXT NOT NULL, "
                       "summary TEXT NOT NULL)"),
        QStringLiteral("CREATE INDEX changes_by_controller ON changes (controller_id, id)"),
        QStringLiteral("lite:CREATE TABLE queue_events (id %ID, "
                       "controller_id BIGINT NOT NULL REFERENCES controllers (id), "
                       "gap INTEGER NOT NULL, raw TEXT NOT NULL, ordinal INTEGER NOT NULL, "
                       "event_time TEXT, code INTEGER NOT NULL, "
                       "temperature DOUBLE PRECISION NOT NULL, text TEXT NOT NULL, "
                       "read_at TEXT NOT NULL, program TEXT NOT NULL)"),
        QStringLiteral("lite:CREATE UNIQUE INDEX queue_events_once ON queue_events "
                       "(controller_id, raw, ordinal) WHERE gap = 0 AND ordinal > 0"),
        QStringLiteral("lite:CREATE TABLE queue_statuses (id %ID, "
                       "controller_id BIGINT NOT NULL REFERENCES controllers (id), "
                       "read_at TEXT NOT NULL, program TEXT NOT NULL, values_json TEXT NOT NULL)"),
        QStringLiteral("lite:CREATE TABLE queue_changes (id %ID, "
                       "controller_id BIGINT NOT NULL REFERENCES controllers (id), "
                       "written_at TEXT NOT NULL, program TEXT NOT NULL, command INTEGER NOT NULL, "
                       "data TEXT NOT NULL, before_json TEXT NOT NULL, after_json TEXT NOT NULL, "
                       "summary TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL)"),
        QStringLiteral("INSERT INTO schema_version (version) VALUES (0)"),
    },
    // 2: controllers without a serial number are no longer told apart by firmware and port
    //    (the port is the adapter's, not the controller's): each is a record of its own, and a
    //    serial number 0 is none. Where each controller's reading stands, kept for every run:
    //    whether the log was rewound since it was last cleared, the last event archived
    //    before that clearing, and how often each reply came again since the rewind.
    {
        QStringLiteral("DROP INDEX controllers_unnamed"),
        QStringLiteral("UPDATE controllers SET serial_number = NULL WHERE serial_number = '0'"),
        QStringLiteral("CREATE TABLE readings (controller_id BIGINT PRIMARY KEY "
                       "REFERENCES controllers (id), rewound INTEGER NOT NULL, "
                       "cleared_after BIGINT NOT NULL)"),
        QStringLiteral("CREATE TABLE rereads (controller_id BIGINT NOT NULL "
                       "REFERENCES controllers (id), raw TEXT NOT NULL, seen INTEGER NOT NULL, "
                       "PRIMARY KEY (controller_id, raw))"),
    },
    // 3: on a server, the columns of their own types (times with their zone, the controller's
    //    clock as a time without one, JSON, booleans, the firmware in hundredths) and checks
    //    on what a row may hold; a gap has no code. Per controller, what the fleet and the
    //    controllers list show, kept as records are stored (ControllerSummary): events stored,
    //    last service, the last visit and its alarms and faults. Where a reread after a rewind
    //    stands, so that an event lost to a damaged reply replaces its gap when it comes again.
    {
        QStringLiteral("pg:DROP TABLE IF EXISTS queue_events, queue_statuses, queue_changes"),
        QStringLiteral("pg:UPDATE controllers SET serial_number = NULL "
                       "WHERE btrim(btrim(serial_number), '0') = ''"),
        QStringLiteral("lite:UPDATE controllers SET serial_number = NULL "
                       "WHERE trim(trim(serial_number), '0') = ''"),
        QStringLiteral("pg:ALTER TABLE controllers "
                       "ALTER COLUMN firmware TYPE INTEGER USING round(firmware * 100), "
                       "ALTER COLUMN first_seen TYPE timestamptz USING first_seen::timestamptz, "
                       "ALTER COLUMN last_seen TYPE timestamptz USING last_seen::timestamptz, "
                       "ADD CONSTRAINT controllers_firmware CHECK (firmware >= 0), "
                       "ADD CONSTRAINT controllers_serial_named CHECK "
                       "(serial_number IS NULL OR btrim(btrim(serial_number), '0') <> '')"),
        QStringLiteral("pg:COMMENT ON COLUMN controllers.firmware IS "
                       "'firmware version in hundredths: 206 is V2.06'"),
        QStringLiteral("ALTER TABLE controllers ADD COLUMN events_stored BIGINT NOT NULL "
                       "DEFAULT 0 CHECK (events_stored >= 0)"),
        QStringLiteral("ALTER TABLE controllers ADD COLUMN last_service %TS"),
        QStringLiteral("ALTER TABLE controllers ADD COLUMN visit_start %TSTZ"),
        QStringLiteral("ALTER TABLE controllers ADD COLUMN visit_alarms INTEGER NOT NULL "
                       "DEFAULT 0 CHECK (visit_alarms >= 0)"),
        QStringLiteral("ALTER TABLE controllers ADD COLUMN visit_faults INTEGER NOT NULL "
                       "DEFAULT 0 CHECK (visit_faults >= 0)"),
        QStringLiteral("pg:DROP INDEX events_once"),
        QStringLiteral("pg:ALTER TABLE events "
                       "ALTER COLUMN gap TYPE BOOLEAN USING gap <> 0, "
                       "ALTER COLUMN event_time TYPE TIMESTAMP USING event_time::timestamp, "
                       "ALTER COLUMN code DROP NOT NULL, "
                       "ALTER COLUMN read_at TYPE timestamptz USING read_at::timestamptz"),
        QStringLiteral("pg:UPDATE events SET code = NULL WHERE gap"),
        QStringLiteral("pg:ALTER TABLE events ADD CONSTRAINT events_gap_or_event CHECK (CASE "
                       "WHEN gap THEN code IS NULL AND raw = '' AND ordinal = 0 AND "
                       "event_time IS NULL ELSE code IS NOT NULL AND code BETWEEN 0 AND 255 AND "
                       "ordinal >= 1 AND raw <> '' END)"),
        QStringLiteral("pg:CREATE UNIQUE INDEX events_once ON events (controller_id, raw, "
                       "ordinal) WHERE NOT gap"),
        QStringLiteral("pg:ALTER TABLE statuses "
                       "ALTER COLUMN read_at TYPE timestamptz USING read_at::timestamptz, "
                       "ALTER COLUMN values_json TYPE JSONB USING values_json::jsonb"),
        QStringLiteral("pg:ALTER TABLE changes "
                       "ALTER COLUMN written_at TYPE timestamptz USING written_at::timestamptz, "
                       "ALTER COLUMN before_json DROP NOT NULL, "
                       "ALTER COLUMN before_json TYPE JSONB USING "
                       "CASE WHEN before_json = '' THEN NULL ELSE before_json::jsonb END, "
                       "ALTER COLUMN after_json DROP NOT NULL, "
                       "ALTER COLUMN after_json TYPE JSONB USING "
                       "CASE WHEN after_json = '' THEN NULL ELSE after_json::jsonb END, "
                       "ADD CONSTRAINT changes_command CHECK (command >= -1)"),
        QStringLiteral("pg:ALTER TABLE readings "
                       "ALTER COLUMN rewound TYPE BOOLEAN USING rewound <> 0, "
                       "ADD CONSTRAINT readings_cleared_after CHECK (cleared_after >= 0)"),
        QStringLiteral("pg:ALTER TABLE rereads ADD CONSTRAINT rereads_seen CHECK (seen >= 1)"),
        QStringLiteral("ALTER TABLE readings ADD COLUMN rewound_at BIGINT NOT NULL DEFAULT 0"),
        QStringLiteral("ALTER TABLE readings ADD COLUMN reread_after BIGINT NOT NULL DEFAULT 0"),
    },
    // 4: the local queue keeps the rewinds and clearings of a controller's log marked while the
    //    server was away, after the queued events they followed, so that the events read again
    //    are sent as such (a queued event's ordinal -1: read again after a rewind).
    {
        QStringLiteral("lite:CREATE TABLE queue_readings (id %ID, "
                       "controller_id BIGINT NOT NULL REFERENCES controllers (id), "
                       "rewound INTEGER NOT NULL, queued_after BIGINT NOT NULL)"),
    },
    // 5: a record's name, given by the technician (a controller without a serial number is
    //    told apart by it). On a server, a command's data as bytes: a text cannot hold the
    //    NUL byte that names the first zone.
    {
        QStringLiteral("ALTER TABLE controllers ADD COLUMN name TEXT "
                       "CHECK (name IS NULL OR (trim(name) = name AND name <> ''))"),
        QStringLiteral("pg:ALTER TABLE changes ALTER COLUMN data TYPE BYTEA "
                       "USING convert_to(data, 'LATIN1')"),
    },
};
} // namespace

const HistorySchema::Steps& HistorySchema::Current()
{
    return kSteps;
}

bool HistorySchema::Version(ArchiveConnection& db, int& version, QString& errText)
{
    version = 0;
    const QString hasTable =
        db.isPostgres()
            ? QStringLiteral("SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = "
                             "current_schema() AND table_name = 'schema_version'")
            : QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND "
                             "name = 'schema_version'");
    QSqlQuery* query = db.Run(hasTable, {}, errText);
    if (!query)
        return false;
    const bool present = query->next() && query->value(0).toInt() > 0;
    query->finish();
    if (!present)
        return true;
    query = db.Run(QStringLiteral("SELECT MAX(version) FROM schema_version"), {}, errText);
    if (!query)
        return false;
    if (query->next())
        version = query->value(0).toInt();
    query->finish();
    return true;
}

bool HistorySchema::Migrate(ArchiveConnection& db, const Steps& steps, QString& errText)
{
    const int target = int(steps.size());
    int version = 0;
    if (!Version(db, version, errText))
        return false;
    const auto newer = [&] {
        errText = QStringLiteral("it is of version %1, newer than this program knows (%2): "
                                 "use a newer program with it")
                      .arg(version)
                      .arg(target);
        return false;
    };
    if (version > target)
        return newer();
    if (version == target)
        return true;
    if (!db.Begin(errText))
        return false;
    if (db.isPostgres() &&
        !db.Exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kMigrationLockKey),
                 errText)) {
        db.Rollback();
        return false;
    }
    // Another program may have migrated it while this one waited for the lock.
    if (!Version(db, version, errText)) {
        db.Rollback();
        return false;
    }
    if (version > target) {
        db.Rollback();
        return newer();
    }
    const QLatin1String mine =
        db.isPostgres() ? QLatin1String(kPostgresOnly) : QLatin1String(kSqliteOnly);
    const QLatin1String theirs =
        db.isPostgres() ? QLatin1String(kSqliteOnly) : QLatin1String(kPostgresOnly);
    for (int step = version; step < target; ++step) {
        for (QString statement : steps[size_t(step)]) {
            if (statement.startsWith(theirs))
                continue;
            if (statement.startsWith(mine))
                statement.remove(0, mine.size());
            if (!db.Exec(statement, errText)) {
                errText = QStringLiteral("its update to version %1 failed: %2")
                              .arg(step + 1)
                              .arg(errText);
                db.Rollback();
                return false;
            }
        }
        if (!db.Exec(QStringLiteral("UPDATE schema_version SET version = %1").arg(step + 1),
                     errText)) {
            db.Rollback();
            return false;
        }
    }
    // What each controller's summary holds, from its records as they are.
    if (version < kSummaryVersion && target >= kSummaryVersion &&
        !ControllerSummary::RebuildAll(db, errText)) {
        errText =
            QStringLiteral("its update to version %1 failed: %2").arg(kSummaryVersion).arg(errText);
        db.Rollback();
        return false;
    }
    return db.Commit(errText);
}
