#pragma once

#include "history/ArchiveConnection.h"
#include "history/HistoryArchive.h"

#include <QSqlQuery>
#include <QString>
#include <QVariant>

/// The archive's records as rows: table names, columns, and times as the archive writes them.
namespace ArchiveRows {
/// How often a new event's ordinal is tried again when another program took it meanwhile.
inline constexpr int kOrdinalAttempts = 32;
/// Queued records are sent in transactions of this many.
inline constexpr int kSendBatch = 500;
inline constexpr const char* kEventTimeFormat = "yyyy-MM-ddTHH:mm:ss";
/// Beside the local file: held by the program that sends its queue.
inline constexpr const char* kSendingLockSuffix = ".sending";
inline constexpr const char* kEventColumns =
    "controller_id, gap, raw, ordinal, event_time, code, temperature, text, read_at, program";

struct Tables
{
    const char* events;
    const char* statuses;
    const char* changes;
};
inline constexpr Tables kArchiveTables{"events", "statuses", "changes"};
inline constexpr Tables kQueueTables{"queue_events", "queue_statuses", "queue_changes"};
/// The ordinal of a queued event read again after a rewind: numbered by the server's reading
/// when sent.
inline constexpr int kQueuedReread = -1;

QString UtcText(const QDateTime& time);
/// "yyyy-MM-ddTHH:mm:ss[.zzz]", as the archive writes it (QDateTime::fromString takes many
/// times longer, which tells over 100,000 events).
QDateTime ParseTime(QStringView text, Qt::TimeSpec timeSpec);
QDateTime FromUtcText(const QString& text);
QString NowText();
QVariant NullText();
/// Qt binds a null text as NULL: the archive's text columns take "" instead.
QString Text(const QString& text);
/// A command's data (Latin-1, any byte) as the database takes it: on a server as `bytea`, where
/// text may hold no NUL byte (the first zone is 0).
QVariant CommandData(const ArchiveConnection& db, const QString& data);
/// The data as CommandData stored it.
QString CommandDataFrom(const QVariant& value);
QVariant EventTimeValue(const QDateTime& time);
/// The date and time of day `time` holds, as an event's time is kept, whatever its time zone
/// (the controller's clock knows none).
QString ClockText(const QDateTime& time);
/// Two status texts equal but for the clock.
bool SameStatus(const QString& a, const QString& b);
/// The firmware as the database keeps it: on a server in hundredths (206 for V2.06), an
/// integer that compares exactly; in the SQLite file as the number.
QVariant FirmwareValue(const ArchiveConnection& db, double firmware);
double FirmwareFrom(const QVariant& value, bool postgres);
/// A time read back: the server's column gives a date and time (the session is in UTC), the
/// SQLite file the archive's text. TimeFrom gives the instant in UTC; ClockFrom the date and
/// time of day as kept (the controller's clock), marked UTC only so that it is never
/// converted. Invalid for NULL.
QDateTime TimeFrom(const QVariant& value);
QDateTime ClockFrom(const QVariant& value);
/// A flag bound as "1" or "0": a boolean on the server, an integer in the SQLite file.
QString Flag(bool value);
/// An event's code: a gap has none (NULL on the server, -1 in the SQLite file).
QVariant CodeValue(const ArchiveConnection& db, const ArchivedEvent& event);
/// A JSON text: on the server a missing one ("") is NULL, which reads back as "".
QVariant JsonValue(const ArchiveConnection& db, const QString& json);
/// The columns from `first` on: id first, then kEventColumns but the controller's.
ArchivedEvent EventFrom(const QSqlQuery& query, int first);
/// id, serial_number, firmware, port, first_seen, last_seen, events_stored, name.
ArchivedController ControllerFrom(const QSqlQuery& query, bool postgres);
} // namespace ArchiveRows
