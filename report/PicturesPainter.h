#pragma once

#include "controller/HistoryPictures.h"

#include <QColor>
#include <QDateTime>
#include <QRectF>

class QPainter;

/// Draws a controller's pictures, one above the other: the timeline (a mark per event in a
/// lane of its kind), the temperature curve, and the events per month as stacked bars. The
/// timeline and the curve show the time from `from` to `to`; the bars the months they touch.
/// The same drawing goes on the History window's screen, into its PNG and SVG files and onto
/// the visit report's page.
class PicturesPainter
{
public:
    static void Draw(QPainter& painter, const QRectF& area, const HistoryPictures::Series& series,
                     const QDateTime& from, const QDateTime& to);
    /// The whole time the series covers (an hour at the least, around a single event).
    static std::pair<QDateTime, QDateTime> FullRange(const HistoryPictures::Series& series);
    static QColor Colour(EventKinds::Kind kind);
    /// The share of the area the timeline and the curve take from the top (they share the
    /// time axis; zoom and pan apply to them).
    static constexpr double kTimeShare = 0.62;
};
