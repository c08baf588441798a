#pragma once

#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <chrono>
#include <memory>
#include <unordered_map>

struct PostgresAddress;

/// One connection of the archive to its database (the SQLite file or the PostgreSQL server),
/// under a connection name of its own, with its statements prepared once and kept.
class ArchiveConnection
{
public:
    /// How long a connection to a server may take before it counts as unreachable (libpq's
    /// least is 2 s).
    static constexpr std::chrono::seconds kConnectTimeout{2};

    /// While it stands, each statement of `connection` (a server's) is bounded by
    /// StatementGuard: a server that stopped answering or a lock held by another session
    /// fails the statement after StatementGuard::kLimit. Nothing for null.
    class Guarded
    {
    public:
        explicit Guarded(ArchiveConnection* connection);
        ~Guarded();
        Guarded(const Guarded&) = delete;
        Guarded& operator=(const Guarded&) = delete;
        /// A statement ran out of time (its connection is then cut).
        bool expired() const { return m_connection && m_connection->m_expired; }

    private:
        ArchiveConnection* m_connection;
    };

    ArchiveConnection();
    ~ArchiveConnection();
    ArchiveConnection(const ArchiveConnection&) = delete;
    ArchiveConnection& operator=(const ArchiveConnection&) = delete;

    /// synchronous=NORMAL, foreign keys, no automatic checkpoint (see WalCheckpointer), and
    /// `busyTimeout` for a file locked by another.
    bool OpenSqlite(const QString& path, std::chrono::milliseconds busyTimeout, QString& errText);
    /// The file for reading only, never written (SQLite's mode=ro); `immutable` where its
    /// folder cannot be written (WAL's -shm could not be made there): SQLite then reads the
    /// file alone, which no program may be writing.
    bool OpenSqliteForReading(const QString& path, bool immutable, QString& errText);
    bool OpenPostgres(const PostgresAddress& address, QString& errText);
    /// Whether a failed connection was refused by the server (a wrong password, a user or
    /// database it does not know, no right to connect) rather than not reaching it: waiting
    /// does not mend that.
    static bool IsRefusal(const QString& errText);
    /// Whether a connection to the server can be made now; for a thread of its own (it waits
    /// up to kConnectTimeout). `errText` tells why not.
    static bool Reachable(const PostgresAddress& address, QString& errText);
    /// Sets the SQLite file's journal to WAL (which writes to the file: done only once its
    /// schema is known to be ours).
    bool UseWriteAheadLog(QString& errText);
    void Close();
    bool isOpen() const;
    bool isPostgres() const { return m_postgres; }
    /// The name of its QSqlDatabase connection.
    QString connectionName() const { return m_name; }
    /// Where it is, for messages: the file's path or the server's address.
    QString where() const { return m_where; }

    /// The statement in this connection's dialect: %ID (a generated primary key), %TSTZ (a
    /// time with its zone), %TS (a time without one: the controller's clock), %EVENT and %GAP
    /// (an event row, a gap row). SQLite keeps times as text in the archive's own format.
    QString Dialect(QString sql) const;
    /// Runs `sql` (in Dialect) prepared once per connection with `values` bound in order; the
    /// query stays the connection's (read it before the next call with the same text).
    QSqlQuery* Run(const QString& sql, const QVariantList& values, QString& errText);
    /// Runs a statement once, unprepared.
    bool Exec(const QString& sql, QString& errText);
    /// A write transaction: SQLite takes the write lock at once (waiting up to its busy time).
    /// Within another, a savepoint: its Rollback undoes only what came after it.
    bool Begin(QString& errText);
    bool inTransaction() const { return m_depth > 0; }
    bool Commit(QString& errText);
    void Rollback();
    /// False when the server went away (a failed statement then says nothing about the data).
    bool Alive();
    /// True when the database refused a record for what it holds (a value out of range, a
    /// broken constraint, a value the driver could not put into a statement), not for the
    /// connection, a lock, space or privileges: storing it again would fail again.
    static bool Refused(const QString& errText);

private:
    static QString ErrorText(const QSqlQuery& query);
    /// Runs `statement` under a StatementGuard while guarded.
    template <class Statement> bool Bounded(Statement statement);

    QString m_name;
    QString m_where;
    bool m_postgres = false;
    /// Transactions begun and not ended: beyond the first, savepoints.
    int m_depth = 0;
    bool m_guarded = false;
    bool m_expired = false;
    std::unordered_map<QString, std::unique_ptr<QSqlQuery>> m_prepared;
};
