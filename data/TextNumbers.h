#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// The number formed by the leading hex digits (either case); 0 when there are none.
/// Saturates at UINT32_MAX rather than overflowing.
uint32_t HexValue(std::string_view text);

/// The hex value of the characters at 1-based `position`, `count` long; characters beyond
/// the end of `text` are missing, so a piece wholly beyond it reads 0.
uint32_t HexValueAt(std::string_view text, std::size_t position, std::size_t count);

/// A decimal number at the start of `text`: leading blanks skipped, an optional sign, digits
/// with "." as the decimal point; reading stops at the first character that cannot continue
/// it. No number gives 0.
double LeadingNumber(std::string_view text);

/// A zone profile id from the reply to the zone-profile request: hex digits up to the first
/// other character, the low 16 bits taken as a signed value (FFFF gives -1).
int16_t ParseProfileId(std::string_view text);

/// The firmware version in its fixed form: a space (or "-") then the shortest decimal with
/// "." and no trailing zeros: 2.07 -> " 2.07", 2 -> " 2".
std::string FormatVersionNumber(double version);

/// A whole number as plain decimal, no separators (for keys of the catalogues).
std::string DecimalText(long long value);
