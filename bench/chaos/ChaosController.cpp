#include "ChaosController.h"

#include "BenchSim.h"

#include "data/DateCodec.h"
#include "data/TarnDateTime.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

namespace {

std::vector<std::string> Lines(const QString& path)
{
    QFile file(path);
    std::vector<std::string> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty())
            lines.push_back(line.toStdString());
    return lines;
}

std::string Dates()
{
    return EncodePackedDate(TarnDateTime::FromParts(2024, 3, 14)) +
           EncodePackedDate(TarnDateTime::FromParts(2024, 5, 2)) +
           EncodePackedDate(TarnDateTime::FromParts(2026, 5, 4)) +
           EncodePackedDate(TarnDateTime::FromParts(2025, 5, 6));
}

} // namespace

const std::string ChaosController::kAdminDates = Dates();

ChaosController::ChaosController(const QString& folder, const QElapsedTimer& clock,
                                 ChaosChecks::Round& round)
    : m_folder(folder), m_link(QDir(folder).filePath(QStringLiteral("tty"))),
      m_store(QDir(folder).filePath(QStringLiteral("store"))), m_clock(clock), m_round(round)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

ChaosController::~ChaosController()
{
    if (alive())
        kill();
}

bool ChaosController::start(int serial)
{
    const QDir folder(m_folder);
    const int n = int(m_runs.size()) + 1;
    Run run{folder.filePath(QStringLiteral("journal-%1").arg(n)),
            folder.filePath(QStringLiteral("faults-%1").arg(n)), 0};
    // The link appears only once the controller is what it is meant to be.
    const QString hidden = m_link + QStringLiteral(".new");
    if (!BenchSim::Start(m_process, {QStringLiteral("--link"), hidden, QStringLiteral("--store"),
                                     m_store, QStringLiteral("--journal"), run.journal,
                                     QStringLiteral("--fault-journal"), run.faults}))
        return false;
    // Its clock starts right before it says READY.
    run.offset = now();
    m_runs.push_back(run);
    m_serial = serial;
    if (!BenchSim::Command(m_process, AdminLine(serial)) ||
        !BenchSim::Command(m_process, QByteArray("delays ") + kDelays))
        return false;
    QFile::remove(m_link);
    return QFile::rename(hidden, m_link);
}

void ChaosController::kill()
{
    m_process.kill();
    m_round.kills.push_back(now());
    m_process.waitForFinished(BenchSim::kStartTimeoutMs);
    QFile::remove(m_link);
}

bool ChaosController::command(const QByteArray& line)
{
    return alive() && BenchSim::Command(m_process, line);
}

bool ChaosController::swap(int serial, bool silent)
{
    if (!alive())
        return false;
    const double from = now();
    bool ok = false;
    if (silent) {
        // Both lines in one write: the simulator takes them before the next request.
        m_process.write(AdminLine(serial) + "\nmute 1\n");
        QDeadlineTimer deadline(BenchSim::kStartTimeoutMs);
        QList<QByteArray> answers;
        while (answers.size() < 2 && !deadline.hasExpired()) {
            if (!m_process.canReadLine() &&
                !m_process.waitForReadyRead(int(deadline.remainingTime())))
                break;
            while (m_process.canReadLine())
                answers << m_process.readLine().trimmed();
        }
        ok = answers == QList<QByteArray>{"OK", "OK"};
    } else {
        ok = command(AdminLine(serial));
    }
    if (ok) {
        m_serial = serial;
        m_round.identities.push_back({from, now(), std::to_string(serial)});
    }
    return ok;
}

bool ChaosController::append(const std::string& hex12)
{
    if (!command("event " + QByteArray::fromStdString(hex12)))
        return false;
    m_round.appended.push_back({now(), hex12});
    return true;
}

void ChaosController::finish()
{
    if (alive()) {
        m_process.write("quit\n");
        if (!m_process.waitForFinished(BenchSim::kStartTimeoutMs))
            m_process.kill();
    }
    QFile::remove(m_link);
    for (const Run& run : m_runs) {
        const std::vector<ChaosChecks::Request> requests =
            ChaosChecks::ParseJournal(Lines(run.journal), Lines(run.faults), run.offset);
        m_round.requests.insert(m_round.requests.end(), requests.begin(), requests.end());
    }
}

QByteArray ChaosController::AdminLine(int serial)
{
    return "admin " +
           QStringLiteral("%1").arg(serial, 8, 16, QLatin1Char('0')).toUpper().toLatin1() +
           QByteArray::fromStdString(kAdminDates);
}
