#pragma once

#include <array>
#include <string>
#include <vector>

/// The event-log report tarn.logg: a header line and one line per list row, cells joined by a
/// tab, every line ended by carriage return and line feed. Cells are 8-bit text as shown; a
/// tab or line break inside a cell is written as a space (ExportText::TsvCell).
class EventLogReport
{
public:
    static constexpr int kColumns = 4;
    using Row = std::array<std::string, kColumns>;

    /// The column headers, which are also the report's first line.
    static const Row& Headers();
    /// The message of the row that stands for an event lost to a damaged reply: the
    /// controller moved past it, and it cannot be asked for again.
    static constexpr const char* kLostEventText = "Event could not be read (damaged reply)";

    /// Row numbers have at least three digits: 1 gives "001", 1000 gives "1000".
    static std::string RowNumber(long long number);

    std::vector<Row> Rows;

    std::string Text() const;
};
