#include "cli/TarnTool.h"
#include "controller/UserProgramFolder.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // The same program folder as the window program's, also for an installed copy.
    QCoreApplication::setApplicationName(QStringLiteral("TarnConf"));
    UseUserProgramFolder("tarn");
    TarnTool tool;
    return tool.Run(QCoreApplication::arguments().mid(1));
}
