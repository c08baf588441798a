#pragma once

#include "data/EventKinds.h"
#include "history/HistoryArchive.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <array>
#include <vector>

/// The series behind the pictures of a controller's life, from its archived events: a mark
/// per event on a timeline, the temperature the events read, and the events per month by
/// kind. Gaps and events without a time are left out; times are the controller's clock.
class HistoryPictures
{
public:
    static constexpr int kKinds = 5;

    struct Mark
    {
        QDateTime time;
        EventKinds::Kind kind = EventKinds::Kind::Other;
        int code = -1;
        QString text;
    };

    struct TemperaturePoint
    {
        QDateTime time;
        double celsius = 0;
    };

    struct MonthCount
    {
        QDate month; ///< its first day
        std::array<int, kKinds> counts{};
        int Count(EventKinds::Kind kind) const { return counts[static_cast<int>(kind)]; }
        int Total() const;
    };

    /// All three, from one reading of the archive.
    struct Series
    {
        std::vector<Mark> marks;
        std::vector<TemperaturePoint> temperatures;
        std::vector<MonthCount> months;
    };
    static Series Build(const std::vector<ArchivedEvent>& events);

    /// The events' marks, oldest first.
    static std::vector<Mark> Timeline(const std::vector<ArchivedEvent>& events);
    /// The temperature of every event, oldest first.
    static std::vector<TemperaturePoint> Temperatures(const std::vector<ArchivedEvent>& events);
    /// Every month from the first event's to the last one's, those without events included.
    static std::vector<MonthCount> Months(const std::vector<Mark>& marks);
    /// "Alarm", "Fault", "Service", "Power", "Other".
    static QString KindName(EventKinds::Kind kind);
};
