#pragma once

#include "controller/SetupWriter.h"

#include <QObject>
#include <QString>

#include <string>

struct CliOptions;
class HistoryArchive;
class HistoryRecorder;
class QTimer;
class SerialPort;
class Tarn_Comm;

/// The link of a tarn command to the controller, as the window program has it: Tarn.INI and the
/// catalogues read, the port and the poll timer, Tarn_Comm set up as the command line asks,
/// and the service history for the commands that file what they read or write.
class CommandLink : public QObject
{
    Q_OBJECT
public:
    explicit CommandLink(QObject* parent = nullptr);
    ~CommandLink() override;

    /// Reads Tarn.INI and the catalogues and sets the link up; false after telling why.
    bool Configure(const CliOptions& options);
    /// Opens the port; false after telling why.
    bool Start();
    /// Opens the history for a command that reads or writes the controller's records; a
    /// history that cannot be kept is told once and the command goes on without it.
    void OpenHistory();
    /// Reads the version and loads the event texts for it (once per run).
    bool ReadVersion();
    /// The version, and from 2.07 the serial number.
    bool ReadSerialNumber();
    /// The version, and from 2.07 the serial number: the history files what is read or
    /// written under the controller it came from. Only while the history is kept.
    bool ReadIdentity();
    /// The status cycle, its catalogue errors and refusals said; the status filed in the
    /// history when the cycle read it whole, told in `complete`. False when it could not run (a
    /// request of it failing or refused leaves its part unread).
    bool ReadStatus(bool* complete = nullptr);

    /// A setup write on whichever controller answers, identified in the same action (so that
    /// the history files it under that one), with what `build` makes of its values of right
    /// now; tells the outcome. The exit code.
    int Write(const SetupWriter::Build& build);

    /// Set up by Configure.
    Tarn_Comm& link() const { return *m_link; }
    SerialPort& port() const { return *m_port; }
    const std::string& iniPath() const { return m_iniPath; }
    /// Null while the history is not opened.
    HistoryRecorder* recorder() const { return m_recorder; }
    /// How many errors the link has told so far.
    int errors() const { return m_linkErrors; }

private:
    void handleLinkError(const QString& text);

    std::string m_iniPath;
    Tarn_Comm* m_link = nullptr;
    SerialPort* m_port = nullptr;
    QTimer* m_poll = nullptr;
    int m_linkErrors = 0;
    HistoryArchive* m_history = nullptr;
    HistoryRecorder* m_recorder = nullptr;
};
