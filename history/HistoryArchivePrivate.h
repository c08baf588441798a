#pragma once

#include "history/ArchiveConnection.h"
#include "history/ArchiveRows.h"
#include "history/HistoryArchive.h"
#include "history/PostgresAddress.h"
#include "history/WalCheckpointer.h"

#include <QDir>
#include <QHash>
#include <QTimer>

#include <memory>

class QThread;

/// The archive's inner state, shared by the files of its jobs: HistoryArchive.cpp (opening,
/// faults, where a record goes), HistoryArchiveStore.cpp (writing records),
/// HistoryArchiveQueue.cpp (the local queue and its sending to the server) and
/// HistoryArchiveQueries.cpp (reading records).

/// Where a call's records go: the archive's tables, or the local queue's.
struct Target
{
    ArchiveConnection* db = nullptr;
    qint64 controllerId = 0;
    ArchiveRows::Tables tables = ArchiveRows::kArchiveTables;
};

class HistoryArchive::Private
{
public:
    Private(HistoryArchive* owner, const QString& name) : q(owner), program(name) {}

    QString localPath() const { return QDir(folder).filePath(QLatin1String(kFileName)); }
    void setFault(const QString& text)
    {
        if (text == fault)
            return;
        fault = text;
        emit q->faultChanged(fault);
    }
    void breakDown(const QString& where, const QString& why);
    bool openFile(ArchiveConnection& db, QString& errText);
    bool openServer(ArchiveConnection& db, bool& reached, QString& errText);
    bool startQueueing(const QString& why);
    /// Tries the server in a thread of its own (a server that does not answer would hold the
    /// program up to the connect time-out); sends the queue once it answers.
    void startProbe();
    void stopProbe();
    bool target(qint64 id, Target& into, QString& errText);
    /// Runs `op` on the database in use; when the server went away meanwhile, runs it again on
    /// the local queue. A failure with an empty text is no fault of the database.
    template <class Op> bool attempt(Op op);

    bool controllerIdIn(ArchiveConnection& db, const ControllerKey& key, const QString& seenAt,
                        qint64& id, QString& errText);
    /// Updates the firmware, port and last sighting of a record.
    bool touchController(ArchiveConnection& db, qint64 id, const ControllerKey& key,
                         const QString& seenAt, QString& errText);
    bool insertEvent(ArchiveConnection& db, const char* table, qint64 controllerId,
                     const ArchivedEvent& event, bool& duplicate, QString& errText);
    bool insertStatus(ArchiveConnection& db, const char* table, qint64 controllerId,
                      const QString& readAt, const QString& by, const QString& valuesJson,
                      bool& stored, QString& errText);
    bool insertChange(ArchiveConnection& db, const char* table, qint64 controllerId,
                      const ArchivedChange& change, QString& errText);
    bool sendQueued(QString& errText);
    /// Every controller, or the one with `serialNumber` unless that is null.
    std::vector<ArchivedController> controllers(const QString& serialNumber);
    bool sendEvents(QString& errText);
    bool sendStatuses(QString& errText);
    bool sendChanges(QString& errText);

    HistoryArchive* q;
    QString program;
    QString folder;
    QString address;
    PostgresAddress server;
    bool usesServer = false;
    bool open = false;
    bool broken = false;
    bool queueing = false;
    QString fault;
    /// The local file, or the server.
    std::unique_ptr<ArchiveConnection> main;
    /// The local file holding the queue while a server is used.
    std::unique_ptr<ArchiveConnection> local;
    QTimer retry;
    /// Checkpoints the local file while it is written.
    WalCheckpointer checkpointer;
    QThread* probe = nullptr;
    /// Counts the probes, so that a finished one of an earlier Open is ignored.
    int probes = 0;
    /// The keys of the server's controllers handed out, to queue their records by key.
    QHash<qint64, ControllerKey> serverKeys;
    /// Server id → the same controller's id in the local file.
    QHash<qint64, qint64> localIds;
    /// Local queue id (negative, as handed out) → the server's id once sent.
    QHash<qint64, qint64> sentIds;
};

template <class Op> bool HistoryArchive::Private::attempt(Op op)
{
    if (!open || broken)
        return false;
    QString errText;
    if (op(errText)) {
        checkpointer.Wrote();
        return true;
    }
    if (errText.isEmpty())
        return false;
    if (usesServer && !queueing && !main->Alive()) {
        if (!startQueueing(errText))
            return false;
        errText.clear();
        if (op(errText))
            return true;
        if (errText.isEmpty())
            return false;
    }
    breakDown(queueing || !usesServer ? localPath() : address, errText);
    return false;
}
