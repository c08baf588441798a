#include "cli/WatchInputsCommand.h"

#include "cli/CliOptions.h"
#include "cli/CommandLink.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitCode.h"
#include "cli/InterruptFlag.h"
#include "controller/OutputControl.h"
#include "eventloop/EventWait.h"
#include "link/Tarn_Comm.h"

#include <QDateTime>
#include <QStringList>

namespace {

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

int Run(CommandLink& link, const CliOptions& /*options*/)
{
    Tarn_Comm& tarn = link.link();
    if (!OutputControl::EnterTestMode(tarn))
        return ExitController;
    int ticks = 0;
    QString shown;
    // A scan or renewal that got no answer (but for one cut short by Ctrl+C) ends in exit 1.
    bool failed = false;
    while (!InterruptFlag::IsSet()) {
        if (++ticks > OutputControl::kRenewalTicks) {
            ticks = OutputControl::EnterTestMode(tarn) ? 0 : 1;
            failed = failed || (ticks != 0 && !InterruptFlag::IsSet());
        }
        if (InterruptFlag::IsSet())
            break;
        const bool scanned = OutputControl::ScanInputs(tarn);
        failed = failed || (!scanned && !InterruptFlag::IsSet());
        if (scanned) {
            const QString states = InputStates(tarn.Inputs);
            if (states != shown) {
                shown = states;
                if (!ConsoleOutput::Print(
                        QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz ")) +
                        states + u'\n')) {
                    OutputControl::AllOffAnswered(tarn);
                    return ExitOutput;
                }
            }
        }
        if (!WaitProcessingEvents(OutputControl::kScanInterval))
            break;
    }
    return OutputControl::AllOffAnswered(tarn) && !failed ? ExitOk : ExitController;
}

} // namespace

const CliCommand WatchInputsCommand::kCommand = {
    .name = "watch-inputs",
    .synopsis = "watch-inputs",
    .help =
        "Puts the controller into test mode (renewed while watching) and prints the detector and\n"
        "manual release inputs each time they change, until Ctrl+C; then all outputs are off.\n",
    .options = "",
    .flags = "",
    .minArguments = 0,
    .maxArguments = 0,
    .link = CliCommand::Link::Started,
    .keepsHistory = false,
    .runsUntilStopped = true,
    .run = &Run};
