#pragma once

#include <QColor>

class QLabel;

/// An on/off indicator drawn as a round lamp: filled with the state's colour, and with a
/// thick dark rim when on, so that it reads without colour too (greyscale, colour blindness).
class Lamp
{
public:
    static constexpr int kSize = 14;

    /// A label made into a lamp, off.
    static QLabel* Make(const QString& name, const QColor& offColour);
    /// Shows the state; the label's palette holds the colour shown.
    static void Set(QLabel* lamp, bool on, const QColor& colour);
    static QColor Colour(const QLabel* lamp);
};
