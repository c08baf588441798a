// INI access on text in memory: a write changes one value and no other byte, and the value
// reads back.

#include "FuzzInput.h"

#include "config/IniFile.h"

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
    // The value reads back; one without blanks or quotes around it reads back as it is.
    std::string back;
    FUZZ_CHECK(IniFile::ReadText(after, section, key, back));
    const auto plain = [](char c) { return c != ' ' && c != '\t' && c != '"' && c != '\''; };
    if (value.empty() || (plain(value.front()) && plain(value.back())))
        FUZZ_CHECK(back == value);

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
