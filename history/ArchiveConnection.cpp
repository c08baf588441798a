#include "history/ArchiveConnection.h"

#include "history/PostgresAddress.h"

#include <QAtomicInteger>
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

bool ArchiveConnection::Reachable(const PostgresAddress& address)
{
    ArchiveConnection probe;
    QString ignored;
    return probe.OpenPostgres(address, ignored);
}

void ArchiveConnection::Close()
{
    if (m_postgres && !m_prepared.empty()) {
        g_previousHandler = qInstallMessageHandler(QuietFreeWarnings);
        m_prepared.clear();
        qInstallMessageHandler(g_previousHandler);
    }
    m_prepared.clear();
    m_inTransaction = false;
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
        if (!query->prepare(Dialect(sql))) {
            errText = ErrorText(*query);
            return nullptr;
        }
        found = m_prepared.emplace(sql, std::move(query)).first;
    }
    QSqlQuery* query = found->second.get();
    int position = 0;
    for (const QVariant& value : values)
        query->bindValue(position++, value);
    if (!query->exec()) {
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
    if (!query.exec(Dialect(sql))) {
        errText = ErrorText(query);
        return false;
    }
    return true;
}

bool ArchiveConnection::Begin(QString& errText)
{
    if (m_inTransaction) {
        ++m_nested;
        return true;
    }
    if (!Exec(m_postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"), errText))
        return false;
    m_inTransaction = true;
    m_nested = 0;
    return true;
}

bool ArchiveConnection::Commit(QString& errText)
{
    if (m_inTransaction && m_nested > 0) {
        --m_nested;
        return true;
    }
    m_inTransaction = false;
    if (Exec(QStringLiteral("COMMIT"), errText))
        return true;
    Rollback();
    return false;
}

void ArchiveConnection::Rollback()
{
    // An inner failure undoes the whole (the outer part's own Rollback then finds none).
    m_inTransaction = false;
    m_nested = 0;
    for (auto& [sql, query] : m_prepared)
        query->finish();
    QString ignored;
    Exec(QStringLiteral("ROLLBACK"), ignored);
}

bool ArchiveConnection::Alive()
{
    if (!m_postgres)
        return isOpen();
    if (m_inTransaction)
        Rollback();
    QString ignored;
    return Exec(QStringLiteral("SELECT 1"), ignored);
}
