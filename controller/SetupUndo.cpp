#include "controller/SetupUndo.h"

#include "controller/SetupChange.h"
#include "controller/SetupCommands.h"
#include "data/Catalogues.h"
#include "data/SetupBlocks.h"
#include "data/Tarn_Inputs.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

#include <QJsonObject>

namespace {
constexpr int kZones = Tarn_Inputs::kZones;
} // namespace

const char* SetupUndo::Question(const ArchivedChange& change)
{
    switch (change.command) {
    case TarnCommand::SetDelays:
        return "Send new delay values to Tarn?";
    case TarnCommand::SetZoneProfile:
        return "Send new Zone settings to Tarn?";
    case TarnCommand::SetAdminData: {
        const QJsonObject fields = SetupChange::Fields(change.beforeJson);
        if (fields.contains(QLatin1String(SetupChange::kAdminKeys[0])))
            return "Send new serial number to Tarn?";
        if (fields.contains(QLatin1String(SetupChange::kAdminKeys[1])))
            return "Send new Manufactoring date to Tarn?";
        if (fields.contains(QLatin1String(SetupChange::kAdminKeys[2])))
            return "Send new Installation date to Tarn?";
        return "Send new Service date to Tarn?";
    }
    default:
        return "";
    }
}

bool SetupUndo::CanUndo(const ArchivedChange& change)
{
    return change.command == TarnCommand::SetDelays ||
           change.command == TarnCommand::SetZoneProfile ||
           change.command == TarnCommand::SetAdminData;
}

bool SetupUndo::Undo(Tarn_Comm& link, const ArchivedChange& change, std::string& errText)
{
    if (!CanUndo(change)) {
        errText = "This change cannot be undone.";
        return false;
    }
    const QJsonObject old = SetupChange::Fields(change.beforeJson);
    const QJsonObject now = SetupChange::Fields(change.afterJson);
    std::vector<SetupBlocks::Command> commands;
    if (change.command == TarnCommand::SetAdminData) {
        SetupBlocks::Admin admin;
        for (int i = 0; i < 5; ++i) {
            const QString key = QLatin1String(SetupChange::kAdminKeys[i]);
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
            take(QLatin1String(SetupChange::kDelayKeys[0]), delays.detectorAlarm);
            take(QLatin1String(SetupChange::kDelayKeys[1]), delays.detectorReset);
            take(QLatin1String(SetupChange::kDelayKeys[2]), delays.manualAlarm);
            take(QLatin1String(SetupChange::kDelayKeys[3]), delays.manualStop);
            for (int zone = 0; zone < kZones; ++zone) {
                take(SetupChange::ZoneKey("Message", zone), delays.messages[zone]);
                take(SetupChange::ZoneKey("Outputs", zone), delays.outputs[zone]);
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
