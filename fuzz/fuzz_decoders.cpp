// Every reply decoder, on any reply data.

#include "FuzzInput.h"

#include "data/EventLog.h"
#include "data/Tarn_Inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const int currentYear = 2000 + input.Byte() % 100;
    const std::string reply(input.Rest());
    Tarn_Inputs record;
    record.ResolveInputs(reply);
    record.ResolveDelays(reply);
    record.ResolveAdminData(reply);
    DecodeLogEvent(reply, currentYear);
    return 0;
}
