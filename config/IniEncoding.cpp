#include "config/IniEncoding.h"

#include <cstdint>

namespace {

/// The length of the UTF-8 sequence at `at` and its code point; 0 when the bytes there are no
/// valid sequence (overlong forms, surrogates and values past U+10FFFF are not).
std::size_t Sequence(std::string_view bytes, std::size_t at, uint32_t& codePoint)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        codePoint = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        codePoint = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        codePoint = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

bool IniEncoding::IsUtf8(std::string_view bytes)
{
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        return true;
    bool beyondAscii = false;
    for (std::size_t at = 0; at < bytes.size();) {
        uint32_t codePoint = 0;
        const std::size_t length = Sequence(bytes, at, codePoint);
        if (length == 0)
            return false;
        beyondAscii = beyondAscii || length > 1;
        at += length;
    }
    return beyondAscii;
}

std::string IniEncoding::ToLatin1(std::string_view bytes)
{
    if (!IsUtf8(bytes))
        return std::string(bytes);
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        bytes.remove_prefix(kByteOrderMark.size());
    std::string latin1;
    latin1.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        uint32_t codePoint = 0;
        const std::size_t length = Sequence(bytes, at, codePoint);
        if (length == 0) { // only after a byte-order mark: the byte as Latin-1
            latin1 += bytes[at++];
            continue;
        }
        latin1 += codePoint <= 0xFF ? static_cast<char>(codePoint) : '?';
        at += length;
    }
    return latin1;
}

std::string IniEncoding::Latin1ToUtf8(std::string_view latin1)
{
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}
