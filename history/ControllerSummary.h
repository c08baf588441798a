#pragma once

#include <QDateTime>
#include <QString>

class ArchiveConnection;

/// What the controllers list and the fleet show of each controller, kept in its row as its
/// records are stored, so that neither reads its events: the events stored (gaps not
/// counted), its last service (from its last status), and its last visit with the alarms and
/// faults first read during it.
///
/// A visit begins with a contact (or an event read) more than HistoryArchive::kVisitLength
/// after the visit before began; its alarms and faults are the events first read from
/// kVisitLength before its beginning on (a reading that began before the contact was noted).
/// An event read earlier is not counted.
class ControllerSummary
{
public:
    /// A new event stored for the controller (in the caller's transaction): counted, its kind
    /// counted for the visit, and the controller's last contact moved to its read time.
    static bool EventStored(ArchiveConnection& db, qint64 controllerId, const QString& text,
                            const QDateTime& readAt, QString& errText);
    /// The controller was seen at `seenAt`: firmware and port as seen, and a new visit when
    /// the last one began kVisitLength before or earlier.
    static bool Contact(ArchiveConnection& db, qint64 controllerId, double firmware,
                        const QString& port, const QDateTime& seenAt, QString& errText);
    /// A status stored for the controller: its last service as that status gives it.
    static bool StatusStored(ArchiveConnection& db, qint64 controllerId, const QString& valuesJson,
                             QString& errText);
    /// The summary of one controller, or of every one (`controllerId` 0), from its records:
    /// after a schema update or a merge. Its visit is the one of its last contact.
    static bool Rebuild(ArchiveConnection& db, qint64 controllerId, QString& errText);
    static bool RebuildAll(ArchiveConnection& db, QString& errText)
    {
        return Rebuild(db, 0, errText);
    }

    /// admin.lastService of a status's values (the controller's clock, marked UTC); invalid
    /// when the status has none or gives the controller's "no date".
    static QDateTime LastService(const QString& valuesJson);
};
