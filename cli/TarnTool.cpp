#include "cli/TarnTool.h"

#include "cli/CliCommand.h"
#include "cli/ConsoleOutput.h"
#include "cli/DeleteLogCommand.h"
#include "cli/DetectCommand.h"
#include "cli/ExitCode.h"
#include "cli/HistoryCommand.h"
#include "cli/InterruptFlag.h"
#include "cli/LogCommand.h"
#include "cli/OutputsCommand.h"
#include "cli/ReportCommand.h"
#include "cli/SetClockCommand.h"
#include "cli/SetDelaysCommand.h"
#include "cli/SetupCommand.h"
#include "cli/StatusCommand.h"
#include "cli/WatchInputsCommand.h"
#include "config/FileReplace.h"
#include "controller/HistoryRecorder.h"

#include <QFile>

namespace {

const CliCommand* const kCommands[] = {
    &StatusCommand::kCommand,    &LogCommand::kCommand,       &SetClockCommand::kCommand,
    &SetDelaysCommand::kCommand, &OutputsCommand::kCommand,   &WatchInputsCommand::kCommand,
    &DetectCommand::kCommand,    &DeleteLogCommand::kCommand, &SetupCommand::kCommand,
    &HistoryCommand::kCommand,   &ReportCommand::kCommand};

} // namespace

std::span<const CliCommand* const> TarnTool::Commands()
{
    return kCommands;
}

bool TarnTool::NeedsGui(const QStringList& args)
{
    CliOptions options;
    QString error;
    // The report and the history's pictures.
    return CliOptions::Parse(args, Commands(), options, error) && !options.help &&
           (options.command == QLatin1String(ReportCommand::kCommand.name) ||
            (options.command == QLatin1String(HistoryCommand::kCommand.name) &&
             options.arguments.value(0) == QLatin1String("plot")));
}

int TarnTool::Run(const QStringList& args)
{
    QString error;
    if (!CliOptions::Parse(args, Commands(), m_options, error)) {
        ConsoleOutput::Say(QStringLiteral("tarn: %1\nTry 'tarn --help'.").arg(error));
        return ExitUsage;
    }
    if (m_options.version)
        return ConsoleOutput::Print(CliOptions::VersionText()) ? ExitOk : ExitOutput;
    if (m_options.help)
        return ConsoleOutput::Print(CliOptions::Help(Commands(), m_options.command)) ? ExitOk
                                                                                     : ExitOutput;
    // Parse refuses a command line without a command it knows.
    const CliCommand& command = *CliOptions::Find(Commands(), m_options.command);
    // The service history needs neither the controller nor its configuration.
    if (command.link == CliCommand::Link::None)
        return command.run(m_link, m_options);
    if (!m_link.Configure(m_options))
        return ExitUsage;
    // What is read from the controller may not be had again: a destination that cannot be
    // written is found out before the first request.
    if (!m_options.output.isEmpty()) {
        std::string errText;
        if (!CanReplaceFile(QFile::encodeName(m_options.output).toStdString(), errText)) {
            ConsoleOutput::Say(QStringLiteral("tarn: %1 cannot be written: %2")
                                   .arg(m_options.output, QString::fromStdString(errText)));
            return ExitUsage;
        }
    }
    // The commands that run until stopped take Ctrl+C as "stop after this request"; for the
    // others it ends the program as usual.
    if (command.runsUntilStopped || m_options.forSeconds > 0)
        InterruptFlag::Install();
    if (command.keepsHistory)
        m_link.OpenHistory();
    if (command.link == CliCommand::Link::Started && !m_link.Start())
        return ExitController;
    const int exitCode = command.run(m_link, m_options);
    // What was read or written is in the history (or queued for its server) before tarn ends.
    HistoryRecorder* const recorder = m_link.recorder();
    if (recorder && !recorder->Settle(HistoryRecorder::kSettleTime)) {
        const int lost = recorder->unarchived();
        ConsoleOutput::Say(QStringLiteral("tarn: %1 of what was read or written could not be "
                                          "kept in the service history.")
                               .arg(lost == 1 ? QStringLiteral("1 record")
                                              : QStringLiteral("%1 records").arg(lost)));
        return exitCode == ExitOk ? int(ExitController) : exitCode;
    }
    return exitCode;
}
