#include "data/TextNumbers.h"

#include "config/AsciiText.h"
#include "protocol/WireEncoding.h"

#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

uint32_t HexValue(std::string_view text)
{
    uint64_t value = 0;
    for (const char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            break;
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > std::numeric_limits<uint32_t>::max())
            return std::numeric_limits<uint32_t>::max();
    }
    return static_cast<uint32_t>(value);
}

uint32_t HexValueAt(std::string_view text, std::size_t position, std::size_t count)
{
    if (position < 1 || position > text.size())
        return 0;
    return HexValue(text.substr(position - 1, count));
}

double LeadingNumber(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t start = pos;
    bool significantIntegerDigits = false;
    while (pos < text.size() && IsDigit(text[pos])) {
        significantIntegerDigits = significantIntegerDigits || text[pos] != '0';
        ++pos;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && IsDigit(text[pos]))
            ++pos;
    }
    const std::string_view number = text.substr(start, pos - start);
    if (number.empty() || number == ".")
        return 0;

    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::fixed);
    if (result.ec == std::errc::result_out_of_range)
        value = significantIntegerDigits ? DBL_MAX : 0.0;
    else if (result.ec != std::errc())
        value = 0;
    return negative ? -value : value;
}

int16_t ParseProfileId(std::string_view text)
{
    uint32_t low16 = 0;
    for (const char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            break;
        low16 = ((low16 << 4) | static_cast<uint32_t>(digit)) & 0xFFFFu;
    }
    return static_cast<int16_t>(static_cast<uint16_t>(low16));
}

std::string FormatVersionNumber(double version)
{
    constexpr int kSignificantDigits = 15;
    std::array<char, 64> buffer{};
    const double magnitude = std::fabs(version);
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                      std::chars_format::general, kSignificantDigits);
    std::string digits(buffer.data(), result.ptr);
    return (std::signbit(version) && magnitude != 0 ? "-" : " ") + digits;
}

std::string DecimalText(long long value)
{
    return std::to_string(value);
}
