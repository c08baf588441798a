#include "controller/UserProgramFolder.h"

#include "config/ProgramFolder.h"

#include <QCoreApplication>
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

} // namespace

void UseUserProgramFolder(const char* programName)
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
        std::fprintf(stderr, "%s: %s\n", programName, errText.c_str());
}
