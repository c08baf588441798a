#pragma once

#include <QLabel>

/// A one-line label that, when it has less room than its text needs, shows the text cut after
/// a whole word with "…"; the whole text is then in the tool tip.
class ElidingLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidingLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    QString fullText() const { return m_fullText; }
    /// `text` cut after the last whole word that fits `width` with "…" after it.
    static QString ElideAtWord(const QString& text, const QFontMetrics& metrics, int width);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Elide();

    QString m_fullText;
};
