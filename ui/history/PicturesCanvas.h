#pragma once

#include "controller/HistoryPictures.h"

#include <QDateTime>
#include <QWidget>

/// The pictures on the screen: the mouse wheel zooms the time around the pointer, dragging
/// pans it, a double click shows all of it again.
class PicturesCanvas : public QWidget
{
    Q_OBJECT

public:
    /// The shortest time it zooms in to.
    static constexpr qint64 kShortestSpanMs = 60 * 1000;
    /// One wheel step shows this share of the time shown before.
    static constexpr double kZoomStep = 0.8;

    explicit PicturesCanvas(QWidget* parent = nullptr);

    void SetSeries(HistoryPictures::Series series);
    const HistoryPictures::Series& series() const { return m_series; }
    /// Shows the time from `from` to `to` (kept within the series' own).
    void Show(const QDateTime& from, const QDateTime& to);
    /// Zooms by `factor` (below 1 in) around the point `x` pixels from the left.
    void Zoom(double factor, double x);
    /// Moves the time shown by `pixels` (right moves to earlier times).
    void Pan(double pixels);
    void ShowAll();
    QDateTime shownFrom() const { return m_from; }
    QDateTime shownTo() const { return m_to; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    HistoryPictures::Series m_series;
    QDateTime m_from;
    QDateTime m_to;
    double m_dragX = 0;
};
