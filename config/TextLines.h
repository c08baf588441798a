#pragma once

#include <string>
#include <string_view>
#include <vector>

/// One line of a text file: its text without the line end, and the line end as it was found
/// ("\r\n", "\n", "\r", or nothing for a last line without one).
struct TextLine
{
    std::string text;
    std::string end;
};

/// The end-of-file mark that editors of old wrote after the last line.
inline constexpr char kEndOfFileMark = '\x1A';

/// Splits 8-bit text into lines as the platform's profile reader does: a line ends at CR LF,
/// at LF, or at a CR alone. A Ctrl-Z that ends the text belongs to no line; it is returned in
/// `trailer` (empty when there is none), so that the text can be written back unchanged.
std::vector<TextLine> SplitLines(std::string_view bytes, std::string& trailer);
