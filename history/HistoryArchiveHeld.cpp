// What the archive keeps while the database cannot take it: records held in order and stored
// once it can, the background writer waited for, and the faults said on the way.

#include "history/ArchiveWriter.h"
#include "history/HistoryArchivePrivate.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

using namespace ArchiveRows;

int HistoryArchive::heldCount() const
{
    return int(d->held.size()) + (d->writer ? d->writer->pending() + d->writer->held() : 0);
}

bool HistoryArchive::Flush(std::chrono::milliseconds wait)
{
    QDeadlineTimer deadline(wait);
    bool sendAsked = false;
    const auto taken = [this] {
        return d->held.empty() &&
               (!d->writer || (d->writer->pending() == 0 && d->writer->held() == 0));
    };
    for (;;) {
        const bool stored = d->storeHeld() && taken();
        // Given time, a local queue goes to the server before the program ends, when it is
        // back (tried once: a server still away is tried by the next run).
        if (stored && !sendAsked && isQueueing() && wait.count() > 0) {
            sendAsked = true;
            if (d->writer)
                d->writer->Poke(true);
            else if (d->queueing)
                SendQueue();
        } else if (stored && !(d->writer && d->writer->sending())) {
            return true;
        } else if (d->writer && !stored) {
            d->writer->Poke(false);
        }
        if (!isOpen() || deadline.hasExpired())
            break;
        QEventLoop pause;
        QTimer::singleShot(kLockedRetryInterval, &pause, &QEventLoop::quit);
        pause.exec();
    }
    // Queued for the server counts as kept.
    return taken();
}

void HistoryArchive::Private::awaitWriter()
{
    if (writer)
        writer->WaitTaken(kReadWait);
}

int HistoryArchive::Private::keepAll(std::vector<Record>& ops)
{
    int lost = 0;
    const auto one = [&](Record& op) {
        if (!keep(std::move(op)) && !fault.isEmpty())
            ++lost;
    };
    if (ops.size() > 1 && held.empty() && open && !broken && !readOnly) {
        // One transaction for them all: a server far away costs one commit, not one per record.
        QString why;
        const bool done = run(
            [this, &ops](QString& errText) {
                ArchiveConnection& db = queueing ? *local : *main;
                if (!db.Begin(errText))
                    return false;
                for (Record& op : ops) {
                    QString failed;
                    if (!op(*q, failed) && !failed.isEmpty()) {
                        errText = failed;
                        db.Rollback();
                        return false;
                    }
                }
                return db.Commit(errText);
            },
            why);
        if (done)
            return 0;
    }
    // One by one: held, queued or said as each would be alone.
    for (Record& op : ops)
        one(op);
    return lost;
}

void HistoryArchive::Private::adopt(qint64 controllerId)
{
    // The writer's archive may be queueing while this one handed out the server's id: it then
    // queues the records under the controller's key.
    const auto found = serverKeys.constFind(controllerId);
    if (!writer || controllerId <= 0 || found == serverKeys.constEnd())
        return;
    writer->Add([controllerId, key = *found](HistoryArchive& a, QString&) {
        if (!a.d->serverKeys.contains(controllerId))
            a.d->serverKeys.insert(controllerId, key);
        return true;
    });
}

bool HistoryArchive::Private::keep(Record op)
{
    if (!open || broken || readOnly)
        return false;
    if (writer) {
        writer->Add(std::move(op));
        return true;
    }
    // Behind what is held: records are stored in the order they came, tried again by the
    // timer (each try may wait the busy time: not once per record).
    if (!held.empty()) {
        if (held.size() >= size_t(kMaxHeld))
            return false;
        held.push_back(std::move(op));
        return true;
    }
    QString why;
    if (run([&](QString& errText) { return op(*q, errText); }, why))
        return true;
    if (why.isEmpty())
        return false;
    if (ArchiveConnection::Refused(why)) {
        refuse(why, queueing || !usesServer ? localPath() : address);
        return true;
    }
    held.push_back(std::move(op));
    suspend(why);
    return true;
}

bool HistoryArchive::Private::storeHeld()
{
    while (!held.empty()) {
        QString why;
        if (!run([this](QString& errText) { return held.front()(*q, errText); }, why) &&
            !why.isEmpty()) {
            if (!ArchiveConnection::Refused(why)) {
                suspend(why);
                return false;
            }
            refuse(why, queueing || !usesServer ? localPath() : address);
        }
        // Stored, or refused for no fault of the database (a controller it does not know).
        held.pop_front();
    }
    resume();
    return true;
}

void HistoryArchive::Private::suspend(const QString& why)
{
    if (!open || broken)
        return;
    const bool locked = why.contains(QLatin1String("locked")) ||
                        why.contains(QLatin1String("busy"), Qt::CaseInsensitive);
    if (!suspendedFor.isValid())
        suspendedFor.start();
    if (!suspensionTold &&
        (!locked ||
         suspendedFor.elapsed() >=
             std::chrono::duration_cast<std::chrono::milliseconds>(kLockPatience).count())) {
        suspensionTold = true;
        const QString where = queueing || !usesServer ? localPath() : address;
        setFault(locked ? QStringLiteral("The service history (%1) is locked by another program: "
                                         "what is read is kept and stored once it is free.")
                              .arg(where)
                        : QStringLiteral("The service history (%1) cannot be written: %2. What "
                                         "is read is kept and stored once it can be.")
                              .arg(where, why));
    }
    if (held.empty() && !locked)
        return;
    resumeTimer.start(locked ? std::chrono::milliseconds(kLockedRetryInterval)
                             : std::chrono::milliseconds(kFaultRetryInterval));
}

void HistoryArchive::Private::refuse(const QString& why, const QString& where)
{
    ++refused;
    if (refusalTold)
        return;
    refusalTold = true;
    setFault(QStringLiteral("The service history (%1) refused a record: %2. It is left out; what "
                            "is read after it is stored.")
                 .arg(where, why));
}

void HistoryArchive::Private::resume()
{
    resumeTimer.stop();
    suspendedFor.invalidate();
    if (!suspensionTold)
        return;
    suspensionTold = false;
    if (!queueing)
        setFault(QString());
}
