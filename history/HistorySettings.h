#pragma once

#include <QString>

class HistoryArchive;

/// Where the service history is kept: `[HISTORY] Database=` in Tarn.INI names a PostgreSQL
/// server ("postgresql://user@host/db"; the password comes from PGPASSWORD or ~/.pgpass);
/// without it, the file history.sqlite in the program folder; "off" keeps no history.
class HistorySettings
{
public:
    static constexpr const char* kSection = "HISTORY";
    static constexpr const char* kDatabaseKey = "Database";
    /// `Database=off`: no history is kept (nor read).
    static constexpr const char* kOff = "off";
    /// `[HISTORY] ServiceInterval=`: days from a service after which the next one is due.
    static constexpr const char* kServiceIntervalKey = "ServiceInterval";
    static constexpr int kDefaultServiceInterval = 365;

    /// The database Tarn.INI at `iniPath` names, or "" for the local file.
    static QString Database(const QString& iniPath);
    /// Whether Tarn.INI at `iniPath` switches the history off.
    static bool isOff(const QString& iniPath);
    /// The service interval Tarn.INI at `iniPath` gives, in days; the default when it gives
    /// none or no whole number above 0.
    static int ServiceInterval(const QString& iniPath);
    /// Opens `archive` in the program folder `folder` with the database Tarn.INI names; as
    /// HistoryArchive::Open (false with its fault() set). Switched off: the archive stays
    /// closed, without a fault, and true.
    static bool Open(HistoryArchive& archive, const QString& folder, const QString& iniPath);
    /// The same, for reading only (HistoryArchive::OpenForReading).
    static bool OpenForReading(HistoryArchive& archive, const QString& folder,
                               const QString& iniPath);
};
