#include "BenchSim.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <cstdio>

#include <sys/resource.h>
#include <unistd.h>

namespace BenchSim {

namespace {
QString ReadLine(QProcess& process, const QDeadlineTimer& deadline)
{
    while (!process.canReadLine()) {
        if (deadline.hasExpired() || !process.waitForReadyRead(int(deadline.remainingTime())))
            return QString();
    }
    return QString::fromLatin1(process.readLine()).trimmed();
}
} // namespace

QString Path()
{
    return qEnvironmentVariableIsEmpty("TARN_SIM") ? QStringLiteral(TARN_SIM_PATH)
                                                   : qEnvironmentVariable("TARN_SIM");
}

bool Start(QProcess& sim, const QStringList& options)
{
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(Path(), options);
    const QDeadlineTimer deadline(kStartTimeoutMs);
    // The first line names the terminal, the second says READY.
    if (sim.waitForStarted(kStartTimeoutMs) && !ReadLine(sim, deadline).isEmpty() &&
        ReadLine(sim, deadline) == QLatin1String("READY"))
        return true;
    std::fprintf(stderr, "cannot start %s\n", qPrintable(Path()));
    return false;
}

bool StartOnLink(QProcess& sim, const QString& link, bool lineRate, const QStringList& options)
{
    QStringList all{QStringLiteral("--link"), link};
    if (lineRate)
        all << QStringLiteral("--line-rate") << QString::number(kLineRate);
    return Start(sim, all + options);
}

bool Command(QProcess& sim, const QByteArray& line)
{
    sim.write(line + '\n');
    return ReadLine(sim, QDeadlineTimer(kStartTimeoutMs)) == QLatin1String("OK");
}

void Stop(QProcess& sim)
{
    sim.terminate();
    sim.waitForFinished(kStartTimeoutMs);
}

bool WriteSampleIni(const QString& path, const QString& device)
{
    QFile shipped(QStringLiteral(TARN_SAMPLE_INI));
    QFile ini(path);
    if (!shipped.open(QIODevice::ReadOnly) || !ini.open(QIODevice::WriteOnly))
        return false;
    return ini.write(shipped.readAll() + "\r\n[PORTS]\r\nCOM1=" + device.toLocal8Bit() + "\r\n") >
           0;
}

double WireMs(std::size_t bytes)
{
    return double(bytes) * kBitsPerByte * 1000.0 / kLineRate;
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ResidentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0 : 0;
}

void OffscreenUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void RunFor(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace BenchSim
