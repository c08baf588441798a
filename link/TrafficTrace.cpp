#include "link/TrafficTrace.h"

#include "link/Tarn_Comm.h"
#include "link/TrafficRecord.h"

TrafficTrace::TrafficTrace(QObject* parent) : QObject(parent) {}

bool TrafficTrace::OpenFile(const QString& path, QString& errText)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        errText =
            QStringLiteral("Cannot open the trace file %1: %2").arg(path, m_file.errorString());
        return false;
    }
    m_stream = nullptr;
    return true;
}

void TrafficTrace::UseStandardError()
{
    m_stream = stderr;
}

void TrafficTrace::Attach(Tarn_Comm& link)
{
    connect(&link, &Tarn_Comm::traffic, this, &TrafficTrace::handleTraffic);
}

TrafficTrace* TrafficTrace::FromEnvironment(Tarn_Comm& link, const char* programName)
{
    const QString path = qEnvironmentVariable(kEnvironmentVariable);
    if (path.isEmpty())
        return nullptr;
    auto* trace = new TrafficTrace(&link);
    QString errText;
    if (!trace->OpenFile(path, errText)) {
        std::fprintf(stderr, "%s: %s\n", programName, qUtf8Printable(errText));
        delete trace;
        return nullptr;
    }
    trace->Attach(link);
    return trace;
}

void TrafficTrace::handleTraffic(const TrafficRecord& record)
{
    const QByteArray line = record.Line().toUtf8() + '\n';
    if (m_stream) {
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), m_stream);
        std::fflush(m_stream);
    } else if (m_file.isOpen()) {
        m_file.write(line);
        m_file.flush();
    }
}
