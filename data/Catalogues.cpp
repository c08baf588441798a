#include "data/Catalogues.h"

#include "config/AsciiText.h"
#include "config/IniEncoding.h"
#include "config/IniFile.h"
#include "config/TextLines.h"
#include "data/TextNumbers.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

KeyedCollection<Tarn_Profile> ProfileCatalogue;
KeyedCollection<Tarn_Message> MessageCatalogue;
KeyedCollection<Tarn_Message> EventCodeCatalogue;

namespace {

constexpr const char* kCatalogueErrorHead = "An error ocurred while reading the Tarn.INI file!";
constexpr const char* kEventCodeErrorHead =
    "An error ocurred while reading event code from the Tarn.INI file!";
constexpr const char* kEventCodeSection = "EVENT_CODES_";
constexpr const char* kVersionKey = "Version";

std::string ErrorDescription(int number)
{
    switch (number) {
    case CatalogueError::FileNotFound:
        return "File not found";
    case CatalogueError::FileUnreadable:
        return "Device I/O error";
    case CatalogueError::BadLine:
        return "Invalid procedure call or argument";
    case CatalogueError::BadVersionRange:
        return "Subscript out of range";
    case CatalogueError::ListNotFound:
        return "Input past end of file";
    case CatalogueError::DuplicateKey:
        return "This key is already associated with an element of this collection";
    default:
        return "Unknown error";
    }
}

std::string ErrorText(const char* head, int number)
{
    return std::string(head) + "\r" + std::to_string(number) + " - " + ErrorDescription(number);
}

/// The whole file; 0 or the error number.
int ReadFileText(const std::string& path, std::string& text)
{
    text.clear();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return CatalogueError::FileNotFound;
    if (!std::filesystem::is_regular_file(path, ec))
        return CatalogueError::FileUnreadable;
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file)
        return CatalogueError::FileUnreadable;
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad())
        return CatalogueError::FileUnreadable;
    text = content.str();
    return 0;
}

/// Tarn.INI's lines as Latin-1 (IniEncoding), split once with the line ends of the INI access.
std::vector<TextLine> Lines(std::string_view text)
{
    std::string trailer;
    return SplitLines(IniEncoding::ToLatin1(text), trailer);
}

/// Reads a text's lines one after the other.
class LineReader
{
public:
    explicit LineReader(const std::vector<TextLine>& lines) : m_lines(lines) {}

    /// False at the end of the text.
    bool Next(std::string& line)
    {
        if (m_next >= m_lines.size())
            return false;
        line = m_lines[m_next++].text;
        return true;
    }

    /// Reads up to and including the first line that contains `marker`; false when none does.
    bool SkipPast(const std::string& marker)
    {
        std::string line;
        while (Next(line)) {
            if (line.find(marker) != std::string::npos)
                return true;
        }
        return false;
    }

    /// Reads up to and including the header line of `section` ("[name]", blanks allowed,
    /// any case, as the INI access finds sections); false when there is none.
    bool SkipPastHeader(std::string_view section)
    {
        std::string line;
        while (Next(line)) {
            const std::string_view t = Trimmed(line);
            const std::size_t close = t.find(']');
            if (!t.empty() && t.front() == '[' && close != std::string_view::npos &&
                EqualNoCase(Trimmed(t.substr(1, close - 1)), section))
                return true;
        }
        return false;
    }

private:
    const std::vector<TextLine>& m_lines;
    std::size_t m_next = 0;
};

bool IsBlank(const std::string& line)
{
    return line.find_first_not_of(" \t") == std::string::npos;
}

/// The next line of a list section, split at its first "="; false where the list ends.
bool NextListLine(LineReader& reader, std::string& key, std::string& value)
{
    std::string line;
    if (!reader.Next(line) || IsBlank(line))
        return false;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos)
        return false;
    key = line.substr(0, equals);
    value = line.substr(equals + 1);
    return true;
}

/// 0 or the error number.
int LoadProfiles(const std::vector<TextLine>& lines)
{
    LineReader reader(lines);
    if (reader.SkipPast("[PROFILES")) {
        std::string id;
        std::string rest;
        while (NextListLine(reader, id, rest)) {
            const std::size_t bar = rest.find('|');
            if (bar == std::string::npos)
                return CatalogueError::BadLine;
            Tarn_Profile profile{id, rest.substr(0, bar), rest.substr(bar + 1)};
            if (!ProfileCatalogue.Add(id, std::move(profile)))
                return CatalogueError::DuplicateKey;
        }
    }
    return 0;
}

/// Adds the list lines that follow to `catalogue`; 0 or the error number.
int ReadMessageList(LineReader& reader, KeyedCollection<Tarn_Message>& catalogue)
{
    std::string key;
    std::string text;
    while (NextListLine(reader, key, text)) {
        if (!catalogue.Add(key, Tarn_Message{key, text}))
            return CatalogueError::DuplicateKey;
    }
    return 0;
}

/// Adds the list after the line containing `marker` to `catalogue`.
int LoadMessageList(const std::vector<TextLine>& lines, const std::string& marker,
                    KeyedCollection<Tarn_Message>& catalogue)
{
    LineReader reader(lines);
    if (!reader.SkipPast(marker))
        return 0;
    return ReadMessageList(reader, catalogue);
}

/// Adds the codes of an event-code section to `catalogue`. The line after the header is the
/// Version line and is not read as a code.
int LoadEventCodeList(const std::vector<TextLine>& lines, const std::string& section,
                      KeyedCollection<Tarn_Message>& catalogue)
{
    LineReader reader(lines);
    if (!reader.SkipPastHeader(section))
        return CatalogueError::ListNotFound;
    std::string versionLine;
    reader.Next(versionLine);
    return ReadMessageList(reader, catalogue);
}

} // namespace

bool LoadCatalogue(const std::string& iniPath, std::string& errText)
{
    std::string text;
    if (const int error = ReadFileText(iniPath, text)) {
        ProfileCatalogue.Clear();
        errText = ErrorText(kCatalogueErrorHead, error);
        return false;
    }
    return LoadCatalogueText(text, errText);
}

bool LoadCatalogueText(std::string_view text, std::string& errText)
{
    const std::vector<TextLine> lines = Lines(text);
    ProfileCatalogue.Clear();
    if (const int error = LoadProfiles(lines)) {
        errText = ErrorText(kCatalogueErrorHead, error);
        return false;
    }
    MessageCatalogue.Clear();
    if (const int error = LoadMessageList(lines, "[MESSAGES", MessageCatalogue)) {
        errText = ErrorText(kCatalogueErrorHead, error);
        return false;
    }
    return true;
}

bool LoadEventCodes(double version, const std::string& iniPath, std::string& errText)
{
    // A file that cannot be read holds no section: the catalogue stays empty.
    std::string text;
    ReadFileText(iniPath, text);
    return LoadEventCodesText(version, text, errText);
}

bool LoadEventCodesText(double version, std::string_view text, std::string& errText)
{
    const std::vector<TextLine> lines = Lines(text);
    EventCodeCatalogue.Clear();
    for (long long n = 1;; ++n) {
        const std::string section = kEventCodeSection + DecimalText(n);
        std::string range;
        IniFile::ReadLines(lines, section, kVersionKey, range);
        if (range.empty())
            return true;
        const std::size_t dash = range.find('-');
        if (dash == std::string::npos) {
            errText = ErrorText(kEventCodeErrorHead, CatalogueError::BadVersionRange);
            return false;
        }
        const std::size_t nextDash = range.find('-', dash + 1);
        const double low = LeadingNumber(std::string_view(range).substr(0, dash));
        const double high = LeadingNumber(std::string_view(range).substr(
            dash + 1, nextDash == std::string::npos ? std::string::npos : nextDash - dash - 1));
        if (low <= version && version <= high) {
            const int error = LoadEventCodeList(lines, section, EventCodeCatalogue);
            if (error) {
                errText = ErrorText(kEventCodeErrorHead, error);
                return false;
            }
            return true;
        }
    }
}
