#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

/// The controller simulator tarn-sim (env TARN_SIM) as a child process on a pseudo-terminal,
/// driven through its standard input, journaling into a temporary folder of its own.
/// The simulator is terminated with the test process, even when the test crashes.
class SimProcess
{
public:
    static constexpr int kStartTimeoutMs = 10000;
    static constexpr int kAnswerTimeoutMs = 5000;
    /// The frames of one status read, as journal() gives them.
    static inline const QStringList kStatusRead{QStringLiteral("64"),    QStringLiteral("50"),
                                                QStringLiteral("52"),    QStringLiteral("55"),
                                                QStringLiteral("54 00"), QStringLiteral("54 01"),
                                                QStringLiteral("54 02"), QStringLiteral("51")};

    /// The journal line of a command whose data is 8-bit text.
    static QString Line(int code, const QByteArray& data)
    {
        return QString::number(code) + u' ' + QString::fromLatin1(data.toHex().toUpper());
    }
    /// `expected` with each entry that ends in "*" replaced by the line of `got` it begins.
    static QStringList Wildcarded(QStringList expected, const QStringList& got)
    {
        for (qsizetype i = 0; i < qMin(got.size(), expected.size()); ++i)
            if (expected[i].endsWith(u'*') && got[i].startsWith(expected[i].chopped(1)))
                expected[i] = got[i];
        return expected;
    }

    SimProcess() = default;
    ~SimProcess() { stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    /// Starts (or starts again) with the given options; false, with a warning, on a failure.
    bool start(const QStringList& options = {});
    void stop();
    QString slavePath() const { return m_slavePath; }
    QString journalPath() const { return m_dir.filePath(QStringLiteral("journal")); }

    /// Sends a control line without waiting for its answer (usable while a request waits).
    void post(const QString& line);
    /// Waits for the answers to all posted lines; true when each was "OK".
    bool drain();
    /// Sends a control line; true when it and every line posted before were answered "OK".
    bool command(const QString& line);

    /// "<command> <data>" of every frame received so far, e.g. "64", "54 01", "BAD 8F00FF".
    QStringList journal() const;
    /// The command codes received so far, in order.
    QList<int> codes() const;
    /// When each frame of journal() was received, in seconds of the simulator's clock.
    QList<double> journalSeconds() const;

private:
    QString readLine(int timeoutMs);
    QList<QByteArray> journalLines() const;

    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_slavePath;
    int m_pending = 0;
};
