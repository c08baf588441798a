#include "cli/StatusCommand.h"

#include "cli/CliOptions.h"
#include "cli/CommandLink.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitCode.h"
#include "cli/StatusJson.h"
#include "controller/DisplayFormat.h"
#include "controller/StatusText.h"
#include "data/TarnDateTime.h"
#include "link/Tarn_Comm.h"

namespace {

int Run(CommandLink& link, const CliOptions& options)
{
    Tarn_Comm& tarn = link.link();
    bool complete = false;
    if (!link.ReadStatus(&complete))
        return ExitController;
    bool written = false;
    if (options.json) {
        written = ConsoleOutput::Emit(options.output, StatusJson::Text(tarn.Inputs), false);
    } else {
        const TarnDateTime now = TarnDateTime::Now();
        const std::string pcTime = DisplayFormat::Latin1Text(
            DisplayFormat::GeneralDateTime(now), DisplayFormat::GeneralDateTime(now, QLocale::c()));
        written =
            ConsoleOutput::Emit(options.output, StatusText::Report(tarn.Inputs).Text(pcTime), true);
    }
    if (!written)
        return ExitOutput;
    // A request of the cycle that failed or was refused leaves a part of the report unread.
    return complete ? ExitOk : ExitController;
}

} // namespace

const CliCommand StatusCommand::kCommand = {
    .name = "status",
    .synopsis = "status [--json] [--output FILE]",
    .help =
        "Reads the controller's status (version, clock, inputs, delays, zone profiles and, from\n"
        "firmware 2.07, the administrative data) and prints it as the status report (tarn.sts).\n"
        "  --json         one JSON object with typed fields instead\n"
        "  --output FILE  write the report (or the JSON) to FILE instead of standard output\n",
    .options = "json output",
    .flags = "",
    .minArguments = 0,
    .maxArguments = 0,
    .link = CliCommand::Link::Started,
    .keepsHistory = true,
    .runsUntilStopped = false,
    .run = &Run};
