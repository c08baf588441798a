#pragma once

#include "cli/ConsoleOutput.h"

#include "cli/CliOptions.h"

#include <QObject>
#include <QString>

#include <string>

class HistoryArchive;
class HistoryRecorder;
class QTimer;
class SerialPort;
class Tarn_Comm;

/// The program `tarn`: the controller's main jobs without windows, on the same link, the same
/// Tarn.INI and the same controller code as the window program.
class TarnTool : public QObject
{
    Q_OBJECT
public:
    enum ExitCode
    {
        ExitOk = 0,
        ExitController = 1,
        /// An output (standard output or --output FILE) could not be written.
        ExitOutput = 1,
        ExitUsage = 2
    };

    explicit TarnTool(QObject* parent = nullptr);
    ~TarnTool() override;

    /// Runs the command line (without the program name); the exit code.
    int Run(const QStringList& args);

private:
    /// Reads Tarn.INI and the catalogues and sets the link up; false after telling why.
    bool Configure();
    bool StartLink();
    int Status();
    int Log();
    int SetClock();
    int SetDelays();
    int Outputs();
    int WatchInputs();
    int Detect();
    int DeleteLog();

    /// Reads the version and loads the event texts for it (once per run).
    bool ReadVersion();
    /// Opens the history for a command that reads or writes the controller's records; a
    /// history that cannot be kept is told once and the command goes on without it.
    void OpenHistory();
    /// The version, and from 2.07 the serial number: the history files what is read or
    /// written under the controller it came from. Only while the history is kept.
    bool ReadIdentity();
    /// Writes `bytes` to --output, or to standard output; false after telling why.
    bool Emit(const std::string& bytes, bool latin1);
    /// Saves events read whose output failed: in a file in the program folder, else on
    /// standard output (unless that failed), else on standard error.
    void Rescue(const std::string& bytes, bool latin1);
    void handleLinkError(const QString& text);
    static void Say(const QString& text) { ConsoleOutput::Say(text); }
    static bool Print(const QString& text) { return ConsoleOutput::Print(text); }

    CliOptions m_options;
    std::string m_iniPath;
    Tarn_Comm* m_link = nullptr;
    SerialPort* m_port = nullptr;
    QTimer* m_poll = nullptr;
    int m_linkErrors = 0;
    HistoryArchive* m_history = nullptr;
    HistoryRecorder* m_recorder = nullptr;
};
