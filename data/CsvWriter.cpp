#include "data/CsvWriter.h"

namespace {
constexpr const char* kLineEnd = "\r\n";
} // namespace

CsvWriter::CsvWriter(const std::vector<std::string>& columns) : m_columns(columns.size())
{
    AddLine(columns);
}

void CsvWriter::AddRow(const std::vector<std::string>& cells)
{
    AddLine(cells);
}

void CsvWriter::AddLine(const std::vector<std::string>& cells)
{
    for (std::size_t i = 0; i < m_columns; ++i) {
        if (i > 0)
            m_text += ',';
        if (i < cells.size())
            m_text += Cell(cells[i]);
    }
    m_text += kLineEnd;
}

std::string CsvWriter::Cell(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + '"';
}
