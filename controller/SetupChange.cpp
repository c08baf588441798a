#include "controller/SetupChange.h"

#include "data/Catalogues.h"
#include "data/DateCodec.h"
#include "data/SetupBlocks.h"
#include "data/Tarn_Inputs.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>

namespace {

constexpr int kZones = Tarn_Inputs::kZones;
constexpr std::size_t kDelaysReplyDigits = 20;
constexpr std::size_t kAdminFieldDigits = 8;
constexpr auto& kDelayKeys = SetupChange::kDelayKeys;
constexpr auto& kAdminKeys = SetupChange::kAdminKeys;

/// A hex field of a block we sent; 0 when it is not one.
unsigned long Hex(std::string_view text)
{
    unsigned long value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return value;
}

QString Key(const char* prefix, int zone)
{
    return SetupChange::ZoneKey(prefix, zone);
}

QString DateText(const TarnDateTime& date)
{
    if (date.IsZero())
        return QString();
    return QStringLiteral("%1-%2-%3")
        .arg(date.Year(), 4, 10, QLatin1Char('0'))
        .arg(date.Month(), 2, 10, QLatin1Char('0'))
        .arg(date.Day(), 2, 10, QLatin1Char('0'));
}

QJsonObject DelayFields(const Tarn_Inputs& inputs, int16_t voltageSwitch)
{
    const double delays[] = {inputs.DetectorAlarmDelay, inputs.DetectorResetDelay,
                             inputs.ManualAlarmDelay, inputs.ManualStopDelay};
    QJsonObject fields;
    for (int i = 0; i < 4; ++i)
        fields.insert(QLatin1String(kDelayKeys[i]), delays[i]);
    for (int16_t zone = 0; zone < kZones; ++zone) {
        fields.insert(Key("Message", zone), inputs.Messages(zone));
        fields.insert(Key("Outputs", zone), inputs.OutPuts(zone));
    }
    fields.insert(QStringLiteral("voltageSwitch"), voltageSwitch);
    return fields;
}

QJsonObject AdminFields(const Tarn_Inputs& inputs)
{
    return {{QLatin1String(kAdminKeys[0]), Latin1(inputs.SerialNumber)},
            {QLatin1String(kAdminKeys[1]), DateText(inputs.Manufactured)},
            {QLatin1String(kAdminKeys[2]), DateText(inputs.Installed)},
            {QLatin1String(kAdminKeys[3]), DateText(inputs.LastService)},
            {QLatin1String(kAdminKeys[4]), DateText(inputs.LastService2)}};
}

QString Json(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

bool SetupChange::Describe(int command, const std::string& data, const Tarn_Inputs& before,
                           int16_t voltageSwitch, ArchivedChange& change)
{
    QJsonObject old;
    QJsonObject now;
    QString title;
    switch (command) {
    case TarnCommand::SetDelays: {
        old = DelayFields(before, voltageSwitch);
        Tarn_Inputs after = before;
        // The block's first ten fields are laid out as the delays reply; then the switch.
        if (data.size() < kDelaysReplyDigits + 2)
            return false;
        after.ResolveDelays(std::string_view(data).substr(0, kDelaysReplyDigits));
        now = DelayFields(
            after, static_cast<int16_t>(Hex(std::string_view(data).substr(kDelaysReplyDigits))));
        title = QStringLiteral("Delays and zones");
        break;
    }
    case TarnCommand::SetZoneProfile: {
        if (data.size() < 1 + kAdminFieldDigits)
            return false;
        const int zone = static_cast<unsigned char>(data[0]);
        if (zone >= kZones)
            return false;
        old = {{QStringLiteral("zone"), zone + 1},
               {QStringLiteral("profileId"), before.ProfileID(static_cast<int16_t>(zone))}};
        now = {{QStringLiteral("zone"), zone + 1},
               {QStringLiteral("profileId"),
                static_cast<int>(Hex(std::string_view(data).substr(1, kAdminFieldDigits)))}};
        title = QStringLiteral("Zone %1 profile").arg(zone + 1);
        break;
    }
    case TarnCommand::SetProfileDefinition: {
        if (data.empty())
            return false;
        const int zone = static_cast<unsigned char>(data[0]);
        old = {{QStringLiteral("zone"), zone + 1}};
        now = {{QStringLiteral("zone"), zone + 1},
               {QStringLiteral("definition"),
                QString::fromLatin1(QByteArray::fromStdString(data.substr(2)).toHex())}};
        title = QStringLiteral("Zone %1 profile definition").arg(zone + 1);
        break;
    }
    case TarnCommand::SetAdminData: {
        const QJsonObject all = AdminFields(before);
        // A field sent as "00000000" is left as the controller has it.
        for (int i = 0; i < 5; ++i) {
            const std::size_t at = static_cast<std::size_t>(i) * kAdminFieldDigits;
            const std::string field = data.substr(std::min(at, data.size()), kAdminFieldDigits);
            if (field.size() < kAdminFieldDigits || field == SetupBlocks::kUnsetAdminField)
                continue;
            const QString key = QLatin1String(kAdminKeys[i]);
            old.insert(key, all.value(key));
            if (i == 0) {
                now.insert(key, QString::number(Hex(field)));
            } else {
                Tarn_Inputs decoded;
                decoded.ResolveAdminData(std::string(kAdminFieldDigits * i, '0') + field +
                                         std::string(kAdminFieldDigits * (4 - i), '0'));
                const TarnDateTime dates[] = {decoded.Manufactured, decoded.Installed,
                                              decoded.LastService, decoded.LastService2};
                now.insert(key, DateText(dates[i - 1]));
            }
        }
        title = QStringLiteral("Administrative data");
        break;
    }
    case TarnCommand::SetClock:
        // The controller's clock as read right before it was set, when it was.
        old = {{QStringLiteral("clock"),
                before.CPUDateTime.IsZero()
                    ? QJsonValue()
                    : QJsonValue(DateText(before.CPUDateTime) +
                                 QStringLiteral("T%1:%2:%3")
                                     .arg(before.CPUDateTime.Hour(), 2, 10, QLatin1Char('0'))
                                     .arg(before.CPUDateTime.Minute(), 2, 10, QLatin1Char('0'))
                                     .arg(before.CPUDateTime.Second(), 2, 10, QLatin1Char('0')))}};
        now = {{QStringLiteral("clock"), Latin1(data.substr(0, 14))}};
        title = QStringLiteral("Clock");
        break;
    case TarnCommand::LogControl:
        if (data != SetupBlocks::ClearLogData())
            return false;
        now = {{QStringLiteral("log"), QStringLiteral("deleted")}};
        title = QStringLiteral("Event log deleted");
        break;
    default:
        return false;
    }
    change.command = command;
    change.data = Latin1(data);
    change.beforeJson = Json(old);
    change.afterJson = Json(now);
    // Told in words by HistoryWords, which the recorder stores with it.
    change.summary = title;
    return true;
}

QString SetupChange::ZoneKey(const char* field, int zone)
{
    return QStringLiteral("zone%1%2").arg(zone + 1).arg(QLatin1String(field));
}

QJsonObject SetupChange::Fields(const QString& json)
{
    return QJsonDocument::fromJson(json.toUtf8()).object();
}

SetupChange::WrittenDefinition
SetupChange::LastDefinition(const std::vector<ArchivedChange>& changes, int zone)
{
    WrittenDefinition written;
    for (const ArchivedChange& change : changes) {
        // A function test writes nothing: it neither confirms nor leaves a definition open.
        if (change.isFunctionTest())
            continue;
        const QJsonObject after = Fields(change.afterJson);
        if (after.value(QStringLiteral("zone")).toInt() != zone)
            continue;
        if (change.command == TarnCommand::SetZoneProfile) {
            written.confirmed = false;
        } else if (change.command == TarnCommand::SetProfileDefinition) {
            written.definition = after.value(QStringLiteral("definition")).toString();
            written.confirmed = true;
        }
    }
    return written;
}

std::array<bool, SetupBlocks::kZones>
SetupChange::UnconfirmedDefinitions(const std::vector<ArchivedChange>& changes)
{
    std::array<bool, SetupBlocks::kZones> unconfirmed{};
    for (int zone = 0; zone < SetupBlocks::kZones; ++zone)
        unconfirmed[static_cast<std::size_t>(zone)] = !LastDefinition(changes, zone + 1).confirmed;
    return unconfirmed;
}
