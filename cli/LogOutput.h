#pragma once

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

    /// The tarn.logg bytes: header, one row per event, cells as the window shows them.
    std::string Tsv() const;
    /// UTF-8; a header line, then number, time, celsius, fahrenheit, text per event (a lost
    /// event's time and temperatures empty).
    std::string Csv() const;
    /// UTF-8; an array of objects with the fields number, time, celsius, fahrenheit, text (a
    /// lost event's time and temperatures null).
    std::string Json() const;
    /// A CSV cell: quoted when it holds a comma, a quote or a line end.
    static QString CsvCell(const QString& cell);
    /// "yyyy-MM-ddTHH:mm:ss".
    static std::string IsoTime(const TarnDateTime& time);
};
