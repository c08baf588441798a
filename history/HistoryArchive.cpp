#include "history/HistoryArchive.h"

#include "history/ArchiveConnection.h"
#include "history/HistorySchema.h"
#include "history/PostgresAddress.h"
#include "history/SqliteRows.h"
#include "history/WalCheckpointer.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSqlDatabase>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>

#include <memory>

#include <sqlite3.h>

namespace {
/// How often a new event's ordinal is tried again when another program took it meanwhile.
constexpr int kOrdinalAttempts = 32;
/// Queued records are sent in transactions of this many.
constexpr int kSendBatch = 500;
constexpr const char* kEventTimeFormat = "yyyy-MM-ddTHH:mm:ss";
/// Beside the local file: held by the program that sends its queue.
constexpr const char* kSendingLockSuffix = ".sending";
constexpr const char* kEventColumns =
    "controller_id, gap, raw, ordinal, event_time, code, temperature, text, read_at, program";

struct Tables
{
    const char* events;
    const char* statuses;
    const char* changes;
};
constexpr Tables kArchiveTables{"events", "statuses", "changes"};
constexpr Tables kQueueTables{"queue_events", "queue_statuses", "queue_changes"};

QString UtcText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

/// The digits of `text` from `at` on as a number; -1 when one is no digit.
int Digits(QStringView text, qsizetype at, qsizetype count)
{
    if (text.size() < at + count)
        return -1;
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

/// "yyyy-MM-ddTHH:mm:ss[.zzz]", as the archive writes it (QDateTime::fromString takes many
/// times longer, which tells over 100,000 events).
QDateTime ParseTime(QStringView text, Qt::TimeSpec timeSpec)
{
    const QDate date(Digits(text, 0, 4), Digits(text, 5, 2), Digits(text, 8, 2));
    const int ms = text.size() >= 23 && text[19] == u'.' ? Digits(text, 20, 3) : 0;
    const QTime time(Digits(text, 11, 2), Digits(text, 14, 2), Digits(text, 17, 2), ms);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, timeSpec);
}

QDateTime FromUtcText(const QString& text)
{
    return ParseTime(text, Qt::UTC);
}

QString NowText()
{
    return UtcText(QDateTime::currentDateTimeUtc());
}

QVariant NullText()
{
    return QVariant(QMetaType::fromType<QString>());
}

/// Qt binds a null text as NULL: the archive's text columns take "" instead.
QString Text(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

QVariant EventTimeValue(const QDateTime& time)
{
    return time.isValid() ? QVariant(time.toString(QLatin1String(kEventTimeFormat))) : NullText();
}

/// Two status texts equal but for the clock.
bool SameStatus(const QString& a, const QString& b)
{
    QJsonParseError errorA{}, errorB{};
    QJsonObject objectA = QJsonDocument::fromJson(a.toUtf8(), &errorA).object();
    QJsonObject objectB = QJsonDocument::fromJson(b.toUtf8(), &errorB).object();
    if (errorA.error != QJsonParseError::NoError || errorB.error != QJsonParseError::NoError)
        return a == b;
    objectA.remove(QStringLiteral("clock"));
    objectB.remove(QStringLiteral("clock"));
    return objectA == objectB;
}

ArchivedEvent EventFrom(const QSqlQuery& query, int first)
{
    ArchivedEvent event;
    event.gap = query.value(first).toInt() != 0;
    event.raw = query.value(first + 1).toString();
    event.ordinal = query.value(first + 2).toInt();
    const QVariant time = query.value(first + 3);
    if (!time.isNull())
        event.eventTime = ParseTime(time.toString(), Qt::UTC);
    event.code = query.value(first + 4).toInt();
    event.temperatureCelsius = query.value(first + 5).toDouble();
    event.text = query.value(first + 6).toString();
    event.readAt = FromUtcText(query.value(first + 7).toString());
    event.program = query.value(first + 8).toString();
    return event;
}

ArchivedController ControllerFrom(const QSqlQuery& query)
{
    ArchivedController controller;
    controller.id = query.value(0).toLongLong();
    controller.key.serialNumber = query.value(1).toString();
    controller.key.firmware = query.value(2).toDouble();
    controller.key.port = query.value(3).toString();
    controller.firstSeen = FromUtcText(query.value(4).toString());
    controller.lastSeen = FromUtcText(query.value(5).toString());
    controller.events = query.value(6).toLongLong();
    return controller;
}

/// Where a call's records go: the archive's tables, or the local queue's.
struct Target
{
    ArchiveConnection* db = nullptr;
    qint64 controllerId = 0;
    Tables tables = kArchiveTables;
};
} // namespace

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
    auto reached = std::make_shared<std::atomic<bool>>(false);
    const PostgresAddress address = server;
    const int number = ++probes;
    probe =
        QThread::create([address, reached] { *reached = ArchiveConnection::Reachable(address); });
    QObject::connect(probe, &QThread::finished, q, [this, number, reached] {
        if (number != probes)
            return;
        stopProbe();
        if (*reached && open && !broken && queueing)
            q->SendQueue();
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

bool HistoryArchive::Private::target(qint64 id, Target& into, QString& errText)
{
    if (!queueing) {
        if (id > 0) {
            into = {main.get(), id, kArchiveTables};
            return true;
        }
        if (id == 0 || !usesServer || !local)
            return false;
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

bool HistoryArchive::Private::controllerIdIn(ArchiveConnection& db, const ControllerKey& key,
                                             const QString& seenAt, qint64& id, QString& errText)
{
    const auto one = [&](QSqlQuery* query) {
        const bool found = query->next();
        if (found)
            id = query->value(0).toLongLong();
        query->finish();
        return found;
    };
    const QString bySerial = QStringLiteral("SELECT id FROM controllers WHERE serial_number = ?");
    const QString unnamed = QStringLiteral(
        "SELECT id FROM controllers WHERE serial_number IS NULL AND firmware = ? AND port = ?");
    const QString insert = QStringLiteral(
        "INSERT INTO controllers (serial_number, firmware, port, first_seen, last_seen) "
        "VALUES (?, ?, ?, ?, ?) ON CONFLICT DO NOTHING RETURNING id");
    const bool named = !key.serialNumber.isEmpty();
    const QString port = Text(key.port);
    const QVariant serial = named ? QVariant(key.serialNumber) : NullText();
    if (!db.Begin(errText))
        return false;
    const auto failed = [&] {
        db.Rollback();
        return false;
    };
    QSqlQuery* query = nullptr;
    bool found = false;
    if (named) {
        if (!(query = db.Run(bySerial, {serial}, errText)))
            return failed();
        if ((found = one(query)) &&
            !db.Run(QStringLiteral("UPDATE controllers SET firmware = ?, port = ?, last_seen = ? "
                                   "WHERE id = ?"),
                    {key.firmware, port, seenAt, id}, errText))
            return failed();
    }
    if (!found) {
        if (!(query = db.Run(unnamed, {key.firmware, port}, errText)))
            return failed();
        // A serial number read later names the record kept by firmware and port so far.
        if ((found = one(query)) &&
            !db.Run(QStringLiteral(
                        "UPDATE controllers SET serial_number = ?, last_seen = ? WHERE id = ?"),
                    {serial, seenAt, id}, errText))
            return failed();
    }
    if (!found) {
        if (!(query = db.Run(insert, {serial, key.firmware, port, seenAt, seenAt}, errText)))
            return failed();
        // Nothing inserted: another program did it meanwhile.
        if (!one(query)) {
            if (!(query = named ? db.Run(bySerial, {serial}, errText)
                                : db.Run(unnamed, {key.firmware, port}, errText)))
                return failed();
            if (!one(query)) {
                errText = QStringLiteral("the controller could not be recorded");
                return failed();
            }
        }
    }
    return db.Commit(errText);
}

bool HistoryArchive::Private::insertEvent(ArchiveConnection& db, const char* table,
                                          qint64 controllerId, const ArchivedEvent& event,
                                          bool& duplicate, QString& errText)
{
    duplicate = false;
    const QString raw = Text(event.gap ? QString() : event.raw);
    const QVariant readAt =
        UtcText(event.readAt.isValid() ? event.readAt : QDateTime::currentDateTimeUtc());
    const QString by = Text(event.program.isEmpty() ? program : event.program);
    const bool queue = table != kArchiveTables.events;
    if (event.gap || event.ordinal > 0 || queue) {
        QSqlQuery* query =
            db.Run(QStringLiteral("INSERT INTO %1 (%2) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                                  "ON CONFLICT DO NOTHING")
                       .arg(QLatin1String(table), QLatin1String(kEventColumns)),
                   {controllerId, event.gap ? 1 : 0, raw, event.gap ? 0 : qMax(event.ordinal, 0),
                    EventTimeValue(event.eventTime), event.gap ? -1 : event.code,
                    event.temperatureCelsius, Text(event.text), readAt, by},
                   errText);
        if (!query)
            return false;
        duplicate = query->numRowsAffected() == 0;
        query->finish();
        return true;
    }
    // A new event: the next ordinal for its reply, taken in the same statement; when another
    // program took that ordinal first, the next one.
    const QString next =
        QStringLiteral(
            "INSERT INTO %1 (%2) SELECT CAST(? AS BIGINT), 0, CAST(? AS TEXT), "
            "COALESCE(MAX(ordinal), 0) + 1, CAST(? AS TEXT), CAST(? AS INTEGER), "
            "CAST(? AS DOUBLE PRECISION), CAST(? AS TEXT), CAST(? AS TEXT), CAST(? AS TEXT) "
            "FROM %1 WHERE controller_id = ? AND raw = ? AND gap = 0 ON CONFLICT DO NOTHING")
            .arg(QLatin1String(table), QLatin1String(kEventColumns));
    for (int attempt = 0; attempt < kOrdinalAttempts; ++attempt) {
        QSqlQuery* query =
            db.Run(next,
                   {controllerId, raw, EventTimeValue(event.eventTime), event.code,
                    event.temperatureCelsius, Text(event.text), readAt, by, controllerId, raw},
                   errText);
        if (!query)
            return false;
        const bool inserted = query->numRowsAffected() > 0;
        query->finish();
        if (inserted)
            return true;
    }
    errText = QStringLiteral("other programs kept taking the event's ordinal");
    return false;
}

bool HistoryArchive::Private::insertStatus(ArchiveConnection& db, const char* table,
                                           qint64 controllerId, const QString& readAt,
                                           const QString& by, const QString& valuesJson,
                                           bool& stored, QString& errText)
{
    stored = false;
    QSqlQuery* query = db.Run(QStringLiteral("SELECT values_json FROM %1 WHERE controller_id = ? "
                                             "ORDER BY id DESC LIMIT 1")
                                  .arg(QLatin1String(table)),
                              {controllerId}, errText);
    if (!query)
        return false;
    const bool same = query->next() && SameStatus(query->value(0).toString(), valuesJson);
    query->finish();
    if (same)
        return true;
    query = db.Run(QStringLiteral("INSERT INTO %1 (controller_id, read_at, program, values_json) "
                                  "VALUES (?, ?, ?, ?)")
                       .arg(QLatin1String(table)),
                   {controllerId, readAt, Text(by), Text(valuesJson)}, errText);
    if (!query)
        return false;
    query->finish();
    stored = true;
    return true;
}

bool HistoryArchive::Private::insertChange(ArchiveConnection& db, const char* table,
                                           qint64 controllerId, const ArchivedChange& change,
                                           QString& errText)
{
    QSqlQuery* query = db.Run(
        QStringLiteral("INSERT INTO %1 (controller_id, written_at, program, command, data, "
                       "before_json, after_json, summary) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
            .arg(QLatin1String(table)),
        {controllerId,
         UtcText(change.writtenAt.isValid() ? change.writtenAt : QDateTime::currentDateTimeUtc()),
         Text(change.program.isEmpty() ? program : change.program), change.command,
         Text(change.data), Text(change.beforeJson), Text(change.afterJson), Text(change.summary)},
        errText);
    if (!query)
        return false;
    query->finish();
    return true;
}

bool HistoryArchive::Private::sendQueued(QString& errText)
{
    // The queue's controllers by their keys: the server's ids differ from the file's.
    QSqlQuery* query = local->Run(
        QStringLiteral("SELECT id, serial_number, firmware, port, last_seen FROM controllers "
                       "WHERE id IN (SELECT controller_id FROM queue_events UNION "
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
        qint64 serverId = 0;
        if (!controllerIdIn(*main, controller.key, controller.lastSeen, serverId, errText))
            return false;
        sentIds.insert(-controller.localId, serverId);
        serverKeys.insert(serverId, controller.key);
    }
    return sendEvents(errText) && sendStatuses(errText) && sendChanges(errText);
}

bool HistoryArchive::Private::sendEvents(QString& errText)
{
    for (;;) {
        QSqlQuery* query =
            local->Run(QStringLiteral("SELECT id, %1 FROM queue_events ORDER BY id LIMIT %2")
                           .arg(QLatin1String(kEventColumns))
                           .arg(kSendBatch),
                       {}, errText);
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
        if (!main->Begin(errText))
            return false;
        for (const auto& [serverId, event] : batch) {
            bool duplicate = false;
            if (!insertEvent(*main, kArchiveTables.events, serverId, event, duplicate, errText)) {
                main->Rollback();
                return false;
            }
        }
        if (!main->Commit(errText) ||
            !local->Run(QStringLiteral("DELETE FROM queue_events WHERE id <= ?"), {last}, errText))
            return false;
    }
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
                          row.values, stored, errText) ||
            !local->Run(QStringLiteral("DELETE FROM queue_statuses WHERE id = ?"), {row.id},
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
        if (!insertChange(*main, kArchiveTables.changes, change.id, change, errText) ||
            !local->Run(QStringLiteral("DELETE FROM queue_changes WHERE id = ?"), {id}, errText))
            return false;
    }
    return true;
}

HistoryArchive::HistoryArchive(const QString& program, QObject* parent)
    : QObject(parent), d(new Private(this, program))
{
    connect(&d->retry, &QTimer::timeout, this, [this] { d->startProbe(); });
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
    d->address = database.trimmed();
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
    if (!PostgresAddress::Parse(d->address, d->server, errText)) {
        d->breakDown(d->address, errText);
        return false;
    }
    bool reached = false;
    d->open = true;
    if (!d->openServer(*d->main, reached, errText)) {
        if (reached) {
            d->breakDown(d->address, errText);
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

void HistoryArchive::Close()
{
    d->retry.stop();
    d->stopProbe();
    d->checkpointer.Stop();
    ++d->probes;
    d->main.reset();
    d->local.reset();
    d->open = d->broken = d->queueing = d->usesServer = false;
    d->serverKeys.clear();
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
    return isOpen() && d->queueing;
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
    bool stored = false;
    const bool done = d->attempt([&](QString& errText) {
        Target into;
        return d->target(controllerId, into, errText) &&
               d->insertEvent(*into.db, into.tables.events, into.controllerId, event, stored,
                              errText);
    });
    if (duplicate)
        *duplicate = done && stored;
    return done;
}

int HistoryArchive::StoredCount(qint64 controllerId, const QString& raw)
{
    int count = 0;
    d->attempt([&](QString& errText) {
        Target into;
        if (!d->target(controllerId, into, errText))
            return false;
        QSqlQuery* query = into.db->Run(
            QStringLiteral("SELECT COUNT(*) FROM %1 WHERE controller_id = ? AND raw = ? AND "
                           "gap = 0")
                .arg(QLatin1String(into.tables.events)),
            {into.controllerId, raw}, errText);
        if (!query)
            return false;
        count = query->next() ? query->value(0).toInt() : 0;
        query->finish();
        return true;
    });
    return count;
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
    bool inserted = false;
    const bool done = d->attempt([&](QString& errText) {
        Target into;
        return d->target(controllerId, into, errText) &&
               d->insertStatus(*into.db, into.tables.statuses, into.controllerId, NowText(),
                               d->program, valuesJson, inserted, errText);
    });
    if (stored)
        *stored = done && inserted;
    return done;
}

bool HistoryArchive::StoreChange(qint64 controllerId, const ArchivedChange& change)
{
    return d->attempt([&](QString& errText) {
        Target into;
        return d->target(controllerId, into, errText) &&
               d->insertChange(*into.db, into.tables.changes, into.controllerId, change, errText);
    });
}

std::vector<ArchivedController> HistoryArchive::Private::controllers(const QString& serialNumber)
{
    std::vector<ArchivedController> found;
    attempt([&](QString& errText) {
        found.clear();
        ArchiveConnection& db = queueing ? *local : *main;
        QSqlQuery* query = db.Run(
            QStringLiteral("SELECT c.id, c.serial_number, c.firmware, c.port, c.first_seen, "
                           "c.last_seen, (SELECT COUNT(*) FROM %1 e WHERE e.controller_id = c.id "
                           "AND e.gap = 0) FROM controllers c%2 ORDER BY c.id")
                .arg(QLatin1String(queueing ? kQueueTables.events : kArchiveTables.events),
                     serialNumber.isNull() ? QString()
                                           : QStringLiteral(" WHERE c.serial_number = ?")),
            serialNumber.isNull() ? QVariantList{} : QVariantList{serialNumber}, errText);
        if (!query)
            return false;
        while (query->next()) {
            ArchivedController controller = ControllerFrom(*query);
            if (queueing)
                controller.id = -controller.id;
            else if (usesServer)
                serverKeys.insert(controller.id, controller.key);
            found.push_back(controller);
        }
        query->finish();
        return true;
    });
    return found;
}

std::vector<ArchivedController> HistoryArchive::Controllers()
{
    return d->controllers(QString());
}

std::optional<ArchivedController> HistoryArchive::FindController(const QString& serialNumber)
{
    if (serialNumber.isEmpty())
        return std::nullopt;
    const std::vector<ArchivedController> found = d->controllers(serialNumber);
    if (found.empty())
        return std::nullopt;
    return found.front();
}

std::vector<ArchivedEvent> HistoryArchive::Events(qint64 controllerId, const EventFilter& filter)
{
    std::vector<ArchivedEvent> events;
    d->attempt([&](QString& errText) {
        events.clear();
        Target into;
        if (!d->target(controllerId, into, errText))
            return false;
        QString sql = QStringLiteral("SELECT id, gap, raw, ordinal, event_time, code, "
                                     "temperature, text, read_at, program FROM %1 "
                                     "WHERE controller_id = ?")
                          .arg(QLatin1String(into.tables.events));
        QVariantList values{into.controllerId};
        // A gap has no event time nor code: a filter on either leaves gaps out.
        if (!filter.withGaps || filter.since || filter.until || filter.code)
            sql += QStringLiteral(" AND gap = 0");
        if (filter.since) {
            sql += QStringLiteral(" AND event_time >= ?");
            values << EventTimeValue(*filter.since);
        }
        if (filter.until) {
            sql += QStringLiteral(" AND event_time <= ?");
            values << EventTimeValue(*filter.until);
        }
        if (filter.code) {
            sql += QStringLiteral(" AND code = ?");
            values << *filter.code;
        }
        sql += QStringLiteral(" ORDER BY id");
        // A controller's whole history read from the file at SQLite's own pace; Qt SQL's
        // reading of each value took most of the History view's opening.
        if (!into.db->isPostgres()) {
            const auto row = [&events](sqlite3_stmt* r) {
                ArchivedEvent event;
                event.id = sqlite3_column_int64(r, 0);
                event.gap = sqlite3_column_int(r, 1) != 0;
                event.raw = SqliteRows::Text(r, 2);
                event.ordinal = sqlite3_column_int(r, 3);
                if (sqlite3_column_type(r, 4) != SQLITE_NULL)
                    event.eventTime = ParseTime(SqliteRows::Text(r, 4), Qt::UTC);
                event.code = sqlite3_column_int(r, 5);
                event.temperatureCelsius = sqlite3_column_double(r, 6);
                event.text = SqliteRows::Text(r, 7);
                event.readAt = FromUtcText(SqliteRows::Text(r, 8));
                event.program = SqliteRows::Text(r, 9);
                events.push_back(std::move(event));
            };
            if (SqliteRows::Read(QSqlDatabase::database(into.db->connectionName(), false), sql,
                                 values, row, errText))
                return true;
            if (!errText.isEmpty())
                return false;
            events.clear();
        }
        QSqlQuery* query = into.db->Run(sql, values, errText);
        if (!query)
            return false;
        while (query->next()) {
            ArchivedEvent event = EventFrom(*query, 1);
            event.id = query->value(0).toLongLong();
            events.push_back(std::move(event));
        }
        query->finish();
        return true;
    });
    return events;
}

std::vector<ArchivedStatus> HistoryArchive::Statuses(qint64 controllerId)
{
    std::vector<ArchivedStatus> statuses;
    d->attempt([&](QString& errText) {
        statuses.clear();
        Target into;
        if (!d->target(controllerId, into, errText))
            return false;
        QSqlQuery* query = into.db->Run(
            QStringLiteral("SELECT id, read_at, values_json FROM %1 WHERE controller_id = ? "
                           "ORDER BY id")
                .arg(QLatin1String(into.tables.statuses)),
            {into.controllerId}, errText);
        if (!query)
            return false;
        while (query->next())
            statuses.push_back({query->value(0).toLongLong(),
                                FromUtcText(query->value(1).toString()),
                                query->value(2).toString()});
        query->finish();
        return true;
    });
    return statuses;
}

std::vector<ArchivedChange> HistoryArchive::Changes(qint64 controllerId)
{
    std::vector<ArchivedChange> changes;
    d->attempt([&](QString& errText) {
        changes.clear();
        Target into;
        if (!d->target(controllerId, into, errText))
            return false;
        QSqlQuery* query = into.db->Run(
            QStringLiteral("SELECT id, written_at, program, command, data, before_json, "
                           "after_json, summary FROM %1 WHERE controller_id = ? ORDER BY id")
                .arg(QLatin1String(into.tables.changes)),
            {into.controllerId}, errText);
        if (!query)
            return false;
        while (query->next()) {
            ArchivedChange change;
            change.id = query->value(0).toLongLong();
            change.writtenAt = FromUtcText(query->value(1).toString());
            change.program = query->value(2).toString();
            change.command = query->value(3).toInt();
            change.data = query->value(4).toString();
            change.beforeJson = query->value(5).toString();
            change.afterJson = query->value(6).toString();
            change.summary = query->value(7).toString();
            changes.push_back(change);
        }
        query->finish();
        return true;
    });
    return changes;
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
        if (!d->openServer(*server, reached, errText)) {
            if (reached)
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
    if (!d->sendQueued(errText)) {
        if (d->main->Alive()) {
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
