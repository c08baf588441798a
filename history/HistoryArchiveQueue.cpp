#include "history/HistoryArchivePrivate.h"

#include "history/HistorySchema.h"

#include <QFileInfo>
#include <QLockFile>
#include <QThread>

#include <atomic>
#include <limits>

using namespace ArchiveRows;

bool HistoryArchive::Private::startQueueing(const QString& why)
{
    if (!local || !local->isOpen()) {
        local = std::make_unique<ArchiveConnection>();
        QString errText;
        if (!openFile(*local, errText)) {
            breakDown(localPath(), errText);
            return false;
        }
    }
    if (main)
        main->Close();
    queueing = true;
    retry.start(kServerRetryInterval);
    setFault(QStringLiteral("The history server (%1) cannot be reached: %2. What is read is kept "
                            "in %3 and sent when it is back.")
                 .arg(address, why, localPath()));
    return true;
}

void HistoryArchive::Private::startProbe()
{
    if (probe || !queueing)
        return;
    struct Answer
    {
        std::atomic<bool> reached{false};
        QString why;
    };
    auto answer = std::make_shared<Answer>();
    const PostgresAddress to = server;
    const int number = ++probes;
    probe = QThread::create(
        [to, answer] { answer->reached = ArchiveConnection::Reachable(to, answer->why); });
    QObject::connect(probe, &QThread::finished, q, [this, number, answer] {
        if (number != probes)
            return;
        stopProbe();
        if (!open || broken || !queueing)
            return;
        if (answer->reached) {
            q->SendQueue();
            return;
        }
        // A server that answers and refuses (a password changed, a role that may no longer log
        // in) is said as such: it is no matter of reaching it.
        if (ArchiveConnection::IsRefusal(answer->why))
            setFault(QStringLiteral("The history server (%1) refused the connection (%2); check "
                                    "the user, its password in PGPASSWORD or ~/.pgpass, and its "
                                    "rights. What is read is kept in %3 and sent once it is "
                                    "accepted.")
                         .arg(this->address, answer->why.simplified(), localPath()));
    });
    probe->start();
}

void HistoryArchive::Private::stopProbe()
{
    if (!probe)
        return;
    QObject::disconnect(probe, nullptr, q, nullptr);
    probe->wait();
    delete probe;
    probe = nullptr;
}

bool HistoryArchive::Private::sendQueued(QString& errText)
{
    // The queue's controllers by their keys: the server's ids differ from the file's.
    QSqlQuery* query = local->Run(
        QStringLiteral("SELECT id, serial_number, firmware, port, last_seen FROM controllers "
                       "WHERE id IN (SELECT controller_id FROM queue_events UNION "
                       "SELECT controller_id FROM queue_readings UNION "
                       "SELECT controller_id FROM queue_statuses UNION "
                       "SELECT controller_id FROM queue_changes)"),
        {}, errText);
    if (!query)
        return false;
    struct Queued
    {
        qint64 localId;
        ControllerKey key;
        QString lastSeen;
    };
    std::vector<Queued> controllers;
    while (query->next())
        controllers.push_back(
            {query->value(0).toLongLong(),
             {query->value(1).toString(), query->value(2).toDouble(), query->value(3).toString()},
             query->value(4).toString()});
    query->finish();
    for (const Queued& controller : controllers) {
        // A controller the server gave an id before it went away goes back under that id (one
        // without a serial number could not be found again by its key).
        qint64 serverId = localIds.key(controller.localId, 0);
        if (serverId == 0 &&
            !controllerIdIn(*main, controller.key, controller.lastSeen, serverId, errText))
            return false;
        sentIds.insert(-controller.localId, serverId);
        serverKeys.insert(serverId, controller.key);
    }
    return sendEvents(errText) && sendStatuses(errText) && sendChanges(errText);
}

bool HistoryArchive::Private::sendEvents(QString& errText)
{
    // The marks of rewinds and clearings in their places among the events.
    for (;;) {
        QSqlQuery* query = local->Run(QStringLiteral("SELECT id, controller_id, rewound, "
                                                     "queued_after FROM queue_readings "
                                                     "ORDER BY id LIMIT 1"),
                                      {}, errText);
        if (!query)
            return false;
        if (!query->next()) {
            query->finish();
            break;
        }
        const qint64 markId = query->value(0).toLongLong();
        const qint64 serverId = sentIds.value(-query->value(1).toLongLong());
        const bool rewound = query->value(2).toBool();
        const qint64 after = query->value(3).toLongLong();
        query->finish();
        if (!sendEventsUpTo(after, errText) || !markReadingIn(*main, serverId, rewound, errText) ||
            !local->Run(QStringLiteral("DELETE FROM queue_readings WHERE id = ?"), {markId},
                        errText))
            return false;
    }
    if (!sendEventsUpTo(std::numeric_limits<qint64>::max(), errText))
        return false;
    // Sent: the local file's controllers count what waits for the server, now nothing.
    return local->Exec(QStringLiteral("UPDATE controllers SET events_stored = 0 "
                                      "WHERE events_stored > 0"),
                       errText);
}

bool HistoryArchive::Private::sendEventsUpTo(qint64 lastId, QString& errText)
{
    // A batch the server refuses for one event's content goes again one event at a time, so
    // that only that event is left out.
    int batchSize = kSendBatch;
    for (;;) {
        QSqlQuery* query = local->Run(
            QStringLiteral("SELECT id, %1 FROM queue_events WHERE id <= ? ORDER BY id LIMIT %2")
                .arg(QLatin1String(kEventColumns))
                .arg(batchSize),
            {lastId}, errText);
        if (!query)
            return false;
        std::vector<std::pair<qint64, ArchivedEvent>> batch;
        qint64 last = 0;
        while (query->next()) {
            last = query->value(0).toLongLong();
            batch.emplace_back(sentIds.value(-query->value(1).toLongLong()), EventFrom(*query, 2));
        }
        query->finish();
        if (batch.empty())
            return true;
        if (!sendEventBatch(batch, errText)) {
            if (!ArchiveConnection::Refused(errText))
                return false;
            if (batch.size() > 1) {
                batchSize = 1;
                errText.clear();
                continue;
            }
            if (!refusedByServer(errText))
                return false;
        }
        if (!local->Run(QStringLiteral("DELETE FROM queue_events WHERE id <= ?"), {last}, errText))
            return false;
    }
}

bool HistoryArchive::Private::sendEventBatch(std::vector<std::pair<qint64, ArchivedEvent>>& batch,
                                             QString& errText)
{
    if (!main->Begin(errText))
        return false;
    const auto failed = [&] {
        main->Rollback();
        return false;
    };
    for (auto& [serverId, event] : batch) {
        bool duplicate = false;
        if (!event.gap && event.ordinal <= 0) {
            // Read again after a rewind: numbered by the server's reading when that still
            // stands rewound (another program may have cleared the log meanwhile).
            Reading reading;
            const bool reread = event.ordinal == kQueuedReread;
            event.ordinal = 0;
            if (reread && !readingOf(*main, serverId, reading, errText))
                return failed();
            if (!(reread && reading.rewound) && !ordinalAtReadTime(*main, serverId, event, errText))
                return failed();
        }
        if (!insertEvent(*main, kArchiveTables.events, serverId, event, duplicate, errText))
            return failed();
    }
    return main->Commit(errText);
}

bool HistoryArchive::Private::ordinalAtReadTime(ArchiveConnection& db, qint64 serverId,
                                                ArchivedEvent& event, QString& errText)
{
    // A new event when it was queued: its occurrence is one after those of its reply the
    // server holds from reads before it. Another program that read the controller's log again
    // meanwhile stored it with that ordinal already (read later), so it is not stored twice.
    QSqlQuery* query = db.Run(QStringLiteral("SELECT COUNT(*) FROM events WHERE controller_id = ? "
                                             "AND raw = ? AND %EVENT AND read_at < ?"),
                              {serverId, Text(event.raw), UtcText(event.readAt)}, errText);
    if (!query)
        return false;
    event.ordinal = (query->next() ? query->value(0).toInt() : 0) + 1;
    query->finish();
    return true;
}

bool HistoryArchive::Private::refusedByServer(QString& errText)
{
    // A queued record the server refuses would hold the queue for good.
    if (!ArchiveConnection::Refused(errText))
        return false;
    refuse(errText, address);
    errText.clear();
    return true;
}

bool HistoryArchive::Private::sendStatuses(QString& errText)
{
    QSqlQuery* query = local->Run(QStringLiteral("SELECT id, controller_id, read_at, program, "
                                                 "values_json FROM queue_statuses ORDER BY id"),
                                  {}, errText);
    if (!query)
        return false;
    struct Row
    {
        qint64 id, serverId;
        QString readAt, by, values;
    };
    std::vector<Row> rows;
    while (query->next())
        rows.push_back({query->value(0).toLongLong(), sentIds.value(-query->value(1).toLongLong()),
                        query->value(2).toString(), query->value(3).toString(),
                        query->value(4).toString()});
    query->finish();
    for (const Row& row : rows) {
        bool stored = false;
        if (!insertStatus(*main, kArchiveTables.statuses, row.serverId, row.readAt, row.by,
                          row.values, stored, errText) &&
            !refusedByServer(errText))
            return false;
        if (!local->Run(QStringLiteral("DELETE FROM queue_statuses WHERE id = ?"), {row.id},
                        errText))
            return false;
    }
    return true;
}

bool HistoryArchive::Private::sendChanges(QString& errText)
{
    QSqlQuery* query = local->Run(
        QStringLiteral("SELECT id, controller_id, written_at, program, command, data, "
                       "before_json, after_json, summary FROM queue_changes ORDER BY id"),
        {}, errText);
    if (!query)
        return false;
    std::vector<std::pair<qint64, ArchivedChange>> rows;
    while (query->next()) {
        ArchivedChange change;
        change.id = sentIds.value(-query->value(1).toLongLong());
        change.writtenAt = FromUtcText(query->value(2).toString());
        change.program = query->value(3).toString();
        change.command = query->value(4).toInt();
        change.data = query->value(5).toString();
        change.beforeJson = query->value(6).toString();
        change.afterJson = query->value(7).toString();
        change.summary = query->value(8).toString();
        rows.emplace_back(query->value(0).toLongLong(), change);
    }
    query->finish();
    for (const auto& [id, change] : rows) {
        if (!insertChange(*main, kArchiveTables.changes, change.id, change, errText) &&
            !refusedByServer(errText))
            return false;
        if (!local->Run(QStringLiteral("DELETE FROM queue_changes WHERE id = ?"), {id}, errText))
            return false;
    }
    return true;
}

bool HistoryArchive::SendQueue()
{
    if (!d->open || d->broken)
        return false;
    if (!d->usesServer)
        return true;
    QString errText;
    if (d->queueing) {
        auto server = std::make_unique<ArchiveConnection>();
        bool reached = false;
        bool expired = false;
        bool opened = false;
        {
            // A table another session keeps locked holds the schema's check no longer either.
            const ArchiveConnection::Guarded guarded(server.get());
            opened = d->openServer(*server, reached, errText);
            expired = guarded.expired();
        }
        if (!opened) {
            if (reached && !expired)
                d->breakDown(d->address, errText);
            return false;
        }
        d->main = std::move(server);
    }
    if (!d->local || !d->local->isOpen()) {
        d->local = std::make_unique<ArchiveConnection>();
        // A local file that cannot be read holds nothing to send; it is left as it is.
        if (!d->openFile(*d->local, errText)) {
            d->local.reset();
            d->queueing = false;
            d->retry.stop();
            d->setFault(QString());
            return true;
        }
    }
    // Programs on this computer share the queue: one sends it at a time (a second sender would
    // store the new events and setup changes in it twice).
    QLockFile sending(d->localPath() + QLatin1String(kSendingLockSuffix));
    sending.setStaleLockTime(0);
    if (!sending.tryLock()) {
        if (d->queueing)
            d->main->Close();
        return false;
    }
    bool sent = false;
    bool alive = true;
    {
        // A server that stops answering, or a table another session keeps locked, holds no
        // statement longer than the guard's limit: the queue waits for the next try.
        const ArchiveConnection::Guarded guarded(d->main.get());
        sent = d->sendQueued(errText);
        alive = sent || (!guarded.expired() && d->main->Alive());
        if (guarded.expired())
            errText = StatementGuard::Silence();
    }
    if (!sent) {
        if (alive) {
            d->breakDown(d->address, errText);
            return false;
        }
        d->startQueueing(errText);
        return false;
    }
    d->queueing = false;
    d->localIds.clear();
    d->retry.stop();
    d->setFault(QString());
    return true;
}
