#include "cli/DeleteLogCommand.h"

#include "cli/CliOptions.h"
#include "cli/CommandLink.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitCode.h"
#include "data/SetupBlocks.h"
#include "protocol/CommandCodes.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace {

int Run(CommandLink& link, const CliOptions& options)
{
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
    return link.Write(
        [](const Tarn_Inputs&, std::vector<SetupBlocks::Command>& commands, QString&) {
            commands.push_back({TarnCommand::LogControl, SetupBlocks::ClearLogData()});
            return true;
        });
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
