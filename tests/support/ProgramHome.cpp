#include "ProgramHome.h"

#include <QDir>
#include <QFile>

ProgramHome::ProgramHome()
    : m_dir(QDir::tempPath() + QStringLiteral("/tarn home XXXXXX")),
      m_previous(qgetenv("TARN_HOME"))
{
    qputenv("TARN_HOME", m_dir.path().toLocal8Bit());
}

ProgramHome::~ProgramHome()
{
    qputenv("TARN_HOME", m_previous);
}

bool ProgramHome::installIni(const QString& device, const QString& name)
{
    QFile shipped(qEnvironmentVariable("TARN_BIN") + QStringLiteral("/Tarn.INI"));
    QFile copy(m_dir.filePath(name));
    if (!shipped.open(QIODevice::ReadOnly) || !copy.open(QIODevice::WriteOnly))
        return false;
    copy.write(shipped.readAll());
    copy.write("\r\n[PORTS]\r\nCOM1=" + device.toLocal8Bit() + "\r\n");
    return copy.error() == QFile::NoError;
}
