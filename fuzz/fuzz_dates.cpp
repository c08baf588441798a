// The controller clock and the packed dates, with round trips for the dates they give.

#include "FuzzInput.h"

#include "data/DateCodec.h"
#include "data/SetupBlocks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const int currentYear = 2000 + input.Byte() % 100;
    const std::string text(input.Rest());

    const TarnDateTime clock = ParseControllerClock(text);
    if (!clock.IsZero()) {
        // The clock text that the set-clock command sends reads back as the same time.
        FUZZ_CHECK(ParseControllerClock(SetupBlocks::ClockText(clock)) == clock);
    }

    const TarnDateTime packed = DecodePackedDate(text, currentYear);
    if (!packed.IsZero()) {
        const std::string encoded = EncodePackedDate(packed);
        if (!encoded.empty())
            FUZZ_CHECK(DecodePackedDate(encoded, packed.Year()) == packed);
    }
    return 0;
}
