// `tarn setup apply` of a file whose every block differs from the controller, against tarn-sim
// at 9600 baud: the whole run (status read, the writes, the read-back) next to the line's limit
// for the frames it exchanged, as the simulator's journal lists them.
//
//   bench_setupapply [RUNS]     (default 3)
//
// tarn-sim from TARN_SIM, else the one this program was built with; tarn from TARN_BIN, else
// the folder of this program.

#include "BenchLink.h"
#include "BenchSim.h"
#include "BenchStart.h"

#include "data/DateCodec.h"
#include "data/TarnDateTime.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"
#include "protocol/FrameCodec.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

using BenchSim::kLineRate;
using BenchSim::WireMs;
constexpr double kAllowedRatio = 1.05;
constexpr int kRunTimeoutMs = 60000;

/// The controller set up otherwise than the simulator starts: every block of a setup file
/// saved from a fresh simulator differs (delays, messages, outputs, the three profiles, the
/// serial number and all four dates).
QList<QByteArray> OtherSettings()
{
    QByteArray admin = "admin 0009FBF1";
    for (const auto& [year, month, day] : {std::array{2023, 1, 10}, std::array{2023, 2, 1},
                                           std::array{2025, 3, 1}, std::array{2024, 3, 1}})
        admin +=
            QByteArray::fromStdString(EncodePackedDate(TarnDateTime::FromParts(year, month, day)));
    return {"delays 140A0A1E040506030C00", "profile 0 2", "profile 1 3", "profile 2 1", admin};
}

struct Request
{
    int code = 0;
    std::string data;
};

QString TarnPath()
{
    return (qEnvironmentVariableIsEmpty("TARN_BIN") ? QCoreApplication::applicationDirPath()
                                                    : qEnvironmentVariable("TARN_BIN")) +
           QStringLiteral("/tarn");
}

/// Runs tarn with `args` to its end; its standard output. What it says on standard error is
/// shown when it fails.
bool RunTarn(const QStringList& args, QByteArray& out)
{
    QProcess tarn;
    tarn.start(TarnPath(), args);
    if (!tarn.waitForStarted() || !tarn.waitForFinished(kRunTimeoutMs) ||
        tarn.exitStatus() != QProcess::NormalExit || tarn.exitCode() != 0) {
        std::fprintf(stderr, "bench_setupapply: tarn %s failed:\n%s", qPrintable(args.join(u' ')),
                     tarn.readAllStandardError().constData());
        return false;
    }
    out = tarn.readAllStandardOutput();
    return true;
}

bool SetOther(QProcess& sim)
{
    const QList<QByteArray> lines = OtherSettings();
    return std::all_of(lines.begin(), lines.end(),
                       [&](const QByteArray& line) { return BenchSim::Command(sim, line); });
}

/// The requests of the journal's lines from `from` on ("<seconds> <command> <hex>").
std::vector<Request> JournalRequests(const QString& path, qsizetype& from)
{
    QFile journal(path);
    std::vector<Request> requests;
    if (!journal.open(QIODevice::ReadOnly))
        return requests;
    const QList<QByteArray> lines = journal.readAll().split('\n');
    for (qsizetype i = from; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split(' ');
        if (fields.size() >= 2 && fields[1] != "BAD")
            requests.push_back(
                {fields[1].toInt(), QByteArray::fromHex(fields.value(2)).toStdString()});
    }
    from = lines.size() - (lines.value(lines.size() - 1).isEmpty() ? 1 : 0);
    return requests;
}

/// The line's limit of `requests`: each request's and reply's wire time, and the controller's
/// pause after each data reply. The replies are those of a second simulator, set up as the
/// measured one was, that is sent the same requests.
bool LimitMs(const std::vector<Request>& requests, const QString& dir, double& limit)
{
    const QString linkPath = dir + QStringLiteral("/replay-tty");
    QProcess sim;
    if (!BenchSim::StartOnLink(sim, linkPath, false) || !SetOther(sim))
        return false;
    const QString iniPath = dir + QStringLiteral("/replay.ini");
    if (!BenchStart::WritePortsIni(iniPath, linkPath))
        return false;
    BenchLink link(iniPath, QStringLiteral("%1,n,8,1").arg(kLineRate));
    QString errText;
    if (!link.tarn.Start(errText))
        return false;
    limit = 0;
    for (const Request& request : requests) {
        if (!link.tarn.Send(request.code, request.data)) {
            std::fprintf(stderr, "bench_setupapply: request %d not answered in the replay\n",
                         request.code);
            return false;
        }
        const std::size_t sent =
            BuildRequestFrame(kControllerAddress, kPcAddress, request.code, request.data).size();
        const std::size_t received =
            BuildRequestFrame(kPcAddress, kControllerAddress, request.code, link.tarn.TarnData)
                .size();
        limit += WireMs(sent + received);
        if (TarnCommand::IsDataReply(request.code))
            limit += double(Tarn_Comm::kPostReplyPause.count());
    }
    link.tarn.StopCom();
    BenchSim::Stop(sim);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    BenchStart bench(BenchArguments("usage: bench_setupapply [RUNS]   (default 3)", {"RUNS"}));
    if (!bench.Read(argc, argv))
        return bench.exitCode();
    QCoreApplication app(argc, argv);
    const int runs = bench.arguments().number(0, 3);

    const QString linkPath = bench.link();
    const QString journalPath = bench.path(QStringLiteral("journal"));
    const QString filePath = bench.path(QStringLiteral("setup.json"));
    qputenv("LC_ALL", "C.UTF-8");
    if (!bench.UseSampleIni())
        return 1;

    // The file: the setup of a fresh simulator, saved without line timing.
    {
        QProcess fresh;
        QByteArray out;
        if (!bench.StartSim(fresh, false) ||
            !RunTarn({QStringLiteral("setup"), QStringLiteral("dump"), QStringLiteral("--output"),
                      filePath},
                     out))
            return 1;
        BenchSim::Stop(fresh);
    }

    QProcess sim;
    if (!bench.StartSim(sim, true, {QStringLiteral("--journal"), journalPath}))
        return 1;
    // A controller listens all the time, but tarn-sim looks at a line that nobody holds open
    // only every 30 ms: held open between the runs, as a cable to a controller is, the line
    // does not add that wait of the simulator's to the first request of every run.
    const int heldLine =
        ::open(QFile::encodeName(linkPath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    std::vector<double> times;
    std::vector<Request> requests;
    qsizetype journalLines = 0;
    for (int run = 0; run < runs; ++run) {
        if (!SetOther(sim))
            return 1;
        JournalRequests(journalPath, journalLines);
        QElapsedTimer clock;
        clock.start();
        QByteArray out;
        if (!RunTarn({QStringLiteral("setup"), QStringLiteral("apply"), filePath,
                      QStringLiteral("--yes"), QStringLiteral("--factory")},
                     out))
            return 1;
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (!out.endsWith("verified\n")) {
            std::fprintf(stderr, "bench_setupapply: not verified:\n%s", out.constData());
            return 1;
        }
        requests = JournalRequests(journalPath, journalLines);
    }
    ::close(heldLine);
    BenchSim::Stop(sim);

    double limitMs = 0;
    if (!LimitMs(requests, bench.folder().path(), limitMs))
        return 1;
    // What a run of tarn costs without the controller: loading, starting and ending.
    std::vector<double> starts;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        QByteArray out;
        if (!RunTarn({QStringLiteral("--version")}, out))
            return 1;
        starts.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(starts.begin(), starts.end());
    std::sort(times.begin(), times.end());
    const double medianMs = times[times.size() / 2];
    const double ratio = medianMs / limitMs;
    const auto writes = std::count_if(requests.begin(), requests.end(), [](const Request& r) {
        return !TarnCommand::IsDataReply(r.code);
    });
    std::printf("tarn setup apply against tarn-sim at %d baud, every block differing\n", kLineRate);
    std::printf("  %zu requests (%td writes), median of %d runs %.1f ms, line's limit %.1f ms, "
                "ratio %.3f (allowed %.2f)\n",
                requests.size(), writes, runs, medianMs, limitMs, ratio, kAllowedRatio);
    std::printf("  of which tarn's own start and end (tarn --version)  %.1f ms\n",
                starts[starts.size() / 2]);
    const bool ok = ratio <= kAllowedRatio;
    std::printf("%s\n", ok ? "within the limits" : "OUTSIDE THE LIMITS");
    return ok ? 0 : 1;
}
