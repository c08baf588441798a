#include "ui/history/PicturesCanvas.h"

#include "report/PicturesPainter.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kMinimumHeight = 360;
/// A wheel step, in the units of QWheelEvent::angleDelta.
constexpr double kWheelStep = 120;
} // namespace

PicturesCanvas::PicturesCanvas(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picCanvas"));
    setMinimumHeight(kMinimumHeight);
    setCursor(Qt::OpenHandCursor);
    ShowAll();
}

void PicturesCanvas::SetSeries(HistoryPictures::Series series)
{
    m_series = std::move(series);
    ShowAll();
}

void PicturesCanvas::ShowAll()
{
    std::tie(m_from, m_to) = PicturesPainter::FullRange(m_series);
    update();
}

void PicturesCanvas::Show(const QDateTime& from, const QDateTime& to)
{
    const auto [first, last] = PicturesPainter::FullRange(m_series);
    const qint64 whole = first.msecsTo(last);
    qint64 span = std::clamp(from.msecsTo(to), std::min(kShortestSpanMs, whole), whole);
    qint64 start = std::clamp(first.msecsTo(from), qint64(0), whole - span);
    m_from = first.addMSecs(start);
    m_to = m_from.addMSecs(span);
    update();
}

void PicturesCanvas::Zoom(double factor, double x)
{
    const double share = std::clamp(x / std::max(1, width()), 0.0, 1.0);
    const qint64 span = m_from.msecsTo(m_to);
    const qint64 newSpan = qint64(span * factor);
    const QDateTime pivot = m_from.addMSecs(qint64(span * share));
    const QDateTime from = pivot.addMSecs(-qint64(newSpan * share));
    Show(from, from.addMSecs(newSpan));
}

void PicturesCanvas::Pan(double pixels)
{
    const qint64 shift = qint64(-pixels / std::max(1, width()) * m_from.msecsTo(m_to));
    Show(m_from.addMSecs(shift), m_to.addMSecs(shift));
}

void PicturesCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PicturesPainter::Draw(painter, rect(), m_series, m_from, m_to);
}

void PicturesCanvas::wheelEvent(QWheelEvent* event)
{
    const double steps = event->angleDelta().y() / kWheelStep;
    if (steps != 0)
        Zoom(std::pow(kZoomStep, steps), event->position().x());
    event->accept();
}

void PicturesCanvas::mousePressEvent(QMouseEvent* event)
{
    m_dragX = event->position().x();
    setCursor(Qt::ClosedHandCursor);
}

void PicturesCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    Pan(event->position().x() - m_dragX);
    m_dragX = event->position().x();
}

void PicturesCanvas::mouseDoubleClickEvent(QMouseEvent*)
{
    ShowAll();
}
