#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QFile>

SimProcess::~SimProcess()
{
    stop();
}

void SimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(kCommandTimeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(kCommandTimeoutMs);
    }
}

bool SimProcess::readLine(QString& line, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        const int end = m_pending.indexOf('\n');
        if (end >= 0) {
            line = QString::fromUtf8(m_pending.left(end)).trimmed();
            m_pending.remove(0, end + 1);
            return true;
        }
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        m_process.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
        m_pending += m_process.readAllStandardOutput();
    }
}

bool SimProcess::start(const QStringList& options, QString& errText)
{
    const QString program = qEnvironmentVariable("TARN_SIM");
    if (program.isEmpty()) {
        errText = QStringLiteral("TARN_SIM is not set");
        return false;
    }
    QStringList arguments{QStringLiteral("--journal"), m_dir.filePath(QStringLiteral("journal"))};
    arguments += options;
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(kStartTimeoutMs)) {
        errText = QStringLiteral("tarn-sim did not start: ") + m_process.errorString();
        return false;
    }
    QString ready;
    if (!readLine(m_slavePath, kStartTimeoutMs) || !readLine(ready, kStartTimeoutMs) ||
        ready != QStringLiteral("READY")) {
        errText = QStringLiteral("tarn-sim did not get ready: ") +
                  QString::fromLocal8Bit(m_process.readAllStandardError());
        return false;
    }
    return true;
}

bool SimProcess::command(const QString& line)
{
    m_process.write((line + u'\n').toUtf8());
    QString answer;
    return readLine(answer, kCommandTimeoutMs) && answer == QStringLiteral("OK");
}

QList<SimProcess::Frame> SimProcess::frames() const
{
    QList<Frame> result;
    QFile file(m_dir.filePath(QStringLiteral("journal")));
    if (!file.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QStringList fields = QString::fromLatin1(raw).split(u' ');
        if (fields.size() < 2)
            continue;
        result.append({fields[0].toDouble(), fields[1], fields.value(2)});
    }
    return result;
}

QList<SimProcess::Frame> SimProcess::framesOf(int code) const
{
    QList<Frame> result;
    for (const Frame& frame : frames()) {
        if (frame.command == QString::number(code))
            result.append(frame);
    }
    return result;
}

QList<int> SimProcess::codes() const
{
    QList<int> result;
    for (const Frame& frame : frames())
        result.append(frame.command.toInt());
    return result;
}
