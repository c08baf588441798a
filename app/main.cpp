#include "controller/UserProgramFolder.h"
#include "ui/main/QtMessageBoxes.h"
#include "ui/main/frmMain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TarnConf"));
    // Docks and task bars match the window to its menu entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.tarn_systems.tarnconf"));
    UseUserProgramFolder("tarnconf");

    QtMessageBoxes boxes;
    frmMain window(boxes);
    QApplication::setWindowIcon(window.windowIcon());
    if (!window.Load())
        return 0;
    QObject::connect(&window, &frmMain::programEnds, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return app.exec();
}
