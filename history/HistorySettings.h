#pragma once

#include <QString>

class HistoryArchive;

/// Where the service history is kept: `[HISTORY] Database=` in Tarn.INI names a PostgreSQL
/// server ("postgresql://user@host/db"; the password comes from PGPASSWORD or ~/.pgpass);
/// without it, the file history.sqlite in the program folder.
class HistorySettings
{
public:
    static constexpr const char* kSection = "HISTORY";
    static constexpr const char* kDatabaseKey = "Database";

    /// The database Tarn.INI at `iniPath` names, or "" for the local file.
    static QString Database(const QString& iniPath);
    /// Opens `archive` in the program folder `folder` with the database Tarn.INI names; as
    /// HistoryArchive::Open (false with its fault() set).
    static bool Open(HistoryArchive& archive, const QString& folder, const QString& iniPath);
    /// The same, for reading only (HistoryArchive::OpenForReading).
    static bool OpenForReading(HistoryArchive& archive, const QString& folder,
                               const QString& iniPath);
};
