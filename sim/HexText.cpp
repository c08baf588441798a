#include "sim/HexText.h"

#include "protocol/WireEncoding.h"

bool IsHexDigits(std::string_view text)
{
    if (text.empty())
        return false;
    for (const char c : text)
        if (HexDigitValue(c) < 0)
            return false;
    return true;
}

bool HexToBytes(std::string_view text, std::string& bytes)
{
    bytes.clear();
    if (text.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigitValue(text[i]);
        const int low = HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0) {
            bytes.clear();
            return false;
        }
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return true;
}

std::string BytesToHex(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes)
        out += ByteToHex(static_cast<uint8_t>(c));
    return out;
}
