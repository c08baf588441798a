#pragma once

#include <cstdint>
#include <string>
#include <variant>

/// A calendar date and time as written to an INI file (the "DA" and "TI" codes).
struct IniDateTime
{
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
    bool operator==(const IniDateTime&) const = default;
};

/// The value read or written through CIniFile: nothing, text, a whole number, a floating
/// number, a Boolean or a date.
using IniVariant = std::variant<std::monostate, std::string, int64_t, double, bool, IniDateTime>;
