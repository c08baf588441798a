#include "history/ControllerSummary.h"

#include "data/EventKinds.h"

#include "history/ArchiveConnection.h"
#include "history/ArchiveRows.h"
#include "history/HistoryArchive.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <vector>

using namespace ArchiveRows;

namespace {

/// The date the controller gives for "no date".
const QDate kZeroDate(1899, 12, 30);

qint64 VisitSeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(HistoryArchive::kVisitLength).count();
}

bool Update(ArchiveConnection& db, const QString& sql, const QVariantList& values, QString& errText)
{
    QSqlQuery* query = db.Run(sql, values, errText);
    if (!query)
        return false;
    query->finish();
    return true;
}

} // namespace

QDateTime ControllerSummary::LastService(const QString& valuesJson)
{
    const QJsonObject admin = QJsonDocument::fromJson(valuesJson.toUtf8())
                                  .object()
                                  .value(QLatin1String("admin"))
                                  .toObject();
    const QDateTime time = ParseTime(admin.value(QLatin1String("lastService")).toString(), Qt::UTC);
    return time.isValid() && time.date() != kZeroDate ? time : QDateTime();
}

bool ControllerSummary::EventStored(ArchiveConnection& db, qint64 controllerId, const QString& text,
                                    const QDateTime& readAt, QString& errText)
{
    const EventKinds::Kind kind = EventKinds::Of(text.toLatin1().toStdString());
    const int alarm = kind == EventKinds::Kind::Alarm ? 1 : 0;
    const int fault = kind == EventKinds::Kind::Fault ? 1 : 0;
    const QString read = UtcText(readAt);
    // A visit that began kVisitLength before this read or earlier is over: this read begins
    // the next. Within the visit (or up to kVisitLength before its beginning) it counts.
    const QString over = UtcText(readAt.addSecs(-VisitSeconds()));
    const QString within = UtcText(readAt.addSecs(VisitSeconds()));
    return Update(db,
                  QStringLiteral(
                      "UPDATE controllers SET events_stored = events_stored + 1, "
                      "visit_alarms = CASE WHEN visit_start IS NULL OR visit_start <= ? THEN ? "
                      "WHEN visit_start <= ? THEN visit_alarms + ? ELSE visit_alarms END, "
                      "visit_faults = CASE WHEN visit_start IS NULL OR visit_start <= ? THEN ? "
                      "WHEN visit_start <= ? THEN visit_faults + ? ELSE visit_faults END, "
                      "visit_start = CASE WHEN visit_start IS NULL OR visit_start <= ? THEN ? "
                      "ELSE visit_start END, "
                      "last_seen = CASE WHEN last_seen < ? THEN ? ELSE last_seen END WHERE id = ?"),
                  {over, alarm, within, alarm, over, fault, within, fault, over, read, read, read,
                   controllerId},
                  errText);
}

bool ControllerSummary::Contact(ArchiveConnection& db, qint64 controllerId, double firmware,
                                const QString& port, const QDateTime& seenAt, QString& errText)
{
    const QString seen = UtcText(seenAt);
    const QString over = UtcText(seenAt.addSecs(-VisitSeconds()));
    return Update(
        db,
        QStringLiteral("UPDATE controllers SET firmware = ?, port = ?, last_seen = ?, "
                       "visit_alarms = CASE WHEN visit_start IS NULL OR visit_start <= ? THEN 0 "
                       "ELSE visit_alarms END, "
                       "visit_faults = CASE WHEN visit_start IS NULL OR visit_start <= ? THEN 0 "
                       "ELSE visit_faults END, "
                       "visit_start = CASE WHEN visit_start IS NULL OR visit_start <= ? THEN ? "
                       "ELSE visit_start END WHERE id = ?"),
        {FirmwareValue(db, firmware), Text(port), seen, over, over, over, seen, controllerId},
        errText);
}

bool ControllerSummary::StatusStored(ArchiveConnection& db, qint64 controllerId,
                                     const QString& valuesJson, QString& errText)
{
    const QDateTime service = LastService(valuesJson);
    return Update(db, QStringLiteral("UPDATE controllers SET last_service = ? WHERE id = ?"),
                  {service.isValid() ? EventTimeValue(service) : NullText(), controllerId},
                  errText);
}

bool ControllerSummary::Rebuild(ArchiveConnection& db, qint64 controllerId, QString& errText)
{
    const QString which =
        controllerId > 0 ? QStringLiteral(" WHERE id = %1").arg(controllerId) : QString();
    if (!Update(db,
                QStringLiteral("UPDATE controllers SET events_stored = (SELECT COUNT(*) FROM "
                               "events e WHERE e.controller_id = controllers.id AND %EVENT), "
                               "visit_start = last_seen, visit_alarms = 0, visit_faults = 0") +
                    which,
                {}, errText))
        return false;
    struct Row
    {
        qint64 id;
        QDateTime lastSeen;
    };
    std::vector<Row> rows;
    QSqlQuery* query =
        db.Run(QStringLiteral("SELECT id, last_seen FROM controllers") + which, {}, errText);
    if (!query)
        return false;
    while (query->next())
        rows.push_back({query->value(0).toLongLong(), TimeFrom(query->value(1))});
    query->finish();
    for (const Row& row : rows) {
        // The last status gives the last service.
        query = db.Run(QStringLiteral("SELECT values_json FROM statuses WHERE controller_id = ? "
                                      "ORDER BY id DESC LIMIT 1"),
                       {row.id}, errText);
        if (!query)
            return false;
        const QString values = query->next() ? query->value(0).toString() : QString();
        query->finish();
        if (!values.isEmpty() && !StatusStored(db, row.id, values, errText))
            return false;
        // The visit of the last contact: the events read up to kVisitLength before it.
        if (!row.lastSeen.isValid())
            continue;
        query = db.Run(QStringLiteral("SELECT text FROM events WHERE controller_id = ? AND "
                                      "%EVENT AND read_at >= ?"),
                       {row.id, UtcText(row.lastSeen.addSecs(-VisitSeconds()))}, errText);
        if (!query)
            return false;
        int alarms = 0, faults = 0;
        while (query->next()) {
            const EventKinds::Kind kind =
                EventKinds::Of(query->value(0).toString().toLatin1().toStdString());
            alarms += kind == EventKinds::Kind::Alarm ? 1 : 0;
            faults += kind == EventKinds::Kind::Fault ? 1 : 0;
        }
        query->finish();
        if ((alarms || faults) &&
            !Update(db,
                    QStringLiteral(
                        "UPDATE controllers SET visit_alarms = ?, visit_faults = ? WHERE id = ?"),
                    {alarms, faults, row.id}, errText))
            return false;
    }
    return true;
}
