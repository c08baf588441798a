#include "history/HistorySchema.h"

#include "history/ArchiveConnection.h"

namespace {
/// Taken by every program that migrates a PostgreSQL archive, so two never do it at once.
constexpr qint64 kMigrationLockKey = 0x7461726e68697374; // "tarnhist"

const HistorySchema::Steps kSteps = {
    // 1: controllers, events, statuses, setup changes, and the queue kept in the local file
    //    while the server cannot be reached (the controller's row there gives its key).
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
        QStringLiteral("CREATE TABLE queue_events (id %ID, "
                       "controller_id BIGINT NOT NULL REFERENCES controllers (id), "
                       "gap INTEGER NOT NULL, raw TEXT NOT NULL, ordinal INTEGER NOT NULL, "
                       "event_time TEXT, code INTEGER NOT NULL, "
                       "temperature DOUBLE PRECISION NOT NULL, text TEXT NOT NULL, "
                       "read_at TEXT NOT NULL, program TEXT NOT NULL)"),
        QStringLiteral("CREATE UNIQUE INDEX queue_events_once ON queue_events "
                       "(controller_id, raw, ordinal) WHERE gap = 0 AND ordinal > 0"),
        QStringLiteral("CREATE TABLE queue_statuses (id %ID, "
                       "controller_id BIGINT NOT NULL REFERENCES controllers (id), "
                       "read_at TEXT NOT NULL, program TEXT NOT NULL, values_json TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE queue_changes (id %ID, "
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
    const QString id = db.isPostgres() ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                       : QStringLiteral("INTEGER PRIMARY KEY");
    for (int step = version; step < target; ++step) {
        for (QString statement : steps[size_t(step)]) {
            statement.replace(QLatin1String("%ID"), id);
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
    return db.Commit(errText);
}
