#include "history/SqliteRows.h"

#include <QSqlDatabase>
#include <QSqlDriver>

#include <sqlite3.h>

#include <memory>

bool SqliteRows::Read(const QSqlDatabase& db, const QString& sql, const QVariantList& values,
                      const std::function<void(sqlite3_stmt* row)>& row, QString& errText)
{
    return ReadWhile(
        db, sql, values,
        [&row](sqlite3_stmt* r) {
            row(r);
            return true;
        },
        errText);
}

bool SqliteRows::ReadWhile(const QSqlDatabase& db, const QString& sql, const QVariantList& values,
                           const std::function<bool(sqlite3_stmt* row)>& row, QString& errText)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.data());
    if (!connection)
        return false;
    sqlite3_stmt* raw = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(connection, text.constData(), int(text.size()), &raw, nullptr) !=
        SQLITE_OK) {
        errText = QString::fromUtf8(sqlite3_errmsg(connection));
        return false;
    }
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& value = values[i];
        int bound = SQLITE_OK;
        if (value.typeId() == QMetaType::QString) {
            const QByteArray utf8 = value.toString().toUtf8();
            bound =
                sqlite3_bind_text(raw, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        } else {
            bound = sqlite3_bind_int64(raw, i + 1, value.toLongLong());
        }
        if (bound != SQLITE_OK) {
            errText = QString::fromUtf8(sqlite3_errmsg(connection));
            return false;
        }
    }
    for (;;) {
        const int step = sqlite3_step(raw);
        if (step == SQLITE_DONE)
            return true;
        if (step != SQLITE_ROW) {
            errText = QString::fromUtf8(sqlite3_errmsg(connection));
            return false;
        }
        if (!row(raw))
            return true;
    }
}

QString SqliteRows::Text(sqlite3_stmt* row, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
    if (!text)
        return QString();
    return QString::fromUtf8(text, sqlite3_column_bytes(row, column));
}
