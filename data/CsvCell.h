#pragma once

#include <string>
#include <string_view>

/// A cell of a CSV line: as it is, or in double quotes with its quotes doubled when it holds a
/// comma, a quote or a line break. The same for 8-bit text and UTF-8: only ASCII counts.
std::string CsvCell(std::string_view cell);
