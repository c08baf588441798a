#pragma once

#include <QFile>
#include <QObject>

#include <cstdio>

class Tarn_Comm;
struct TrafficRecord;

/// Writes the link's traffic, one line per frame (TrafficRecord::Line), to a file or to
/// standard error, each line flushed at once so that nothing is lost when the program dies.
class TrafficTrace : public QObject
{
    Q_OBJECT
public:
    /// The variable that names the trace file.
    static constexpr const char* kEnvironmentVariable = "TARN_TRACE";

    explicit TrafficTrace(QObject* parent = nullptr);

    /// Appends to the file at `path`; false, with a text, when it cannot be opened.
    bool OpenFile(const QString& path, QString& errText);
    /// Writes to standard error.
    void UseStandardError();
    /// Follows the link's traffic.
    void Attach(Tarn_Comm& link);
    /// A trace into the file TARN_TRACE names, following `link`; null when the variable is
    /// not set. A file that cannot be opened is reported on standard error.
    static TrafficTrace* FromEnvironment(Tarn_Comm& link, const char* programName);

private:
    void handleTraffic(const TrafficRecord& record);

    QFile m_file;
    std::FILE* m_stream = nullptr;
};
