#include "cli/CommandLink.h"

#include "cli/ExitCode.h"

#include "cli/CliOptions.h"
#include "cli/ConsoleOutput.h"
#include "config/ProgramFolder.h"
#include "controller/DisplayFormat.h"
#include "controller/HistoryRecorder.h"
#include "controller/LinkConfiguration.h"
#include "controller/StatusCycle.h"
#include "data/Catalogues.h"
#include "history/HistoryArchive.h"
#include "history/HistorySettings.h"
#include "link/ConnectionAdvice.h"
#include "link/SerialPort.h"
#include "link/Tarn_Comm.h"
#include "link/TrafficTrace.h"
#include "protocol/CommandCodes.h"

#include <QTimer>

CommandLink::CommandLink(QObject* parent) : QObject(parent)
{
    m_port = new SerialPort(this);
    m_poll = new QTimer(this);
}

CommandLink::~CommandLink()
{
    // The recorder stores what it still holds: while the link and the archive are there.
    delete m_recorder;
    // The link drives the port and the poll timer: it goes before them.
    delete m_link;
}

void CommandLink::handleLinkError(const QString& text)
{
    ++m_linkErrors;
    ConsoleOutput::Say(text);
}

bool CommandLink::Configure(const CliOptions& options)
{
    m_iniPath = FindProgramIni();
    if (m_iniPath.empty()) {
        ConsoleOutput::Say(QStringLiteral("Can\u00B4t find the configuration file Tarn.INI !\n") +
                           ProgramIniSearchedText());
        return false;
    }
    std::string errText;
    if (!LoadCatalogue(m_iniPath, errText)) {
        ConsoleOutput::Say(DisplayFormat::Text(errText));
        return false;
    }

    m_link = new Tarn_Comm;
    m_link->comm = m_port;
    m_link->CommTimer = m_poll;
    connect(m_link, &Tarn_Comm::ErrorMessage, this, &CommandLink::handleLinkError);
    ConfigureLink(*m_link, m_iniPath);
    if (options.port > 0)
        m_link->CommPort = static_cast<int16_t>(options.port);
    if (!options.baud.isEmpty())
        m_link->CommSettings = options.baud + QStringLiteral(",n,8,1");
    m_port->setDevice(options.device);

    if (options.trace) {
        auto* trace = new TrafficTrace(m_link);
        trace->UseStandardError();
        trace->Attach(*m_link);
    }
    TrafficTrace::FromEnvironment(*m_link, "tarn");
    return true;
}

bool CommandLink::Start()
{
    QString errText;
    if (m_link->Start(errText))
        return true;
    const QString advice = ConnectionAdvice(*m_port);
    ConsoleOutput::Say(errText + QStringLiteral(". Check the communication settings.") +
                       (advice.isEmpty() ? QString() : u' ' + advice));
    return false;
}

bool CommandLink::ReadVersion()
{
    if (m_link->Inputs.CPUVersion > 0)
        return true;
    if (!m_link->Send(TarnCommand::ReadVersion))
        return false;
    const double version = StatusCycle::VersionFromReply(m_link->TarnData);
    // A refusal tells no version either: nothing may be read as this controller's.
    if (version <= 0) {
        ConsoleOutput::Say(QStringLiteral("Tarn could not be identified: its version reply tells "
                                          "no version."));
        return false;
    }
    m_link->Inputs.CPUVersion = version;
    std::string errText;
    if (!LoadEventCodes(version, m_iniPath, errText))
        ConsoleOutput::Say(DisplayFormat::Text(errText));
    return true;
}

void CommandLink::OpenHistory()
{
    m_history = new HistoryArchive(QStringLiteral("tarn"), this);
    connect(m_history, &HistoryArchive::faultChanged, this, [](const QString& fault) {
        if (!fault.isEmpty())
            ConsoleOutput::Say(QStringLiteral("tarn: %1").arg(fault));
    });
    HistorySettings::Open(*m_history, QString::fromStdString(ProgramFolder()),
                          QString::fromStdString(m_iniPath));
    m_recorder = new HistoryRecorder(*m_history, *m_link, this);
    connect(m_recorder, &HistoryRecorder::notice, this,
            [](const QString& text) { ConsoleOutput::Say(QStringLiteral("tarn: %1").arg(text)); });
}

bool CommandLink::ReadSerialNumber()
{
    if (!ReadVersion())
        return false;
    if (m_link->Inputs.CPUVersion >= StatusCycle::kAdminDataVersion &&
        m_link->Inputs.SerialNumber.empty()) {
        if (!m_link->Send(TarnCommand::ReadAdminData))
            return false;
        // "NAK" would read as a serial number.
        if (m_link->TarnData == TarnCommand::kRefusal) {
            ConsoleOutput::Say(QStringLiteral("Tarn could not be identified (serial number): Tarn "
                                              "refused the request."));
            return false;
        }
        m_link->Inputs.ResolveAdminData(m_link->TarnData);
    }
    return true;
}

bool CommandLink::ReadIdentity()
{
    if (!m_history || !m_history->isOpen())
        return true;
    if (!ReadSerialNumber())
        return false;
    // Both read on this run's link with nothing unanswered since: this is the controller.
    if (!m_link->isFailing())
        m_link->IdentityStale = false;
    return true;
}

bool CommandLink::ReadStatus(bool* complete)
{
    StatusCycle::Hooks hooks;
    hooks.catalogueError = [](const std::string& errText) {
        ConsoleOutput::Say(DisplayFormat::Text(errText));
    };
    const int errorsBefore = m_linkErrors;
    bool whole = false;
    if (!StatusCycle::Read(*m_link, m_iniPath, hooks, &whole))
        return false;
    // A request refused is answered: the link says nothing of it.
    if (!whole && m_linkErrors == errorsBefore)
        ConsoleOutput::Say(QStringLiteral("tarn: Tarn refused a part of the status; it is not "
                                          "read."));
    if (whole && m_recorder)
        m_recorder->RecordStatus();
    if (complete)
        *complete = whole;
    return true;
}

int CommandLink::Write(const SetupWriter::Build& build)
{
    const SetupWriter::Result result = SetupWriter::Run(*m_link, {}, build);
    if (result.ok()) {
        ConsoleOutput::Say(QString::fromLatin1("Tarn was updated succesfully!"));
        return ExitOk;
    }
    ConsoleOutput::Say(QString::fromLatin1("Could not update Tarn!"));
    if (!result.refusal.isEmpty())
        ConsoleOutput::Say(result.refusal);
    else if (!result.identified.mayWrite())
        ConsoleOutput::Say(result.identified.text);
    else if (result.outcome.unconfirmed)
        ConsoleOutput::Say(QStringLiteral("Tarn did not answer command %1: it may have taken it, "
                                          "or not.")
                               .arg(result.commands[result.outcome.done].code));
    return ExitController;
}
