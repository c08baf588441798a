#pragma once

#include <cstdint>
// moc (Qt 6.4) fails on libstdc++ 12's <compare>, and QObject headers that include this file
// go through moc; the compiler still sees it.
#ifndef Q_MOC_RUN
#include <compare>
#endif

/// A local date and time to the second. The zero date, 30 December 1899 00:00:00, is the
/// default value and stands for "no date" throughout the program.
class TarnDateTime
{
public:
    TarnDateTime() = default;

    /// The value for the given fields; the zero date when they do not form a valid
    /// date (month lengths, leap years, years 1..9999) and time of day.
    static TarnDateTime FromParts(int year, int month, int day, int hour = 0, int minute = 0,
                                  int second = 0);
    static bool IsValid(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
    static int DaysInMonth(int year, int month);
    /// The PC's local date and time now.
    static TarnDateTime Now();

    bool IsZero() const { return m_seconds == 0; }
    int Year() const;
    int Month() const;
    int Day() const;
    int Hour() const;
    int Minute() const;
    int Second() const;
    /// 1 for Sunday .. 7 for Saturday.
    int DayOfWeek() const;
    /// The same day at 00:00:00.
    TarnDateTime DatePart() const;
    bool HasTime() const { return SecondsOfDay() != 0; }
    int SecondsOfDay() const;

    /// Seconds since the zero date (negative before it).
    int64_t SecondsSinceZero() const { return m_seconds; }
    static TarnDateTime FromSecondsSinceZero(int64_t seconds);
    TarnDateTime AddSeconds(int64_t seconds) const
    {
        return FromSecondsSinceZero(m_seconds + seconds);
    }

    auto operator<=>(const TarnDateTime&) const = default;

private:
    int64_t m_seconds = 0;
};
