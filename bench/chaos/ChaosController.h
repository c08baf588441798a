#pragma once

#include "ChaosChecks.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QString>

#include <string>
#include <vector>

/// The controller of one chaos round: tarn-sim on a link that stays the same through its
/// restarts, its log memory in a file, each run journaling into files of its own. What is done
/// to it is recorded in the round on the round's clock.
class ChaosController
{
public:
    /// The serial number's dates (manufactured, installed, serviced twice), as command 51 has them.
    static const std::string kAdminDates;
    /// The delays every run starts with, and command 98's data for them.
    static constexpr const char* kDelays = "1E0A053C010203010204";

    ChaosController(const QString& folder, const QElapsedTimer& clock, ChaosChecks::Round& round);
    ~ChaosController();
    ChaosController(const ChaosController&) = delete;
    ChaosController& operator=(const ChaosController&) = delete;

    QString link() const { return m_link; }
    QString store() const { return m_store; }
    /// Starts a run with the serial number and delays set before the link appears.
    bool start(int serial);
    /// Gone at once, as when its power fails; its outputs are off, its link is gone.
    void kill();
    bool alive() const { return m_process.state() == QProcess::Running; }
    /// A control line; false when the controller is away or refused it.
    bool command(const QByteArray& line);
    /// Another serial number, while it runs; when `silent`, the first request after it gets no
    /// answer, as when a cable is moved to another controller while requests run.
    bool swap(int serial, bool silent);
    /// A new event in its log memory.
    bool append(const std::string& hex12);
    /// Ends the run (as a quit) and reads every run's journal into the round.
    void finish();
    /// The process of the run, to kill from a watchdog.
    qint64 pid() const { return m_process.processId(); }

private:
    static QByteArray AdminLine(int serial);
    double now() const { return double(m_clock.nsecsElapsed()) / 1e9; }

    struct Run
    {
        QString journal;
        QString faults;
        double offset = 0;
    };
    QString m_folder;
    QString m_link;
    QString m_store;
    const QElapsedTimer& m_clock;
    ChaosChecks::Round& m_round;
    QProcess m_process;
    std::vector<Run> m_runs;
    int m_serial = 0;
};
