#include "report/PicturesPainter.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

using Kind = EventKinds::Kind;

/// Around a lone event, the timeline shows this much time either side.
constexpr qint64 kLoneEventSpanMs = 30LL * 60 * 1000;
constexpr Kind kKinds[] = {Kind::Alarm, Kind::Fault, Kind::Service, Kind::Power, Kind::Other};

/// The room left of each chart for its labels: the longest kind's name, in the painter's font
/// (on a 300 dpi page as on the screen).
double AxisWidth(const QPainter& painter)
{
    const QFontMetricsF metrics(painter.font());
    return metrics.horizontalAdvance(QStringLiteral("Service")) + metrics.height() * 0.5;
}

double Margin(const QPainter& painter)
{
    return QFontMetricsF(painter.font()).height() * 0.5;
}

/// A month's bar is no wider than this many lines of text are high.
constexpr double kWidestBarLines = 3;

qint64 Ms(const QDateTime& time)
{
    return time.toMSecsSinceEpoch();
}

QString Day(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

/// A chart's frame and title; returns the area left for the drawing.
QRectF Frame(QPainter& painter, const QRectF& area, const QString& title)
{
    const QFontMetricsF metrics(painter.font());
    const double axis = AxisWidth(painter);
    painter.setPen(Qt::black);
    painter.drawText(QPointF(area.left(), area.top() + metrics.ascent()), title);
    const QRectF plot(area.left() + axis, area.top() + metrics.height() + 2,
                      area.width() - axis - Margin(painter),
                      area.height() - 2 * metrics.height() - 4);
    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(plot);
    return plot;
}

void TimeLabels(QPainter& painter, const QRectF& plot, const QDateTime& from, const QDateTime& to)
{
    const QFontMetricsF metrics(painter.font());
    painter.setPen(Qt::black);
    const double y = plot.bottom() + metrics.ascent() + 2;
    painter.drawText(QPointF(plot.left(), y), Day(from));
    const QString last = Day(to);
    painter.drawText(QPointF(plot.right() - metrics.horizontalAdvance(last), y), last);
}

void Timeline(QPainter& painter, const QRectF& area, const HistoryPictures::Series& series,
              qint64 from, qint64 to)
{
    const QRectF plot = Frame(painter, area, QStringLiteral("Events"));
    const double lane = plot.height() / std::size(kKinds);
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        painter.setPen(PicturesPainter::Colour(kKinds[i]));
        painter.drawText(
            QRectF(area.left(), plot.top() + i * lane, AxisWidth(painter) - Margin(painter), lane),
            Qt::AlignRight | Qt::AlignVCenter, HistoryPictures::KindName(kKinds[i]));
    }
    const auto& marks = series.marks;
    auto first = std::lower_bound(
        marks.begin(), marks.end(), from,
        [](const HistoryPictures::Mark& mark, qint64 time) { return Ms(mark.time) < time; });
    const double scale = plot.width() / double(std::max<qint64>(1, to - from));
    // One line per pixel and lane: a hundred thousand marks draw as fast as a few hundred.
    std::vector<std::vector<bool>> drawn(std::size(kKinds),
                                         std::vector<bool>(int(plot.width()) + 2, false));
    for (auto it = first; it != marks.end() && Ms(it->time) <= to; ++it) {
        const int column = int((Ms(it->time) - from) * scale);
        const int kind = static_cast<int>(it->kind);
        if (drawn[kind][column])
            continue;
        drawn[kind][column] = true;
        const double x = plot.left() + column;
        painter.setPen(QPen(PicturesPainter::Colour(it->kind), 1));
        painter.drawLine(QPointF(x, plot.top() + kind * lane + 2),
                         QPointF(x, plot.top() + (kind + 1) * lane - 2));
    }
    TimeLabels(painter, plot, QDateTime::fromMSecsSinceEpoch(from, Qt::UTC),
               QDateTime::fromMSecsSinceEpoch(to, Qt::UTC));
}

void Temperature(QPainter& painter, const QRectF& area, const HistoryPictures::Series& series,
                 qint64 from, qint64 to)
{
    const QRectF plot = Frame(painter, area, QStringLiteral("Temperature (\u00b0C)"));
    const auto& points = series.temperatures;
    auto first = std::lower_bound(points.begin(), points.end(), from,
                                  [](const HistoryPictures::TemperaturePoint& point, qint64 time) {
                                      return Ms(point.time) < time;
                                  });
    auto last = std::upper_bound(first, points.end(), to,
                                 [](qint64 time, const HistoryPictures::TemperaturePoint& point) {
                                     return time < Ms(point.time);
                                 });
    if (first == last)
        return;
    double low = first->celsius, high = first->celsius;
    for (auto it = first; it != last; ++it) {
        low = std::min(low, it->celsius);
        high = std::max(high, it->celsius);
    }
    low = std::floor(low) - 1;
    high = std::ceil(high) + 1;
    const QFontMetricsF metrics(painter.font());
    painter.setPen(Qt::black);
    painter.drawText(
        QRectF(area.left(), plot.top(), AxisWidth(painter) - Margin(painter), metrics.height()),
        Qt::AlignRight, QString::number(high));
    painter.drawText(QRectF(area.left(), plot.bottom() - metrics.height(),
                            AxisWidth(painter) - Margin(painter), metrics.height()),
                     Qt::AlignRight, QString::number(low));
    const double xScale = plot.width() / double(std::max<qint64>(1, to - from));
    const double yScale = plot.height() / (high - low);
    std::vector<QPointF> line;
    int column = -1;
    double columnLow = 0, columnHigh = 0;
    // Per pixel column the lowest and highest reading it holds.
    const auto flush = [&] {
        if (column < 0)
            return;
        const double x = plot.left() + column;
        const QPointF top(x, plot.bottom() - (columnHigh - low) * yScale);
        const QPointF bottom(x, plot.bottom() - (columnLow - low) * yScale);
        line.push_back(top);
        if (bottom != top)
            line.push_back(bottom);
    };
    for (auto it = first; it != last; ++it) {
        const int x = int((Ms(it->time) - from) * xScale);
        if (x != column) {
            flush();
            column = x;
            columnLow = columnHigh = it->celsius;
        } else {
            columnLow = std::min(columnLow, it->celsius);
            columnHigh = std::max(columnHigh, it->celsius);
        }
    }
    flush();
    // Segments, not a polyline: joining thousands of steep turns costs the stroker seconds.
    std::vector<QLineF> segments;
    segments.reserve(line.size());
    for (std::size_t i = 1; i < line.size(); ++i)
        segments.emplace_back(line[i - 1], line[i]);
    painter.setPen(QPen(QColor(0, 90, 180), 1));
    painter.drawLines(segments.data(), int(segments.size()));
    TimeLabels(painter, plot, QDateTime::fromMSecsSinceEpoch(from, Qt::UTC),
               QDateTime::fromMSecsSinceEpoch(to, Qt::UTC));
}

void Months(QPainter& painter, const QRectF& area, const HistoryPictures::Series& series,
            const QDateTime& from, const QDateTime& to)
{
    const QRectF plot = Frame(painter, area, QStringLiteral("Events per month"));
    const QDate firstMonth(from.date().year(), from.date().month(), 1);
    std::vector<const HistoryPictures::MonthCount*> shown;
    int most = 1;
    for (const HistoryPictures::MonthCount& month : series.months)
        if (month.month >= firstMonth && month.month <= to.date()) {
            shown.push_back(&month);
            most = std::max(most, month.Total());
        }
    const QFontMetricsF metrics(painter.font());
    painter.setPen(Qt::black);
    painter.drawText(
        QRectF(area.left(), plot.top(), AxisWidth(painter) - Margin(painter), metrics.height()),
        Qt::AlignRight, QString::number(most));
    if (shown.empty())
        return;
    const double slot = plot.width() / shown.size();
    const double yScale = plot.height() / most;
    const QString widest = QStringLiteral("2026-12");
    const int labelEvery =
        std::max(1, int(std::ceil((metrics.horizontalAdvance(widest) + 6) / slot)));
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const double bar = std::min(slot * 0.7, metrics.height() * kWidestBarLines);
        const double x = plot.left() + i * slot + (slot - bar) / 2;
        double y = plot.bottom();
        for (const Kind kind : kKinds) {
            const double height = shown[i]->Count(kind) * yScale;
            if (height > 0) {
                painter.fillRect(QRectF(x, y - height, bar, height), PicturesPainter::Colour(kind));
                y -= height;
            }
        }
        if (int(i) % labelEvery == 0) {
            painter.setPen(Qt::black);
            painter.drawText(QPointF(plot.left() + i * slot, plot.bottom() + metrics.ascent() + 2),
                             shown[i]->month.toString(QStringLiteral("yyyy-MM")));
        }
    }
}

} // namespace

void PicturesPainter::Draw(QPainter& painter, const QRectF& area,
                           const HistoryPictures::Series& series, const QDateTime& from,
                           const QDateTime& to)
{
    painter.save();
    painter.fillRect(area, Qt::white);
    const double margin = Margin(painter);
    const QRectF inner = area.adjusted(margin, margin, -margin, -margin);
    const double timeline = inner.height() * kTimeShare * 0.45;
    const double curve = inner.height() * kTimeShare * 0.55;
    const qint64 start = Ms(from), end = Ms(to);
    Timeline(painter, QRectF(inner.left(), inner.top(), inner.width(), timeline), series, start,
             end);
    Temperature(painter, QRectF(inner.left(), inner.top() + timeline, inner.width(), curve), series,
                start, end);
    Months(painter,
           QRectF(inner.left(), inner.top() + timeline + curve, inner.width(),
                  inner.height() - timeline - curve),
           series, from, to);
    painter.restore();
}

std::pair<QDateTime, QDateTime> PicturesPainter::FullRange(const HistoryPictures::Series& series)
{
    if (series.marks.empty()) {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        return {now.addMSecs(-kLoneEventSpanMs), now.addMSecs(kLoneEventSpanMs)};
    }
    QDateTime from = series.marks.front().time, to = series.marks.back().time;
    if (Ms(to) - Ms(from) < 2 * kLoneEventSpanMs) {
        from = from.addMSecs(-kLoneEventSpanMs);
        to = to.addMSecs(kLoneEventSpanMs);
    }
    return {from, to};
}

QColor PicturesPainter::Colour(EventKinds::Kind kind)
{
    switch (kind) {
    case Kind::Alarm:
        return QColor(200, 30, 30);
    case Kind::Fault:
        return QColor(230, 140, 0);
    case Kind::Service:
        return QColor(40, 90, 200);
    case Kind::Power:
        return QColor(30, 150, 60);
    case Kind::Other:
        break;
    }
    return QColor(120, 120, 120);
}
