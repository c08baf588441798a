#include "config/CIniFile.h"
#include "config/AsciiText.h"

#include "config/IniFile.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string_view>

namespace {

/// Largest magnitude whose whole numbers a double still holds exactly.
constexpr double kExactWholeLimit = 9007199254740992.0;

std::string TypeCode(const std::string& type)
{
    return Upper(std::string_view(type).substr(0, 2));
}

/// A number written as text: decimal with "." (sign and exponent allowed), or the "&H" and
/// "&O" forms that hexadecimal and octal writes produce. Blanks around are allowed.
std::optional<double> ParseNumber(std::string_view text)
{
    text = Trimmed(text);
    if (text.empty())
        return std::nullopt;
    if (text.size() > 2 && text[0] == '&') {
        const char radixLetter = AsciiUpper(text[1]);
        const int radix = radixLetter == 'H' ? 16 : radixLetter == 'O' ? 8 : 0;
        if (radix == 0)
            return std::nullopt;
        uint64_t value = 0;
        const char* first = text.data() + 2;
        const char* last = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(first, last, value, radix);
        if (ec != std::errc() || ptr != last)
            return std::nullopt;
        // Up to 32 bits the forms are two's complement, as the writes produce them.
        if (value > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) &&
            value <= std::numeric_limits<uint32_t>::max())
            return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)));
        return static_cast<double>(value);
    }
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '+' || text.front() == '-')
        return std::nullopt;
    double value = 0;
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), last, value);
    if (ec != std::errc() || ptr != last || !std::isfinite(value))
        return std::nullopt;
    return negative ? -value : value;
}

std::string FormatGeneralNumber(double value)
{
    if (value == std::nearbyint(value) && std::fabs(value) < kExactWholeLimit)
        return std::to_string(static_cast<int64_t>(value));
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

std::string FormatCurrency(double value)
{
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    return std::string(buffer, result.ptr);
}

// Days since 1970-01-01 of a civil date and back (proleptic Gregorian calendar).
constexpr int64_t DaysFromCivil(int64_t y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

/// Day number of the zero date 1899-12-30 counted from 1970-01-01.
constexpr int64_t kZeroDateDays = DaysFromCivil(1899, 12, 30);
constexpr double kSecondsPerDay = 86400.0;
/// Dates an INI value can hold: four-digit years.
constexpr int kFirstYear = 100;
constexpr int kLastYear = 9999;

bool IsValid(const IniDateTime& dt)
{
    if (dt.year < kFirstYear || dt.year > kLastYear || dt.month < 1 || dt.month > 12 ||
        dt.day < 1 || dt.hour < 0 || dt.hour > 23 || dt.minute < 0 || dt.minute > 59 ||
        dt.second < 0 || dt.second > 59)
        return false;
    int y = 0, m = 0, d = 0;
    CivilFromDays(DaysFromCivil(dt.year, dt.month, dt.day), y, m, d);
    return y == dt.year && m == dt.month && d == dt.day;
}

/// The date as a day count from the zero date with the time of day as fraction; before the
/// zero date the fraction still counts forward into the day.
double ToSerial(const IniDateTime& dt)
{
    const double days =
        static_cast<double>(DaysFromCivil(dt.year, dt.month, dt.day) - kZeroDateDays);
    const double fraction = (dt.hour * 3600 + dt.minute * 60 + dt.second) / kSecondsPerDay;
    return days < 0 ? days - fraction : days + fraction;
}

std::optional<IniDateTime> FromSerial(double serial)
{
    const double whole = std::trunc(serial);
    if (!std::isfinite(serial) || std::fabs(whole) > 3.0e6)
        return std::nullopt;
    auto seconds = static_cast<int64_t>(std::llround(std::fabs(serial - whole) * kSecondsPerDay));
    auto days = static_cast<int64_t>(whole) + kZeroDateDays;
    if (seconds >= static_cast<int64_t>(kSecondsPerDay)) {
        seconds -= static_cast<int64_t>(kSecondsPerDay);
        days += serial < 0 ? -1 : 1;
    }
    IniDateTime dt;
    CivilFromDays(days, dt.year, dt.month, dt.day);
    dt.hour = static_cast<int>(seconds / 3600);
    dt.minute = static_cast<int>(seconds / 60 % 60);
    dt.second = static_cast<int>(seconds % 60);
    if (!IsValid(dt))
        return std::nullopt;
    return dt;
}

std::string Digits(int value, int width)
{
    std::string text = std::to_string(value);
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    return text;
}

std::string ShortDate(const IniDateTime& dt)
{
    return Digits(dt.year, 4) + "-" + Digits(dt.month, 2) + "-" + Digits(dt.day, 2);
}

std::string ShortTime(const IniDateTime& dt)
{
    return Digits(dt.hour, 2) + ":" + Digits(dt.minute, 2);
}

std::string LongTime(const IniDateTime& dt)
{
    return Digits(dt.hour, 2) + ":" + Digits(dt.minute, 2) + ":" + Digits(dt.second, 2);
}

/// The variant as a number: numbers as they are, numeric texts converted, true as -1.
std::optional<double> AsNumber(const IniVariant& value)
{
    if (const auto* i = std::get_if<int64_t>(&value))
        return static_cast<double>(*i);
    if (const auto* d = std::get_if<double>(&value))
        return std::isfinite(*d) ? std::optional<double>(*d) : std::nullopt;
    if (const auto* b = std::get_if<bool>(&value))
        return *b ? -1.0 : 0.0;
    if (const auto* s = std::get_if<std::string>(&value))
        return ParseNumber(*s);
    if (const auto* dt = std::get_if<IniDateTime>(&value))
        return IsValid(*dt) ? std::optional<double>(ToSerial(*dt)) : std::nullopt;
    return std::nullopt;
}

/// The variant as a whole number for the hexadecimal and octal forms; an empty value is 0.
std::optional<int64_t> AsWholeNumber(const IniVariant& value)
{
    if (std::holds_alternative<std::monostate>(value))
        return 0;
    if (const auto* i = std::get_if<int64_t>(&value))
        return *i;
    const auto number = AsNumber(value);
    if (!number)
        return std::nullopt;
    const double rounded = std::nearbyint(*number);
    if (std::fabs(rounded) >= kExactWholeLimit)
        return std::nullopt;
    return static_cast<int64_t>(rounded);
}

/// Negative numbers in the radix forms are shown as their 32-bit two's complement when they
/// fit in 32 bits, else as the 64-bit one.
uint64_t RadixBits(int64_t value)
{
    if (value < 0 && value >= std::numeric_limits<int32_t>::min())
        return static_cast<uint32_t>(static_cast<int32_t>(value));
    return static_cast<uint64_t>(value);
}

std::string ToRadix(uint64_t value, int radix)
{
    char buffer[70];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, radix);
    return Upper(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

std::optional<std::string> NumberText(const IniVariant& value)
{
    if (std::holds_alternative<std::monostate>(value))
        return std::string();
    if (const auto* s = std::get_if<std::string>(&value)) {
        // A text that is not a number is written as it is.
        const auto number = ParseNumber(*s);
        return number ? FormatGeneralNumber(*number) : *s;
    }
    if (const auto* i = std::get_if<int64_t>(&value))
        return std::to_string(*i);
    const auto number = AsNumber(value);
    if (!number)
        return std::nullopt;
    return FormatGeneralNumber(*number);
}

std::optional<std::string> CurrencyText(const IniVariant& value)
{
    if (std::holds_alternative<std::monostate>(value))
        return std::string();
    if (const auto* s = std::get_if<std::string>(&value)) {
        const auto number = ParseNumber(*s);
        return number ? FormatCurrency(*number) : *s;
    }
    const auto number = AsNumber(value);
    if (!number)
        return std::nullopt;
    return FormatCurrency(*number);
}

bool IsTrueValue(const IniVariant& value)
{
    if (const auto* b = std::get_if<bool>(&value))
        return *b;
    if (const auto* s = std::get_if<std::string>(&value)) {
        if (Upper(Trimmed(*s)) == "TRUE")
            return true;
        const auto number = ParseNumber(*s);
        return number && *number == -1.0;
    }
    const auto number = AsNumber(value);
    return number && *number == -1.0;
}

/// The date of a date value, of a day count, or nothing for values that are neither.
std::optional<IniDateTime> AsDate(const IniVariant& value)
{
    if (const auto* dt = std::get_if<IniDateTime>(&value))
        return IsValid(*dt) ? std::optional<IniDateTime>(*dt) : std::nullopt;
    if (std::holds_alternative<int64_t>(value) || std::holds_alternative<double>(value)) {
        const auto number = AsNumber(value);
        return number ? FromSerial(*number) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> DateOrTimeText(const IniVariant& value, bool date)
{
    if (std::holds_alternative<std::monostate>(value))
        return std::string();
    if (const auto* s = std::get_if<std::string>(&value))
        return *s;
    const auto dt = AsDate(value);
    if (!dt)
        return std::nullopt;
    return date ? ShortDate(*dt) : ShortTime(*dt);
}

/// The text written for the value under the type code; nothing when the value cannot be
/// written in that form.
std::optional<std::string> ValueText(const IniVariant& value, const std::string& code)
{
    if (code == "ST")
        return IniVariantToText(value);
    if (code == "IN" || code == "LO" || code == "SI" || code == "DO")
        return NumberText(value);
    if (code == "BO")
        return std::string(IsTrueValue(value) ? "True" : "False");
    if (code == "CU")
        return CurrencyText(value);
    if (code == "HE" || code == "OC") {
        const auto whole = AsWholeNumber(value);
        if (!whole)
            return std::nullopt;
        return code == "HE" ? "&H" + ToRadix(RadixBits(*whole), 16)
                            : "&O" + ToRadix(RadixBits(*whole), 8);
    }
    if (code == "DA")
        return DateOrTimeText(value, true);
    if (code == "TI")
        return DateOrTimeText(value, false);
    return std::string();
}

} // namespace

IniVariant CIniFile::UT_IniRead(const std::string& tSectionName, const std::string& tItemName,
                                const std::string& tItemType, const std::string& tFileName) const
{
    std::string raw;
    IniFile::Read(tFileName, tSectionName, tItemName, raw);
    if (raw.size() > kMaxValueLength)
        raw.resize(kMaxValueLength);
    const std::string text(Trimmed(raw));

    const std::string code = TypeCode(tItemType);
    if (code == "ST" || code == "CU")
        return text;
    if (code == "IN" || code == "LO" || code == "SI" || code == "DO") {
        if (text.empty())
            return int64_t{0};
        return text;
    }
    if (code == "BO")
        return !text.empty() && AsciiUpper(text.front()) == 'T';
    return std::monostate{};
}

bool CIniFile::UT_IniWrite(const std::string& tSectionName, const std::string& tItemName,
                           const IniVariant& vntItemValue, const std::string& tItemType,
                           const std::string& tFileName) const
{
    if (Upper(Trimmed(tItemType)) == "KILLSECTION")
        return IniFile::DeleteSection(tFileName, tSectionName);
    if (tItemType.size() < 2)
        return false;
    const auto text = ValueText(vntItemValue, TypeCode(tItemType));
    if (!text)
        return false;
    return IniFile::Write(tFileName, tSectionName, tItemName, std::string(Trimmed(*text)));
}

int16_t IniVariantToInt16(const IniVariant& value, bool* ok)
{
    std::optional<double> number;
    if (const auto* i = std::get_if<int64_t>(&value))
        number = static_cast<double>(*i);
    else if (const auto* d = std::get_if<double>(&value))
        number = std::isfinite(*d) ? std::optional<double>(*d) : std::nullopt;
    else if (const auto* s = std::get_if<std::string>(&value))
        number = ParseNumber(*s);

    if (number) {
        const double rounded = std::nearbyint(*number);
        if (rounded >= std::numeric_limits<int16_t>::min() &&
            rounded <= std::numeric_limits<int16_t>::max()) {
            if (ok)
                *ok = true;
            return static_cast<int16_t>(rounded);
        }
    }
    if (ok)
        *ok = false;
    return 0;
}

std::string IniVariantToText(const IniVariant& value)
{
    if (const auto* s = std::get_if<std::string>(&value))
        return *s;
    if (const auto* i = std::get_if<int64_t>(&value))
        return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&value))
        return std::isfinite(*d) ? FormatGeneralNumber(*d) : std::string();
    if (const auto* b = std::get_if<bool>(&value))
        return *b ? "True" : "False";
    if (const auto* dt = std::get_if<IniDateTime>(&value)) {
        const bool hasTime = dt->hour != 0 || dt->minute != 0 || dt->second != 0;
        return hasTime ? ShortDate(*dt) + " " + LongTime(*dt) : ShortDate(*dt);
    }
    return {};
}
