#include "cli/TarnTool.h"

#include "cli/ConsoleOutput.h"

#include "cli/HistoryTool.h"
#include "cli/InterruptFlag.h"
#include "cli/LogOutput.h"
#include "cli/SetupTool.h"
#include "cli/StatusJson.h"
#include "config/FileReplace.h"
#include "config/ProgramFolder.h"
#include "controller/DisplayFormat.h"
#include "controller/EventLogReader.h"
#include "controller/HistoryRecorder.h"
#include "controller/LinkConfiguration.h"
#include "controller/OutputControl.h"
#include "controller/PortSearch.h"
#include "controller/SetupCommands.h"
#include "controller/StatusCycle.h"
#include "controller/StatusText.h"
#include "data/Catalogues.h"
#include "data/SetupFields.h"
#include "data/TarnDateTime.h"
#include "eventloop/EventWait.h"
#include "history/HistoryArchive.h"
#include "history/HistorySettings.h"
#include "link/ConnectionAdvice.h"
#include "link/SerialPort.h"
#include "link/Tarn_Comm.h"
#include "link/TrafficTrace.h"
#include "protocol/CommandCodes.h"

#include <QDateTime>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>

#include <unistd.h>

namespace {

/// How often a wait looks whether Ctrl+C was pressed.
constexpr std::chrono::milliseconds kInterruptCheck{100};

/// Output bytes as text for the terminal: 8-bit (Latin-1) or UTF-8, the system's line ends.
QString TerminalText(const std::string& bytes, bool latin1)
{
    QString text =
        latin1 ? Latin1(bytes) : QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

/// The input states as "detector1=0 ... manual3=1".
QString InputStates(const Tarn_Inputs& inputs)
{
    QStringList states;
    for (int16_t i = 0; i < Tarn_Inputs::kDetectors; ++i)
        states << QStringLiteral("detector%1=%2").arg(i + 1).arg(inputs.Detector(i) ? 1 : 0);
    for (int16_t i = 0; i < Tarn_Inputs::kManualTriggers; ++i)
        states << QStringLiteral("manual%1=%2").arg(i + 1).arg(inputs.ManualTrigger(i) ? 1 : 0);
    return states.join(u' ');
}

} // namespace

TarnTool::TarnTool(QObject* parent) : QObject(parent)
{
    m_port = new SerialPort(this);
    m_poll = new QTimer(this);
}

TarnTool::~TarnTool()
{
    // The recorder stores what it still holds: while the link and the archive are there.
    delete m_recorder;
    // The link drives the port and the poll timer: it goes before them.
    delete m_link;
}

void TarnTool::handleLinkError(const QString& text)
{
    ++m_linkErrors;
    Say(text);
}

int TarnTool::Run(const QStringList& args)
{
    QString error;
    if (!CliOptions::Parse(args, m_options, error)) {
        Say(QStringLiteral("tarn: %1\nTry 'tarn --help'.").arg(error));
        return ExitUsage;
    }
    if (m_options.version)
        return Print(CliOptions::VersionText()) ? ExitOk : ExitOutput;
    if (m_options.help)
        return Print(CliOptions::Help(m_options.command)) ? ExitOk : ExitOutput;
    // The service history needs neither the controller nor its configuration.
    if (m_options.command == QLatin1String("history"))
        return HistoryTool(m_options).Run();
    if (!Configure())
        return ExitUsage;
    // What is read from the controller may not be had again: a destination that cannot be
    // written is found out before the first request.
    if (!m_options.output.isEmpty()) {
        std::string errText;
        if (!CanReplaceFile(QFile::encodeName(m_options.output).toStdString(), errText)) {
            Say(QStringLiteral("tarn: %1 cannot be written: %2")
                    .arg(m_options.output, QString::fromStdString(errText)));
            return ExitUsage;
        }
    }
    // The commands that run until stopped take Ctrl+C as "stop after this request"; for the
    // others it ends the program as usual.
    if (m_options.command == QLatin1String("log") ||
        m_options.command == QLatin1String("watch-inputs") || m_options.forSeconds > 0)
        InterruptFlag::Install();

    const QString& command = m_options.command;
    if (command == QLatin1String("detect"))
        return Detect();
    if (command == QLatin1String("setup")) {
        OpenHistory();
        return SetupTool(*m_link, m_options, m_iniPath).Run([this] { return StartLink(); });
    }
    if (command != QLatin1String("outputs") && command != QLatin1String("watch-inputs"))
        OpenHistory();
    if (!StartLink())
        return ExitController;
    if (command == QLatin1String("status"))
        return Status();
    if (command == QLatin1String("log"))
        return Log();
    if (command == QLatin1String("set-clock"))
        return SetClock();
    if (command == QLatin1String("set-delays"))
        return SetDelays();
    if (command == QLatin1String("outputs"))
        return Outputs();
    if (command == QLatin1String("watch-inputs"))
        return WatchInputs();
    return DeleteLog();
}

bool TarnTool::Configure()
{
    m_iniPath = FindProgramIni();
    if (m_iniPath.empty()) {
        Say(QStringLiteral("Can\u00B4t find the configuration file Tarn.INI !\n") +
            ProgramIniSearchedText());
        return false;
    }
    std::string errText;
    if (!LoadCatalogue(m_iniPath, errText)) {
        Say(DisplayFormat::Text(errText));
        return false;
    }

    m_link = new Tarn_Comm;
    m_link->comm = m_port;
    m_link->CommTimer = m_poll;
    connect(m_link, &Tarn_Comm::ErrorMessage, this, &TarnTool::handleLinkError);
    ConfigureLink(*m_link, m_iniPath);
    if (m_options.port > 0)
        m_link->CommPort = static_cast<int16_t>(m_options.port);
    if (!m_options.baud.isEmpty())
        m_link->CommSettings = m_options.baud + QStringLiteral(",n,8,1");
    m_port->setDevice(m_options.device);

    if (m_options.trace) {
        auto* trace = new TrafficTrace(m_link);
        trace->UseStandardError();
        trace->Attach(*m_link);
    }
    TrafficTrace::FromEnvironment(*m_link, "tarn");
    return true;
}

bool TarnTool::StartLink()
{
    QString errText;
    if (m_link->Start(errText))
        return true;
    const QString advice = ConnectionAdvice(*m_port);
    Say(errText + QStringLiteral(". Check the communication settings.") +
        (advice.isEmpty() ? QString() : u' ' + advice));
    return false;
}

bool TarnTool::Emit(const std::string& bytes, bool latin1)
{
    if (!m_options.output.isEmpty()) {
        std::string errText;
        if (ReplaceFileContent(QFile::encodeName(m_options.output).toStdString(), bytes, errText))
            return true;
        Say(QStringLiteral("%1 could not be saved: %2")
                .arg(m_options.output, QString::fromStdString(errText)));
        return false;
    }
    return Print(TerminalText(bytes, latin1));
}

void TarnTool::Rescue(const std::string& bytes, bool latin1)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path;
    for (int n = 1; path.isEmpty() || QFile::exists(path); ++n) {
        const QString name =
            QStringLiteral("tarn-log-%1%2.%3")
                .arg(stamp, n > 1 ? QStringLiteral("-%1").arg(n) : QString(), m_options.format);
        path = QFile::decodeName(ProgramFile(QFile::encodeName(name).toStdString()).c_str());
    }
    std::string errText;
    if (ReplaceFileContent(QFile::encodeName(path).toStdString(), bytes, errText)) {
        Say(QStringLiteral("The events read are saved in %1").arg(path));
        return;
    }
    const QString failure = QStringLiteral("The events read could not be saved in %1 either: %2")
                                .arg(path, QString::fromStdString(errText));
    if (!m_options.output.isEmpty()) {
        Say(failure + QStringLiteral("; they follow on standard output."));
        if (Print(TerminalText(bytes, latin1)))
            return;
    }
    Say(failure + QStringLiteral("; they follow here."));
    ConsoleOutput::WriteStream(stderr, TerminalText(bytes, latin1).toLocal8Bit());
}

bool TarnTool::ReadVersion()
{
    if (m_link->Inputs.CPUVersion > 0)
        return true;
    if (!m_link->Send(TarnCommand::ReadVersion))
        return false;
    const double version = StatusCycle::VersionFromReply(m_link->TarnData);
    if (version <= 0)
        return true;
    m_link->Inputs.CPUVersion = version;
    std::string errText;
    if (!LoadEventCodes(version, m_iniPath, errText))
        Say(DisplayFormat::Text(errText));
    return true;
}

void TarnTool::OpenHistory()
{
    m_history = new HistoryArchive(QStringLiteral("tarn"), this);
    connect(m_history, &HistoryArchive::faultChanged, this, [](const QString& fault) {
        if (!fault.isEmpty())
            Say(QStringLiteral("tarn: history: %1 Going on without it.").arg(fault));
    });
    HistorySettings::Open(*m_history, QString::fromStdString(ProgramFolder()),
                          QString::fromStdString(m_iniPath));
    m_recorder = new HistoryRecorder(*m_history, *m_link, this);
}

bool TarnTool::ReadIdentity()
{
    if (!m_history || !m_history->isOpen())
        return true;
    if (!ReadVersion())
        return false;
    if (m_link->Inputs.CPUVersion >= StatusCycle::kAdminDataVersion &&
        m_link->Inputs.SerialNumber.empty()) {
        if (!m_link->Send(TarnCommand::ReadAdminData))
            return false;
        m_link->Inputs.ResolveAdminData(m_link->TarnData);
    }
    // Both read on this run's link with nothing unanswered since: this is the controller.
    if (!m_link->isFailing())
        m_link->IdentityStale = false;
    return true;
}

int TarnTool::Status()
{
    StatusCycle::Hooks hooks;
    hooks.catalogueError = [](const std::string& errText) { Say(DisplayFormat::Text(errText)); };
    const int errorsBefore = m_linkErrors;
    bool complete = false;
    if (!StatusCycle::Read(*m_link, m_iniPath, hooks, &complete))
        return ExitController;
    if (complete && m_recorder)
        m_recorder->RecordStatus();
    bool written = false;
    if (m_options.json) {
        written = Emit(StatusJson::Text(m_link->Inputs), false);
    } else {
        const TarnDateTime now = TarnDateTime::Now();
        const std::string pcTime = DisplayFormat::Latin1Text(
            DisplayFormat::GeneralDateTime(now), DisplayFormat::GeneralDateTime(now, QLocale::c()));
        written = Emit(StatusText::Report(m_link->Inputs).Text(pcTime), true);
    }
    if (!written)
        return ExitOutput;
    // A request of the cycle that failed leaves a part of the report as it was.
    return m_linkErrors == errorsBefore ? ExitOk : ExitController;
}

int TarnTool::Log()
{
    if (!ReadVersion() || !ReadIdentity())
        return ExitController;
    if (m_options.all && m_link->Inputs.CPUVersion < EventLogReader::kAllEventsVersion) {
        Say(QStringLiteral(
                "tarn: log --all needs controller firmware %1 or later; this one has %2.")
                .arg(DisplayFormat::Version(EventLogReader::kAllEventsVersion),
                     DisplayFormat::Version(m_link->Inputs.CPUVersion)));
        return ExitController;
    }
    if (m_options.all && !EventLogReader::Rewind(*m_link))
        return ExitController;
    LogOutput output;
    EventLogReader reader;
    bool failed = false;
    const bool showProgress = isatty(STDERR_FILENO) != 0;
    reader.event = [&](const Tarn_Inputs& event, const std::string& raw) {
        if (m_recorder)
            m_recorder->RecordEvent(event, raw);
        output.Events.push_back({static_cast<long long>(output.Events.size() + 1), event.LogTime,
                                 event.LogTemperatureCelsius, event.LogTemperatureFarenheit,
                                 event.LogText});
    };
    reader.lost = [&] {
        if (m_recorder)
            m_recorder->RecordLost();
        LogOutput::Event lost;
        lost.number = static_cast<long long>(output.Events.size() + 1);
        lost.lost = true;
        output.Events.push_back(std::move(lost));
    };
    reader.keepGoing = [&](bool requestFailed) {
        failed = requestFailed;
        return !requestFailed && !InterruptFlag::IsSet();
    };
    const auto progress = [&] {
        const QString line = QStringLiteral("\r%1 events read, %2 events/s, %3 s")
                                 .arg(reader.count())
                                 .arg(reader.rate(), 0, 'f', 1)
                                 .arg(reader.elapsedMs() / 1000.0, 0, 'f', 1);
        std::fputs(line.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
    };
    if (showProgress)
        reader.progress = progress;
    const bool ended = reader.Read(m_link);
    if (showProgress) {
        progress();
        std::fputs("\n", stderr);
    }
    if (!ended && !failed)
        Say(QStringLiteral("Stopped: %1 events read.").arg(reader.count()));
    // The line was lost during the reading: which controller sent the events held is known
    // once a status read tells.
    if (m_recorder && m_recorder->hasHeld()) {
        bool complete = false;
        if (StatusCycle::Read(*m_link, m_iniPath, {}, &complete) && complete)
            m_recorder->RecordStatus();
    }
    const int lost = reader.lostCount();
    if (lost > 0)
        Say(lost == 1 ? QStringLiteral("1 damaged reply: 1 event lost.")
                      : QStringLiteral("%1 damaged replies: %1 events lost.").arg(lost));

    std::string bytes;
    bool latin1 = false;
    if (m_options.format == QLatin1String("csv")) {
        bytes = output.Csv();
    } else if (m_options.format == QLatin1String("json")) {
        bytes = output.Json();
    } else {
        bytes = output.Tsv();
        latin1 = true;
    }
    if (!Emit(bytes, latin1)) {
        Rescue(bytes, latin1);
        return ExitOutput;
    }
    return failed || lost > 0 ? ExitController : ExitOk;
}

int TarnTool::SetClock()
{
    if (!ReadIdentity() || !SetupCommands::SetClock(*m_link)) {
        Say(QString::fromLatin1("Could not update Tarn!"));
        return ExitController;
    }
    Say(QString::fromLatin1("Tarn was updated succesfully!"));
    return ExitOk;
}

int TarnTool::SetDelays()
{
    static constexpr SetupFields::DelayField kFields[] = {SetupFields::DelayField::DetectorAlarm,
                                                          SetupFields::DelayField::ManualAlarm,
                                                          SetupFields::DelayField::ManualStop};
    std::array<int, 3> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const QString text = m_options.arguments.at(static_cast<qsizetype>(i));
        if (!SetupFields::Delay(text.toLatin1().toStdString(), values[i])) {
            Say(DisplayFormat::Text(SetupFields::DelayError(kFields[i])).replace(u'\r', u'\n'));
            return ExitUsage;
        }
    }
    // The block carries the zones' messages and outputs too: SetDelays reads them first so
    // that the write leaves them as they are.
    std::string errText;
    if (!ReadIdentity() || !SetupCommands::SetDelays(*m_link, values, errText)) {
        Say(QString::fromLatin1("Could not update Tarn!"));
        return ExitController;
    }
    Say(QString::fromLatin1("Tarn was updated succesfully!"));
    return ExitOk;
}

int TarnTool::Outputs()
{
    if (m_options.arguments == QStringList{QStringLiteral("off")}) {
        if (m_options.forSeconds > 0) {
            Say(QStringLiteral("tarn: outputs off does not take --for"));
            return ExitUsage;
        }
        return OutputControl::AllOff(*m_link) ? ExitOk : ExitController;
    }
    Tarn_Outputs& outputs = m_link->OutPuts;
    outputs = Tarn_Outputs();
    for (const QString& argument : m_options.arguments) {
        const QString name = argument.section(u'=', 0, 0);
        const QString value = argument.section(u'=', 1);
        if (!argument.contains(u'=') ||
            !OutputControl::SetByName(outputs, name.toStdString(), value.toStdString())) {
            Say(QStringLiteral("tarn: %1 is not NAME=0 or NAME=1 with a NAME of %2")
                    .arg(argument, QString::fromStdString(OutputControl::Names())));
            return ExitUsage;
        }
    }
    Tarn_Outputs none;
    const bool anyOn = outputs.STU_Data() != none.STU_Data();
    const bool sent = OutputControl::SendOutputs(*m_link);
    if (m_options.forSeconds == 0) {
        if (sent && anyOn)
            Say(QStringLiteral("tarn: the outputs stay on until they are switched off "
                               "(tarn outputs off)."));
        return sent ? ExitOk : ExitController;
    }
    // A word whose reply was lost may have switched the outputs on all the same: they go
    // off in any case.
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(m_options.forSeconds);
    while (sent && !InterruptFlag::IsSet() && std::chrono::steady_clock::now() < end) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (!WaitProcessingEvents(std::min(left, kInterruptCheck)))
            break;
    }
    const bool off = OutputControl::AllOff(*m_link);
    if (InterruptFlag::IsSet()) {
        const auto elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
        Say(QStringLiteral("Stopped after %1 s: %2")
                .arg(elapsed.count(), 0, 'f', 1)
                .arg(off ? QStringLiteral("all outputs are off.")
                         : QStringLiteral("the outputs could not be switched off!")));
    }
    return sent && off ? ExitOk : ExitController;
}

int TarnTool::WatchInputs()
{
    if (!OutputControl::EnterTestMode(*m_link))
        return ExitController;
    int ticks = 0;
    QString shown;
    while (!InterruptFlag::IsSet()) {
        if (++ticks > OutputControl::kRenewalTicks)
            ticks = OutputControl::EnterTestMode(*m_link) ? 0 : 1;
        if (InterruptFlag::IsSet())
            break;
        if (OutputControl::ScanInputs(*m_link)) {
            const QString states = InputStates(m_link->Inputs);
            if (states != shown) {
                shown = states;
                if (!Print(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz ")) +
                           states + u'\n')) {
                    OutputControl::AllOff(*m_link);
                    return ExitOutput;
                }
            }
        }
        if (!WaitProcessingEvents(OutputControl::kScanInterval))
            break;
    }
    return OutputControl::AllOff(*m_link) ? ExitOk : ExitController;
}

int TarnTool::Detect()
{
    // The search goes by port numbers: a device given names no port.
    m_port->setDevice(QString());
    const QString settings = m_link->CommSettings;
    const std::vector<int> ports = PortSearch::AllPorts();
    const int found = PortSearch::Search(*m_link, ports, settings);
    if (found < 0) {
        Say(QStringLiteral("Auto detect could not found a working com-port!"));
        return ExitController;
    }
    Say(QStringLiteral("Auto detect has succesfully connected to Tarn using COM%1.")
            .arg(ports[static_cast<std::size_t>(found)]));
    return Print(QStringLiteral("COM%1 %2\n")
                     .arg(ports[static_cast<std::size_t>(found)])
                     .arg(m_port->deviceName()))
               ? ExitOk
               : ExitOutput;
}

int TarnTool::DeleteLog()
{
    if (!m_options.yes) {
        std::fputs("Delete all stored log events? [y/N] ", stderr);
        std::fflush(stderr);
        std::string answer;
        if (!std::getline(std::cin, answer) ||
            (answer != "y" && answer != "Y" && answer != "yes")) {
            Say(QStringLiteral("Nothing deleted."));
            return ExitOk;
        }
    }
    if (!ReadIdentity() || !SetupCommands::DeleteLog(*m_link)) {
        Say(QString::fromLatin1("Could not update Tarn!"));
        return ExitController;
    }
    Say(QString::fromLatin1("Tarn was updated succesfully!"));
    return ExitOk;
}
