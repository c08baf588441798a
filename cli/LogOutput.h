#pragma once

#include "data/EventListCsv.h"
#include "data/EventLogReport.h"
#include "data/TarnDateTime.h"

#include <QString>

#include <string>
#include <vector>

/// The events read by `tarn log`, written as TSV (the tarn.logg layout), CSV or JSON.
/// CSV and JSON carry typed values: ISO 8601 time, temperatures as numbers.
class LogOutput
{
public:
    struct Event
    {
        long long number = 0;
        TarnDateTime time;
        double celsius = 0;
        double fahrenheit = 0;
        /// 8-bit text of the event catalogue.
        std::string text;
        /// An event lost to a damaged reply: no time or temperatures, the lost-event text.
        bool lost = false;
    };

    std::vector<Event> Events;
    /// The controller and the time of the read, for the CSV's columns.
    EventListCsv::Source Source;

    /// The tarn.logg bytes: header, one row per event, cells as the window shows them.
    std::string Tsv() const;
    /// The program's CSV of an event list (EventListCsv).
    std::string Csv() const;
    /// UTF-8; an array of objects with the fields number, time, celsius, fahrenheit, text (a
    /// lost event's time and temperatures null).
    std::string Json() const;
    /// "yyyy-MM-ddTHH:mm:ss" (ExportText::ControllerTime); "" for the zero date.
    static std::string IsoTime(const TarnDateTime& time);
};
