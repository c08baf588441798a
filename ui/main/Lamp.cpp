#include "ui/main/Lamp.h"

#include <QLabel>

namespace {
constexpr int kRimOn = 3;
constexpr int kRimOff = 1;
const QColor kRimColourOn(48, 48, 48);
const QColor kRimColourOff(128, 128, 128);
} // namespace

QLabel* Lamp::Make(const QString& name, const QColor& offColour)
{
    auto* lamp = new QLabel;
    lamp->setObjectName(name);
    lamp->setFixedSize(kSize, kSize);
    Set(lamp, false, offColour);
    return lamp;
}

void Lamp::Set(QLabel* lamp, bool on, const QColor& colour)
{
    QPalette palette = lamp->palette();
    palette.setColor(QPalette::Window, colour);
    lamp->setPalette(palette);
    lamp->setStyleSheet(QStringLiteral("QLabel { background-color: %1; border: %2px solid %3; "
                                       "border-radius: %4px; }")
                            .arg(colour.name())
                            .arg(on ? kRimOn : kRimOff)
                            .arg((on ? kRimColourOn : kRimColourOff).name())
                            .arg(kSize / 2));
}

QColor Lamp::Colour(const QLabel* lamp)
{
    return lamp->palette().color(QPalette::Window);
}
