// Measures the service history on its SQLite file (WAL, synchronous=NORMAL, checkpoints in a
// thread of their own): the time of one
// StoreEvent as events arrive (allowed: 1 ms each) and as they are read again (each a
// duplicate), and the reading of one controller's events back (all of them, sorted by time in
// memory, and filtered by code and by date) as the window's history view does.
//
//   bench_history [STORES] [EVENTS]   (defaults 10000 and 100000; in a temporary folder)

#include "BenchStart.h"

#include "history/HistoryArchive.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kDefaultStores = 10000;
constexpr int kDefaultEvents = 100000;
/// What one stored event may cost.
constexpr double kStoreLimitMs = 1.0;
/// Different replies among the events: each recurs, so ordinals count up.
constexpr int kReplies = 997;
constexpr int kCodes = 40;

struct Figures
{
    double medianMs = 0;
    double p99Ms = 0;
    double maxMs = 0;
    double meanMs = 0;
};

Figures Summary(std::vector<double> times)
{
    Figures figures;
    std::sort(times.begin(), times.end());
    const auto at = [&](double fraction) {
        return times[std::min(times.size() - 1, std::size_t(fraction * double(times.size() - 1)))];
    };
    figures.medianMs = at(0.5);
    figures.p99Ms = at(0.99);
    figures.maxMs = times.back();
    for (double ms : times)
        figures.meanMs += ms / double(times.size());
    return figures;
}

ArchivedEvent Event(int i, int ordinal)
{
    ArchivedEvent event;
    event.raw = QStringLiteral("%1").arg(i % kReplies, 4, 10, QLatin1Char('0'));
    event.ordinal = ordinal;
    event.code = i % kReplies % kCodes;
    event.temperatureCelsius = 20 + i % 7;
    // Not in time order: the window sorts what it reads.
    event.eventTime =
        QDateTime(QDate(2020, 1, 1), QTime(0, 0)).addSecs(qint64(i % 5000) * 3600 + i);
    event.text = QStringLiteral("Alarm detector %1").arg(i % 8 + 1);
    return event;
}

/// Stores events from `first` on, timing each call; false when one failed.
bool Store(HistoryArchive& archive, qint64 id, int first, int count, bool again,
           std::vector<double>* times)
{
    for (int i = first; i < first + count; ++i) {
        QElapsedTimer clock;
        clock.start();
        bool duplicate = false;
        // Read again: the ordinal the event had, found stored already.
        const bool ok = archive.StoreEvent(id, Event(i, again ? i / kReplies + 1 : 0), &duplicate);
        if (times)
            times->push_back(double(clock.nsecsElapsed()) / 1e6);
        // As in the program, between events: the archive's checkpoints run in their thread.
        QCoreApplication::processEvents();
        if (!ok || duplicate != again)
            return false;
    }
    return true;
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
    BenchStart bench(BenchArguments("usage: bench_history [STORES] [EVENTS]   (defaults " +
                                        std::to_string(kDefaultStores) + " and " +
                                        std::to_string(kDefaultEvents) + ")",
                                    {"STORES", "EVENTS"}));
    if (!bench.Read(argc, argv))
        return bench.exitCode();
    const int stores = bench.arguments().number(0, kDefaultStores);
    const int events = std::max(bench.arguments().number(1, kDefaultEvents), stores);

    const QTemporaryDir& folder = bench.folder();
    HistoryArchive archive(QStringLiteral("tarn"));
    if (!folder.isValid() || !archive.Open(folder.path())) {
        std::fprintf(stderr, "bench_history: %s\n", qPrintable(archive.fault()));
        return 1;
    }
    const auto id = archive.ControllerId({QStringLiteral("123456"), 2.07, QStringLiteral("COM1")});
    std::vector<double> fresh, again;
    if (!id || !Store(archive, *id, 0, stores, false, &fresh) ||
        !Store(archive, *id, 0, stores, true, &again) ||
        !Store(archive, *id, stores, events - stores, false, nullptr)) {
        std::fprintf(stderr, "bench_history: a store failed: %s\n", qPrintable(archive.fault()));
        return 1;
    }
    std::printf("StoreEvent on SQLite (WAL, synchronous=NORMAL), %d events each way\n", stores);
    std::printf("%-22s %10s %10s %10s %10s\n", "", "mean ms", "median ms", "p99 ms", "max ms");
    const Figures a = Summary(fresh), b = Summary(again);
    std::printf("%-22s %10.3f %10.3f %10.3f %10.3f\n", "new event (ordinal 0)", a.meanMs,
                a.medianMs, a.p99Ms, a.maxMs);
    std::printf("%-22s %10.3f %10.3f %10.3f %10.3f\n", "read again (duplicate)", b.meanMs,
                b.medianMs, b.p99Ms, b.maxMs);

    QElapsedTimer clock;
    clock.start();
    std::vector<ArchivedEvent> all = archive.Events(*id);
    const double loadMs = Ms(clock);
    std::stable_sort(all.begin(), all.end(), [](const ArchivedEvent& x, const ArchivedEvent& y) {
        return x.eventTime < y.eventTime;
    });
    const double sortMs = Ms(clock);
    EventFilter byCode;
    byCode.code = 7;
    const std::size_t coded = archive.Events(*id, byCode).size();
    const double codeMs = Ms(clock);
    EventFilter byDate;
    byDate.since = QDateTime(QDate(2020, 3, 1), QTime(0, 0));
    byDate.until = QDateTime(QDate(2020, 3, 31), QTime(23, 59, 59));
    const std::size_t dated = archive.Events(*id, byDate).size();
    const double dateMs = Ms(clock);
    std::printf("\nEvents() of one controller holding %zu events\n", all.size());
    std::printf("  all, loaded                 %8.1f ms\n", loadMs);
    std::printf("  sorted by time in memory    %8.1f ms\n", sortMs);
    std::printf("  code 7 (%6zu events)       %8.1f ms\n", coded, codeMs);
    std::printf("  one month (%6zu events)    %8.1f ms\n", dated, dateMs);

    const bool within = a.meanMs <= kStoreLimitMs && b.meanMs <= kStoreLimitMs &&
                        a.p99Ms <= kStoreLimitMs && b.p99Ms <= kStoreLimitMs;
    std::printf("\nStoreEvent %s the limit of %.1f ms (mean and p99)\n", within ? "within" : "OVER",
                kStoreLimitMs);
    return within ? 0 : 1;
}
