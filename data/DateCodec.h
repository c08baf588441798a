#pragma once

#include "data/TarnDateTime.h"

#include <string>
#include <string_view>

/// The controller clock, "yyyyMMddHHmmss"; characters after the fourteenth are ignored.
/// Anything that is not a valid date and time gives the zero date.
TarnDateTime ParseControllerClock(std::string_view text);

/// Eight hex digits of the packed 32-bit date-time. The zero date when the fields are not a
/// valid date-time or the text is longer than 8. `currentYear` is the PC's year, which decides
/// the century window (from 2064 on, 64 is added to the 6-bit year).
TarnDateTime DecodePackedDate(std::string_view text, int currentYear);
TarnDateTime DecodePackedDate(std::string_view text);

/// First and last year that EncodePackedDate accepts.
inline constexpr int kPackedDateFirstYear = 2000;
inline constexpr int kPackedDateLastYear = 2255;

/// Eight upper-case hex digits; an empty text for a year outside 2000..2255 or the zero date.
std::string EncodePackedDate(const TarnDateTime& value);

/// The PC clock in the controller's clock form plus the weekday digit (1 Sunday .. 7 Saturday):
/// 15 characters, the data of the set-clock command.
std::string FormatControllerClock(const TarnDateTime& value);
