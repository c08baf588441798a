#pragma once

#include <QMap>
#include <QString>

/// The parts of "postgresql://user@host[:port]/db[?parameter=value&...]". A host that starts
/// with "/" (or "%2F", percent-encoded) is the folder of the server's Unix socket (the port
/// then numbers the socket). No password: libpq takes it from PGPASSWORD or ~/.pgpass. The
/// parameters libpq knows for the connection's security and keepalives (sslmode, ...) are
/// passed on; any other is refused by name.
struct PostgresAddress
{
    QString user;
    QString host;  ///< a name, an address or a socket folder; empty for libpq's default
    int port = -1; ///< -1 for the default
    QString database;
    QMap<QString, QString> parameters;

    /// False, with `errText`, when `address` is not such an address.
    static bool Parse(const QString& address, PostgresAddress& parsed, QString& errText);
    /// The address as messages show it: a password in it replaced by "****".
    static QString Masked(const QString& address);
    /// The parameters as Qt's PostgreSQL driver takes them ("key=value;key=value").
    QString ConnectOptions() const;
    /// True when `database` names a server rather than the local file.
    static bool IsServer(const QString& database);
};
