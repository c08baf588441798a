#pragma once

#include <QString>

/// The parts of "postgresql://user@host[:port]/db". A host that starts with "/" (or "%2F",
/// percent-encoded) is the folder of the server's Unix socket. No password: libpq takes it
/// from PGPASSWORD or ~/.pgpass.
struct PostgresAddress
{
    QString user;
    QString host;  ///< a name, an address or a socket folder; empty for libpq's default
    int port = -1; ///< -1 for the default
    QString database;

    /// False, with `errText`, when `address` is not such an address.
    static bool Parse(const QString& address, PostgresAddress& parsed, QString& errText);
    /// True when `database` names a server rather than the local file.
    static bool IsServer(const QString& database);
};
