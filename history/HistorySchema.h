#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class ArchiveConnection;

/// The archive's tables and the steps that bring a database from any earlier version to the
/// current one. The tables and columns are the same on SQLite and PostgreSQL; a server has
/// columns of their own types and checks (step 3) and no queue tables. The version is kept in the
/// table schema_version; a database of a later version than the steps know is refused untouched.
class HistorySchema
{
public:
    static constexpr const char* kPostgresOnly = "pg:";
    static constexpr const char* kSqliteOnly = "lite:";
    /// Step n (from 1) takes a database from version n - 1 to n. A statement is in
    /// ArchiveConnection::Dialect; one that starts with kPostgresOnly or kSqliteOnly runs on
    /// that database only.
    using Steps = std::vector<QStringList>;
    static const Steps& Current();

    /// The database's version, 0 for a database without the archive's tables.
    static bool Version(ArchiveConnection& db, int& version, QString& errText);
    /// Brings the database to steps.size(), all steps in one transaction (which other
    /// programs opening the same database at once wait for).
    static bool Migrate(ArchiveConnection& db, const Steps& steps, QString& errText);
};
