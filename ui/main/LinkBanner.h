#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

/// The band across the top of the main window while the link is not working: one sentence of
/// what is wrong and what to do, and the way to the communication settings.
class LinkBanner : public QFrame
{
    Q_OBJECT
public:
    static inline const QColor kBackground{255, 236, 179};

    explicit LinkBanner(QWidget* parent = nullptr);

    /// Shows `text`; hides the band when it is empty.
    void Show(const QString& text);
    QString text() const;

    QLabel* lblBanner = nullptr;
    QPushButton* cmdComSettings = nullptr;
};
