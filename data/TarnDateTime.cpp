#include "data/TarnDateTime.h"

#include <chrono>
#include <ctime>

namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int kFirstYear = 1;
constexpr int kLastYear = 9999;
/// Days from 1970-01-01 back to the zero date 1899-12-30.
constexpr int64_t kZeroDateDaysFromEpoch = -25569;

int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

int64_t FloorMod(int64_t a, int64_t b)
{
    return a - FloorDiv(a, b) * b;
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

/// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const int64_t era = FloorDiv(y, 400);
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Civil
{
    int64_t year;
    int month;
    int day;
};

Civil CivilFromDays(int64_t z)
{
    z += 719468;
    const int64_t era = FloorDiv(z, 146097);
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

} // namespace

int TarnDateTime::DaysInMonth(int year, int month)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    if (month == 2 && IsLeapYear(year))
        return 29;
    return kDays[month - 1];
}

bool TarnDateTime::IsValid(int year, int month, int day, int hour, int minute, int second)
{
    if (year < kFirstYear || year > kLastYear)
        return false;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

TarnDateTime TarnDateTime::FromParts(int year, int month, int day, int hour, int minute, int second)
{
    if (!IsValid(year, month, day, hour, minute, second))
        return {};
    const int64_t days = DaysFromCivil(year, month, day) - kZeroDateDaysFromEpoch;
    return FromSecondsSinceZero(days * kSecondsPerDay + hour * 3600 + minute * 60 + second);
}

TarnDateTime TarnDateTime::FromSecondsSinceZero(int64_t seconds)
{
    TarnDateTime value;
    value.m_seconds = seconds;
    return value;
}

TarnDateTime TarnDateTime::Now()
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &now) != 0)
        return {};
#else
    if (localtime_r(&now, &local) == nullptr)
        return {};
#endif
    return FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                     local.tm_min, local.tm_sec < 60 ? local.tm_sec : 59);
}

int TarnDateTime::Year() const
{
    const int64_t days = FloorDiv(m_seconds, kSecondsPerDay) + kZeroDateDaysFromEpoch;
    return static_cast<int>(CivilFromDays(days).year);
}

int TarnDateTime::Month() const
{
    const int64_t days = FloorDiv(m_seconds, kSecondsPerDay) + kZeroDateDaysFromEpoch;
    return CivilFromDays(days).month;
}

int TarnDateTime::Day() const
{
    const int64_t days = FloorDiv(m_seconds, kSecondsPerDay) + kZeroDateDaysFromEpoch;
    return CivilFromDays(days).day;
}

int TarnDateTime::SecondsOfDay() const
{
    return static_cast<int>(FloorMod(m_seconds, kSecondsPerDay));
}

int TarnDateTime::Hour() const
{
    return SecondsOfDay() / 3600;
}

int TarnDateTime::Minute() const
{
    return SecondsOfDay() / 60 % 60;
}

int TarnDateTime::Second() const
{
    return SecondsOfDay() % 60;
}

int TarnDateTime::DayOfWeek() const
{
    // The zero date was a Saturday.
    const int64_t days = FloorDiv(m_seconds, kSecondsPerDay);
    return static_cast<int>(FloorMod(days + 6, 7)) + 1;
}

TarnDateTime TarnDateTime::DatePart() const
{
    return FromSecondsSinceZero(m_seconds - SecondsOfDay());
}
