#include "cli/LogCommand.h"

#include "cli/CliOptions.h"
#include "cli/CommandLink.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitCode.h"
#include "cli/InterruptFlag.h"
#include "cli/LogOutput.h"
#include "config/FileReplace.h"
#include "config/ProgramFolder.h"
#include "controller/DisplayFormat.h"
#include "controller/EventLogReader.h"
#include "controller/HistoryRecorder.h"
#include "controller/ReportFiles.h"
#include "controller/StatusCycle.h"
#include "link/Tarn_Comm.h"

#include <QDateTime>
#include <QFile>

#include <cstdio>

#include <unistd.h>

namespace {

/// Saves events read whose output failed: in a file in the program folder, else on
/// standard output (unless that failed), else on standard error.
void Rescue(const CliOptions& options, const std::string& bytes, bool latin1)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path;
    for (int n = 1; path.isEmpty() || QFile::exists(path); ++n) {
        const QString name =
            QStringLiteral("tarn-log-%1%2.%3")
                .arg(stamp, n > 1 ? QStringLiteral("-%1").arg(n) : QString(), options.format);
        path = QFile::decodeName(ProgramFile(QFile::encodeName(name).toStdString()).c_str());
    }
    std::string errText;
    if (ReplaceFileContent(QFile::encodeName(path).toStdString(), bytes, errText)) {
        ConsoleOutput::Say(QStringLiteral("The events read are saved in %1").arg(path));
        return;
    }
    const QString failure = QStringLiteral("The events read could not be saved in %1 either: %2")
                                .arg(path, QString::fromStdString(errText));
    if (!options.output.isEmpty()) {
        ConsoleOutput::Say(failure + QStringLiteral("; they follow on standard output."));
        if (ConsoleOutput::Print(ConsoleOutput::TerminalText(bytes, latin1)))
            return;
    }
    ConsoleOutput::Say(failure + QStringLiteral("; they follow here."));
    ConsoleOutput::WriteStream(stderr, ConsoleOutput::TerminalText(bytes, latin1).toLocal8Bit());
}

int Run(CommandLink& link, const CliOptions& options)
{
    Tarn_Comm& tarn = link.link();
    HistoryRecorder* const recorder = link.recorder();
    // A CSV names the controller on every row, whether the history is kept or not.
    if (!link.ReadVersion() || !link.ReadIdentity() ||
        (options.format == QLatin1String("csv") && !link.ReadSerialNumber()))
        return ExitController;
    if (options.all && tarn.Inputs.CPUVersion < EventLogReader::kAllEventsVersion) {
        ConsoleOutput::Say(
            QStringLiteral(
                "tarn: log --all needs controller firmware %1 or later; this one has %2.")
                .arg(DisplayFormat::Version(EventLogReader::kAllEventsVersion),
                     DisplayFormat::Version(tarn.Inputs.CPUVersion)));
        return ExitController;
    }
    if (options.all && !EventLogReader::Rewind(tarn))
        return ExitController;
    // The events come from the controller read now; another may answer once the line fails.
    const Tarn_Inputs source = tarn.Inputs;
    LogOutput output;
    EventLogReader reader;
    bool failed = false;
    const bool showProgress = isatty(STDERR_FILENO) != 0;
    reader.event = [&](const Tarn_Inputs& event, const std::string& raw) {
        if (recorder)
            recorder->RecordEvent(event, raw);
        output.Events.push_back({static_cast<long long>(output.Events.size() + 1), event.LogTime,
                                 event.LogTemperatureCelsius, event.LogTemperatureFarenheit,
                                 event.LogText});
    };
    reader.lost = [&] {
        if (recorder)
            recorder->RecordLost();
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
    const bool ended = reader.Read(&tarn);
    if (showProgress) {
        progress();
        std::fputs("\n", stderr);
    }
    if (reader.refused())
        ConsoleOutput::Say(QStringLiteral("tarn: Tarn refused to send the next event; %1 events "
                                          "read.")
                               .arg(reader.count()));
    else if (!ended && !failed)
        ConsoleOutput::Say(QStringLiteral("Stopped: %1 events read.").arg(reader.count()));
    // The line was lost during the reading: which controller sent the events held is known
    // once a status read tells.
    if (recorder && recorder->needsIdentity()) {
        bool complete = false;
        if (StatusCycle::Read(tarn, link.iniPath(), {}, &complete) && complete)
            recorder->RecordStatus();
    }
    const int lost = reader.lostCount();
    if (lost > 0)
        ConsoleOutput::Say(lost == 1
                               ? QStringLiteral("1 damaged reply: 1 event lost.")
                               : QStringLiteral("%1 damaged replies: %1 events lost.").arg(lost));

    output.Source = ReportFiles::CsvSource(source, QDateTime::currentDateTime());
    std::string bytes;
    bool latin1 = false;
    if (options.format == QLatin1String("csv")) {
        bytes = output.Csv();
    } else if (options.format == QLatin1String("json")) {
        bytes = output.Json();
    } else {
        bytes = output.Tsv();
        latin1 = true;
    }
    if (!ConsoleOutput::Emit(options.output, bytes, latin1)) {
        Rescue(options, bytes, latin1);
        return ExitOutput;
    }
    return failed || lost > 0 || reader.refused() ? ExitController : ExitOk;
}

} // namespace

const CliCommand LogCommand::kCommand = {
    .name = "log",
    .synopsis = "log [--all] [--format tsv|csv|json] [--output FILE]",
    .help =
        "Reads the new events of the controller's event log up to its end (with --all, all stored\n"
        "events from the oldest). Ctrl+C stops after the current request; what was read is "
        "written.\n"
        "When the output fails, the events read are saved in a file in the program folder.\n"
        "  --all          rewind the log first and read every stored event\n"
        "  --format F     tsv (the tarn.logg layout, the default), csv or json\n"
        "  --output FILE  write to FILE instead of standard output\n",
    .options = "all format output",
    .flags = "",
    .minArguments = 0,
    .maxArguments = 0,
    .link = CliCommand::Link::Started,
    .keepsHistory = true,
    .runsUntilStopped = true,
    .run = &Run};
