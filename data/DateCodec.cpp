#include "data/DateCodec.h"

#include "data/TextNumbers.h"
#include "protocol/WireEncoding.h"

#include <cstdio>

namespace {

constexpr std::size_t kClockLength = 14;
constexpr std::size_t kPackedDateLength = 8;
constexpr int kPackedBaseYear = 2000;
/// Years in the 6-bit field; from the PC year 2064 on the field counts from 2064.
constexpr int kPackedYearSpan = 64;
/// The 6-bit field plus the century window must stay below this.
constexpr int kPackedYearLimit = 100;

/// Decimal value of the `count` characters at 0-based `from`; -1 unless all are digits.
int DigitsAt(std::string_view text, std::size_t from, std::size_t count)
{
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

TarnDateTime ParseControllerClock(std::string_view text)
{
    if (text.size() < kClockLength)
        return {};
    const int year = DigitsAt(text, 0, 4);
    const int month = DigitsAt(text, 4, 2);
    const int day = DigitsAt(text, 6, 2);
    const int hour = DigitsAt(text, 8, 2);
    const int minute = DigitsAt(text, 10, 2);
    const int second = DigitsAt(text, 12, 2);
    return TarnDateTime::FromParts(year, month, day, hour, minute, second);
}

TarnDateTime DecodePackedDate(std::string_view text, int currentYear)
{
    if (text.size() > kPackedDateLength)
        return {};
    const uint32_t b0 = HexValueAt(text, 1, 2);
    const uint32_t b1 = HexValueAt(text, 3, 2);
    const uint32_t b2 = HexValueAt(text, 5, 2);
    const uint32_t b3 = HexValueAt(text, 7, 2);

    int yy = static_cast<int>((b0 >> 4) + ((b1 >> 6) & 0x3) * 16);
    if (currentYear % 100 > kPackedYearSpan - 1)
        yy += kPackedYearSpan;
    if (yy >= kPackedYearLimit)
        return {};

    const int month = static_cast<int>(b0 & 0x0F);
    const int day = static_cast<int>(b1 & 0x1F);
    const int hour =
        static_cast<int>(((b1 >> 5) & 0x1) * 16 + ((b2 >> 6) & 0x3) * 4 + ((b3 >> 6) & 0x3));
    const int minute = static_cast<int>(b2 & 0x3F);
    const int second = static_cast<int>(b3 & 0x3F);
    return TarnDateTime::FromParts(kPackedBaseYear + yy, month, day, hour, minute, second);
}

TarnDateTime DecodePackedDate(std::string_view text)
{
    return DecodePackedDate(text, TarnDateTime::Now().Year());
}

std::string EncodePackedDate(const TarnDateTime& value)
{
    if (value.IsZero())
        return {};
    const int year = value.Year();
    if (year < kPackedDateFirstYear || year > kPackedDateLastYear)
        return {};
    const int yy = year - kPackedBaseYear;
    const int month = value.Month();
    const int day = value.Day();
    const int hour = value.Hour();
    const int minute = value.Minute();
    const int second = value.Second();

    const int b0 = (yy & 0x0F) * 16 + (month & 0x0F);
    const int b1 = ((yy >> 4) & 0x3) * 64 + ((hour >> 4) & 0x1) * 32 + (day & 0x1F);
    const int b2 = ((hour >> 2) & 0x3) * 64 + (minute & 0x3F);
    const int b3 = (hour & 0x3) * 64 + (second & 0x3F);
    return ByteToHex(b0) + ByteToHex(b1) + ByteToHex(b2) + ByteToHex(b3);
}

std::string FormatControllerClock(const TarnDateTime& value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d%02d%02d%02d%d", value.Year(), value.Month(),
                  value.Day(), value.Hour(), value.Minute(), value.Second(), value.DayOfWeek());
    return buffer;
}
