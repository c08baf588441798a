#include "data/CsvCell.h"

std::string CsvCell(std::string_view cell)
{
    if (cell.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(cell);
    std::string quoted = "\"";
    for (const char c : cell) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + '"';
}
