#include "data/ExportText.h"

#include "config/IniEncoding.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace ExportText {

namespace {
constexpr int kSignificantDigits = 12;
constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerHour = 3600;
} // namespace

double Rounded(double value)
{
    if (!std::isfinite(value) || value == 0)
        return value == 0 ? 0.0 : value; // no "-0"
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", kSignificantDigits, value);
    return std::strtod(text, nullptr);
}

std::string Number(double value)
{
    const double rounded = Rounded(value);
    char text[40];
    // The shortest of the fixed forms that reads back as the same value.
    for (int decimals = 0; decimals <= kSignificantDigits; ++decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, rounded);
        if (std::strtod(text, nullptr) == rounded)
            return text;
    }
    std::snprintf(text, sizeof text, "%.17g", rounded);
    return text;
}

std::string ControllerTime(const TarnDateTime& time)
{
    if (time.IsZero())
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", time.Year(), time.Month(),
                  time.Day(), time.Hour(), time.Minute(), time.Second());
    return text;
}

std::string PcTime(int64_t utcSecondsSinceEpoch, int offsetSeconds)
{
    using namespace std::chrono;
    const sys_seconds local{seconds(utcSecondsSinceEpoch + offsetSeconds)};
    const sys_days day = floor<days>(local);
    const year_month_day date(day);
    const hh_mm_ss<seconds> clock(local - day);
    const int offset = std::abs(offsetSeconds);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d%c%02d:%02d",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), offsetSeconds < 0 ? '-' : '+',
                  offset / kSecondsPerHour, offset % kSecondsPerHour / kSecondsPerMinute);
    return text;
}

std::string Latin1ToUtf8(std::string_view latin1)
{
    return IniEncoding::Latin1ToUtf8(latin1);
}

std::string TsvCell(std::string_view text)
{
    std::string cell(text);
    for (char& c : cell)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return cell;
}

} // namespace ExportText
