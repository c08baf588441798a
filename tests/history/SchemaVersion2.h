#pragma once

// An archive of schema version 2 as the program before version 3 wrote it (every table on
// SQLite and on a server alike, times as text, JSON as text, flags as integers, the firmware
// as a floating number), with records of every kind, and what each must read as once the
// current program has opened it.

#include "ArchiveRecords.h"
#include "history/ArchiveConnection.h"
#include "history/HistoryArchive.h"
#include "history/HistorySchema.h"

#include <QJsonDocument>
#include <QTest>

namespace SchemaVersion2 {

inline const QDateTime kFirstSeen(QDate(2026, 1, 2), QTime(3, 4, 5, 678), Qt::UTC);
inline const QDateTime kLastSeen(QDate(2026, 12, 1), QTime(10, 0), Qt::UTC);
inline const QDateTime kEventTime(QDate(2026, 11, 30), QTime(8, 0, 1), Qt::UTC);
inline const QString kStatus =
    QStringLiteral(R"({"admin":{"lastService":"2026-06-01T09:00:00"},"clock":"x"})");

/// Version 2's statements, the queue's tables on a server included (as it made them).
inline HistorySchema::Steps Steps()
{
    HistorySchema::Steps steps(HistorySchema::Current().begin(),
                               HistorySchema::Current().begin() + 2);
    for (QStringList& step : steps)
        for (QString& statement : step)
            for (const char* only : {HistorySchema::kPostgresOnly, HistorySchema::kSqliteOnly})
                if (statement.startsWith(QLatin1String(only)))
                    statement.remove(0, int(qstrlen(only)));
    return steps;
}

inline QString Utc(const QDateTime& time)
{
    return time.toString(Qt::ISODateWithMs);
}

/// Writes version 2 and its records into an empty database.
inline bool Write(ArchiveConnection& db, QString& errText)
{
    if (!HistorySchema::Migrate(db, Steps(), errText))
        return false;
    const QString event = QStringLiteral(
        "INSERT INTO events (controller_id, gap, raw, ordinal, event_time, code, temperature, "
        "text, read_at, program) VALUES (%1, %2, '%3', %4, %5, %6, 21.5, '%7', '%8', 'tarn')");
    const auto eventRow = [&](int controller, const QString& raw, int ordinal, const QString& text,
                              const QDateTime& readAt) {
        return event.arg(controller)
            .arg(raw.isEmpty() ? 1 : 0)
            .arg(raw)
            .arg(ordinal)
            .arg(raw.isEmpty() ? QStringLiteral("NULL")
                               : u'\'' + kEventTime.toString(Qt::ISODate).chopped(1) + u'\'')
            .arg(raw.isEmpty() ? -1 : 7)
            .arg(text, Utc(readAt));
    };
    const QStringList statements{
        QStringLiteral("INSERT INTO controllers (id, serial_number, firmware, port, first_seen, "
                       "last_seen) VALUES (1, 'S1', 2.06, 'COM1', '%1', '%2'), "
                       "(2, NULL, 2.07, 'COM2', '%1', '%1'), (3, '00', 3.1, 'COM3', '%1', '%1')")
            .arg(Utc(kFirstSeen), Utc(kLastSeen)),
        eventRow(1, QStringLiteral("A"), 1, QStringLiteral("Battery fault"),
                 kLastSeen.addDays(-30)),
        eventRow(1, QStringLiteral("A"), 2, QStringLiteral("Pump started"), kLastSeen.addDays(-30)),
        eventRow(1, QString(), 0, QString(), kLastSeen.addSecs(-3600)),
        eventRow(1, QStringLiteral("B"), 1, QStringLiteral("Alarm detector 1"),
                 kLastSeen.addSecs(-3600)),
        eventRow(2, QStringLiteral("C"), 1, QStringLiteral("D\u00e9tecteur"), kFirstSeen),
        QStringLiteral("INSERT INTO statuses (controller_id, read_at, program, values_json) "
                       "VALUES (1, '%1', 'tarn', '{}'), (1, '%2', 'tarnconf', '%3')")
            .arg(Utc(kFirstSeen), Utc(kLastSeen), kStatus),
        QStringLiteral("INSERT INTO changes (controller_id, written_at, program, command, data, "
                       "before_json, after_json, summary) VALUES "
                       "(1, '%1', 'tarnconf', 12, 'x1ø', '{\"delay\":30}', '{\"delay\":45}', "
                       "'Delays: 30 → 45'), (1, '%1', 'tarnconf', -1, '', '', '{\"outputs\":[1]}', "
                       "'Function test')")
            .arg(Utc(kLastSeen)),
        QStringLiteral(
            "INSERT INTO readings (controller_id, rewound, cleared_after) VALUES (1, 1, 0)"),
        QStringLiteral("INSERT INTO rereads (controller_id, raw, seen) VALUES (1, 'A', 1)"),
    };
    if (!db.isPostgres() && !db.Exec(QStringLiteral("PRAGMA foreign_keys = ON"), errText))
        return false;
    for (const QString& statement : statements)
        if (!db.Exec(statement, errText)) {
            errText += QStringLiteral(" in ") + statement;
            return false;
        }
    if (db.isPostgres())
        return db.Exec(QStringLiteral("SELECT setval('controllers_id_seq', 3)"), errText) &&
               db.Exec(QStringLiteral("SELECT setval('events_id_seq', 5)"), errText);
    return true;
}

inline bool SameJson(const QString& a, const QString& b)
{
    return QJsonDocument::fromJson(a.toUtf8()) == QJsonDocument::fromJson(b.toUtf8());
}

/// Every record of Write() read back through the archive, as it was written.
inline void Verify(HistoryArchive& archive)
{
    const std::vector<ArchivedController> controllers = archive.Controllers();
    QCOMPARE(controllers.size(), std::size_t(3));
    const ArchivedController& s1 = controllers[0];
    QCOMPARE(s1.key.serialNumber, QStringLiteral("S1"));
    QCOMPARE(s1.key.firmware, 2.06);
    QCOMPARE(s1.key.port, QStringLiteral("COM1"));
    QCOMPARE(s1.firstSeen, kFirstSeen);
    QCOMPARE(s1.lastSeen, kLastSeen);
    // Counted once when the schema was updated: events, not the gap.
    QCOMPARE(s1.events, qint64(3));
    QCOMPARE(controllers[1].key.firmware, 2.07);
    QCOMPARE(controllers[1].events, qint64(1));
    // "00" is no serial number.
    QCOMPARE(controllers[2].key.SerialName(), QString());
    QCOMPARE(controllers[2].key.serialNumber, QString());
    QCOMPARE(controllers[2].key.firmware, 3.1);

    const std::vector<ArchivedEvent> events = archive.Events(s1.id);
    QCOMPARE(events.size(), std::size_t(4));
    QCOMPARE(ArchiveRecords::Raws(events), QStringLiteral("A1 A2 - B1"));
    QCOMPARE(events[0].eventTime, kEventTime);
    QCOMPARE(events[0].code, 7);
    QCOMPARE(events[0].temperatureCelsius, 21.5);
    QCOMPARE(events[0].text, QStringLiteral("Battery fault"));
    QCOMPARE(events[0].readAt, kLastSeen.addDays(-30));
    QCOMPARE(events[0].program, QStringLiteral("tarn"));
    QCOMPARE(events[2].code, -1);
    QVERIFY(!events[2].eventTime.isValid());
    QCOMPARE(events[2].readAt, kLastSeen.addSecs(-3600));
    QCOMPARE(archive.Events(controllers[1].id).at(0).text, QStringLiteral("D\u00e9tecteur"));

    const std::vector<ArchivedStatus> statuses = archive.Statuses(s1.id);
    QCOMPARE(statuses.size(), std::size_t(2));
    QCOMPARE(statuses[1].readAt, kLastSeen);
    QVERIFY2(SameJson(statuses[1].valuesJson, kStatus), qPrintable(statuses[1].valuesJson));
    const std::vector<ArchivedChange> changes = archive.Changes(s1.id);
    QCOMPARE(changes.size(), std::size_t(2));
    QCOMPARE(changes[0].writtenAt, kLastSeen);
    QCOMPARE(changes[0].command, 12);
    QCOMPARE(changes[0].data, QStringLiteral("x1\u00f8"));
    QVERIFY(SameJson(changes[0].afterJson, QStringLiteral(R"({"delay":45})")));
    QCOMPARE(changes[0].summary, QStringLiteral("Delays: 30 → 45"));
    QVERIFY(changes[1].isFunctionTest());
    QCOMPARE(changes[1].beforeJson, QString());

    // The fleet from the summary the update made: the last status's service, the alarm read
    // within the last visit (the fault a month before is another visit's).
    const std::vector<FleetEntry> fleet = archive.Fleet();
    QCOMPARE(fleet.size(), std::size_t(3));
    QCOMPARE(fleet[0].lastService, QDateTime(QDate(2026, 6, 1), QTime(9, 0), Qt::UTC));
    QCOMPARE(fleet[0].alarms, 1);
    QCOMPARE(fleet[0].faults, 0);
    QCOMPARE(fleet[0].controller.events, qint64(3));
    QVERIFY(!fleet[1].lastService.isValid());
}

} // namespace SchemaVersion2
