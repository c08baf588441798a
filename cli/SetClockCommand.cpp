#include "cli/SetClockCommand.h"

#include "cli/CliOptions.h"
#include "cli/CommandLink.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitCode.h"
#include "controller/SetupCommands.h"
#include "link/Tarn_Comm.h"

namespace {

int Run(CommandLink& link, const CliOptions& /*options*/)
{
    Tarn_Comm& tarn = link.link();
    if (!link.ReadIdentity() || !SetupCommands::SetClock(tarn)) {
        ConsoleOutput::Say(QString::fromLatin1("Could not update Tarn!"));
        return ExitController;
    }
    ConsoleOutput::Say(QString::fromLatin1("Tarn was updated succesfully!"));
    return ExitOk;
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
