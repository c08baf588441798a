#include "ui/main/Lamp.h"

#include <QLabel>
#include <QVariant>

namespace {
constexpr int kRimOn = 3;
constexpr int kRimOff = 1;
const QColor kRimColourOn(48, 48, 48);
const QColor kRimColourOff(128, 128, 128);
/// How much of the grey a greyed lamp is, in percent.
constexpr int kGreyShare = 75;
constexpr const char* kColourProperty = "lampColour";
const QColor kGrey(200, 200, 200);
} // namespace

QColor Lamp::Greyed(const QColor& colour)
{
    const auto mix = [](int own, int grey) {
        return (own * (100 - kGreyShare) + grey * kGreyShare) / 100;
    };
    return QColor(mix(colour.red(), kGrey.red()), mix(colour.green(), kGrey.green()),
                  mix(colour.blue(), kGrey.blue()));
}

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
    // The state's colour, whatever the style makes of the palette when greyed.
    lamp->setProperty(kColourProperty, colour);
    // Disabled (a value gone stale) it is greyed as the texts are, the rim still telling on
    // from off.
    lamp->setStyleSheet(QStringLiteral("QLabel { background-color: %1; border: %2px solid %3; "
                                       "border-radius: %4px; } "
                                       "QLabel:disabled { background-color: %5; "
                                       "border-color: %6; }")
                            .arg(colour.name())
                            .arg(on ? kRimOn : kRimOff)
                            .arg((on ? kRimColourOn : kRimColourOff).name())
                            .arg(kSize / 2)
                            .arg(Greyed(colour).name(), Greyed(kRimColourOn).name()));
}

QColor Lamp::Colour(const QLabel* lamp)
{
    return lamp->property(kColourProperty).value<QColor>();
}
