// The History view on a large archive: one controller with EVENTS stored events (100,000 by
// default) shown, sorted by temperature and filtered by code, each timed as the user waits
// for it. Also the time to store an event, one transaction each, as the event-log page does.
//
//   bench_historyview [EVENTS]

#include "BenchSim.h"
#include "BenchStart.h"
#include "PrintedBoxes.h"

#include "history/HistoryArchive.h"
#include "history/HistoryEventModel.h"
#include "ui/history/frmHistory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kDefaultEvents = 100000;
constexpr double kAllowedViewMs = 300.0;
constexpr double kAllowedStoreMs = 1.0;
/// Distinct event codes among the stored events.
constexpr int kCodes = 40;

double Ms(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    BenchStart bench(BenchArguments("usage: bench_historyview [EVENTS]   (default " +
                                        std::to_string(kDefaultEvents) + ")",
                                    {"EVENTS"}),
                     true);
    if (!bench.Read(argc, argv))
        return bench.exitCode();
    QApplication app(argc, argv);
    const int events = bench.arguments().number(0, kDefaultEvents);

    const QTemporaryDir& folder = bench.folder();
    HistoryArchive archive(QStringLiteral("bench"));
    if (!archive.Open(folder.path())) {
        std::fprintf(stderr, "bench_historyview: %s\n", qPrintable(archive.fault()));
        return 1;
    }
    const std::optional<qint64> id =
        archive.ControllerId({QStringLiteral("123456"), 2.07, QStringLiteral("COM1")});
    if (!id)
        return 1;
    const QDateTime start(QDate(2020, 1, 1), QTime(0, 0));
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < events; ++i) {
        ArchivedEvent event;
        event.raw = QStringLiteral("%1").arg(i, 12, 16, QLatin1Char('0'));
        event.eventTime = start.addSecs(600LL * i);
        event.code = i % kCodes;
        event.temperatureCelsius = (i * 7) % 60 - 10;
        event.text = QStringLiteral("Event %1").arg(event.code);
        event.readAt = QDateTime::currentDateTimeUtc();
        event.program = QStringLiteral("bench");
        if (!archive.StoreEvent(*id, event)) {
            std::fprintf(stderr, "bench_historyview: %s\n", qPrintable(archive.fault()));
            return 1;
        }
    }
    const double storeMs = Ms(clock) / std::max(events, 1);
    // The view is opened on another day, as it is in use: the archive opened afresh, its
    // write-ahead log merged into the file meanwhile.
    archive.Close();
    if (!archive.Open(folder.path())) {
        std::fprintf(stderr, "bench_historyview: %s\n", qPrintable(archive.fault()));
        return 1;
    }

    PrintedBoxes boxes;
    frmHistory view(archive, boxes);
    if (qEnvironmentVariableIsEmpty("BENCH_HIDDEN"))
        view.show();
    clock.start();
    view.Refresh();
    QCoreApplication::processEvents();
    const double openMs = Ms(clock);
    const int shown = view.tvEvents->model()->rowCount();

    clock.start();
    view.tvEvents->sortByColumn(HistoryEventModel::ColumnTemp, Qt::DescendingOrder);
    QCoreApplication::processEvents();
    const double sortMs = Ms(clock);

    clock.start();
    view.txtCode->setText(QStringLiteral("7"));
    view.cmdFilter->click();
    QCoreApplication::processEvents();
    const double filterMs = Ms(clock);
    const int filtered = view.tvEvents->model()->rowCount();

    std::printf("History view on %d stored events of one controller\n", events);
    std::printf("  store an event         %.3f ms (allowed %.1f)\n", storeMs, kAllowedStoreMs);
    std::printf("  open (%d rows)     %.1f ms (allowed %.0f)\n", shown, openMs, kAllowedViewMs);
    std::printf("  sort by temperature    %.1f ms (allowed %.0f)\n", sortMs, kAllowedViewMs);
    std::printf("  filter by code (%d rows) %.1f ms (allowed %.0f)\n", filtered, filterMs,
                kAllowedViewMs);
    const bool ok = shown == events && storeMs <= kAllowedStoreMs && openMs <= kAllowedViewMs &&
                    sortMs <= kAllowedViewMs && filterMs <= kAllowedViewMs;
    return ok ? 0 : 1;
}
