// Measures the fleet on the service history's SQLite file: HistoryArchive::Fleet() over every
// controller (its last service and the alarms and faults of its last visit), and the fleet's
// table filled, sorted and written as CSV, as View > Fleet and `tarn history fleet` do.
// The archive is filled straight through SQL: each controller with EVENTS events read over
// ten visits a month apart, and a status giving its last service; each controller's summary
// (what the archive keeps in its row as records are stored) is then built from them as the
// schema update builds it. The statements the listing runs are printed with their query
// plans and the tables they read: the controllers' only, so the time does not depend on the
// events each controller holds.
//
//   bench_fleet [CONTROLLERS] [EVENTS]   (defaults 1000 and 10000; in a temporary folder)

#include "BenchStart.h"

#include "history/ArchiveConnection.h"
#include "history/ControllerSummary.h"
#include "history/FleetModel.h"
#include "history/HistoryArchive.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariantList>

#include <sqlite3.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

constexpr int kDefaultControllers = 1000;
constexpr int kDefaultEvents = 10000;
constexpr int kVisits = 10;
constexpr int kDaysBetweenVisits = 30;
constexpr int kServiceInterval = 365;
/// What listing the fleet may take.
constexpr double kLimitMs = 500;
/// Events written per batch of the fill.
constexpr int kBatch = 20000;
const char* const kTexts[] = {"Alarm detector 1", "Pump started",        "Battery fault",
                              "Zone 1 activated", "Mains power failure", "Alarm reset"};
constexpr int kTextCount = int(sizeof kTexts / sizeof kTexts[0]);

QString UtcText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

/// Fills the controllers' events and statuses through a connection of its own.
bool Fill(const QString& file, const std::vector<qint64>& ids, int events)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    db.setDatabaseName(file);
    if (!db.open())
        return false;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QSqlQuery insert(db);
    if (!insert.prepare(QStringLiteral(
            "INSERT INTO events (controller_id, gap, raw, ordinal, event_time, code, "
            "temperature, text, read_at, program) VALUES (?, 0, ?, 1, ?, ?, 20, ?, ?, 'tarn')")))
        return false;
    QSqlQuery status(db);
    if (!status.prepare(QStringLiteral("INSERT INTO statuses (controller_id, read_at, program, "
                                       "values_json) VALUES (?, ?, 'tarn', ?)")))
        return false;
    QVariantList controller, raw, time, code, text, readAt;
    const auto flush = [&] {
        if (controller.isEmpty())
            return true;
        insert.addBindValue(controller);
        insert.addBindValue(raw);
        insert.addBindValue(time);
        insert.addBindValue(code);
        insert.addBindValue(text);
        insert.addBindValue(readAt);
        const bool ok = insert.execBatch();
        for (QVariantList* list : {&controller, &raw, &time, &code, &text, &readAt})
            list->clear();
        return ok;
    };
    db.transaction();
    for (std::size_t c = 0; c < ids.size(); ++c) {
        for (int i = 0; i < events; ++i) {
            const int visit = i * kVisits / events; // 0 .. kVisits-1, the last one latest
            const QDateTime read =
                now.addDays(-qint64(kVisits - 1 - visit) * kDaysBetweenVisits).addSecs(-3600);
            controller << ids[c];
            raw << QStringLiteral("%1").arg(i, 12, 16, QLatin1Char('0'));
            time << read.addSecs(-i).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
            code << i % kTextCount;
            text << QString::fromLatin1(kTexts[(i + int(c)) % kTextCount]);
            readAt << UtcText(read);
            if (controller.size() >= kBatch && !flush())
                return false;
        }
        status.addBindValue(ids[c]);
        status.addBindValue(UtcText(now));
        status.addBindValue(
            QStringLiteral(R"({"admin":{"lastService":"%1"}})")
                .arg(now.date().addDays(-qint64(c * 7 % 700)).toString(Qt::ISODate) +
                     QStringLiteral("T09:00:00")));
        if (!status.exec())
            return false;
    }
    const bool ok = flush() && db.commit();
    if (!ok)
        std::fprintf(stderr, "bench_fleet: %s\n", qPrintable(insert.lastError().text()));
    db.close();
    return ok;
}

/// The statements the archive's connections run, and the tables they read (SQLite's
/// authorizer is asked for each column a statement reads when it is prepared).
struct Watch
{
    std::vector<std::string> statements;
    std::set<std::string> tables;

    static int Traced(unsigned, void* self, void* statement, void*)
    {
        if (const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement)))
            static_cast<Watch*>(self)->statements.emplace_back(sql);
        return 0;
    }
    static int Authorize(void* self, int action, const char* table, const char*, const char*,
                         const char*)
    {
        if (action == SQLITE_READ && table)
            static_cast<Watch*>(self)->tables.insert(table);
        return SQLITE_OK;
    }
    void Start(bool on)
    {
        for (const QString& name : QSqlDatabase::connectionNames()) {
            const QVariant handle = QSqlDatabase::database(name, false).driver()->handle();
            if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
                continue;
            sqlite3* db = *static_cast<sqlite3* const*>(handle.data());
            if (!db)
                continue;
            sqlite3_trace_v2(db, on ? SQLITE_TRACE_STMT : 0, on ? &Watch::Traced : nullptr, this);
            sqlite3_set_authorizer(db, on ? &Watch::Authorize : nullptr, this);
        }
    }
};

/// EXPLAIN QUERY PLAN of a statement on the file, one line per step.
std::string Plan(const QString& file, const std::string& sql)
{
    std::string plan;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plan"));
    db.setDatabaseName(file);
    if (db.open()) {
        QSqlQuery query(db);
        if (query.exec(QStringLiteral("EXPLAIN QUERY PLAN ") + QString::fromStdString(sql)))
            while (query.next())
                plan += "    " + query.value(3).toString().toStdString() + "\n";
        else
            plan = "    (" + query.lastError().text().toStdString() + ")\n";
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("plan"));
    return plan;
}

double Ms(QElapsedTimer& clock)
{
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    clock.restart();
    return ms;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    BenchStart bench(BenchArguments("usage: bench_fleet [CONTROLLERS] [EVENTS]   (defaults " +
                                        std::to_string(kDefaultControllers) + " and " +
                                        std::to_string(kDefaultEvents) + ")",
                                    {"CONTROLLERS", "EVENTS"}));
    if (!bench.Read(argc, argv))
        return bench.exitCode();
    const int controllers = bench.arguments().number(0, kDefaultControllers);
    const int events = std::max(bench.arguments().number(1, kDefaultEvents), kVisits);

    HistoryArchive archive(QStringLiteral("tarn"));
    if (!bench.folder().isValid() || !archive.Open(bench.folder().path())) {
        std::fprintf(stderr, "bench_fleet: %s\n", qPrintable(archive.fault()));
        return 1;
    }
    std::vector<qint64> ids;
    for (int c = 0; c < controllers; ++c) {
        const auto id = archive.ControllerId(
            {QStringLiteral("%1").arg(100000 + c), 2.07, QStringLiteral("COM1")});
        if (!id)
            return 1;
        ids.push_back(*id);
    }
    QElapsedTimer clock;
    clock.start();
    if (!Fill(bench.path(QLatin1String(HistoryArchive::kFileName)), ids, events)) {
        std::fprintf(stderr, "bench_fleet: the archive could not be filled\n");
        return 1;
    }
    std::printf("Filled %d controllers with %d events each in %.1f s\n", controllers, events,
                Ms(clock) / 1000);
    {
        ArchiveConnection db;
        QString errText;
        if (!db.OpenSqlite(bench.path(QLatin1String(HistoryArchive::kFileName)),
                           HistoryArchive::kBusyTimeout, errText) ||
            !db.Begin(errText) || !ControllerSummary::RebuildAll(db, errText) ||
            !db.Commit(errText)) {
            std::fprintf(stderr, "bench_fleet: %s\n", qPrintable(errText));
            return 1;
        }
    }
    std::printf("Each controller's summary built from its records (as the schema update does) "
                "in %.1f s\n\n",
                Ms(clock) / 1000);

    Watch watch;
    watch.Start(true);
    std::vector<FleetEntry> fleet = archive.Fleet();
    const double queryMs = Ms(clock);
    watch.Start(false);
    // Once more, the file in the system's cache as when the view is refreshed.
    fleet = archive.Fleet();
    const double againMs = Ms(clock);
    FleetModel model;
    model.setEntries(std::move(fleet), QDate::currentDate(), kServiceInterval);
    model.sort(FleetModel::ColumnDaysSince, Qt::DescendingOrder);
    const double tableMs = Ms(clock);
    const std::size_t csvBytes = model.Csv().size();
    const double csvMs = Ms(clock);
    model.setDueOnly(true);
    const double dueMs = Ms(clock);
    std::printf("Fleet() of %d controllers                %8.1f ms\n", model.totalCount(), queryMs);
    std::printf("  again (Refresh)                         %8.1f ms\n", againMs);
    std::printf("  table filled and sorted by days         %8.1f ms\n", tableMs);
    std::printf("  CSV (%zu bytes)                   %8.1f ms\n", csvBytes, csvMs);
    std::printf("  due for service only (%d rows)        %8.1f ms\n", model.rowCount(), dueMs);
    std::printf("\nStatements of Fleet(), %zu, and their plans:\n", watch.statements.size());
    for (const std::string& sql : watch.statements)
        std::printf("  %s\n%s", sql.c_str(),
                    Plan(bench.path(QLatin1String(HistoryArchive::kFileName)), sql).c_str());
    std::printf("Tables read:");
    for (const std::string& table : watch.tables)
        std::printf(" %s", table.c_str());
    std::printf("\n");
    const double total = queryMs + tableMs;
    std::printf("\nListing the fleet: %.1f ms, %s the limit of %.0f ms\n", total,
                total <= kLimitMs ? "within" : "OVER", kLimitMs);
    return total <= kLimitMs ? 0 : 1;
}
