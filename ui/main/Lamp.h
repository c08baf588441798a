#pragma once

#include <QColor>

class QLabel;

/// An on/off indicator drawn as a round lamp: filled with the state's colour, and with a
/// thick dark rim when on, so that it reads without colour too (greyscale, colour blindness).
/// A disabled lamp (its value gone stale) is greyed.
class Lamp
{
public:
    static constexpr int kSize = 14;

    /// A label made into a lamp, off.
    static QLabel* Make(const QString& name, const QColor& offColour);
    /// Shows the state in `colour`.
    static void Set(QLabel* lamp, bool on, const QColor& colour);
    /// The state's colour, also while the lamp is greyed.
    static QColor Colour(const QLabel* lamp);
    /// The colour a disabled lamp shows for `colour`: mostly grey.
    static QColor Greyed(const QColor& colour);
};
