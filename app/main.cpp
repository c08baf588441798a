#include "TarnVersion.h"
#include "controller/UserProgramFolder.h"
#include "ui/main/QtMessageBoxes.h"
#include "ui/main/frmMain.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

/// The window could not start (another instance runs, Tarn.INI is missing or unreadable).
constexpr int kExitStartFailed = 1;

const char* const kHelpText =
    "Usage: tarnconf [-K]\n"
    "\n"
    "The configuration and service program for the Tarn sprinkler controller.\n"
    "\n"
    "  -K          open the setup window (F2) with its factory functions enabled: the\n"
    "              serial number, the manufacturing date and deleting the stored log\n"
    "  -h, --help  this text\n"
    "  --version   the version of tarnconf\n"
    "\n"
    "Tarn.INI and the reports tarn.sts and tarn.logg are kept in the program folder:\n"
    "TARN_HOME when it is set, else the program's own folder when it holds a Tarn.INI,\n"
    "else the user's data folder. The command line tarn does the main jobs without a\n"
    "window (tarn --help).\n";

/// --version and --help are answered before the window system is needed; true when one was.
bool AnswerInformationalOption(int argc, char* argv[], int& exitCode)
{
    for (int i = 1; i < argc; ++i) {
        const char* text = nullptr;
        if (std::strcmp(argv[i], "--version") == 0)
            text = "tarnconf (TarnConf) " TARN_VERSION_TEXT "\n";
        else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            text = kHelpText;
        if (text) {
            exitCode = std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    int exitCode = 0;
    if (AnswerInformationalOption(argc, argv, exitCode))
        return exitCode;

    // The service switch -K reaches the setup window through QCoreApplication::arguments().
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TarnConf"));
    // Docks and task bars match the window to its menu entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.tarn_systems.tarnconf"));
    UseUserProgramFolder("tarnconf");

    QtMessageBoxes boxes;
    frmMain window(boxes);
    QApplication::setWindowIcon(window.windowIcon());
    if (!window.Load())
        return kExitStartFailed;
    QObject::connect(&window, &frmMain::programEnds, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return app.exec();
}
