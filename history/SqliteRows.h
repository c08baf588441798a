#pragma once

#include <QString>
#include <QVariantList>

#include <functional>

class QSqlDatabase;
struct sqlite3_stmt;

/// Reads the rows of a query straight from SQLite, without a QVariant a value: for the few
/// queries that return a controller's whole history (100,000 events and more), where Qt SQL's
/// own reading takes several times as long. Only for a connection of Qt's SQLite driver.
class SqliteRows
{
public:
    /// Runs `sql` with `values` (whole numbers or texts) and calls `row` for each row. False,
    /// with `errText`, when the statement cannot be prepared or a step fails, or when `db` is
    /// no SQLite connection (then `errText` stays empty: use Qt SQL instead).
    static bool Read(const QSqlDatabase& db, const QString& sql, const QVariantList& values,
                     const std::function<void(sqlite3_stmt* row)>& row, QString& errText);
    /// Read, stopping after the first row for which `row` gives false.
    static bool ReadWhile(const QSqlDatabase& db, const QString& sql, const QVariantList& values,
                          const std::function<bool(sqlite3_stmt* row)>& row, QString& errText);
    /// Column `column` of the row as text (UTF-8 in the file); a null string for NULL.
    static QString Text(sqlite3_stmt* row, int column);
};
