#include "controller/SetupCommands.h"

#include "data/TarnDateTime.h"
#include "protocol/CommandCodes.h"
#include "eventloop/EventWait.h"
#include "link/Tarn_Comm.h"

bool SetupCommands::Send(Tarn_Comm& link, const std::vector<SetupBlocks::Command>& commands)
{
    for (const SetupBlocks::Command& command : commands) {
        if (!link.Send(command.code, command.data))
            return false;
    }
    return true;
}

bool SetupCommands::SetDelays(Tarn_Comm& link, const std::array<int, 3>& delays)
{
    Tarn_Inputs& inputs = link.Inputs;
    SetupBlocks::Delays block = SetupBlocks::DelaysOf(inputs, link.DetectorVoltageSwitch);
    block.detectorAlarm = delays[0];
    block.manualAlarm = delays[1];
    block.manualStop = delays[2];
    if (!link.Send(TarnCommand::SetDelays, SetupBlocks::DelaysBlock(block)))
        return false;
    inputs.DetectorAlarmDelay = delays[0];
    inputs.ManualAlarmDelay = delays[1];
    inputs.ManualStopDelay = delays[2];
    return true;
}

bool SetupCommands::ClockText(const Tarn_Comm& link, std::string& text)
{
    // A clock text whose frame Tarn would cut short is not sent; the next second's is.
    text = SetupBlocks::ClockText(TarnDateTime::Now());
    while (SetupBlocks::EndsEarly(link.Address, link.PCAddress, TarnCommand::SetClock, text)) {
        if (!WaitProcessingEvents(kClockRetryPause))
            return false;
        text = SetupBlocks::ClockText(TarnDateTime::Now());
    }
    return true;
}

bool SetupCommands::SetClock(Tarn_Comm& link)
{
    std::string text;
    return ClockText(link, text) && link.Send(TarnCommand::SetClock, text);
}

bool SetupCommands::SetAdmin(Tarn_Comm& link, const SetupBlocks::Admin& admin, bool& refused)
{
    std::string block;
    refused = !SetupBlocks::AdminBlock(admin, block);
    return !refused && link.Send(TarnCommand::SetAdminData, block);
}

bool SetupCommands::DeleteLog(Tarn_Comm& link)
{
    return link.Send(TarnCommand::LogControl, SetupBlocks::ClearLogData());
}
