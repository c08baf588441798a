#pragma once

#include <string_view>

/// What an event of the controller's log stands for, told from its text (the catalogue's,
/// any case): "fault" makes a fault (battery, line, pump); "alarm" an alarm, unless it is
/// reset ("Alarm reset"); "service" or "test mode" a service; "power", "mains" or "battery" a
/// power event. Anything else is another event.
class EventKinds
{
public:
    enum class Kind
    {
        Alarm,
        Fault,
        Service,
        Power,
        Other
    };

    /// The kind of an event with this text (8-bit, as the catalogue gives it).
    static Kind Of(std::string_view text);
};
