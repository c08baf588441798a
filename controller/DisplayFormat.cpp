#include "controller/DisplayFormat.h"

#include "data/TarnDateTime.h"
#include "data/TextNumbers.h"

#include <QDate>
#include <QTime>

#include <algorithm>

namespace {
constexpr int kSignificantDigits = 15;
}

QString DisplayFormat::LongTimeFormat(const QLocale& locale)
{
    // The long form names the time zone ("t"); the controller's clock has none.
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        result += c;
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
