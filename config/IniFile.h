#pragma once

#include "config/TextLines.h"

#include <string>
#include <string_view>
#include <vector>

/// Reads and writes single keys of an INI file. Sections and keys match without regard to
/// ASCII case and the first match wins. A missing file reads as empty. A write creates the
/// file, the section and the key as needed and replaces an existing value in place, leaving
/// every other line of the file byte for byte as it was (comments, blank lines, list
/// sections, line endings). Texts are 8-bit (Latin-1); a file that is UTF-8 (IniEncoding) is
/// read and written as UTF-8, its byte-order mark kept. Lines end at CR LF, LF or a CR alone; a
/// Ctrl-Z at the end of the file is no part of the last value; a value in one matching pair
/// of double or single quotes reads without them.
class IniFile
{
public:
    /// False when the file, section or key is missing (value then empty).
    static bool Read(const std::string& path, const std::string& section, const std::string& key,
                     std::string& value);
    /// Read on the text of a file held in memory.
    static bool ReadText(std::string_view text, const std::string& section, const std::string& key,
                         std::string& value);
    /// Read on a text already split by SplitLines, for callers that read many keys.
    static bool ReadLines(const std::vector<TextLine>& lines, const std::string& section,
                          const std::string& key, std::string& value);
    /// False when the file cannot be written, or when the section, key or value holds a line
    /// end or the end-of-file mark (Ctrl-Z); the file is then unchanged.
    static bool Write(const std::string& path, const std::string& section, const std::string& key,
                      const std::string& value);
    /// Write on the text of a file held in memory; the text is unchanged when it gives false.
    static bool WriteText(std::string& text, const std::string& section, const std::string& key,
                          const std::string& value);
    /// Removes the section's header and its lines up to the next header. True also when the
    /// section did not exist; false when the file cannot be written.
    static bool DeleteSection(const std::string& path, const std::string& section);
};
