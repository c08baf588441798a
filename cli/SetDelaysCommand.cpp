#include "cli/SetDelaysCommand.h"

#include "cli/CliOptions.h"
#include "cli/CommandLink.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitCode.h"
#include "controller/DisplayFormat.h"
#include "controller/SetupCommands.h"
#include "data/SetupFields.h"
#include "link/Tarn_Comm.h"

#include <array>

namespace {

int Run(CommandLink& link, const CliOptions& options)
{
    Tarn_Comm& tarn = link.link();
    static constexpr SetupFields::DelayField kFields[] = {SetupFields::DelayField::DetectorAlarm,
                                                          SetupFields::DelayField::ManualAlarm,
                                                          SetupFields::DelayField::ManualStop};
    std::array<int, 3> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const QString text = options.arguments.at(static_cast<qsizetype>(i));
        if (!SetupFields::Delay(text.toLatin1().toStdString(), values[i])) {
            ConsoleOutput::Say(
                DisplayFormat::Text(SetupFields::DelayError(kFields[i])).replace(u'\r', u'\n'));
            return ExitUsage;
        }
    }
    // The block carries the zones' messages and outputs too: SetDelays reads them first so
    // that the write leaves them as they are.
    std::string errText;
    if (!link.ReadIdentity() || !SetupCommands::SetDelays(tarn, values, errText)) {
        ConsoleOutput::Say(QString::fromLatin1("Could not update Tarn!"));
        return ExitController;
    }
    ConsoleOutput::Say(QString::fromLatin1("Tarn was updated succesfully!"));
    return ExitOk;
}

} // namespace

const CliCommand SetDelaysCommand::kCommand = {
    .name = "set-delays",
    .synopsis = "set-delays ALARM MANUAL-ALARM MANUAL-STOP",
    .help = "Sets the detector alarm, manual alarm and manual stop delays, in seconds (1 to 250).\n"
            "The zones' messages and outputs are read first and written back unchanged.\n",
    .options = "",
    .flags = "",
    .minArguments = 3,
    .maxArguments = 3,
    .link = CliCommand::Link::Started,
    .keepsHistory = true,
    .runsUntilStopped = false,
    .run = &Run};
