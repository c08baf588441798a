#include "ui/main/ElidingLabel.h"

#include <QResizeEvent>
#include <QShowEvent>

namespace {
const QChar kEllipsis(0x2026);
/// Room kept for the smallest useful start of the text.
constexpr int kMinimumChars = 12;
} // namespace

ElidingLabel::ElidingLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void ElidingLabel::setFullText(const QString& text)
{
    if (text == m_fullText)
        return;
    m_fullText = text;
    updateGeometry();
    Elide();
}

QString ElidingLabel::ElideAtWord(const QString& text, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const QString trimmed = text.trimmed();
    for (qsizetype end = trimmed.lastIndexOf(u' '); end > 0;
         end = trimmed.lastIndexOf(u' ', end - 1)) {
        // No separator left hanging before the ellipsis.
        QString shown = trimmed.left(end);
        while (!shown.isEmpty() && !shown.back().isLetterOrNumber() && shown.back() != u')')
            shown.chop(1);
        shown = u' ' + shown + kEllipsis;
        if (metrics.horizontalAdvance(shown) <= width)
            return shown;
    }
    return QString(kEllipsis);
}

QSize ElidingLabel::sizeHint() const
{
    const QMargins margins = contentsMargins();
    return {fontMetrics().horizontalAdvance(m_fullText) + margins.left() + margins.right() +
                2 * margin(),
            QLabel::sizeHint().height()};
}

QSize ElidingLabel::minimumSizeHint() const
{
    return {fontMetrics().averageCharWidth() * kMinimumChars, QLabel::minimumSizeHint().height()};
}

void ElidingLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    Elide();
}

void ElidingLabel::showEvent(QShowEvent* event)
{
    QLabel::showEvent(event);
    Elide();
}

void ElidingLabel::Elide()
{
    // Not laid out yet: its size says nothing.
    if (!isVisible()) {
        setText(m_fullText);
        setToolTip(QString());
        return;
    }
    const QString shown = ElideAtWord(m_fullText, fontMetrics(), contentsRect().width());
    setText(shown);
    setToolTip(shown == m_fullText ? QString() : m_fullText.trimmed());
}
