#include "cli/OutputsCommand.h"

#include "cli/CliOptions.h"
#include "cli/CommandLink.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitCode.h"
#include "cli/InterruptFlag.h"
#include "controller/HistoryRecorder.h"
#include "controller/OutputControl.h"
#include "eventloop/EventWait.h"
#include "link/Tarn_Comm.h"

#include <algorithm>
#include <chrono>

#include <unistd.h>

namespace {

/// How often a wait looks whether Ctrl+C was pressed.
constexpr std::chrono::milliseconds kInterruptCheck{100};

int Run(CommandLink& link, const CliOptions& options)
{
    Tarn_Comm& tarn = link.link();
    if (options.arguments == QStringList{QStringLiteral("off")}) {
        if (options.forSeconds > 0) {
            ConsoleOutput::Say(QStringLiteral("tarn: outputs off does not take --for"));
            return ExitUsage;
        }
        return OutputControl::AllOffAnswered(tarn) ? ExitOk : ExitController;
    }
    Tarn_Outputs& outputs = tarn.OutPuts;
    outputs = Tarn_Outputs();
    for (const QString& argument : options.arguments) {
        const QString name = argument.section(u'=', 0, 0);
        const QString value = argument.section(u'=', 1);
        if (!argument.contains(u'=') ||
            !OutputControl::SetByName(outputs, name.toStdString(), value.toStdString())) {
            ConsoleOutput::Say(QStringLiteral("tarn: %1 is not NAME=0 or NAME=1 with a NAME of %2")
                                   .arg(argument, QString::fromStdString(OutputControl::Names())));
            return ExitUsage;
        }
    }
    Tarn_Outputs none;
    const bool anyOn = outputs.STU_Data() != none.STU_Data();
    // A timed test is a function test: the history keeps it (filed once the outputs are off).
    if (options.forSeconds > 0 && anyOn)
        link.OpenHistory();
    const bool sent = OutputControl::SendOutputs(tarn);
    if (sent && link.recorder()) {
        QStringList names;
        for (const std::string& name : OutputControl::OnNames(outputs))
            names << QString::fromStdString(name);
        link.recorder()->BeginFunctionTest(names);
    }
    if (options.forSeconds == 0) {
        if (sent && anyOn)
            ConsoleOutput::Say(
                QStringLiteral("tarn: the outputs stay on until they are switched off "
                               "(tarn outputs off)."));
        return sent ? ExitOk : ExitController;
    }
    // A word whose reply was lost may have switched the outputs on all the same: they go
    // off in any case.
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(options.forSeconds);
    // On a terminal the seconds left count down on one line; into a file or a pipe nothing.
    const bool countdown = sent && isatty(STDERR_FILENO) != 0;
    long long shown = -1;
    QByteArray line;
    while (sent && !InterruptFlag::IsSet() && std::chrono::steady_clock::now() < end) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        const long long seconds = (left.count() + 999) / 1000;
        if (countdown && seconds != shown) {
            shown = seconds;
            line = QStringLiteral("tarn: outputs on, %1 s left ").arg(seconds).toLocal8Bit();
            ConsoleOutput::WriteStream(stderr, '\r' + line);
        }
        if (!WaitProcessingEvents(std::min(left, kInterruptCheck)))
            break;
    }
    if (countdown)
        ConsoleOutput::WriteStream(stderr, '\r' + QByteArray(line.size(), ' ') + '\r');
    const bool off = OutputControl::AllOffAnswered(tarn);
    // The history files the test under the controller that ran it: asked after the off word.
    bool filed = true;
    if (HistoryRecorder* recorder = link.recorder(); recorder && recorder->functionTestRunning()) {
        recorder->FunctionTestOff();
        filed = link.ReadIdentity();
        if (filed)
            recorder->EndFunctionTest();
        else
            ConsoleOutput::Say(QStringLiteral("tarn: the test is not kept in the service "
                                              "history: Tarn could not be identified after it."));
    }
    if (InterruptFlag::IsSet()) {
        const auto elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
        ConsoleOutput::Say(
            QStringLiteral("Stopped after %1 s: %2")
                .arg(elapsed.count(), 0, 'f', 1)
                .arg(off ? QStringLiteral("all outputs are off.")
                         : QStringLiteral("the outputs could not be switched off!")));
    }
    return sent && off && filed ? ExitOk : ExitController;
}

} // namespace

const CliCommand OutputsCommand::kCommand = {
    .name = "outputs",
    .synopsis = "outputs NAME=0|1 ... [--for SECONDS] | off",
    .help =
        "Sets the controller's outputs with one set-outputs command; outputs not named are off.\n"
        "Names: pump valve1 valve2 buzzer alarm extra1 extra2 extra3 extra4.\n"
        "Without --for, outputs switched on stay on until they are switched off.\n"
        "  --for SECONDS  switch every output off again after SECONDS (1 to 86400), or at once\n"
        "                 on Ctrl+C; on a terminal the seconds left count down\n"
        "  off            switch every output off\n",
    .options = "for",
    .flags = "",
    .minArguments = 1,
    .maxArguments = 64,
    .link = CliCommand::Link::Started,
    .keepsHistory = false,
    .runsUntilStopped = false,
    .run = &Run};
