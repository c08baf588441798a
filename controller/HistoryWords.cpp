#include "controller/HistoryWords.h"

#include "controller/DisplayFormat.h"
#include "controller/FunctionTest.h"
#include "controller/SetupChange.h"
#include "data/Catalogues.h"
#include "data/TextNumbers.h"
#include "protocol/CommandCodes.h"

#include <QDateTime>
#include <QJsonArray>
#include <QLocale>
#include <algorithm>

namespace {

const QString kArrow = QStringLiteral(" \u2192 ");
const QString kCelsius = QStringLiteral(" \u00b0C");

/// The setup window's name of a field of a change, and how its value reads.
struct Field
{
    const char* key;
    const char* name;
    const char* unit; ///< after the number, or null for none
};

constexpr Field kDelayFields[] = {{"detectorAlarm", "Detector alarm delay", " s"},
                                  {"detectorReset", "Detector reset delay", " s"},
                                  {"manualAlarm", "Manual release alarm delay", " s"},
                                  {"manualStop", "Manual release stop delay", " s"},
                                  {"voltageSwitch", "Detector voltage switch", nullptr}};
constexpr Field kAdminFields[] = {{"serialNumber", "Serial number", nullptr},
                                  {"manufactured", "Manufacturing date", nullptr},
                                  {"installed", "Installation date", nullptr},
                                  {"lastService", "Last service date", nullptr},
                                  {"serviceBefore", "Service date before", nullptr}};

QString Number(const QJsonValue& value, const QString& unit = QString())
{
    if (value.isNull() || value.isUndefined())
        return QStringLiteral("not read");
    return QLocale::c().toString(value.toDouble(), 'g', QLocale::FloatingPointShortest) + unit;
}

/// "1, 3" of an outputs byte; "none".
QString Outputs(const QJsonValue& value)
{
    QStringList numbers;
    const int byte = value.toInt();
    for (int j = 0; j < 4; ++j)
        if (byte & (1 << j))
            numbers << QString::number(j + 1);
    return numbers.isEmpty() ? QStringLiteral("none") : numbers.join(QStringLiteral(", "));
}

/// "Continuous 10 min" (Tarn.INI's name of the number), or "profile 8".
QString Profile(const QJsonValue& id, const QString& knownName = QString())
{
    if (!knownName.isEmpty())
        return knownName;
    const Tarn_Profile* profile = ProfileCatalogue.Find(DecimalText(id.toInt()));
    return profile ? DisplayFormat::Text(profile->Name)
                   : QStringLiteral("profile %1").arg(id.toInt());
}

QString Time(const QDateTime& time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QDateTime ClockOf(const QString& text)
{
    // Sent as yyyyMMddHHmmss and the day of the week; kept as ISO text when read.
    QDateTime time = QDateTime::fromString(text.left(14), QStringLiteral("yyyyMMddHHmmss"));
    if (!time.isValid())
        time = QDateTime::fromString(text, Qt::ISODate);
    return time;
}

QString Value(const QString& key, const QJsonValue& value)
{
    if (key.endsWith(QLatin1String("Outputs")) || key == QLatin1String("outputs"))
        return Outputs(value);
    for (const Field& field : kDelayFields)
        if (key == QLatin1String(field.key))
            return Number(value, field.unit ? QLatin1String(field.unit) : QString());
    if (value.isString())
        return key == QLatin1String("serialNumber") ? value.toString()
                                                    : HistoryWords::Date(value.toString());
    if (value.isBool())
        return value.toBool() ? QStringLiteral("on") : QStringLiteral("off");
    return Number(value);
}

QString Name(const QString& key)
{
    for (const Field& field : kDelayFields)
        if (key == QLatin1String(field.key))
            return QLatin1String(field.name);
    for (const Field& field : kAdminFields)
        if (key == QLatin1String(field.key))
            return QLatin1String(field.name);
    // "zone2Message", "zone2Outputs"
    if (key.startsWith(QLatin1String("zone")) && key.size() > 5)
        return QStringLiteral("Zone %1 %2").arg(key.mid(4, 1), key.mid(5).toLower());
    return key;
}

void Add(std::vector<HistoryWords::Row>& rows, const QString& name, const QString& before,
         const QString& after)
{
    if (before != after)
        rows.push_back({name, before, after});
}

} // namespace

QString HistoryWords::Date(const QString& iso)
{
    if (iso.isEmpty())
        return QStringLiteral("not set");
    const QDate date = QDate::fromString(iso.left(10), Qt::ISODate);
    return date.isValid() ? QLocale::c().toString(date, QStringLiteral("d MMM yyyy")) : iso;
}

QStringList HistoryWords::ChangeLines(const ArchivedChange& change)
{
    const QJsonObject before = SetupChange::Fields(change.beforeJson);
    const QJsonObject after = SetupChange::Fields(change.afterJson);
    const int zone = after.value(QStringLiteral("zone")).toInt();
    QStringList lines;
    if (change.isFunctionTest()) {
        const FunctionTest::Fields test = FunctionTest::Read(change);
        return {
            QStringLiteral("Function test: ") +
            FunctionTest::Text(test.outputs, test.milliseconds, test.inputsSeen, test.inputsRead)};
    }
    switch (change.command) {
    case TarnCommand::SetZoneProfile: {
        const QJsonValue was = before.value(QStringLiteral("profileId"));
        const QJsonValue becomes = after.value(QStringLiteral("profileId"));
        if (was != becomes)
            lines << QStringLiteral("Zone %1 profile: %2%3%4")
                         .arg(zone)
                         .arg(Profile(was), kArrow, Profile(becomes));
        return lines;
    }
    case TarnCommand::SetProfileDefinition:
        return {QStringLiteral("Zone %1 profile definition written (%2 bytes)")
                    .arg(zone)
                    .arg(after.value(QStringLiteral("definition")).toString().size() / 2)};
    case TarnCommand::SetClock: {
        const QDateTime set = ClockOf(after.value(QStringLiteral("clock")).toString());
        const QDateTime was = ClockOf(before.value(QStringLiteral("clock")).toString());
        QString line =
            QStringLiteral("Clock set to %1 %2")
                .arg(QLocale::c().toString(set.date(), QStringLiteral("d MMM yyyy")), Time(set));
        if (was.isValid())
            line += QStringLiteral(" (was %1)")
                        .arg(was.date() == set.date()
                                 ? Time(was)
                                 : QLocale::c().toString(was.date(), QStringLiteral("d MMM yyyy")) +
                                       u' ' + Time(was));
        return {line};
    }
    case TarnCommand::LogControl:
        return {QStringLiteral("Event log deleted")};
    default:
        break;
    }
    // The delays block and the administrative data: the fields in the order written.
    for (auto it = after.begin(); it != after.end(); ++it) {
        const QJsonValue was = before.value(it.key());
        if (was == it.value())
            continue;
        lines << Name(it.key()) + QStringLiteral(": ") + Value(it.key(), was) + kArrow +
                     Value(it.key(), it.value());
    }
    return lines;
}

QString HistoryWords::DataText(const QString& data)
{
    const QByteArray bytes = data.toLatin1();
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
        return data;
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString HistoryWords::ChangeText(const ArchivedChange& change)
{
    return ChangeLines(change).join(QStringLiteral("; "));
}

std::vector<HistoryWords::Row> HistoryWords::StatusRows(const QJsonObject& before,
                                                        const QJsonObject& after)
{
    std::vector<Row> rows;
    const auto value = [](const QJsonObject& snapshot, const QString& group, const QString& key) {
        return (group.isEmpty() ? snapshot : snapshot.value(group).toObject()).value(key);
    };
    const auto text = [&](const QJsonObject& snapshot, const QString& group, const QString& key) {
        const QJsonValue v = value(snapshot, group, key);
        return snapshot.isEmpty() || v.isUndefined() ? QString() : Value(key, v);
    };
    Add(rows, QStringLiteral("Firmware"),
        before.isEmpty() ? QString() : DisplayFormat::Version(before.value(u"version").toDouble()),
        DisplayFormat::Version(after.value(u"version").toDouble()));
    Add(rows, QStringLiteral("Temperature"),
        before.isEmpty() ? QString() : Number(before.value(u"temperatureCelsius"), kCelsius),
        Number(after.value(u"temperatureCelsius"), kCelsius));
    for (const Field& field : kDelayFields)
        Add(rows, QLatin1String(field.name), text(before, QStringLiteral("delays"), field.key),
            text(after, QStringLiteral("delays"), field.key));
    const QJsonArray zonesBefore = before.value(u"zones").toArray();
    const QJsonArray zonesAfter = after.value(u"zones").toArray();
    for (qsizetype z = 0; z < zonesAfter.size(); ++z) {
        const QJsonObject was = zonesBefore.at(z).toObject();
        const QJsonObject is = zonesAfter.at(z).toObject();
        const QString zone = QStringLiteral("Zone %1 ").arg(z + 1);
        const auto profile = [](const QJsonObject& o) {
            return o.isEmpty() ? QString()
                               : Profile(o.value(u"profileId"), o.value(u"profileName").toString());
        };
        Add(rows, zone + QStringLiteral("profile"), profile(was), profile(is));
        Add(rows, zone + QStringLiteral("message"), text(was, {}, QStringLiteral("message")),
            text(is, {}, QStringLiteral("message")));
        Add(rows, zone + QStringLiteral("outputs"), text(was, {}, QStringLiteral("outputs")),
            text(is, {}, QStringLiteral("outputs")));
    }
    static const struct
    {
        const char* key;
        const char* name;
    } kInputs[] = {{"detectors", "Detector"},
                   {"manualReleases", "Manual release"},
                   {"universalIO", "Universal I/O"}};
    for (const auto& input : kInputs) {
        const QJsonArray was =
            before.value(u"inputs").toObject().value(QLatin1String(input.key)).toArray();
        const QJsonArray is =
            after.value(u"inputs").toObject().value(QLatin1String(input.key)).toArray();
        for (qsizetype i = 0; i < is.size(); ++i)
            Add(rows, QStringLiteral("%1 %2").arg(QLatin1String(input.name)).arg(i + 1),
                before.isEmpty() ? QString() : Value(QString(), was.at(i)),
                Value(QString(), is.at(i)));
    }
    for (const Field& field : kAdminFields)
        if (after.contains(u"admin"))
            Add(rows, QLatin1String(field.name), text(before, QStringLiteral("admin"), field.key),
                text(after, QStringLiteral("admin"), field.key));
    return rows;
}

QStringList HistoryWords::EventChoices()
{
    QStringList choices;
    for (const Tarn_Message& message : EventCodeCatalogue)
        choices << QStringLiteral("%1 \u2013 %2")
                       .arg(QString::fromStdString(message.key), DisplayFormat::Text(message.Text));
    return choices;
}

std::optional<int> HistoryWords::EventCode(const QString& text)
{
    const QString wanted = text.trimmed();
    bool isNumber = false;
    const int code = wanted.section(QStringLiteral(" \u2013 "), 0, 0).toInt(&isNumber);
    if (isNumber)
        return code;
    for (const Tarn_Message& message : EventCodeCatalogue)
        if (DisplayFormat::Text(message.Text).compare(wanted, Qt::CaseInsensitive) == 0)
            if (const int number = QString::fromStdString(message.key).toInt(&isNumber); isNumber)
                return number;
    return std::nullopt;
}
