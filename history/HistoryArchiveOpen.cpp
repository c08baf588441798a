#include "history/HistoryArchive.h"

#include "history/ArchiveWriter.h"
#include "history/HistoryArchivePrivate.h"
#include "history/HistorySchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QTimer>

using namespace ArchiveRows;

HistoryArchive::Private::Private(HistoryArchive* owner, const QString& name)
    : q(owner), program(name)
{
}

HistoryArchive::Private::~Private() = default;

void HistoryArchive::Private::breakDown(const QString& where, const QString& why)
{
    broken = true;
    retry.stop();
    checkpointer.Stop();
    if (main)
        main->Close();
    if (local)
        local->Close();
    setFault(QStringLiteral("The service history (%1) cannot be used: %2. The program goes on "
                            "without it.")
                 .arg(where, why));
}

bool HistoryArchive::Private::openFile(ArchiveConnection& db, QString& errText)
{
    QDir().mkpath(folder);
    // A new history is its owner's only (SQLite gives its -wal and -shm the same rights).
    if (!QFileInfo::exists(localPath())) {
        QFile file(localPath());
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    if (db.OpenSqlite(localPath(), kBusyTimeout, errText) &&
        HistorySchema::Migrate(db, HistorySchema::Current(), errText) &&
        db.UseWriteAheadLog(errText)) {
        checkpointer.Start(localPath());
        return true;
    }
    db.Close();
    const QFileInfo file(localPath());
    if (!QFileInfo(folder).isWritable() || (file.exists() && !file.isWritable()))
        errText += QStringLiteral(" (the file or its folder is read-only)");
    return false;
}

bool HistoryArchive::Private::openServer(ArchiveConnection& db, bool& reached, QString& errText)
{
    reached = false;
    if (!db.OpenPostgres(server, errText))
        return false;
    reached = true;
    if (!HistorySchema::Migrate(db, HistorySchema::Current(), errText)) {
        db.Close();
        return false;
    }
    return true;
}

bool HistoryArchive::Private::target(qint64 id, Target& into, QString& errText)
{
    if (!queueing) {
        if (id > 0) {
            into = {main.get(), id, kArchiveTables};
            return true;
        }
        if (id == 0 || !usesServer)
            return false;
        // Given by another archive of this program that was queueing (see StoreInBackground).
        if (!local || !local->isOpen()) {
            auto file = std::make_unique<ArchiveConnection>();
            if (!openFile(*file, errText))
                return false;
            local = std::move(file);
        }
        // A controller first seen while the server was away.
        if (const auto sent = sentIds.constFind(id); sent != sentIds.constEnd()) {
            into = {main.get(), *sent, kArchiveTables};
            return true;
        }
        QSqlQuery* query = local->Run(
            QStringLiteral("SELECT serial_number, firmware, port FROM controllers WHERE id = ?"),
            {-id}, errText);
        if (!query)
            return false;
        if (!query->next()) {
            query->finish();
            return false;
        }
        const ControllerKey key{query->value(0).toString(), query->value(1).toDouble(),
                                query->value(2).toString()};
        query->finish();
        qint64 serverId = 0;
        if (!controllerIdIn(*main, key, NowText(), serverId, errText))
            return false;
        sentIds.insert(id, serverId);
        serverKeys.insert(serverId, key);
        into = {main.get(), serverId, kArchiveTables};
        return true;
    }
    if (id < 0) {
        into = {local.get(), -id, kQueueTables};
        return true;
    }
    if (const auto known = localIds.constFind(id); known != localIds.constEnd()) {
        into = {local.get(), *known, kQueueTables};
        return true;
    }
    const auto key = serverKeys.constFind(id);
    if (key == serverKeys.constEnd())
        return false;
    qint64 localId = 0;
    if (!controllerIdIn(*local, *key, NowText(), localId, errText))
        return false;
    localIds.insert(id, localId);
    into = {local.get(), localId, kQueueTables};
    return true;
}

HistoryArchive::HistoryArchive(const QString& program, QObject* parent)
    : QObject(parent), d(new Private(this, program))
{
    connect(&d->retry, &QTimer::timeout, this, [this] { d->startProbe(); });
    d->resumeTimer.setSingleShot(true);
    connect(&d->resumeTimer, &QTimer::timeout, this, [this] { d->storeHeld(); });
}

HistoryArchive::~HistoryArchive()
{
    Close();
    delete d;
}

bool HistoryArchive::Open(const QString& folder, const QString& database)
{
    Close();
    d->folder = folder;
    d->database = database;
    // Messages show the address with any password masked.
    d->address = PostgresAddress::Masked(database.trimmed());
    d->main = std::make_unique<ArchiveConnection>();
    QString errText;
    if (d->address.isEmpty()) {
        if (!d->openFile(*d->main, errText)) {
            d->breakDown(d->localPath(), errText);
            return false;
        }
        d->open = true;
        d->setFault(QString());
        return true;
    }
    d->usesServer = true;
    if (!PostgresAddress::Parse(database.trimmed(), d->server, errText)) {
        d->breakDown(d->address, errText);
        return false;
    }
    bool reached = false;
    bool expired = false;
    bool opened = false;
    d->open = true;
    {
        // A table another session keeps locked, or a server that stops answering once
        // connected, holds the schema's check no longer than the guard's limit.
        const ArchiveConnection::Guarded guarded(d->main.get());
        opened = d->openServer(*d->main, reached, errText);
        expired = guarded.expired();
    }
    if (!opened) {
        if (expired)
            return d->startQueueing(StatementGuard::Silence());
        if (reached) {
            d->breakDown(d->address, errText);
            return false;
        }
        // Refused: no queue would ever be sent.
        if (ArchiveConnection::IsRefusal(errText)) {
            d->breakDown(d->address, QStringLiteral("the server refused the connection (%1); "
                                                    "check the user, its password in PGPASSWORD "
                                                    "or ~/.pgpass, and its rights")
                                         .arg(errText.simplified()));
            return false;
        }
        return d->startQueueing(errText);
    }
    d->setFault(QString());
    // What an earlier run queued and could not send.
    if (QFileInfo::exists(d->localPath()))
        SendQueue();
    return isOpen();
}

bool HistoryArchive::OpenForReading(const QString& folder, const QString& database)
{
    Close();
    d->folder = folder;
    d->main = std::make_unique<ArchiveConnection>();
    const QString address = database.trimmed();
    const QString path = address.isEmpty() ? d->localPath() : PostgresAddress::Masked(address);
    const auto fail = [this, &path](const QString& why) {
        d->main->Close();
        d->broken = true;
        d->setFault(QStringLiteral("The service history (%1) cannot be read: %2.").arg(path, why));
        return false;
    };
    QString errText;
    int version = 0;
    // Read from the server or file alone: nothing is queued, nothing created.
    const auto openRead = [&] {
        if (!address.isEmpty()) {
            if (!PostgresAddress::Parse(address, d->server, errText))
                return false;
            if (!d->main->OpenPostgres(d->server, errText)) {
                errText = QStringLiteral("the server cannot be reached: %1").arg(errText);
                return false;
            }
        } else {
            if (!QFileInfo(path).isFile()) {
                errText = QStringLiteral("there is none yet");
                return false;
            }
            if (!d->main->OpenSqliteForReading(path, !QFileInfo(folder).isWritable(), errText))
                return false;
        }
        return HistorySchema::Version(*d->main, version, errText);
    };
    bool opened = false;
    {
        const ArchiveConnection::Guarded guarded(address.isEmpty() ? nullptr : d->main.get());
        opened = openRead();
        if (guarded.expired())
            errText = StatementGuard::Silence();
    }
    if (!opened)
        return fail(errText);
    if (version == 0)
        return fail(QStringLiteral("it holds no history"));
    // An archive of an earlier version is brought up to date first, as when it is opened for
    // writing (its records kept), and then read.
    if (version < kSchemaVersion) {
        d->main->Close();
        ArchiveConnection db;
        const bool updated = (address.isEmpty() ? db.OpenSqlite(path, kBusyTimeout, errText)
                                                : db.OpenPostgres(d->server, errText)) &&
                             HistorySchema::Migrate(db, HistorySchema::Current(), errText);
        db.Close();
        if (!updated)
            return fail(QStringLiteral("it is of version %1, older than this program reads (%2), "
                                       "and could not be updated: %3")
                            .arg(version)
                            .arg(kSchemaVersion)
                            .arg(errText));
        if (!openRead())
            return fail(errText);
    }
    if (version > kSchemaVersion)
        return fail(QStringLiteral("it is of version %1, newer than this program knows (%2): "
                                   "use a newer program with it")
                        .arg(version)
                        .arg(kSchemaVersion));
    d->open = d->readOnly = true;
    d->setFault(QString());
    return true;
}

void HistoryArchive::Close()
{
    // The writer stores what it was given (what it holds gets one more try) before it ends.
    d->writer.reset();
    // What is held gets one more try (one busy time at most): kept if the database can now.
    if (!d->held.empty()) {
        // No news now: the program may be ending.
        const QSignalBlocker quiet(this);
        d->storeHeld();
    }
    d->held.clear();
    d->resumeTimer.stop();
    d->suspendedFor.invalidate();
    d->suspensionTold = false;
    d->retry.stop();
    d->stopProbe();
    d->checkpointer.Stop();
    ++d->probes;
    d->main.reset();
    d->local.reset();
    d->open = d->broken = d->queueing = d->usesServer = d->readOnly = false;
    d->serverKeys.clear();
    d->touched.clear();
    d->localIds.clear();
    d->sentIds.clear();
}

bool HistoryArchive::isOpen() const
{
    return d->open && !d->broken;
}

QString HistoryArchive::fault() const
{
    return d->fault;
}

bool HistoryArchive::isQueueing() const
{
    return isOpen() && (d->queueing || (d->writer && d->writer->queueing()));
}

bool HistoryArchive::StoreInBackground()
{
    if (!isOpen() || d->readOnly)
        return false;
    if (!d->writer) {
        d->writer = std::make_unique<ArchiveWriter>(*this, d->program, d->folder, d->database);
        connect(d->writer.get(), &ArchiveWriter::answered, this, &HistoryArchive::answered);
    }
    return true;
}

quint64 HistoryArchive::Ask(Question question)
{
    if (!d->writer || !isOpen())
        return 0;
    const quint64 number = ++d->questions;
    d->writer->Ask(number, std::move(question));
    return number;
}

void HistoryArchive::AwaitAnswers()
{
    if (!d->writer)
        return;
    // Each answer is posted before it counts as taken.
    d->writer->WaitTaken(kReadWait);
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

int HistoryArchive::lostCount() const
{
    return d->writer ? d->writer->lost() : d->refused;
}

std::optional<qint64> HistoryArchive::ControllerId(const ControllerKey& key)
{
    std::optional<qint64> result;
    d->attempt([&](QString& errText) {
        ArchiveConnection& db = d->queueing ? *d->local : *d->main;
        qint64 id = 0;
        if (!d->controllerIdIn(db, key, NowText(), id, errText))
            return false;
        if (d->queueing) {
            result = -id;
        } else {
            result = id;
            if (d->usesServer)
                d->serverKeys.insert(id, key);
        }
        return true;
    });
    return result;
}

bool HistoryArchive::StoreEvent(qint64 controllerId, ArchivedEvent event, bool* duplicate)
{
    auto known = std::make_shared<bool>(false);
    d->adopt(controllerId);
    const bool done = d->keep([controllerId, event, known](HistoryArchive& a, QString& errText) {
        Target into;
        if (!a.d->target(controllerId, into, errText))
            return false;
        if (qstrcmp(into.tables.events, kArchiveTables.events) == 0) {
            bool rewound = false;
            const bool numbered = event.gap || event.ordinal > 0;
            if (!a.d->insertEvent(*into.db, into.tables.events, into.controllerId, event, *known,
                                  errText, &rewound))
                return false;
            if (!numbered)
                a.d->rewoundKnown.insert(controllerId, rewound);
            return true;
        }
        ArchivedEvent queued = event;
        if (!queued.gap && queued.ordinal <= 0 && a.d->rewoundKnown.value(controllerId))
            queued.ordinal = kQueuedReread;
        return a.d->insertEvent(*into.db, into.tables.events, into.controllerId, queued, *known,
                                errText);
    });
    if (duplicate)
        // Not known yet when the writer stores it.
        *duplicate = done && !d->writer && *known;
    return done;
}

bool HistoryArchive::StoreGap(qint64 controllerId, const QDateTime& readAt)
{
    ArchivedEvent gap;
    gap.gap = true;
    gap.ordinal = 0;
    gap.code = -1;
    gap.readAt = readAt;
    return StoreEvent(controllerId, gap);
}

bool HistoryArchive::StoreStatus(qint64 controllerId, const QString& valuesJson, bool* stored)
{
    auto inserted = std::make_shared<bool>(false);
    const QString readAt = NowText();
    const QString by = d->program;
    d->adopt(controllerId);
    const bool done = d->keep([=](HistoryArchive& a, QString& errText) {
        Target into;
        return a.d->target(controllerId, into, errText) &&
               a.d->insertStatus(*into.db, into.tables.statuses, into.controllerId, readAt, by,
                                 valuesJson, *inserted, errText);
    });
    if (stored)
        *stored = done && !d->writer && *inserted;
    return done;
}

bool HistoryArchive::StoreChange(qint64 controllerId, const ArchivedChange& change)
{
    d->adopt(controllerId);
    return d->keep([controllerId, change](HistoryArchive& a, QString& errText) {
        Target into;
        return a.d->target(controllerId, into, errText) &&
               a.d->insertChange(*into.db, into.tables.changes, into.controllerId, change, errText);
    });
}
