#include "BenchStart.h"

#include "BenchSim.h"

#include <QFile>

#include <utility>

BenchStart::BenchStart(BenchArguments arguments, bool windows) : m_arguments(std::move(arguments))
{
    if (windows)
        BenchSim::OffscreenUnlessSet();
}

bool BenchStart::Read(int argc, char* argv[])
{
    return m_arguments.Read(argc, argv);
}

bool BenchStart::UseSampleIni() const
{
    if (!BenchSim::WriteSampleIni(path(QStringLiteral("Tarn.INI")), link()))
        return false;
    qputenv("TARN_HOME", m_folder.path().toLocal8Bit());
    return true;
}

bool BenchStart::StartSim(QProcess& sim, bool lineRate, const QStringList& options) const
{
    return BenchSim::StartOnLink(sim, link(), lineRate, options);
}

bool BenchStart::WritePortsIni(const QString& iniPath, const QString& link)
{
    QFile ini(iniPath);
    return ini.open(QIODevice::WriteOnly) &&
           ini.write("[PORTS]\r\nCOM1=" + link.toLocal8Bit() + "\r\n") > 0;
}
