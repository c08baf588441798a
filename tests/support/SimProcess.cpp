#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QFile>

#include <sys/prctl.h>

#include <csignal>

bool SimProcess::start(const QStringList& options)
{
    stop();
    m_pending = 0;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(qEnvironmentVariable("TARN_SIM"),
                    QStringList{QStringLiteral("--journal"), journalPath()} + options);
    if (!m_process.waitForStarted(kStartTimeoutMs)) {
        qWarning("tarn-sim (TARN_SIM) did not start: %s", qPrintable(m_process.errorString()));
        return false;
    }
    m_slavePath = readLine(kStartTimeoutMs);
    if (readLine(kStartTimeoutMs) != QStringLiteral("READY")) {
        qWarning("tarn-sim did not get ready");
        return false;
    }
    return true;
}

void SimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(kAnswerTimeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(kAnswerTimeoutMs);
    }
}

QString SimProcess::readLine(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() ||
            !m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            return QString();
    }
    return QString::fromLatin1(m_process.readLine()).trimmed();
}

void SimProcess::post(const QString& line)
{
    m_process.write(line.toLatin1() + '\n');
    ++m_pending;
}

bool SimProcess::drain()
{
    m_process.waitForBytesWritten(kAnswerTimeoutMs);
    bool allOk = true;
    for (; m_pending > 0; --m_pending) {
        const QString answer = readLine(kAnswerTimeoutMs);
        if (answer.isNull())
            return false;
        allOk = allOk && answer == QStringLiteral("OK");
    }
    return allOk;
}

bool SimProcess::command(const QString& line)
{
    post(line);
    return drain();
}

QList<QByteArray> SimProcess::journalLines() const
{
    QFile file(journalPath());
    QList<QByteArray> lines;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.trimmed().contains(' '))
                lines << line.trimmed();
    }
    return lines;
}

QStringList SimProcess::journal() const
{
    QStringList lines;
    for (const QByteArray& line : journalLines())
        lines << QString::fromLatin1(line).section(u' ', 1);
    return lines;
}

QList<double> SimProcess::journalSeconds() const
{
    QList<double> seconds;
    for (const QByteArray& line : journalLines())
        seconds << line.left(line.indexOf(' ')).toDouble();
    return seconds;
}

QList<int> SimProcess::codes() const
{
    QList<int> result;
    for (const QString& line : journal())
        result.append(line.section(u' ', 0, 0).toInt());
    return result;
}
