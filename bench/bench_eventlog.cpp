// Reads the controller's event log through the event-log page, as a user does, against
// tarn-sim at 9600 baud, and sets the time against what the line makes unavoidable:
// for every event the wire time of request and reply (10 bits a byte) plus the controller's
// 50 ms pause. Also reports the longest stretch in which the window processed no events.
//
//   bench_eventlog [EVENTS]   (tarn-sim from TARN_SIM, else the one this program was built with)

#include "BenchSim.h"
#include "BenchStart.h"
#include "PrintedBoxes.h"

#include "history/HistoryArchive.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"
#include "protocol/FrameCodec.h"
#include "ui/main/EventLogPage.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kDefaultEvents = 1000;
using BenchSim::kLineRate;
using BenchSim::WireMs;
constexpr int kEventLogTab = 2;
/// Stored event: packed time, code, temperature as 12 hex digits.
constexpr std::size_t kEventDataBytes = 12;
constexpr double kAllowedRatio = 1.05;
constexpr double kAllowedStallMs = 20.0;
constexpr std::chrono::milliseconds kSettleTime{300};

} // namespace

int main(int argc, char* argv[])
{
    BenchStart bench(BenchArguments("usage: bench_eventlog [EVENTS]   (default " +
                                        std::to_string(kDefaultEvents) + ")",
                                    {"EVENTS"}),
                     true);
    if (!bench.Read(argc, argv))
        return bench.exitCode();
    QApplication app(argc, argv);
    const int events = bench.arguments().number(0, kDefaultEvents);

    QProcess sim;
    if (!bench.StartSim(sim, true, {QStringLiteral("--events"), QString::number(events)}))
        return 1;

    if (!bench.UseSampleIni())
        return 1;

    PrintedBoxes boxes;
    frmMain window(boxes);
    if (!BenchStart::Loaded(window, "bench_eventlog"))
        return 1;
    if (qEnvironmentVariableIsEmpty("BENCH_HIDDEN"))
        window.show();
    window.tabCtrl->setCurrentIndex(kEventLogTab);
    EventLogPage* page = window.picLog;
    // The page is painted once before the reading starts, as it is when a user clicks.
    BenchSim::RunFor(kSettleTime);

    // The longest time between two ticks of a 1 ms timer is the longest stretch in which
    // the window took no input and did not repaint.
    QElapsedTimer sinceTick;
    double longestStallMs = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longestStallMs = std::max(longestStallMs, double(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.start();
    });

    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    probe.start(1);
    page->cmdGetLogEvents->click();
    const double elapsedMs = double(clock.nsecsElapsed()) / 1e6;
    probe.stop();

    const int rows = page->lvLog->topLevelItemCount();
    const std::size_t request =
        BuildRequestFrame(kControllerAddress, kPcAddress, TarnCommand::ReadNextLogEvent, {}).size();
    const std::size_t reply = request + kEventDataBytes;
    const std::size_t endReply = request + 3;
    const double pauseMs = double(Tarn_Comm::kPostReplyPause.count());
    const double perEventMs = WireMs(request + reply) + pauseMs;
    // Every event, and the request whose reply says END.
    const double limitMs = events * perEventMs + WireMs(request + endReply) + pauseMs;
    const double ratio = elapsedMs / limitMs;

    std::printf("Event log read through the page against tarn-sim at %d baud\n", kLineRate);
    std::printf("  events read            %d of %d\n", rows, events);
    std::printf("  time                   %.1f ms (%.1f ms an event)\n", elapsedMs,
                elapsedMs / std::max(rows, 1));
    std::printf("  line's limit           %.1f ms (%.1f ms an event: %zu + %zu bytes, %.0f ms "
                "pause)\n",
                limitMs, perEventMs, request, reply, pauseMs);
    std::printf("  ratio                  %.3f (allowed %.2f)\n", ratio, kAllowedRatio);
    // Every event is archived before it is listed: the time above includes it.
    qint64 archived = 0;
    for (const ArchivedController& controller : window.historyArchive()->Controllers())
        archived += controller.events;
    std::printf("  events in the history  %lld%s\n", static_cast<long long>(archived),
                window.historyArchive()->isOpen() ? "" : " (history not kept)");
    std::printf("  longest stall          %.1f ms (allowed %.0f)\n", longestStallMs,
                kAllowedStallMs);

    window.tarn->StopCom();
    BenchSim::Stop(sim);
    const bool ok = rows == events && ratio <= kAllowedRatio && longestStallMs <= kAllowedStallMs;
    std::printf("%s\n", ok ? "within the limits" : "OUTSIDE THE LIMITS");
    return ok ? 0 : 1;
}
