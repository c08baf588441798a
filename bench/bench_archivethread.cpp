// Measures what storing the history costs the program's thread: a reading of EVENTS events
// (one every kEventInterval, as the link brings them) stored in the SQLite file and on a
// PostgreSQL server of its own (Debian's postgresql), the server answering, its processes
// stopped (SIGSTOP) and its events table locked by another session; each the old way (the
// store on the program's thread) and by the background writer. A timer ticking every kTick
// on the program's thread gives the longest stall; the time spent in the store calls gives
// the cost per event there; the drain is the time until the writer has stored them all.
//
//   bench_archivethread [EVENTS]   (default 100)

#include "history/HistoryArchive.h"
#include "tests/history/PostgresCluster.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

constexpr int kDefaultEvents = 100;
constexpr std::chrono::milliseconds kEventInterval{20};
constexpr std::chrono::milliseconds kTick{10};
/// The longest the program's thread may stall.
constexpr double kStallLimitMs = 100;
/// How long the server stays stopped or locked.
constexpr std::chrono::seconds kTroubleTime{4};
constexpr std::chrono::seconds kDrainWait{60};

struct Figures
{
    double stallMs = 0;
    double perEventMs = 0;
    double drainMs = 0;
    qint64 stored = 0;
};

ArchivedEvent Event(int i)
{
    ArchivedEvent event;
    event.raw = QStringLiteral("%1").arg(i, 12, 16, QLatin1Char('0'));
    event.code = 1;
    event.text = QStringLiteral("Event %1").arg(i);
    event.eventTime = QDateTime::currentDateTimeUtc();
    event.readAt = QDateTime::currentDateTimeUtc();
    return event;
}

/// One reading stored into `database` (empty: the SQLite file in `folder`). `trouble` begins
/// after the first event and ends kTroubleTime later.
Figures Reading(const QString& folder, const QString& database, bool background, int events,
                const std::function<void()>& troubleBegins,
                const std::function<void()>& troubleEnds)
{
    Figures figures;
    HistoryArchive archive(QStringLiteral("bench"));
    if (!archive.Open(folder, database)) {
        std::fprintf(stderr, "cannot open: %s\n", qPrintable(archive.fault()));
        return figures;
    }
    // A controller of its own for each reading.
    static int readings = 0;
    const auto id = archive.ControllerId({QStringLiteral("B%1").arg(++readings), 2.07, {}});
    if (!id)
        return figures;
    if (background)
        archive.StoreInBackground();
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        figures.stallMs = qMax(figures.stallMs, double(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    tick.start(kTick);
    QElapsedTimer inCalls;
    qint64 callNs = 0;
    int sent = 0;
    bool troubled = false;
    QTimer trouble;
    trouble.setSingleShot(true);
    QObject::connect(&trouble, &QTimer::timeout, [&] {
        if (troubleEnds)
            troubleEnds();
    });
    QEventLoop loop;
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] {
        if (sent == 1 && troubleBegins && !troubled) {
            troubled = true;
            troubleBegins();
            trouble.start(kTroubleTime);
        }
        inCalls.start();
        archive.StoreEvent(*id, Event(sent));
        callNs += inCalls.nsecsElapsed();
        if (++sent == events) {
            feed.stop();
            loop.quit();
        }
    });
    feed.start(kEventInterval);
    loop.exec();
    QElapsedTimer drain;
    drain.start();
    if (troubled)
        while (trouble.isActive()) {
            QEventLoop pause;
            QTimer::singleShot(kTick, &pause, &QEventLoop::quit);
            pause.exec();
        }
    archive.Flush(kDrainWait);
    figures.drainMs = double(drain.elapsed());
    tick.stop();
    figures.perEventMs = double(callNs) / 1e6 / events;
    figures.stored = qint64(archive.Events(*id).size());
    return figures;
}

void Print(const char* what, const Figures& old, const Figures& now, int events)
{
    std::printf("%-28s stall %7.1f -> %6.1f ms   per event %6.3f -> %6.3f ms   drained "
                "%7.0f ms   stored %lld -> %lld of %d\n",
                what, old.stallMs, now.stallMs, old.perEventMs, now.perEventMs, now.drainMs,
                static_cast<long long>(old.stored), static_cast<long long>(now.stored), events);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int events = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : kDefaultEvents;
    if (events <= 1) {
        std::fprintf(stderr, "usage: bench_archivethread [EVENTS]\n");
        return 2;
    }
    std::printf("A reading of %d events, one every %lld ms; a tick every %lld ms on the "
                "program's thread. Old way -> background writer.\n",
                events, static_cast<long long>(kEventInterval.count()),
                static_cast<long long>(kTick.count()));
    bool within = true;
    {
        QTemporaryDir folder;
        const Figures old = Reading(folder.path(), {}, false, events, {}, {});
        QTemporaryDir folder2;
        const Figures now = Reading(folder2.path(), {}, true, events, {}, {});
        Print("SQLite", old, now, events);
        within = within && now.stallMs <= kStallLimitMs;
    }
    PostgresCluster cluster;
    QString errText;
    if (!cluster.missing().isEmpty() || !cluster.init(errText) || !cluster.start(errText)) {
        std::printf("PostgreSQL: not measured (%s)\n",
                    qPrintable(cluster.missing().isEmpty() ? errText : cluster.missing()));
        return within ? 0 : 1;
    }
    const auto stop = [&] { cluster.signalAll(SIGSTOP); };
    const auto resume = [&] { cluster.signalAll(SIGCONT); };
    const QString host =
        cluster.address().section(u'@', 1).section(QStringLiteral("/postgres"), 0, 0);
    const auto lock = [&] {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("lock"));
        db.setHostName(host);
        db.setUserName(QLatin1String(PostgresCluster::kUser));
        db.setDatabaseName(QStringLiteral("postgres"));
        QSqlQuery query(db);
        if (!db.open() || !query.exec(QStringLiteral("BEGIN")) ||
            !query.exec(QStringLiteral("LOCK TABLE events")))
            std::fprintf(stderr, "the table could not be locked\n");
    };
    const auto unlock = [&] {
        {
            QSqlDatabase db = QSqlDatabase::database(QStringLiteral("lock"), false);
            QSqlQuery(db).exec(QStringLiteral("COMMIT"));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("lock"));
    };
    struct Case
    {
        const char* name;
        std::function<void()> begins, ends;
    };
    for (const Case& c :
         {Case{"PostgreSQL answering", {}, {}}, Case{"PostgreSQL stopped (SIGSTOP)", stop, resume},
          Case{"PostgreSQL events locked", lock, unlock}}) {
        QTemporaryDir a;
        const Figures old = Reading(a.path(), cluster.address(), false, events, c.begins, c.ends);
        QTemporaryDir b;
        const Figures now = Reading(b.path(), cluster.address(), true, events, c.begins, c.ends);
        Print(c.name, old, now, events);
        within = within && now.stallMs <= kStallLimitMs;
    }
    std::printf("\nLongest stall with the background writer %s the limit of %.0f ms\n",
                within ? "within" : "OVER", kStallLimitMs);
    return within ? 0 : 1;
}
