#include "data/EventKinds.h"

#include "config/AsciiText.h"

#include <string>

namespace {
bool Holds(const std::string& lowerText, std::string_view word)
{
    return lowerText.find(word) != std::string::npos;
}
} // namespace

EventKinds::Kind EventKinds::Of(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = AsciiLower(c);
    if (Holds(lower, "fault"))
        return Kind::Fault;
    if (Holds(lower, "alarm") && !Holds(lower, "reset"))
        return Kind::Alarm;
    if (Holds(lower, "service") || Holds(lower, "test mode"))
        return Kind::Service;
    if (Holds(lower, "power") || Holds(lower, "mains") || Holds(lower, "battery"))
        return Kind::Power;
    return Kind::Other;
}
