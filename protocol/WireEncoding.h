#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Hexadecimal and bit encodings of values on the wire.

/// The value of one hex digit (either case), -1 for any other character.
int HexDigitValue(char c);
/// Two upper-case hex digits: 0 -> "00", 10 -> "0A".
std::string ByteToHex(int value);
/// Two digits below 256 (negatives: the low two digits of the 16-bit form), four from 256 up.
std::string IntToHex(int16_t value);
/// Eight upper-case hex digits of the 32-bit two's-complement form.
std::string LongToHex8(int32_t value);
uint8_t SetBit(uint8_t value, int bit);
uint8_t ClearBit(uint8_t value, int bit);
bool IsBitSet(uint8_t value, int bit);
/// "1"/"0" per bit, bit 7 first.
std::string ByteToBits(uint8_t value);
/// Inverse of ByteToBits; any character but '1' leaves its bit clear, missing characters too.
uint8_t BitsToByte(std::string_view bits);
