#pragma once

#include "history/ArchiveConnection.h"
#include "history/ArchiveRows.h"
#include "history/HistoryArchive.h"
#include "history/PostgresAddress.h"
#include "history/StatementGuard.h"
#include "history/WalCheckpointer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

class ArchiveWriter;
class QThread;

/// The archive's inner state, shared by the files of its jobs: HistoryArchiveOpen.cpp (opening,
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
    /// A record to store, run against an archive: this one, or the background writer's.
    using Record = std::function<bool(HistoryArchive&, QString&)>;

    Private(HistoryArchive* owner, const QString& name);
    ~Private();

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
    /// the local queue. A failure with an empty text (`why`) is no fault of the database.
    template <class Op> bool run(Op op, QString& why);
    /// run, a fault of the database said (suspended) and tried again later.
    template <class Op> bool attempt(Op op);
    /// Stores a record: at once, or held (in order) while the database cannot take it and
    /// stored once it can; with a background writer, handed to it. False when it is neither
    /// stored nor held.
    bool keep(Record op);
    /// Before a record for `controllerId` goes to the background writer: the controller's key
    /// goes with it, for the writer's archive to queue it by.
    void adopt(qint64 controllerId);
    /// Stores records in one transaction, each as keep would when they cannot all go in one;
    /// how many were neither stored nor held.
    int keepAll(std::vector<Record>& ops);
    /// Before a query: waits (up to kReadWait) for the records given to the background writer.
    void awaitWriter();
    /// Stores what is held, in order; true when nothing is left.
    bool storeHeld();
    /// The database could not be written (`why`): what comes is held and tried again later. A
    /// lock is waited for a while before it is said; any other fault is said at once. Said
    /// once until the records are stored again.
    void suspend(const QString& why);
    /// Whether records can be merged or named (`done`) now: not on a server that cannot be
    /// reached, whose records the local file does not hold.
    bool writableByHand(const char* done, QString& errText);
    /// A record the database refused for what it holds (ArchiveConnection::Refused): left out,
    /// counted, and said once, so that the records after it are stored.
    void refuse(const QString& why, const QString& where);
    /// True (and refused) when the server refused a queued record sent to it.
    bool refusedByServer(QString& errText);
    void resume();

    bool controllerIdIn(ArchiveConnection& db, const ControllerKey& key, const QString& seenAt,
                        qint64& id, QString& errText);
    /// Updates the firmware, port and last sighting of a record.
    bool touchController(ArchiveConnection& db, qint64 id, const ControllerKey& key,
                         const QString& seenAt, QString& errText);
    /// Stores an event or gap and counts it in the controller's summary: one transaction, one
    /// update of the controller's row (none for a gap).
    /// `rewound` (when given) tells where the controller's reading stood for an event given the
    /// next ordinal.
    bool insertEvent(ArchiveConnection& db, const char* table, qint64 controllerId,
                     const ArchivedEvent& event, bool& duplicate, QString& errText,
                     bool* rewound = nullptr);
    /// Where the controller's reading stands.
    struct Reading
    {
        /// Rewound since its log was cleared.
        bool rewound = false;
        /// The last event archived before that clearing.
        qint64 clearedAfter = 0;
        /// The last record archived when the rewind was sent, and the last of those the
        /// reading after it found again: a gap right after that one stands for the event that
        /// comes next, if that is new.
        qint64 rewoundAt = 0;
        qint64 rereadAfter = 0;
    };
    bool readingOf(ArchiveConnection& db, qint64 controllerId, Reading& reading, QString& errText);
    /// An event read again after a rewind: its occurrence counted, stored with that ordinal
    /// unless stored already (in place of the gap that stood for it, if any).
    bool insertReread(ArchiveConnection& db, const char* table, qint64 controllerId,
                      const ArchivedEvent& event, const Reading& reading, bool& stored,
                      QString& errText);
    /// Inserts the row (ON CONFLICT DO NOTHING); `stored` false when it was there already.
    bool insertRow(ArchiveConnection& db, const char* table, qint64 controllerId,
                   const ArchivedEvent& event, bool& stored, QString& errText);
    /// Rewound (and its counts started again), or cleared; in the queue, a mark after the
    /// events queued so far.
    bool markReading(qint64 controllerId, bool rewound);
    bool markReadingIn(ArchiveConnection& db, qint64 controllerId, bool rewound, QString& errText);
    bool insertStatus(ArchiveConnection& db, const char* table, qint64 controllerId,
                      const QString& readAt, const QString& by, const QString& valuesJson,
                      bool& stored, QString& errText);
    bool insertChange(ArchiveConnection& db, const char* table, qint64 controllerId,
                      const ArchivedChange& change, QString& errText);
    bool sendQueued(QString& errText);
    /// Every controller, or the one with `serialNumber` unless that is null.
    std::vector<ArchivedController> controllers(const QString& serialNumber);
    bool sendEvents(QString& errText);
    /// Sends the queued events up to `lastId`, in batches.
    bool sendEventsUpTo(qint64 lastId, QString& errText);
    bool sendEventBatch(std::vector<std::pair<qint64, ArchivedEvent>>& batch, QString& errText);
    /// The ordinal of an event queued as new, from the server's events read before it.
    bool ordinalAtReadTime(ArchiveConnection& db, qint64 serverId, ArchivedEvent& event,
                           QString& errText);
    bool sendStatuses(QString& errText);
    bool sendChanges(QString& errText);

    HistoryArchive* q;
    QString program;
    QString folder;
    /// The server's address as messages show it (a password masked).
    QString address;
    PostgresAddress server;
    bool usesServer = false;
    bool open = false;
    bool broken = false;
    bool queueing = false;
    /// Opened for reading only: nothing is stored.
    bool readOnly = false;
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
    /// Whether each controller's log (by the id handed out) was rewound since it was last
    /// cleared, as this program marked it or last found it: an event queued as new while it
    /// was is one read again, and is sent as such.
    QHash<qint64, bool> rewoundKnown;
    /// Local queue id (negative, as handed out) → the server's id once sent.
    QHash<qint64, qint64> sentIds;
    /// When each controller's row was last updated for a contact, and with which key (a
    /// controller asked for at every event updates its row once per kTouchInterval).
    struct Touched
    {
        ControllerKey key;
        QElapsedTimer since;
    };
    QHash<QString, Touched> touched;
    static constexpr std::chrono::seconds kTouchInterval{60};
    /// The records waiting for the database, oldest first.
    std::deque<Record> held;
    /// The raw database address given to Open (for the background writer's own archive).
    QString database;
    std::unique_ptr<ArchiveWriter> writer;
    /// The questions given to the writer so far (Ask).
    quint64 questions = 0;
    /// Tries the held records again.
    QTimer resumeTimer;
    /// Since when the database could not be written; whether that was said.
    QElapsedTimer suspendedFor;
    bool suspensionTold = false;
    /// Records left out (refuse), and whether that was said.
    int refused = 0;
    bool refusalTold = false;
};

template <class Op> bool HistoryArchive::Private::run(Op op, QString& why)
{
    why.clear();
    if (!open || broken)
        return false;
    QString errText;
    bool alive = true;
    {
        // A server that stopped answering holds no statement longer than the guard's limit.
        const ArchiveConnection::Guarded guarded(usesServer && !queueing ? main.get() : nullptr);
        if (op(errText)) {
            checkpointer.Wrote();
            return true;
        }
        if (errText.isEmpty())
            return false;
        alive = !usesServer || queueing || (!guarded.expired() && main->Alive());
        if (guarded.expired())
            errText = StatementGuard::Silence();
    }
    if (!alive) {
        if (!startQueueing(errText))
            return false;
        errText.clear();
        if (op(errText))
            return true;
        if (errText.isEmpty())
            return false;
    }
    why = errText;
    return false;
}

template <class Op> bool HistoryArchive::Private::attempt(Op op)
{
    QString why;
    if (run(op, why))
        return true;
    if (!why.isEmpty())
        suspend(why);
    return false;
}
