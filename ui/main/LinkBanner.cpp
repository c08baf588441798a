#include "ui/main/LinkBanner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

LinkBanner::LinkBanner(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("fraLinkBanner"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kBackground);
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);

    lblBanner = new QLabel;
    lblBanner->setObjectName(QStringLiteral("lblLinkBanner"));
    lblBanner->setWordWrap(true);
    lblBanner->setTextFormat(Qt::PlainText);
    lblBanner->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cmdComSettings = new QPushButton(QStringLiteral("Open Communication settings"));
    cmdComSettings->setObjectName(QStringLiteral("cmdLinkBannerSettings"));

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(lblBanner, 1);
    layout->addWidget(cmdComSettings, 0, Qt::AlignVCenter);
    hide();
}

void LinkBanner::Show(const QString& text)
{
    lblBanner->setText(text);
    setVisible(!text.isEmpty());
}

QString LinkBanner::text() const
{
    return isHidden() ? QString() : lblBanner->text();
}
