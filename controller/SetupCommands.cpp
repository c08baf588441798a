#include "controller/SetupCommands.h"

#include "data/SetupBlocks.h"
#include "data/TarnDateTime.h"
#include "eventloop/EventWait.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

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
