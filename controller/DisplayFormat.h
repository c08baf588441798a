#pragma once

#include <QLocale>
#include <QString>

#include <string>

class TarnDateTime;

/// How values of the controller are written for the user: dates and numbers in the user's
/// locale, the firmware version in a fixed form. Qt Core only.
class DisplayFormat
{
public:
    /// The locale's general date-and-time form: short date, a space, long time (without a
    /// time-zone name). Exactly midnight shows the date alone; the zero date the time alone.
    static QString GeneralDateTime(const TarnDateTime& value, const QLocale& locale = QLocale());
    /// A number the way the locale writes it, up to 15 significant digits, no grouping.
    static QString Number(double value, const QLocale& locale = QLocale());
    /// "V" and the version in its fixed, locale-independent form: 2.07 gives "V 2.07".
    static QString Version(double version);
    /// 8-bit text of the controller or of Tarn.INI, one character per byte.
    static QString Text(const std::string& bytes);
    /// `shown` as 8-bit text for a report. Where it holds a character that Latin-1 cannot
    /// write (a locale's own digits or letters), `fallback` instead, which should be the
    /// same value formatted in the C locale.
    static std::string Latin1Text(const QString& shown, const QString& fallback);
    /// `text` with each line's change ("Delay: 30 s → 45 s") kept whole: the spaces from its
    /// value before the arrow to the line's end made non-breaking, so that a box wraps the
    /// line before the change, never inside a value.
    static QString UnbrokenChanges(const QString& text);
    /// The locale's long time format without its time-zone part (and without a day period
    /// this Qt cannot write, then on the 24-hour clock).
    static QString LongTimeFormat(const QLocale& locale);

private:
    static QString LongTimeFormatWithPeriod(const QLocale& locale);
};
