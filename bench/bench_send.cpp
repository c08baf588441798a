// Measures how long Send takes against tarn-sim at 9600 baud, next to what the line and
// the pause after a data reply make unavoidable.
//
//   bench_send [N]     (tarn-sim from TARN_SIM, else the one this program was built with)

#include "BenchLink.h"
#include "BenchSim.h"
#include "BenchStart.h"

#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"
#include "protocol/FrameCodec.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kDefaultRounds = 50;
using BenchSim::kLineRate;
using BenchSim::WireMs;

struct Figures
{
    double medianMs = 0;
    double p95Ms = 0;
    double wireMs = 0;
    int failures = 0;
};

double Percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

Figures Measure(Tarn_Comm& tarn, int code, int rounds)
{
    Figures figures;
    std::vector<double> times;
    std::size_t replyBytes = 0;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        const bool ok = tarn.Send(code);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (!ok) {
            ++figures.failures;
            continue;
        }
        times.push_back(ms);
        replyBytes = tarn.TarnData.size() + 5;
    }
    if (times.empty())
        return figures;
    const std::size_t requestBytes =
        BuildRequestFrame(tarn.Address, tarn.PCAddress, code, {}).size();
    const double pause =
        TarnCommand::IsDataReply(code) ? double(Tarn_Comm::kPostReplyPause.count()) : 0.0;
    figures.wireMs = WireMs(requestBytes + replyBytes) + pause;
    figures.medianMs = Percentile(times, 0.5);
    figures.p95Ms = Percentile(times, 0.95);
    return figures;
}

} // namespace

int main(int argc, char* argv[])
{
    BenchStart bench(BenchArguments("usage: bench_send [ROUNDS]   (default " +
                                        std::to_string(kDefaultRounds) + ")",
                                    {"ROUNDS"}));
    if (!bench.Read(argc, argv))
        return bench.exitCode();
    QCoreApplication app(argc, argv);
    const int rounds = bench.arguments().number(0, kDefaultRounds);
    QProcess sim;
    if (!bench.StartSim(sim, true))
        return 1;

    const QString iniPath = bench.path(QStringLiteral("Tarn.INI"));
    if (!BenchStart::WritePortsIni(iniPath, bench.link()))
        return 1;

    BenchLink link(iniPath, QStringLiteral("%1,n,8,1").arg(kLineRate));
    Tarn_Comm& tarn = link.tarn;
    QString errText;
    if (!tarn.Start(errText)) {
        std::fprintf(stderr, "bench_send: %s\n", qPrintable(errText));
        return 1;
    }

    std::printf("Send round trips against tarn-sim at %d baud, %d rounds each\n", kLineRate,
                rounds);
    std::printf("%-8s %14s %11s %11s %13s %6s\n", "command", "line+pause ms", "median ms", "p95 ms",
                "median extra", "failed");
    for (const int code : {TarnCommand::ReadVersion, TarnCommand::ReadDelays}) {
        const Figures f = Measure(tarn, code, rounds);
        std::printf("%-8d %14.1f %11.1f %11.1f %13.1f %6d\n", code, f.wireMs, f.medianMs, f.p95Ms,
                    f.medianMs - f.wireMs, f.failures);
    }
    tarn.StopCom();
    BenchSim::Stop(sim);
    return 0;
}
