#include "controller/DisplayFormat.h"

#include <QStringList>

#include "data/TarnDateTime.h"
#include "data/TextNumbers.h"

#include <QDate>
#include <QTime>

#include <algorithm>

namespace {
constexpr int kSignificantDigits = 15;
}

namespace {

/// "B", the period of the day ("in the afternoon"), is not a format letter of this Qt: it
/// would be shown as a "B". It goes, and an hour of the 12-hour clock that then has nothing
/// to tell morning from afternoon counts to 24 instead.
QString WithoutDayPeriod(const QString& format)
{
    QString result;
    bool quoted = false;
    bool dropped = false;
    bool amPm = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u'B') {
            dropped = true;
            continue;
        }
        if (!quoted && (c == u'A' || c == u'a'))
            amPm = true;
        result += c;
    }
    if (!dropped || amPm)
        return result.trimmed();
    quoted = false;
    for (QChar& c : result) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u'h')
            c = u'H';
    }
    return result.trimmed();
}

} // namespace

QString DisplayFormat::LongTimeFormat(const QLocale& locale)
{
    return WithoutDayPeriod(LongTimeFormatWithPeriod(locale));
}

QString DisplayFormat::LongTimeFormatWithPeriod(const QLocale& locale)
{
    // The long form names the time zone ("t"); the controller's clock has none. What only sets
    // the zone off from the time goes with it: the brackets around it ("H:mm:ss (t)",
    // "Bh:mm:ss [t]") and the comma or blank between ("h:mm:ss AP, t", "t HH:mm:ss").
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    qsizetype zone = -1;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't') {
            if (zone < 0)
                zone = result.size();
            continue;
        }
        result += c;
    }
    if (zone < 0)
        return result.trimmed();

    static const QString kOpening = QStringLiteral("([\uFF08\uFF3B");
    static const QString kClosing = QStringLiteral(")]\uFF09\uFF3D");
    static const QString kSeparators = QStringLiteral(",\u060C\u3001\uFF0C");
    const auto separator = [](QChar c) { return c.isSpace() || kSeparators.contains(c); };
    qsizetype before = zone;
    while (before > 0 && result[before - 1].isSpace())
        --before;
    qsizetype after = zone;
    while (after < result.size() && result[after].isSpace())
        ++after;
    const qsizetype bracket = before > 0 ? kOpening.indexOf(result[before - 1]) : -1;
    if (bracket >= 0 && after < result.size() && result[after] == kClosing[bracket]) {
        // "(t)": the brackets and the blanks before them.
        qsizetype from = before - 1;
        while (from > 0 && result[from - 1].isSpace())
            --from;
        result.remove(from, after + 1 - from);
    } else {
        // The separators before the zone, or after it when it comes first.
        qsizetype from = zone;
        while (from > 0 && separator(result[from - 1]))
            --from;
        qsizetype to = zone;
        if (from == 0) {
            while (to < result.size() && separator(result[to]))
                ++to;
        }
        result.remove(from, to - from);
    }
    return result.trimmed();
}

QString DisplayFormat::GeneralDateTime(const TarnDateTime& value, const QLocale& locale)
{
    const QDate date(value.Year(), value.Month(), value.Day());
    const QTime time(value.Hour(), value.Minute(), value.Second());
    const QString timeText = locale.toString(time, LongTimeFormat(locale));
    if (value.DatePart().IsZero())
        return timeText;
    const QString dateText = locale.toString(date, QLocale::ShortFormat);
    if (!value.HasTime())
        return dateText;
    return dateText + u' ' + timeText;
}

QString DisplayFormat::Number(double value, const QLocale& locale)
{
    QLocale plain(locale);
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(value, 'g', kSignificantDigits);
}

QString DisplayFormat::Version(double version)
{
    return u'V' + QString::fromStdString(FormatVersionNumber(version));
}

QString DisplayFormat::Text(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string DisplayFormat::Latin1Text(const QString& shown, const QString& fallback)
{
    const auto latin1 = [](QChar c) { return c.unicode() <= 0xFF; };
    const QString& text = std::all_of(shown.begin(), shown.end(), latin1) ? shown : fallback;
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString DisplayFormat::UnbrokenChanges(const QString& text)
{
    static const QString arrow = QStringLiteral(" \u2192 ");
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        const qsizetype at = line.indexOf(arrow);
        if (at < 0)
            continue;
        // The value before the arrow starts after the name's colon, or is its last word.
        const qsizetype colon = line.lastIndexOf(QStringLiteral(": "), at);
        const qsizetype from = colon >= 0 ? colon + 2 : line.lastIndexOf(u' ', at - 1) + 1;
        for (qsizetype i = from; i < line.size(); ++i)
            if (line[i] == u' ')
                line[i] = QChar(0x00A0);
    }
    return lines.join(u'\n');
}
