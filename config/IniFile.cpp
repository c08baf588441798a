#include "config/IniFile.h"
#include "config/AsciiText.h"
#include "config/FileReplace.h"
#include "config/IniEncoding.h"
#include "config/TextLines.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Line = TextLine;

/// The file's lines and the end-of-file mark after them, if any.
struct Document
{
    std::vector<Line> lines;
    std::string trailer;
    /// The UTF-8 byte-order mark the file began with, if any (kept, not part of a line).
    std::string byteOrderMark;
    /// Read as UTF-8 (IniEncoding): values are given as Latin-1 and written as UTF-8.
    bool utf8 = false;
};

/// The document of a file's bytes.
Document Parsed(std::string_view bytes)
{
    Document document;
    document.utf8 = IniEncoding::IsUtf8(bytes);
    if (bytes.substr(0, IniEncoding::kByteOrderMark.size()) == IniEncoding::kByteOrderMark) {
        document.byteOrderMark = IniEncoding::kByteOrderMark;
        bytes.remove_prefix(IniEncoding::kByteOrderMark.size());
    }
    document.lines = SplitLines(bytes, document.trailer);
    return document;
}

/// Line end used for a file that has none yet.
#ifdef _WIN32
constexpr std::string_view kNewFileLineEnd = "\r\n";
#else
constexpr std::string_view kNewFileLineEnd = "\n";
#endif

/// A line end, or the end-of-file mark: written into a line, either would change how the file
/// reads (a value ending in the mark, written last, would read without it).
bool BreaksLines(std::string_view text)
{
    return text.find_first_of(std::string_view("\r\n")) != std::string_view::npos ||
           text.find(kEndOfFileMark) != std::string_view::npos;
}

/// The section name when the line is a header ("[name]", blanks allowed around both).
std::optional<std::string_view> HeaderName(std::string_view line)
{
    const std::string_view t = Trimmed(line);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    const auto close = t.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return Trimmed(t.substr(1, close - 1));
}

bool IsComment(std::string_view line)
{
    const std::string_view t = Trimmed(line);
    return !t.empty() && t.front() == ';';
}

/// Key of a key=value line; nothing for comments and lines without "=".
std::optional<std::string_view> KeyOf(std::string_view line)
{
    if (IsComment(line))
        return std::nullopt;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return Trimmed(line.substr(0, eq));
}

enum class LoadResult
{
    Loaded,
    Missing,
    Unreadable
};

LoadResult LoadLines(const std::string& path, Document& document)
{
    document = Document{};
    std::error_code ec;
    if (!fs::exists(path, ec))
        return ec ? LoadResult::Unreadable : LoadResult::Missing;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return LoadResult::Unreadable;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad())
        return LoadResult::Unreadable;
    document = Parsed(content.str());
    return LoadResult::Loaded;
}

/// The line end of the file's first ended line, so that added lines match the file.
std::string LineEndStyle(const std::vector<Line>& lines)
{
    for (const Line& line : lines)
        if (!line.end.empty())
            return line.end;
    return std::string(kNewFileLineEnd);
}

/// Index of the first header line of the section, or lines.size().
std::size_t FindSection(const std::vector<Line>& lines, std::string_view section,
                        std::size_t from = 0)
{
    for (std::size_t i = from; i < lines.size(); ++i) {
        const auto name = HeaderName(lines[i].text);
        if (name && EqualNoCase(*name, section))
            return i;
    }
    return lines.size();
}

/// One past the last line that belongs to the section whose header is at `header`.
std::size_t SectionEnd(const std::vector<Line>& lines, std::size_t header)
{
    std::size_t i = header + 1;
    while (i < lines.size() && !HeaderName(lines[i].text))
        ++i;
    return i;
}

/// The file as it will be written: each line's text followed by its line end, then the
/// end-of-file mark it had.
std::string Serialized(const Document& document)
{
    std::string bytes = document.byteOrderMark;
    for (const Line& line : document.lines) {
        bytes += line.text;
        bytes += line.end;
    }
    bytes += document.trailer;
    return bytes;
}

bool SaveLines(const std::string& path, const Document& document)
{
    std::string ignored;
    return ReplaceFileContent(path, Serialized(document), ignored);
}

/// A value in one matching pair of double or single quotes reads without them.
std::string_view Unquoted(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

bool FindValue(const std::vector<Line>& lines, const std::string& section, const std::string& key,
               std::string& value)
{
    value.clear();
    const std::size_t header = FindSection(lines, Trimmed(section));
    if (header == lines.size())
        return false;
    const std::size_t end = SectionEnd(lines, header);
    const std::string_view wanted = Trimmed(key);
    for (std::size_t i = header + 1; i < end; ++i) {
        const auto lineKey = KeyOf(lines[i].text);
        if (lineKey && EqualNoCase(*lineKey, wanted)) {
            const std::string_view text = lines[i].text;
            value = std::string(Unquoted(Trimmed(text.substr(text.find('=') + 1))));
            return true;
        }
    }
    return false;
}

/// The file's text in its own encoding for Latin-1 text.
std::string Encoded(const Document& document, const std::string& latin1)
{
    return document.utf8 ? IniEncoding::Latin1ToUtf8(latin1) : latin1;
}

/// FindValue with Latin-1 names and value, whatever the file's encoding.
bool FindLatin1Value(const Document& document, const std::string& section, const std::string& key,
                     std::string& value)
{
    if (!FindValue(document.lines, Encoded(document, section), Encoded(document, key), value))
        return false;
    if (document.utf8)
        value = IniEncoding::ToLatin1(value);
    return true;
}

} // namespace

bool IniFile::Read(const std::string& path, const std::string& section, const std::string& key,
                   std::string& value)
{
    value.clear();
    Document document;
    return LoadLines(path, document) == LoadResult::Loaded &&
           FindLatin1Value(document, section, key, value);
}

bool IniFile::ReadText(std::string_view text, const std::string& section, const std::string& key,
                       std::string& value)
{
    return FindLatin1Value(Parsed(text), section, key, value);
}

bool IniFile::ReadLines(const std::vector<TextLine>& lines, const std::string& section,
                        const std::string& key, std::string& value)
{
    return FindValue(lines, section, key, value);
}

namespace {

/// Sets the key's value in the document; false for a section, key or value that would change
/// the file's structure instead of one value.
bool SetLatin1Value(Document& document, const std::string& section, const std::string& key,
                    const std::string& value)
{
    const std::string_view sectionName = Trimmed(section);
    const std::string_view keyName = Trimmed(key);
    if (sectionName.empty() || keyName.empty() || BreaksLines(section) || BreaksLines(key) ||
        BreaksLines(value) || sectionName.find(']') != std::string_view::npos ||
        keyName.find('=') != std::string_view::npos || keyName.front() == ';' ||
        keyName.front() == '[')
        return false;

    std::vector<Line>& lines = document.lines;
    const std::string lineEnd = LineEndStyle(lines);
    const std::string_view newValue = Trimmed(value);

    const std::size_t header = FindSection(lines, sectionName);
    if (header == lines.size()) {
        if (!lines.empty()) {
            if (lines.back().end.empty())
                lines.back().end = lineEnd;
            if (!Trimmed(lines.back().text).empty())
                lines.push_back({{}, lineEnd});
        }
        lines.push_back({"[" + std::string(sectionName) + "]", lineEnd});
        lines.push_back({std::string(keyName) + "=" + std::string(newValue), lineEnd});
        return true;
    }

    const std::size_t end = SectionEnd(lines, header);
    std::size_t lastNonBlank = header;
    for (std::size_t i = header + 1; i < end; ++i) {
        std::string& text = lines[i].text;
        const auto lineKey = KeyOf(text);
        if (lineKey && EqualNoCase(*lineKey, keyName)) {
            text = text.substr(0, text.find('=') + 1) + std::string(newValue);
            return true;
        }
        if (!Trimmed(text).empty())
            lastNonBlank = i;
    }

    if (lines[lastNonBlank].end.empty())
        lines[lastNonBlank].end = lineEnd;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastNonBlank) + 1,
                 Line{std::string(keyName) + "=" + std::string(newValue), lineEnd});
    return true;
}

/// SetLatin1Value with the Latin-1 texts in the file's own encoding. A Latin-1 file that the
/// write would turn into valid UTF-8 (its 8-bit bytes all in the new text, and they form
/// UTF-8) gets the text as UTF-8 instead, so that it reads back as it was given.
bool SetValue(Document& document, const std::string& section, const std::string& key,
              const std::string& value)
{
    Document changed = document;
    if (!SetLatin1Value(changed, Encoded(changed, section), Encoded(changed, key),
                        Encoded(changed, value)))
        return false;
    if (!changed.utf8 && IniEncoding::IsUtf8(Serialized(changed))) {
        changed = document;
        changed.utf8 = true;
        if (!SetLatin1Value(changed, Encoded(changed, section), Encoded(changed, key),
                            Encoded(changed, value)))
            return false;
    }
    document = std::move(changed);
    return true;
}

} // namespace

bool IniFile::Write(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value)
{
    Document document;
    if (LoadLines(path, document) == LoadResult::Unreadable)
        return false;
    return SetValue(document, section, key, value) && SaveLines(path, document);
}

bool IniFile::WriteText(std::string& text, const std::string& section, const std::string& key,
                        const std::string& value)
{
    Document document = Parsed(text);
    if (!SetValue(document, section, key, value))
        return false;
    text = Serialized(document);
    return true;
}

bool IniFile::DeleteSection(const std::string& path, const std::string& section)
{
    Document document;
    std::vector<Line>& lines = document.lines;
    switch (LoadLines(path, document)) {
    case LoadResult::Missing:
        return true;
    case LoadResult::Unreadable:
        return false;
    case LoadResult::Loaded:
        break;
    }
    const std::string encodedName = Encoded(document, section);
    const std::string_view name = Trimmed(encodedName);
    // Every header of that name goes, so that a repeated section cannot come to light
    // once the first one is removed.
    bool changed = false;
    std::size_t header = FindSection(lines, name);
    while (header < lines.size()) {
        const std::size_t end = SectionEnd(lines, header);
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(header),
                    lines.begin() + static_cast<std::ptrdiff_t>(end));
        changed = true;
        header = FindSection(lines, name, header);
    }
    return changed ? SaveLines(path, document) : true;
}
