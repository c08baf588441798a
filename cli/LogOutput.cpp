#include "cli/LogOutput.h"

#include "data/ExportText.h"

#include "controller/DisplayFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString Latin1Text(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

std::string LogOutput::IsoTime(const TarnDateTime& time)
{
    return ExportText::ControllerTime(time);
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
    std::vector<EventListCsv::Event> events;
    events.reserve(Events.size());
    for (const Event& event : Events)
        events.push_back({event.number, event.time, event.celsius, event.text, event.lost});
    return EventListCsv::Text(Source, events);
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
