#pragma once

#include <string>
#include <string_view>

// Hex text helpers of the simulator's control lines and journal.

/// True when `text` is not empty and every character is a hex digit (either case).
bool IsHexDigits(std::string_view text);

/// Pairs of hex digits to bytes; false for an odd count or a character that is not a digit.
bool HexToBytes(std::string_view text, std::string& bytes);

/// Upper-case hex pairs, no separators.
std::string BytesToHex(std::string_view bytes);
