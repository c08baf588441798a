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
        const std::string sent = SetupBlocks::ClockText(clock);
        FUZZ_CHECK(sent.size() == 15);
        FUZZ_CHECK(ParseControllerClock(sent) == clock);
        FUZZ_CHECK(sent[14] == static_cast<char>('0' + clock.DayOfWeek()));
    }

    const TarnDateTime packed = DecodePackedDate(text, currentYear);
    if (!packed.IsZero()) {
        const std::string encoded = EncodePackedDate(packed);
        if (!encoded.empty())
            FUZZ_CHECK(DecodePackedDate(encoded, packed.Year()) == packed);
    }
    return 0;
}
