// The catalogue loaders on any Tarn.INI text.

#include "FuzzInput.h"

#include "data/Catalogues.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const double version = input.Byte() / 40.0;
    const std::string text(input.Rest());
    std::string errText;
    if (!LoadCatalogueText(text, errText))
        FUZZ_CHECK(!errText.empty());
    errText.clear();
    if (!LoadEventCodesText(version, text, errText))
        FUZZ_CHECK(!errText.empty());
    return 0;
}
