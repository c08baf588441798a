// Reads the controller's event log through the event-log page, as a user does, against
// tarn-sim at 9600 baud, and sets the time against what the line makes unavoidable:
// for every event the wire time of request and reply (10 bits a byte) plus the controller's
// 50 ms pause. Also reports the longest stretch in which the window processed no events.
//
//   bench_eventlog [EVENTS]   (tarn-sim from TARN_SIM, else the one this program was built with)

#include "link/CommandCodes.h"
#include "link/EventWait.h"
#include "link/FrameCodec.h"
#include "link/Tarn_Comm.h"
#include "ui/main/EventLogPage.h"
#include "ui/main/MessageBoxes.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kDefaultEvents = 1000;
constexpr int kLineRate = 9600;
constexpr int kBitsPerByte = 10;
constexpr int kSimStartTimeoutMs = 10000;
constexpr int kEventLogTab = 2;
/// Stored event: packed time, code, temperature as 12 hex digits.
constexpr std::size_t kEventDataBytes = 12;
constexpr double kAllowedRatio = 1.05;
constexpr double kAllowedStallMs = 20.0;
constexpr std::chrono::milliseconds kSettleTime{300};

/// Boxes answered on standard error: the benchmark expects none.
class PrintedBoxes : public MessageBoxes
{
public:
    void info(const QString& text) override { print(text); }
    void critical(const QString& text) override { print(text); }
    void plain(const QString& text) override { print(text); }
    bool questionYesNo(const QString& text) override { return print(text); }
    bool questionOkCancel(const QString& text) override { return print(text); }

private:
    static bool print(const QString& text)
    {
        std::fprintf(stderr, "bench_eventlog: box: %s\n", qPrintable(text));
        return false;
    }
};

double WireMs(std::size_t bytes)
{
    return double(bytes) * kBitsPerByte * 1000.0 / kLineRate;
}

QString ReadLine(QProcess& process)
{
    QElapsedTimer clock;
    clock.start();
    while (!process.canReadLine()) {
        const qint64 left = kSimStartTimeoutMs - clock.elapsed();
        if (left <= 0 || !process.waitForReadyRead(int(left)))
            return QString();
    }
    return QString::fromLatin1(process.readLine()).trimmed();
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int events =
        argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : kDefaultEvents;
    const QString simPath = qEnvironmentVariableIsEmpty("TARN_SIM")
                                ? QStringLiteral(TARN_SIM_PATH)
                                : qEnvironmentVariable("TARN_SIM");

    QTemporaryDir home;
    const QString linkPath = home.filePath(QStringLiteral("tty"));
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(simPath, {QStringLiteral("--line-rate"), QString::number(kLineRate),
                        QStringLiteral("--events"), QString::number(events),
                        QStringLiteral("--link"), linkPath});
    if (!sim.waitForStarted(kSimStartTimeoutMs) || ReadLine(sim).isEmpty() ||
        ReadLine(sim) != QLatin1String("READY")) {
        std::fprintf(stderr, "bench_eventlog: cannot start %s\n", qPrintable(simPath));
        return 1;
    }

    QFile shipped(QStringLiteral(TARN_SAMPLE_INI));
    QFile ini(home.filePath(QStringLiteral("Tarn.INI")));
    if (!shipped.open(QIODevice::ReadOnly) || !ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write(shipped.readAll() + "\r\n[PORTS]\r\nCOM1=" + linkPath.toLocal8Bit() + "\r\n");
    ini.close();
    qputenv("TARN_HOME", home.path().toLocal8Bit());

    PrintedBoxes boxes;
    frmMain window(boxes);
    if (!window.Load() || !window.tarn || !window.tarn->isStarted()) {
        std::fprintf(stderr, "bench_eventlog: the program did not start on the simulator\n");
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("BENCH_HIDDEN"))
        window.show();
    window.tabCtrl->setCurrentIndex(kEventLogTab);
    EventLogPage* page = window.picLog;
    // The page is painted once before the reading starts, as it is when a user clicks.
    WaitProcessingEvents(kSettleTime);

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
    std::printf("  longest stall          %.1f ms (allowed %.0f)\n", longestStallMs,
                kAllowedStallMs);

    window.tarn->StopCom();
    sim.terminate();
    sim.waitForFinished(kSimStartTimeoutMs);
    const bool ok = rows == events && ratio <= kAllowedRatio && longestStallMs <= kAllowedStallMs;
    std::printf("%s\n", ok ? "within the limits" : "OUTSIDE THE LIMITS");
    return ok ? 0 : 1;
}
