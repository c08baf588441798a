// Every reply decoder, on any reply data.

#include "FuzzInput.h"

#include "data/EventLog.h"
#include "data/Tarn_Inputs.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const int currentYear = 2000 + input.Byte() % 100;
    const std::string reply(input.Rest());
    Tarn_Inputs record;
    record.ResolveInputs(reply);
    record.ResolveDelays(reply);
    record.ResolveAdminData(reply);
    FUZZ_CHECK(std::isfinite(record.TemperatureCelsius));
    const Tarn_Inputs event = DecodeLogEvent(reply, currentYear);
    FUZZ_CHECK(event.LogTemperatureCelsius >= -128 && event.LogTemperatureCelsius <= 127);
    FUZZ_CHECK(!event.LogText.empty());
    return 0;
}
