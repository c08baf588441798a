// Measures how long the communication settings window's Auto detect takes:
//   1. tarn-sim on COM9 at 9600 baud, COM1-COM8 naming devices that do not exist;
//   2. 15 ports on a controller that never answers (tarn-sim muted), the worst case.
//
//   bench_autodetect [--quick]   (--quick: only the first search)
//   (tarn-sim from TARN_SIM, else the one this program was built with; runs offscreen when
//   QT_QPA_PLATFORM is not set)

#include "BenchLink.h"
#include "BenchSim.h"
#include "BenchStart.h"

#include "link/Tarn_Comm.h"
#include "ui/comsetup/frmComSetup.h"
#include "ui/main/MessageBoxes.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using BenchSim::kLineRate;
constexpr int kSimPort = 9;
/// More requests than a whole search makes: the muted simulator answers none of them.
constexpr int kMutedRequests = 1000;

/// Answers OK to the question and notes the result box.
class AnsweringBoxes : public MessageBoxes
{
public:
    void info(const QString& text, const QString& = {}) override { result = text; }
    void critical(const QString& text, const QString& = {}) override { result = text; }
    void plain(const QString& text, const QString& = {}) override { result = text; }
    bool questionYesNo(const QString&, const QString& = {}) override { return true; }
    bool questionOkCancel(const QString&, const QString& = {}) override { return true; }
    bool questionOkCancelDefaultCancel(const QString&, const QString& = {}) override
    {
        return true;
    }
    int choose(const QString&, const QString&, const QStringList&) override { return -1; }
    QString saveFileName(const QString&, const QString&) override { return {}; }
    QString openFileName(const QString&, const QString&) override { return {}; }
    bool choosePrinter(QPrinter&, const QString&) override { return false; }
    QString inputText(const QString&, const QString&, bool& ok) override
    {
        ok = false;
        return {};
    }
    QString result;
};

/// Tarn.INI whose [PORTS] puts the simulator on the ports in `simPorts` and a missing device
/// on every other port.
bool WriteIni(const QString& path, const QString& simDevice, const std::vector<int>& simPorts)
{
    QByteArray text = "[COMMUNICATION]\r\nPort=1\r\nSettings=9600,n,8,1\r\n\r\n[PORTS]\r\n";
    for (int port = 1; port <= 15; ++port) {
        const bool sim = std::find(simPorts.begin(), simPorts.end(), port) != simPorts.end();
        text += "COM" + QByteArray::number(port) + '=' +
                (sim ? simDevice.toLocal8Bit() : "/nonexistent/tty" + QByteArray::number(port)) +
                "\r\n";
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

/// One Auto detect, timed as a whole and per port tried.
void Search(Tarn_Comm& tarn, const char* title)
{
    AnsweringBoxes boxes;
    frmComSetup window(&tarn, boxes);
    window.cboBaudRates->setCurrentText(QString::number(kLineRate));
    window.show();
    // Each port tried is selected in the list once its pause is over; after a search without
    // success the port the link was on is selected again.
    window.cboComPorts->setCurrentIndex(-1);
    QElapsedTimer clock;
    std::vector<qint64> selected;
    bool searching = true;
    QObject::connect(window.cboComPorts, &QComboBox::currentIndexChanged, &window, [&] {
        if (searching && window.isBusy() &&
            selected.size() < std::size_t(window.cboComPorts->count()))
            selected.push_back(clock.elapsed());
    });
    clock.start();
    window.handleAutoDetect();
    const qint64 total = clock.elapsed();
    searching = false;

    std::printf("%s\n  whole search %.2f s, %zu ports tried: %s\n", title, double(total) / 1000.0,
                selected.size(), qPrintable(boxes.result));
    // From one port's selection to the next: this port's open and request, then the next
    // port's pause.
    std::printf("  first port selected after %lld ms; from each port to the next (ms):",
                static_cast<long long>(selected.empty() ? 0 : selected.front()));
    for (std::size_t i = 1; i < selected.size(); ++i)
        std::printf(" %lld", static_cast<long long>(selected[i] - selected[i - 1]));
    if (!selected.empty())
        std::printf("; last port to the end: %lld",
                    static_cast<long long>(total - selected.back()));
    std::printf("\n");
}

} // namespace

int main(int argc, char* argv[])
{
    BenchStart bench(
        BenchArguments("usage: bench_autodetect [--quick]   (--quick: only the first search)", {},
                       {"--quick"}),
        true);
    if (!bench.Read(argc, argv))
        return bench.exitCode();
    QApplication app(argc, argv);
    const bool quick = bench.arguments().flag("--quick");

    const QString linkPath = bench.link();
    QProcess sim;
    if (!bench.StartSim(sim, true))
        return 1;

    const QString iniPath = bench.path(QStringLiteral("Tarn.INI"));
    BenchLink link(iniPath, QStringLiteral("9600,n,8,1"));
    Tarn_Comm& tarn = link.tarn;

    if (!WriteIni(iniPath, linkPath, {kSimPort}))
        return 1;
    Search(tarn, "Controller on COM9, COM1-COM8 missing devices, 9600 baud:");

    if (!quick) {
        std::vector<int> all;
        for (int n = 1; n <= 15; ++n)
            all.push_back(n);
        if (!WriteIni(iniPath, linkPath, all))
            return 1;
        tarn.StopCom();
        if (!BenchSim::Command(sim, "mute " + QByteArray::number(kMutedRequests)))
            return 1;
        Search(tarn, "15 ports that open but never answer (simulator muted):");
    }

    tarn.StopCom();
    BenchSim::Stop(sim);
    return 0;
}
