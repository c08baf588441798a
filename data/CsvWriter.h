#pragma once

#include <string>
#include <string_view>
#include <vector>

/// The program's one CSV dialect (RFC 4180): UTF-8 without a byte-order mark, one header row
/// and nothing above it, fields separated by commas, rows ended by CR LF, a field in double
/// quotes (its quotes doubled) when it holds a comma, a quote or a line break. The cells come
/// formatted (ExportText); an empty cell is a value not known.
class CsvWriter
{
public:
    explicit CsvWriter(const std::vector<std::string>& columns);

    /// One row, as many cells as the header has columns (missing ones are empty, extra ones
    /// dropped).
    void AddRow(const std::vector<std::string>& cells);
    const std::string& Text() const { return m_text; }

    /// A field: as it is, or quoted when it holds a comma, a quote or a line break.
    static std::string Cell(std::string_view text);

private:
    void AddLine(const std::vector<std::string>& cells);

    std::size_t m_columns;
    std::string m_text;
};
