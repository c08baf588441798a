#pragma once

#include <string>
#include <string_view>

/// How Tarn.INI's bytes are read. The program's 8-bit text is Latin-1; a file that a modern
/// editor saved as UTF-8 is read as UTF-8 when it begins with the UTF-8 byte-order mark, or
/// when it is valid UTF-8 and holds text beyond ASCII. Any other file is Latin-1.
class IniEncoding
{
public:
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

    /// True for a file read as UTF-8.
    static bool IsUtf8(std::string_view bytes);
    /// The file's text as Latin-1: a UTF-8 file decoded, its byte-order mark dropped, a
    /// character beyond Latin-1 given as "?"; any other file as it is.
    static std::string ToLatin1(std::string_view bytes);
    /// Latin-1 text as UTF-8.
    static std::string Latin1ToUtf8(std::string_view latin1);
};
