// The profile compiler on any definition.

#include "FuzzInput.h"

#include "data/ProfileCompiler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const FuzzInput input(data, size);
    const std::string compiled = CompileProfile(input.Rest());
    FUZZ_CHECK(compiled.size() <= 4096);
    return 0;
}
