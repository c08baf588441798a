// INI access on text in memory: a write changes one value and no other byte, and the value
// reads back.

#include "FuzzInput.h"

#include "config/IniFile.h"

namespace {
std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::string section = input.Text();
    const std::string key = input.Text();
    const std::string value = input.Text();
    const std::string before(input.Rest());

    std::string read;
    IniFile::ReadText(before, section, key, read);

    std::string after = before;
    if (!IniFile::WriteText(after, section, key, value)) {
        FUZZ_CHECK(after == before);
        return 0;
    }
    // The value reads back, without the quotes that a reader takes off.
    std::string back;
    FUZZ_CHECK(IniFile::ReadText(after, section, key, back));
    std::string_view expected = Trim(value);
    if (expected.size() >= 2 && (expected.front() == '"' || expected.front() == '\'') &&
        expected.back() == expected.front())
        expected = expected.substr(1, expected.size() - 2);
    FUZZ_CHECK(back == expected);

    // Apart from one stretch, the text is the same; no line end before it was changed.
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const std::string_view removed =
        std::string_view(before).substr(prefix, before.size() - prefix - suffix);
    FUZZ_CHECK(removed.find_first_of("\r\n") == std::string_view::npos);
    return 0;
}
