#include "cli/DeleteLogCommand.h"

#include "cli/CliOptions.h"
#include "cli/CommandLink.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitCode.h"
#include "controller/SetupCommands.h"
#include "link/Tarn_Comm.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace {

int Run(CommandLink& link, const CliOptions& options)
{
    Tarn_Comm& tarn = link.link();
    if (!options.yes) {
        std::fputs("Delete all stored log events? [y/N] ", stderr);
        std::fflush(stderr);
        std::string answer;
        if (!std::getline(std::cin, answer) ||
            (answer != "y" && answer != "Y" && answer != "yes")) {
            ConsoleOutput::Say(QStringLiteral("Nothing deleted."));
            return ExitOk;
        }
    }
    if (!link.ReadIdentity() || !SetupCommands::DeleteLog(tarn)) {
        ConsoleOutput::Say(QString::fromLatin1("Could not update Tarn!"));
        return ExitController;
    }
    ConsoleOutput::Say(QString::fromLatin1("Tarn was updated succesfully!"));
    return ExitOk;
}

} // namespace

const CliCommand DeleteLogCommand::kCommand = {
    .name = "delete-log",
    .synopsis = "delete-log [--yes]",
    .help = "Deletes all events stored in the controller, after asking (not with --yes).\n"
            "  --yes          do not ask\n",
    .options = "yes",
    .flags = "",
    .minArguments = 0,
    .maxArguments = 0,
    .link = CliCommand::Link::Started,
    .keepsHistory = true,
    .runsUntilStopped = false,
    .run = &Run};
