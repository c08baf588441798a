#pragma once

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

QString UtcText(const QDateTime& time);
/// "yyyy-MM-ddTHH:mm:ss[.zzz]", as the archive writes it (QDateTime::fromString takes many
/// times longer, which tells over 100,000 events).
QDateTime ParseTime(QStringView text, Qt::TimeSpec timeSpec);
QDateTime FromUtcText(const QString& text);
QString NowText();
QVariant NullText();
/// Qt binds a null text as NULL: the archive's text columns take "" instead.
QString Text(const QString& text);
QVariant EventTimeValue(const QDateTime& time);
/// The date and time of day `time` holds, as an event's time is kept, whatever its time zone
/// (the controller's clock knows none).
QString ClockText(const QDateTime& time);
/// Two status texts equal but for the clock.
bool SameStatus(const QString& a, const QString& b);
ArchivedEvent EventFrom(const QSqlQuery& query, int first);
ArchivedController ControllerFrom(const QSqlQuery& query);
} // namespace ArchiveRows
