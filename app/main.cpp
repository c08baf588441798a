#include "config/ProgramFolder.h"
#include "ui/main/QtMessageBoxes.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cstdio>

namespace {

/// The sample Tarn.INI of an installed copy: <prefix>/share/tarnconf beside <prefix>/bin.
QString InstalledSampleIni()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../share/tarnconf/Tarn.INI"));
}

/// An installed copy keeps its files in the user's data folder, made on the first start with
/// the sample Tarn.INI; a Tarn.INI already there is the user's and stays as it is.
void PrepareProgramFolder()
{
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (userFolder.isEmpty())
        return;
    SetUserProgramFolder(QFile::encodeName(QDir::toNativeSeparators(userFolder)).toStdString());
    if (!UsesUserProgramFolder())
        return;
    std::string errText;
    if (!PrepareUserProgramFolder(ProgramFolder(),
                                  QFile::encodeName(InstalledSampleIni()).toStdString(), errText))
        std::fprintf(stderr, "tarnconf: %s\n", errText.c_str());
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TarnConf"));
    PrepareProgramFolder();

    QtMessageBoxes boxes;
    frmMain window(boxes);
    if (!window.Load())
        return 0;
    QObject::connect(&window, &frmMain::programEnds, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return app.exec();
}
