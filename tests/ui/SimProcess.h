#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

/// The controller simulator tarn-sim as a separate process on a pseudo-terminal, with its
/// journal of received frames in a temporary folder.
class SimProcess
{
public:
    struct Frame
    {
        double seconds = 0;
        QString command; ///< the code in decimal, or "BAD"
        QString data;    ///< upper-case hex pairs
    };

    static constexpr int kStartTimeoutMs = 5000;
    static constexpr int kCommandTimeoutMs = 3000;

    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    /// Starts the simulator with the given extra options; false with errText on a failure.
    bool start(const QStringList& options, QString& errText);
    void stop();
    QString slavePath() const { return m_slavePath; }
    /// Sends one control line and waits for its "OK".
    bool command(const QString& line);
    /// The frames received so far, in order.
    QList<Frame> frames() const;
    /// The frames whose command is `code`.
    QList<Frame> framesOf(int code) const;
    /// The command codes received so far, in order.
    QList<int> codes() const;

private:
    bool readLine(QString& line, int timeoutMs);

    QProcess m_process;
    QTemporaryDir m_dir;
    QString m_slavePath;
    QByteArray m_pending;
};
