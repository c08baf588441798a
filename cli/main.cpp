#include "cli/TarnTool.h"
#include "controller/UserProgramFolder.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <memory>

int main(int argc, char* argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    // The report is drawn with Qt GUI, which needs a platform: the offscreen one draws without
    // a display (unless QT_QPA_PLATFORM names another). Every other command stays a console
    // program of Qt Core.
    std::unique_ptr<QCoreApplication> app;
    if (TarnTool::NeedsGui(args)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // The same program folder as the window program's, also for an installed copy.
    QCoreApplication::setApplicationName(QStringLiteral("TarnConf"));
    UseUserProgramFolder("tarn");
    TarnTool tool;
    return tool.Run(QCoreApplication::arguments().mid(1));
}
