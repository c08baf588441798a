#include "controller/UserProgramFolder.h"
#include "ui/main/QtMessageBoxes.h"
#include "ui/main/frmMain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TarnConf"));
    UseUserProgramFolder("tarnconf");

    QtMessageBoxes boxes;
    frmMain window(boxes);
    if (!window.Load())
        return 0;
    QObject::connect(&window, &frmMain::programEnds, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return app.exec();
}
