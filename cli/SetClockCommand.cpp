#include "cli/SetClockCommand.h"

#include "cli/CliOptions.h"
#include "cli/CommandLink.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitCode.h"
#include "controller/SetupCommands.h"
#include "data/DateCodec.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

namespace {

int Run(CommandLink& link, const CliOptions& /*options*/)
{
    Tarn_Comm& tarn = link.link();
    return link.Write(
        [&tarn](const Tarn_Inputs&, std::vector<SetupBlocks::Command>& commands, QString& errText) {
            // The clock of the controller just identified, as it reads right before it is set,
            // goes into the history with the change.
            if (tarn.Send(TarnCommand::ReadClock) && tarn.TarnData != TarnCommand::kRefusal) {
                tarn.Inputs.CPUDateTime = ParseControllerClock(tarn.TarnData);
                tarn.Inputs.MarkGiven(Tarn_Inputs::Part::Clock, TarnDateTime::Now());
            }
            std::string text;
            if (!SetupCommands::ClockText(tarn, text)) {
                errText = QStringLiteral("tarn is ending.");
                return false;
            }
            commands.push_back({TarnCommand::SetClock, text});
            return true;
        });
}

} // namespace

const CliCommand SetClockCommand::kCommand = {
    .name = "set-clock",
    .synopsis = "set-clock",
    .help = "Sets the controller's clock to the computer's.\n",
    .options = "",
    .flags = "",
    .minArguments = 0,
    .maxArguments = 0,
    .link = CliCommand::Link::Started,
    .keepsHistory = true,
    .runsUntilStopped = false,
    .run = &Run};
