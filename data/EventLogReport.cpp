#include "data/EventLogReport.h"

#include "data/ExportText.h"

namespace {
constexpr const char* kLineEnd = "\r\n";
constexpr std::size_t kNumberDigits = 3;

void AppendLine(std::string& text, const EventLogReport::Row& row)
{
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i > 0)
            text += '\t';
        text += ExportText::TsvCell(row[i]);
    }
    text += kLineEnd;
}
} // namespace

const EventLogReport::Row& EventLogReport::Headers()
{
    static const Row headers{"No", "Time", "Temp", "Message"};
    return headers;
}

std::string EventLogReport::RowNumber(long long number)
{
    const bool negative = number < 0;
    std::string digits = std::to_string(negative ? -number : number);
    if (digits.size() < kNumberDigits)
        digits.insert(0, kNumberDigits - digits.size(), '0');
    return negative ? "-" + digits : digits;
}

std::string EventLogReport::Text() const
{
    std::string text;
    AppendLine(text, Headers());
    for (const Row& row : Rows)
        AppendLine(text, row);
    return text;
}
