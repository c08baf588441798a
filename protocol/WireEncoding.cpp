#include "protocol/WireEncoding.h"

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string HexDigits(uint32_t value, int width)
{
    std::string out(width, '0');
    for (int i = width - 1; i >= 0; --i) {
        out[i] = kHexDigits[value & 0xF];
        value >>= 4;
    }
    return out;
}
} // namespace

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string ByteToHex(int value)
{
    return HexDigits(static_cast<uint32_t>(value) & 0xFF, 2);
}

std::string IntToHex(int16_t value)
{
    const auto bits = static_cast<uint16_t>(value);
    if (value >= 256)
        return HexDigits(bits, 4);
    return HexDigits(bits & 0xFF, 2);
}

std::string LongToHex8(int32_t value)
{
    return HexDigits(static_cast<uint32_t>(value), 8);
}

uint8_t SetBit(uint8_t value, int bit)
{
    return static_cast<uint8_t>(value | (1u << (bit & 7)));
}

uint8_t ClearBit(uint8_t value, int bit)
{
    return static_cast<uint8_t>(value & ~(1u << (bit & 7)));
}

bool IsBitSet(uint8_t value, int bit)
{
    return (value >> (bit & 7)) & 1u;
}

std::string ByteToBits(uint8_t value)
{
    std::string out(8, '0');
    for (int bit = 0; bit < 8; ++bit)
        if (IsBitSet(value, bit))
            out[7 - bit] = '1';
    return out;
}

uint8_t BitsToByte(std::string_view bits)
{
    uint8_t value = 0;
    for (size_t pos = 0; pos < 8 && pos < bits.size(); ++pos)
        if (bits[pos] == '1')
            value = SetBit(value, static_cast<int>(7 - pos));
    return value;
}
