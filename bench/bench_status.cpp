// The main window against tarn-sim at 9600 baud: the time from the program's start to the
// first status shown, the status read against the line's limit, the CPU that the window uses
// while it polls and while the controller is away, and the memory after many status reads.
//
//   bench_status [READS] [IDLE-SECONDS] [SOAK-READS]     (defaults 20, 30, 0)
//
// tarn-sim from TARN_SIM, else the one this program was built with.

#include "BenchSim.h"
#include "BenchStart.h"
#include "PrintedBoxes.h"

#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"
#include "protocol/FrameCodec.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using BenchSim::CpuSeconds;
using BenchSim::kLineRate;
using BenchSim::ResidentMiB;
using BenchSim::WireMs;
constexpr double kAllowedRatio = 1.05;
constexpr double kAllowedStartExtraMs = 300;
constexpr double kAllowedCpuPercent = 0.5;

/// The wire time of one status read's requests and replies, as the window makes them, plus
/// the controller's pause after each reply.
double StatusReadLimitMs(Tarn_Comm& tarn)
{
    struct Request
    {
        int code;
        std::string data;
    };
    const std::vector<Request> requests{
        {TarnCommand::ReadVersion, {}},         {TarnCommand::ReadClock, {}},
        {TarnCommand::ReadInputs, {}},          {TarnCommand::ReadDelays, {}},
        {TarnCommand::ReadZoneProfile, {'\0'}}, {TarnCommand::ReadZoneProfile, {'\1'}},
        {TarnCommand::ReadZoneProfile, {'\2'}}, {TarnCommand::ReadAdminData, {}}};
    double limit = 0;
    for (const Request& request : requests) {
        if (!tarn.Send(request.code, request.data))
            return 0;
        const std::size_t sent =
            BuildRequestFrame(kControllerAddress, kPcAddress, request.code, request.data).size();
        const std::size_t received =
            BuildRequestFrame(kPcAddress, kControllerAddress, request.code, tarn.TarnData).size();
        limit += WireMs(sent + received) + double(Tarn_Comm::kPostReplyPause.count());
    }
    return limit;
}

} // namespace

int main(int argc, char* argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    BenchStart bench(
        BenchArguments(
            "usage: bench_status [READS] [IDLE-SECONDS] [SOAK-READS]   (defaults 20, 30 and 0)",
            {"READS", "IDLE-SECONDS", "SOAK-READS"}, {}, 0),
        true);
    if (!bench.Read(argc, argv))
        return bench.exitCode();
    const int reads = std::max(1, bench.arguments().number(0, 20));
    const int idleSeconds = bench.arguments().number(1, 30);
    const int soakReads = bench.arguments().number(2, 0);

    QProcess sim;
    if (!bench.UseSampleIni())
        return 1;
    // The controller is there before the program starts, as a technician connects it.
    if (!bench.StartSim(sim, true))
        return 1;
    const double simReadyMs = double(sinceStart.nsecsElapsed()) / 1e6;

    QApplication app(argc, argv);
    PrintedBoxes boxes;
    frmMain window(boxes);
    if (!BenchStart::Loaded(window, "bench_status"))
        return 1;
    window.show();
    QCoreApplication::processEvents();
    const double startMs = double(sinceStart.nsecsElapsed()) / 1e6 - simReadyMs;

    window.updTimer->stop();
    const double limitMs = StatusReadLimitMs(*window.tarn);
    std::vector<double> times;
    for (int i = 0; i < reads; ++i) {
        QElapsedTimer clock;
        clock.start();
        window.UpdateStatusPage();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    const double medianMs = times[times.size() / 2];
    const double ratio = medianMs / limitMs;
    const double startLimitMs = limitMs + kAllowedStartExtraMs;

    std::printf("Main window against tarn-sim at %d baud\n", kLineRate);
    std::printf("  status read, median of %d    %.1f ms, line's limit %.1f ms, ratio %.3f "
                "(allowed %.2f)\n",
                reads, medianMs, limitMs, ratio, kAllowedRatio);
    std::printf("  start to first status shown  %.1f ms (allowed %.1f ms)\n", startMs,
                startLimitMs);
    bool ok = ratio <= kAllowedRatio && startMs <= startLimitMs;

    if (idleSeconds > 0) {
        window.updTimer->start();
        const auto cpuPercent = [&] {
            const double before = CpuSeconds();
            BenchSim::RunFor(std::chrono::seconds(idleSeconds));
            return 100.0 * (CpuSeconds() - before) / idleSeconds;
        };
        const double polling = cpuPercent();
        BenchSim::Stop(sim);
        const double away = cpuPercent();
        std::printf("  CPU polling on the status page  %.2f %% of a core over %d s (allowed "
                    "%.1f)\n",
                    polling, idleSeconds, kAllowedCpuPercent);
        std::printf("  CPU while the controller is away  %.2f %% of a core over %d s (allowed "
                    "%.1f)\n",
                    away, idleSeconds, kAllowedCpuPercent);
        ok = ok && polling <= kAllowedCpuPercent && away <= kAllowedCpuPercent;
    }

    if (soakReads > 0) {
        // Without line timing, as fast as the link goes.
        window.updTimer->stop();
        BenchSim::Stop(sim);
        QProcess fast;
        if (!bench.StartSim(fast, false))
            return 1;
        const double before = ResidentMiB();
        for (int i = 0; i < soakReads; ++i)
            window.UpdateStatusPage();
        const double after = ResidentMiB();
        std::printf("  resident memory  %.1f MiB, after %d more status reads %.1f MiB "
                    "(%+.2f MiB)\n",
                    before, soakReads, after, after - before);
        BenchSim::Stop(fast);
    }

    window.tarn->StopCom();
    BenchSim::Stop(sim);
    std::printf("%s\n", ok ? "within the limits" : "OUTSIDE THE LIMITS");
    return ok ? 0 : 1;
}
