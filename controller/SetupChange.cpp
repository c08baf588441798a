#include "controller/SetupChange.h"

#include "controller/SetupCommands.h"
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
constexpr const char* kDelayKeys[] = {"detectorAlarm", "detectorReset", "manualAlarm",
                                      "manualStop"};
constexpr const char* kAdminKeys[] = {"serialNumber", "manufactured", "installed", "lastService",
                                      "serviceBefore"};

/// A hex field of a block we sent; 0 when it is not one.
unsigned long Hex(std::string_view text)
{
    unsigned long value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return value;
}

QString Key(const char* prefix, int zone)
{
    return QStringLiteral("zone%1%2").arg(zone + 1).arg(QLatin1String(prefix));
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

/// "detector alarm 30 → 45, zone 2 outputs 1 → 3": the fields that differ.
QString Summary(const QString& title, const QJsonObject& before, const QJsonObject& after)
{
    QStringList parts;
    for (auto it = after.begin(); it != after.end(); ++it) {
        const QJsonValue old = before.value(it.key());
        if (old == it.value())
            continue;
        const auto text = [](const QJsonValue& v) {
            return v.isString() ? v.toString() : QString::number(v.toDouble());
        };
        parts << QStringLiteral("%1 %2 → %3").arg(it.key(), text(old), text(it.value()));
    }
    if (parts.isEmpty())
        return title + QStringLiteral(": no change");
    return title + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

QString Json(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QJsonObject Object(const QString& json)
{
    return QJsonDocument::fromJson(json.toUtf8()).object();
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
        old = {{QStringLiteral("clock"), QStringLiteral("as read")}};
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
    change.summary = command == TarnCommand::LogControl ? title : Summary(title, old, now);
    return true;
}

const char* SetupChange::Question(const ArchivedChange& change)
{
    switch (change.command) {
    case TarnCommand::SetDelays:
        return "Send new delay values to Tarn?";
    case TarnCommand::SetZoneProfile:
        return "Send new Zone settings to Tarn?";
    case TarnCommand::SetAdminData: {
        const QJsonObject fields = Object(change.beforeJson);
        if (fields.contains(QLatin1String(kAdminKeys[0])))
            return "Send new serial number to Tarn?";
        if (fields.contains(QLatin1String(kAdminKeys[1])))
            return "Send new Manufactoring date to Tarn?";
        if (fields.contains(QLatin1String(kAdminKeys[2])))
            return "Send new Installation date to Tarn?";
        return "Send new Service date to Tarn?";
    }
    default:
        return "";
    }
}

bool SetupChange::CanUndo(const ArchivedChange& change)
{
    return change.command == TarnCommand::SetDelays ||
           change.command == TarnCommand::SetZoneProfile ||
           change.command == TarnCommand::SetAdminData;
}

bool SetupChange::Undo(Tarn_Comm& link, const ArchivedChange& change, std::string& errText)
{
    if (!CanUndo(change)) {
        errText = "This change cannot be undone.";
        return false;
    }
    const QJsonObject old = Object(change.beforeJson);
    const QJsonObject now = Object(change.afterJson);
    std::vector<SetupBlocks::Command> commands;
    if (change.command == TarnCommand::SetAdminData) {
        SetupBlocks::Admin admin;
        for (int i = 0; i < 5; ++i) {
            const QString key = QLatin1String(kAdminKeys[i]);
            if (!old.contains(key) || old.value(key) == now.value(key))
                continue;
            const QString value = old.value(key).toString();
            if (i == 0) {
                admin.serialNumber = value.toUInt();
            } else {
                const QStringList parts = value.split(u'-');
                if (parts.size() == 3)
                    admin.dates[i - 1] = TarnDateTime::FromParts(parts[0].toInt(), parts[1].toInt(),
                                                                 parts[2].toInt());
            }
        }
        std::string block;
        if (!SetupBlocks::AdminBlock(admin, block)) {
            errText = "The old administrative values cannot be sent to Tarn (no value before the "
                      "change).";
            return false;
        }
        commands.push_back({TarnCommand::SetAdminData, block});
    } else {
        // The fields this change left alone are those the controller has now.
        if (!SetupCommands::ReadDelays(link, errText))
            return false;
        SetupBlocks::Delays delays = SetupBlocks::DelaysOf(link.Inputs, link.DetectorVoltageSwitch);
        std::array<std::optional<int32_t>, kZones> profiles;
        if (change.command == TarnCommand::SetDelays) {
            const auto take = [&](const QString& key, auto& field) {
                if (old.contains(key) && old.value(key) != now.value(key))
                    field = static_cast<std::remove_reference_t<decltype(field)>>(
                        old.value(key).toDouble());
            };
            take(QLatin1String(kDelayKeys[0]), delays.detectorAlarm);
            take(QLatin1String(kDelayKeys[1]), delays.detectorReset);
            take(QLatin1String(kDelayKeys[2]), delays.manualAlarm);
            take(QLatin1String(kDelayKeys[3]), delays.manualStop);
            for (int zone = 0; zone < kZones; ++zone) {
                take(Key("Message", zone), delays.messages[zone]);
                take(Key("Outputs", zone), delays.outputs[zone]);
            }
            take(QStringLiteral("voltageSwitch"), delays.voltageSwitch);
            commands.push_back({TarnCommand::SetDelays, SetupBlocks::DelaysBlock(delays)});
        } else {
            const int zone = old.value(QStringLiteral("zone")).toInt() - 1;
            if (zone < 0 || zone >= kZones) {
                errText = "The change names no zone.";
                return false;
            }
            profiles[zone] = old.value(QStringLiteral("profileId")).toInt();
            if (!SetupBlocks::ZoneSettingsCommands(delays, profiles, ProfileCatalogue, commands,
                                                   errText))
                return false;
        }
    }
    for (const SetupBlocks::Command& command : commands) {
        if (!link.Send(command.code, command.data)) {
            errText = link.lastError().toStdString();
            return false;
        }
    }
    return true;
}
