#include "history/ArchiveConnection.h"

#include "history/PostgresAddress.h"
#include "history/StatementGuard.h"

#include <QAtomicInteger>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>

namespace {
QAtomicInteger<quint64> g_connections;
QtMessageHandler g_previousHandler = nullptr;

/// Qt's PostgreSQL driver warns for every prepared statement it cannot free on a connection
/// the server dropped; the archive has told that already.
void QuietFreeWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtWarningMsg && text.startsWith(QLatin1String("Unable to free statement")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, text);
}

QString DriverMissing(const char* driver, const char* package)
{
    return QStringLiteral("Qt's %1 database driver is not installed (Debian package %2)")
        .arg(QLatin1String(driver), QLatin1String(package));
}
} // namespace

ArchiveConnection::Guarded::Guarded(ArchiveConnection* connection) : m_connection(connection)
{
    if (!m_connection)
        return;
    m_connection->m_guarded = true;
    m_connection->m_expired = false;
}

ArchiveConnection::Guarded::~Guarded()
{
    if (m_connection)
        m_connection->m_guarded = false;
}

template <class Statement> bool ArchiveConnection::Bounded(Statement statement)
{
    if (!m_guarded || !m_postgres)
        return statement();
    const StatementGuard guard(m_name);
    const bool done = statement();
    if (guard.expired())
        m_expired = true;
    return done;
}

ArchiveConnection::ArchiveConnection()
    : m_name(QStringLiteral("tarn_history_%1").arg(g_connections.fetchAndAddRelaxed(1)))
{
}

ArchiveConnection::~ArchiveConnection()
{
    Close();
}

bool ArchiveConnection::OpenSqlite(const QString& path, std::chrono::milliseconds busyTimeout,
                                   QString& errText)
{
    Close();
    m_postgres = false;
    m_where = path;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        if (!db.isValid()) {
            errText = DriverMissing("SQLite", "libqt6sql6-sqlite");
            QSqlDatabase::removeDatabase(m_name);
            return false;
        }
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeout.count()));
        if (!db.open()) {
            errText = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_name);
            return false;
        }
    }
    if (!Exec(QStringLiteral("PRAGMA foreign_keys = ON"), errText) ||
        !Exec(QStringLiteral("PRAGMA synchronous = NORMAL"), errText) ||
        // The checkpoints (which wait for the disk) are the WalCheckpointer's, in a thread.
        !Exec(QStringLiteral("PRAGMA wal_autocheckpoint = 0"), errText)) {
        Close();
        return false;
    }
    return true;
}

bool ArchiveConnection::OpenSqliteForReading(const QString& path, bool immutable, QString& errText)
{
    Close();
    m_postgres = false;
    m_where = path;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    if (!db.isValid()) {
        errText = DriverMissing("SQLite", "libqt6sql6-sqlite");
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        return false;
    }
    db.setDatabaseName(QStringLiteral("file:%1?mode=ro%2")
                           .arg(QString::fromLatin1(QUrl::toPercentEncoding(path, "/")),
                                immutable ? QStringLiteral("&immutable=1") : QString()));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY"));
    if (!db.open()) {
        errText = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        return false;
    }
    return true;
}

bool ArchiveConnection::UseWriteAheadLog(QString& errText)
{
    if (m_postgres)
        return true;
    QSqlQuery* mode = Run(QStringLiteral("PRAGMA journal_mode = WAL"), {}, errText);
    if (!mode)
        return false;
    const QString now = mode->next() ? mode->value(0).toString() : QString();
    mode->finish();
    if (now.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        errText = QStringLiteral("its journal cannot be set to WAL (it is \"%1\")").arg(now);
        return false;
    }
    return true;
}

bool ArchiveConnection::OpenPostgres(const PostgresAddress& address, QString& errText)
{
    Close();
    m_postgres = true;
    m_where = QStringLiteral("%1 on %2")
                  .arg(address.database,
                       address.host.isEmpty() ? QStringLiteral("localhost") : address.host);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        if (!db.isValid()) {
            errText = DriverMissing("PostgreSQL", "libqt6sql6-psql");
            QSqlDatabase::removeDatabase(m_name);
            return false;
        }
        db.setDatabaseName(address.database);
        if (!address.host.isEmpty())
            db.setHostName(address.host);
        if (address.port > 0)
            db.setPort(address.port);
        if (!address.user.isEmpty())
            db.setUserName(address.user);
        const QString parameters = address.ConnectOptions();
        db.setConnectOptions(QStringLiteral("connect_timeout=%1;application_name=tarn%2")
                                 .arg(kConnectTimeout.count())
                                 .arg(parameters.isEmpty() ? QString() : u';' + parameters));
        if (!db.open()) {
            errText = db.lastError().text().trimmed();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_name);
            return false;
        }
    }
    // Warnings ("relation already exists, skipping") are no news to anyone; times are given
    // and read in UTC, whatever the server's own zone.
    return Exec(QStringLiteral("SET client_min_messages = error"), errText) &&
           Exec(QStringLiteral("SET TIME ZONE 'UTC'"), errText);
}

bool ArchiveConnection::IsRefusal(const QString& errText)
{
    for (const char* refusal : {"authentication failed", "no password supplied", "does not exist",
                                "permission denied", "pg_hba.conf", "not permitted to log in"}) {
        if (errText.contains(QLatin1String(refusal), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool ArchiveConnection::Reachable(const PostgresAddress& address, QString& errText)
{
    ArchiveConnection probe;
    return probe.OpenPostgres(address, errText);
}

void ArchiveConnection::Close()
{
    if (m_postgres && !m_prepared.empty()) {
        g_previousHandler = qInstallMessageHandler(QuietFreeWarnings);
        m_prepared.clear();
        qInstallMessageHandler(g_previousHandler);
    }
    m_prepared.clear();
    m_depth = 0;
    if (!QSqlDatabase::contains(m_name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

bool ArchiveConnection::isOpen() const
{
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

bool ArchiveConnection::Refused(const QString& errText)
{
    // A server's SQLSTATE ends its text: data exceptions (22), integrity constraints (23), and
    // the syntax error of a value that broke its statement (42601). SQLite's texts say the same.
    static const QRegularExpression kServer(
        QStringLiteral("\\((?:(?:22|23)[0-9A-Z]{3}|42601)\\)$"));
    return kServer.match(errText).hasMatch() ||
           errText.contains(QLatin1String("constraint failed"), Qt::CaseInsensitive) ||
           errText.contains(QLatin1String("datatype mismatch"), Qt::CaseInsensitive) ||
           errText.contains(QLatin1String("too big"), Qt::CaseInsensitive);
}

QString ArchiveConnection::ErrorText(const QSqlQuery& query)
{
    const QSqlError error = query.lastError();
    QString text = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
    // The PostgreSQL driver appends the error's code in brackets, "()" when there is none; the
    // server's text comes on several indented lines: one line, for a box or a status line.
    if (text.endsWith(QLatin1String("()")))
        text.chop(2);
    return text.simplified();
}

QString ArchiveConnection::Dialect(QString sql) const
{
    if (!sql.contains(u'%'))
        return sql;
    struct Word
    {
        const char* token;
        const char* postgres;
        const char* sqlite;
    };
    // Longer tokens first: %TSTZ before %TS.
    static constexpr Word kWords[] = {
        {"%ID", "BIGSERIAL PRIMARY KEY", "INTEGER PRIMARY KEY"},
        {"%TSTZ", "TIMESTAMPTZ", "TEXT"},
        {"%TS", "TIMESTAMP", "TEXT"},
        {"%EVENT", "NOT gap", "gap = 0"},
        {"%GAP", "gap", "gap <> 0"},
    };
    for (const Word& word : kWords)
        sql.replace(QLatin1String(word.token),
                    QLatin1String(m_postgres ? word.postgres : word.sqlite));
    return sql;
}

QSqlQuery* ArchiveConnection::Run(const QString& sql, const QVariantList& values, QString& errText)
{
    if (!isOpen()) {
        errText = QStringLiteral("the database is closed");
        return nullptr;
    }
    auto found = m_prepared.find(sql);
    if (found == m_prepared.end()) {
        auto query = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_name, false));
        query->setForwardOnly(true);
        if (!Bounded([&] { return query->prepare(Dialect(sql)); })) {
            errText = ErrorText(*query);
            return nullptr;
        }
        found = m_prepared.emplace(sql, std::move(query)).first;
    }
    QSqlQuery* query = found->second.get();
    int position = 0;
    for (const QVariant& value : values)
        query->bindValue(position++, value);
    if (!Bounded([query] { return query->exec(); })) {
        errText = ErrorText(*query);
        query->finish();
        return nullptr;
    }
    return query;
}

bool ArchiveConnection::Exec(const QString& sql, QString& errText)
{
    if (!isOpen()) {
        errText = QStringLiteral("the database is closed");
        return false;
    }
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    if (!Bounded([&] { return query.exec(Dialect(sql)); })) {
        errText = ErrorText(query);
        return false;
    }
    return true;
}

bool ArchiveConnection::Begin(QString& errText)
{
    const QString begin = m_depth > 0  ? QStringLiteral("SAVEPOINT nested_%1").arg(m_depth)
                          : m_postgres ? QStringLiteral("BEGIN")
                                       : QStringLiteral("BEGIN IMMEDIATE");
    if (!Exec(begin, errText))
        return false;
    ++m_depth;
    return true;
}

bool ArchiveConnection::Commit(QString& errText)
{
    if (m_depth > 1) {
        if (Exec(QStringLiteral("RELEASE SAVEPOINT nested_%1").arg(m_depth - 1), errText)) {
            --m_depth;
            return true;
        }
        Rollback();
        return false;
    }
    m_depth = 0;
    if (Exec(QStringLiteral("COMMIT"), errText))
        return true;
    m_depth = 1;
    Rollback();
    return false;
}

void ArchiveConnection::Rollback()
{
    for (auto& [sql, query] : m_prepared)
        query->finish();
    QString ignored;
    if (m_depth > 1) {
        --m_depth;
        const QString savepoint = QStringLiteral("nested_%1").arg(m_depth);
        Exec(QStringLiteral("ROLLBACK TO SAVEPOINT ") + savepoint, ignored);
        Exec(QStringLiteral("RELEASE SAVEPOINT ") + savepoint, ignored);
        return;
    }
    m_depth = 0;
    Exec(QStringLiteral("ROLLBACK"), ignored);
}

bool ArchiveConnection::Alive()
{
    if (!m_postgres)
        return isOpen();
    while (m_depth > 0)
        Rollback();
    QString ignored;
    return Exec(QStringLiteral("SELECT 1"), ignored);
}
