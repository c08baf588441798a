#include "cli/LogOutput.h"

#include "data/CsvCell.h"

#include "controller/DisplayFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

QString Latin1Text(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

QString LogOutput::CsvCell(const QString& cell)
{
    return QString::fromStdString(::CsvCell(cell.toStdString()));
}

std::string LogOutput::IsoTime(const TarnDateTime& time)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", time.Year(), time.Month(),
                  time.Day(), time.Hour(), time.Minute(), time.Second());
    return text;
}

std::string LogOutput::Tsv() const
{
    const QString degree(QChar(0xB0));
    EventLogReport report;
    for (const Event& event : Events) {
        if (event.lost) {
            report.Rows.push_back(
                {EventLogReport::RowNumber(event.number), {}, {}, EventLogReport::kLostEventText});
            continue;
        }
        const auto temperature = [&](const QLocale& locale) {
            return DisplayFormat::Number(event.celsius, locale) + degree + QStringLiteral("C/") +
                   DisplayFormat::Number(event.fahrenheit, locale) + degree + QStringLiteral("F");
        };
        report.Rows.push_back(
            {EventLogReport::RowNumber(event.number),
             DisplayFormat::Latin1Text(DisplayFormat::GeneralDateTime(event.time),
                                       DisplayFormat::GeneralDateTime(event.time, QLocale::c())),
             DisplayFormat::Latin1Text(temperature(QLocale()), temperature(QLocale::c())),
             event.text});
    }
    return report.Text();
}

std::string LogOutput::Csv() const
{
    QString text = QStringLiteral("number,time,celsius,fahrenheit,text\r\n");
    for (const Event& event : Events) {
        if (event.lost) {
            text += QStringLiteral("%1,,,,%2\r\n")
                        .arg(event.number)
                        .arg(QLatin1String(EventLogReport::kLostEventText));
            continue;
        }
        text += QStringLiteral("%1,%2,%3,%4,%5\r\n")
                    .arg(event.number)
                    .arg(QString::fromStdString(IsoTime(event.time)))
                    .arg(DisplayFormat::Number(event.celsius, QLocale::c()))
                    .arg(DisplayFormat::Number(event.fahrenheit, QLocale::c()))
                    .arg(CsvCell(Latin1Text(event.text)));
    }
    return text.toUtf8().toStdString();
}

std::string LogOutput::Json() const
{
    QJsonArray array;
    for (const Event& event : Events) {
        if (event.lost) {
            array.append(QJsonObject{
                {QStringLiteral("number"), event.number},
                {QStringLiteral("time"), QJsonValue::Null},
                {QStringLiteral("celsius"), QJsonValue::Null},
                {QStringLiteral("fahrenheit"), QJsonValue::Null},
                {QStringLiteral("text"), QLatin1String(EventLogReport::kLostEventText)}});
            continue;
        }
        array.append(
            QJsonObject{{QStringLiteral("number"), event.number},
                        {QStringLiteral("time"), QString::fromStdString(IsoTime(event.time))},
                        {QStringLiteral("celsius"), event.celsius},
                        {QStringLiteral("fahrenheit"), event.fahrenheit},
                        {QStringLiteral("text"), Latin1Text(event.text)}});
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString();
}
