#include "controller/SetupCommands.h"

#include "data/TarnDateTime.h"
#include "eventloop/EventWait.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

bool SetupCommands::Send(Tarn_Comm& link, const std::vector<SetupBlocks::Command>& commands)
{
    for (const SetupBlocks::Command& command : commands) {
        if (!link.Send(command.code, command.data))
            return false;
    }
    return true;
}

bool SetupCommands::ReadDelays(Tarn_Comm& link, std::string& errText)
{
    if (!link.Send(TarnCommand::ReadDelays)) {
        errText = "The settings that the write leaves as they are could not be read from Tarn "
                  "first: nothing was sent. " +
                  link.lastError().toStdString();
        return false;
    }
    link.Inputs.ResolveDelays(link.TarnData);
    return true;
}

bool SetupCommands::SetDelays(Tarn_Comm& link, const std::array<int, 3>& delays,
                              std::string& errText)
{
    if (!ReadDelays(link, errText))
        return false;
    Tarn_Inputs& inputs = link.Inputs;
    SetupBlocks::Delays block = SetupBlocks::DelaysOf(inputs, link.DetectorVoltageSwitch);
    block.detectorAlarm = delays[0];
    block.manualAlarm = delays[1];
    block.manualStop = delays[2];
    // A failed write is told on the status line, as for every other command.
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
