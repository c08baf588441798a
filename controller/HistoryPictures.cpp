#include "controller/HistoryPictures.h"

#include <algorithm>
#include <numeric>

namespace {

bool Drawn(const ArchivedEvent& event)
{
    return !event.gap && event.eventTime.isValid();
}

} // namespace

int HistoryPictures::MonthCount::Total() const
{
    return std::accumulate(counts.begin(), counts.end(), 0);
}

HistoryPictures::Series HistoryPictures::Build(const std::vector<ArchivedEvent>& events)
{
    Series series;
    series.marks = Timeline(events);
    series.temperatures = Temperatures(events);
    series.months = Months(series.marks);
    return series;
}

std::vector<HistoryPictures::Mark>
HistoryPictures::Timeline(const std::vector<ArchivedEvent>& events)
{
    std::vector<Mark> marks;
    marks.reserve(events.size());
    for (const ArchivedEvent& event : events)
        if (Drawn(event))
            marks.push_back({event.eventTime, EventKinds::Of(event.text.toLatin1().toStdString()),
                             event.code, event.text});
    std::stable_sort(marks.begin(), marks.end(),
                     [](const Mark& a, const Mark& b) { return a.time < b.time; });
    return marks;
}

std::vector<HistoryPictures::TemperaturePoint>
HistoryPictures::Temperatures(const std::vector<ArchivedEvent>& events)
{
    std::vector<TemperaturePoint> points;
    points.reserve(events.size());
    for (const ArchivedEvent& event : events)
        if (Drawn(event))
            points.push_back({event.eventTime, event.temperatureCelsius});
    std::stable_sort(
        points.begin(), points.end(),
        [](const TemperaturePoint& a, const TemperaturePoint& b) { return a.time < b.time; });
    return points;
}

std::vector<HistoryPictures::MonthCount> HistoryPictures::Months(const std::vector<Mark>& marks)
{
    std::vector<MonthCount> months;
    if (marks.empty())
        return months;
    const auto monthOf = [](const QDateTime& time) {
        return QDate(time.date().year(), time.date().month(), 1);
    };
    const QDate last = monthOf(marks.back().time);
    for (QDate month = monthOf(marks.front().time); month <= last; month = month.addMonths(1))
        months.push_back({month, {}});
    for (const Mark& mark : marks) {
        const QDate month = monthOf(mark.time);
        const QDate first = months.front().month;
        const int index = (month.year() - first.year()) * 12 + month.month() - first.month();
        ++months[index].counts[static_cast<int>(mark.kind)];
    }
    return months;
}

QString HistoryPictures::KindName(EventKinds::Kind kind)
{
    switch (kind) {
    case EventKinds::Kind::Alarm:
        return QStringLiteral("Alarm");
    case EventKinds::Kind::Fault:
        return QStringLiteral("Fault");
    case EventKinds::Kind::Service:
        return QStringLiteral("Service");
    case EventKinds::Kind::Power:
        return QStringLiteral("Power");
    case EventKinds::Kind::Other:
        break;
    }
    return QStringLiteral("Other");
}
