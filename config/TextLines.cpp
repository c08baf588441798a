#include "config/TextLines.h"

std::vector<TextLine> SplitLines(std::string_view bytes, std::string& trailer)
{
    trailer.clear();
    if (!bytes.empty() && bytes.back() == kEndOfFileMark) {
        trailer = std::string(1, kEndOfFileMark);
        bytes.remove_suffix(1);
    }
    std::vector<TextLine> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t stop = bytes.find_first_of("\r\n", start);
        if (stop == std::string_view::npos) {
            lines.push_back({std::string(bytes.substr(start)), {}});
            break;
        }
        const std::size_t endSize =
            bytes[stop] == '\r' && stop + 1 < bytes.size() && bytes[stop + 1] == '\n' ? 2 : 1;
        lines.push_back({std::string(bytes.substr(start, stop - start)),
                         std::string(bytes.substr(stop, endSize))});
        start = stop + endSize;
    }
    return lines;
}
