#pragma once

#include "data/TarnDateTime.h"

#include <string>
#include <vector>

/// The events read from a controller as CSV (CsvWriter), the same from the event-log page's
/// "Save as" and from `tarn log`: one row per event with the controller's serial number and
/// firmware, when the PC read the list, the event's number, time (the controller's clock),
/// temperature in °C and °F and text.
class EventListCsv
{
public:
    struct Event
    {
        long long number = 0;
        TarnDateTime time;
        double celsius = 0;
        /// 8-bit text (Latin-1), as the catalogue holds it.
        std::string text;
        /// An event lost to a damaged reply: time and temperatures empty.
        bool lost = false;
    };

    /// Which controller, and when the list was read.
    struct Source
    {
        std::string serialNumber; ///< Latin-1; empty when the controller has none or not read
        double firmware = 0;      ///< 0 when not read
        std::string readAt;       ///< ExportText::PcTime
    };

    static const std::vector<std::string>& Columns();
    /// "" for a firmware not read.
    static std::string Firmware(double firmware);
    static std::string Text(const Source& source, const std::vector<Event>& events);
};
