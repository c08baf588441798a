#include "controller/SetupUndo.h"

#include "controller/SetupChange.h"
#include "data/SetupBlocks.h"
#include "data/Tarn_Inputs.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

#include <QByteArray>
#include <QJsonObject>

namespace {

constexpr int kZones = Tarn_Inputs::kZones;
constexpr const char* kDefinitionKey = "definition";

bool Sets(const QJsonObject& old, const QJsonObject& now, const char* key)
{
    const QString name = QLatin1String(key);
    return old.contains(name) && old.value(name) != now.value(name);
}

/// The zone (0 to 2) a zone profile change names; -1 when it names none.
int Zone(const QJsonObject& fields)
{
    const int zone = fields.value(QStringLiteral("zone")).toInt() - 1;
    return zone >= 0 && zone < kZones ? zone : -1;
}

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

ControllerIdentity SetupUndo::Owner(const ArchivedChange& change, const ControllerKey& filedUnder)
{
    ControllerIdentity owner;
    owner.firmware = filedUnder.firmware;
    owner.serialNumber = filedUnder.serialNumber == QLatin1String("0")
                             ? std::string()
                             : filedUnder.serialNumber.toStdString();
    // A serial number written renamed the controller: it goes by the new one since.
    const QJsonObject now = SetupChange::Fields(change.afterJson);
    const QString serial = now.value(QLatin1String(SetupChange::kAdminKeys[0])).toString();
    if (change.command == TarnCommand::SetAdminData && !serial.isEmpty() && serial != u'0')
        owner.serialNumber = serial.toStdString();
    return owner;
}

QString SetupUndo::WhyNot(const ArchivedChange& change, bool serviceSwitch)
{
    if (change.isFunctionTest())
        return QStringLiteral("A function test wrote nothing to the setup: there is nothing to "
                              "undo.");
    const QJsonObject old = SetupChange::Fields(change.beforeJson);
    const QJsonObject now = SetupChange::Fields(change.afterJson);
    switch (change.command) {
    case TarnCommand::SetDelays:
        return {};
    case TarnCommand::SetZoneProfile:
        if (Zone(old) < 0)
            return QStringLiteral("The change names no zone.");
        if (!old.value(QLatin1String(kDefinitionKey)).isString())
            return QStringLiteral("The definition the zone ran before this change was not kept: "
                                  "it cannot be sent back.");
        return {};
    case TarnCommand::SetAdminData:
        if (!serviceSwitch && (Sets(old, now, SetupChange::kAdminKeys[0]) ||
                               Sets(old, now, SetupChange::kAdminKeys[1])))
            return QStringLiteral("The serial number and the manufacturing date are written "
                                  "only with the service switch -K.");
        return {};
    case TarnCommand::SetClock:
        return QStringLiteral("A clock setting is not undone: set the clock in the setup window.");
    case TarnCommand::SetProfileDefinition:
        return QStringLiteral("A profile definition goes back with the undo of its zone's "
                              "profile.");
    default:
        return QStringLiteral("This change cannot be undone.");
    }
}

SetupWriter::Result SetupUndo::Undo(Tarn_Comm& link, const ArchivedChange& change,
                                    const ControllerKey& filedUnder)
{
    if (change.isFunctionTest()) {
        SetupWriter::Result refused;
        refused.refusal = WhyNot(change, false);
        return refused;
    }
    const QJsonObject old = SetupChange::Fields(change.beforeJson);
    const QJsonObject now = SetupChange::Fields(change.afterJson);
    SetupWriter::Target target;
    target.identity = Owner(change, filedUnder);
    std::array<bool, kZones> zones{};
    if (change.command == TarnCommand::SetZoneProfile && Zone(old) >= 0)
        zones[static_cast<std::size_t>(Zone(old))] = true;

    const int16_t voltageSwitch = link.DetectorVoltageSwitch;
    const auto build = [&](const Tarn_Inputs& record, std::vector<SetupBlocks::Command>& commands,
                           QString& errText) {
        switch (change.command) {
        case TarnCommand::SetAdminData: {
            SetupBlocks::Admin admin;
            for (int i = 0; i < 5; ++i) {
                if (!Sets(old, now, SetupChange::kAdminKeys[i]))
                    continue;
                const QString value =
                    old.value(QLatin1String(SetupChange::kAdminKeys[i])).toString();
                if (i == 0) {
                    admin.serialNumber = value.toUInt();
                    continue;
                }
                const QStringList parts = value.split(u'-');
                if (parts.size() == 3)
                    admin.dates[i - 1] = TarnDateTime::FromParts(parts[0].toInt(), parts[1].toInt(),
                                                                 parts[2].toInt());
            }
            std::string block;
            if (!SetupBlocks::AdminBlock(admin, block)) {
                errText = QStringLiteral("The old administrative values cannot be sent to Tarn "
                                         "(no value before the change).");
                return false;
            }
            commands.push_back({TarnCommand::SetAdminData, block});
            return true;
        }
        case TarnCommand::SetDelays: {
            // The fields this change left alone are those the controller holds now.
            SetupBlocks::Delays delays = SetupBlocks::DelaysOf(record, voltageSwitch);
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
            return true;
        }
        case TarnCommand::SetZoneProfile: {
            // The profile and the definition the zone ran before the change, as kept with it.
            const int zone = Zone(old);
            const QByteArray definition =
                QByteArray::fromHex(old.value(QLatin1String(kDefinitionKey)).toString().toLatin1());
            commands.push_back({TarnCommand::SetZoneProfile,
                                SetupBlocks::ZoneProfileData(
                                    zone, old.value(QStringLiteral("profileId")).toInt())});
            commands.push_back({TarnCommand::SetProfileDefinition,
                                SetupBlocks::ZoneDefinitionData(zone, definition.toStdString())});
            return true;
        }
        default:
            errText = QStringLiteral("This change cannot be undone.");
            return false;
        }
    };
    return SetupWriter::Run(link, target, build, zones);
}
