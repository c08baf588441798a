#include "cli/SetDelaysCommand.h"

#include "cli/CliOptions.h"
#include "cli/CommandLink.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitCode.h"
#include "controller/DisplayFormat.h"
#include "data/SetupBlocks.h"
#include "data/SetupFields.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

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
    // The block carries the zones' messages and outputs too: as the controller holds them
    // right before the write.
    const int16_t voltageSwitch = tarn.DetectorVoltageSwitch;
    return link.Write([values, voltageSwitch](const Tarn_Inputs& record,
                                              std::vector<SetupBlocks::Command>& commands,
                                              QString&) {
        SetupBlocks::Delays block = SetupBlocks::DelaysOf(record, voltageSwitch);
        block.detectorAlarm = values[0];
        block.manualAlarm = values[1];
        block.manualStop = values[2];
        commands.push_back({TarnCommand::SetDelays, SetupBlocks::DelaysBlock(block)});
        return true;
    });
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
