#include "cli/TarnTool.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarn"));
    TarnTool tool;
    return tool.Run(QCoreApplication::arguments().mid(1));
}
