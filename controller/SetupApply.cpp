#include "controller/SetupApply.h"

#include "controller/DisplayFormat.h"
#include "controller/StatusCycle.h"
#include "data/ProfileCompiler.h"
#include "data/TextNumbers.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

#include <algorithm>

namespace {

using Block = SetupDiff::Block;

bool Differs(const std::vector<SetupDiff::Difference>& differences, Block block)
{
    return std::any_of(differences.begin(), differences.end(),
                       [block](const SetupDiff::Difference& d) { return d.block == block; });
}

/// The zone's commands 104 and 102 from the file's definition.
bool ZoneCommands(const SetupFile::Setup& file, int zone,
                  const KeyedCollection<Tarn_Profile>& catalogue, bool useFileProfiles,
                  std::vector<SetupBlocks::Command>& commands, QString& errText)
{
    const SetupFile::Zone& z = file.zones[static_cast<std::size_t>(zone)];
    const QString name = QStringLiteral("zone %1 profile %2").arg(zone + 1).arg(z.profileId);
    if (!z.profileDefinition) {
        errText = name + QStringLiteral(": the file has no definition of it (Tarn.INI did not "
                                        "have the profile when the file was saved)");
        return false;
    }
    const Tarn_Profile* local = catalogue.Find(DecimalText(z.profileId));
    if (!useFileProfiles && !local) {
        errText = name + QStringLiteral(" is not in Tarn.INI; --use-file-profiles writes the "
                                        "file's definition \"%1\"")
                             .arg(DisplayFormat::Text(*z.profileDefinition));
        return false;
    }
    if (!useFileProfiles && local->Profile != *z.profileDefinition) {
        errText = name + QStringLiteral(" is defined differently in Tarn.INI (\"%1\") and in the "
                                        "file (\"%2\"); --use-file-profiles writes the file's")
                             .arg(DisplayFormat::Text(local->Profile),
                                  DisplayFormat::Text(*z.profileDefinition));
        return false;
    }
    const std::string compiled = CompileProfile(*z.profileDefinition);
    if (compiled.empty()) {
        errText = name + QStringLiteral(": its definition \"%1\" does not compile")
                             .arg(DisplayFormat::Text(*z.profileDefinition));
        return false;
    }
    commands.push_back(
        {TarnCommand::SetZoneProfile, SetupBlocks::ZoneProfileData(zone, z.profileId)});
    commands.push_back(
        {TarnCommand::SetProfileDefinition, SetupBlocks::ZoneDefinitionData(zone, compiled)});
    return true;
}

bool AdminCommand(const SetupBlocks::Admin& admin, std::vector<SetupBlocks::Command>& commands,
                  QString& errText)
{
    std::string block;
    if (!SetupBlocks::AdminBlock(admin, block)) {
        errText = QStringLiteral("the administrative data cannot be built");
        return false;
    }
    commands.push_back({TarnCommand::SetAdminData, block});
    return true;
}

} // namespace

bool SetupApply::Plan(const SetupFile::Setup& file,
                      const std::vector<SetupDiff::Difference>& differences,
                      double controllerVersion, const KeyedCollection<Tarn_Profile>& catalogue,
                      const Options& options, std::vector<Step>& steps, QString& errText)
{
    steps.clear();
    if (Differs(differences, Block::Delays)) {
        SetupBlocks::Delays delays;
        delays.detectorAlarm = file.detectorAlarmDelay;
        delays.detectorReset = file.detectorResetDelay;
        delays.manualAlarm = file.manualAlarmDelay;
        delays.manualStop = file.manualStopDelay;
        for (std::size_t z = 0; z < file.zones.size(); ++z) {
            delays.messages[z] = static_cast<int16_t>(file.zones[z].message);
            delays.outputs[z] = SetupFile::OutputsByte(file.zones[z].outputs);
        }
        delays.voltageSwitch = static_cast<int16_t>(file.detectorVoltageSwitch);
        steps.push_back({Block::Delays,
                         QStringLiteral("delays, zone messages and outputs (98)"),
                         {{TarnCommand::SetDelays, SetupBlocks::DelaysBlock(delays)}}});
    }
    static constexpr Block kZones[] = {Block::Zone1, Block::Zone2, Block::Zone3};
    for (int zone = 0; zone < SetupFile::kZones; ++zone) {
        if (!Differs(differences, kZones[zone]))
            continue;
        Step step{kZones[zone], QStringLiteral("zone %1 profile (104, 102)").arg(zone + 1), {}};
        if (!ZoneCommands(file, zone, catalogue, options.useFileProfiles, step.commands, errText))
            return false;
        steps.push_back(std::move(step));
    }

    const bool admin = (options.factory && (Differs(differences, Block::SerialNumber) ||
                                            Differs(differences, Block::Manufactured))) ||
                       Differs(differences, Block::Installed) ||
                       Differs(differences, Block::ServiceDates);
    if (admin && controllerVersion < StatusCycle::kAdminDataVersion) {
        errText = QStringLiteral("Tarn has firmware %1: the serial number and the dates need "
                                 "2.07 or later")
                      .arg(DisplayFormat::Version(controllerVersion));
        return false;
    }
    // One command 99 per row of the setup window, in its order; a field not set is kept.
    if (options.factory && Differs(differences, Block::SerialNumber)) {
        SetupBlocks::Admin fields;
        fields.serialNumber = file.serialNumber;
        Step step{Block::SerialNumber, QStringLiteral("serial number (99)"), {}};
        if (!AdminCommand(fields, step.commands, errText))
            return false;
        steps.push_back(std::move(step));
    }
    const auto dateStep = [&](Block block, const QString& label, std::size_t field,
                              const std::optional<TarnDateTime>& date) {
        SetupBlocks::Admin fields;
        fields.dates[field] = date;
        Step step{block, label, {}};
        if (!AdminCommand(fields, step.commands, errText))
            return false;
        steps.push_back(std::move(step));
        return true;
    };
    if (options.factory && Differs(differences, Block::Manufactured) &&
        !dateStep(Block::Manufactured, QStringLiteral("manufacturing date (99)"), 0,
                  file.manufactured))
        return false;
    if (Differs(differences, Block::Installed) &&
        !dateStep(Block::Installed, QStringLiteral("installation date (99)"), 1, file.installed))
        return false;
    if (Differs(differences, Block::ServiceDates)) {
        SetupBlocks::Admin fields;
        fields.dates[2] = file.lastService;
        fields.dates[3] = file.serviceBefore;
        Step step{Block::ServiceDates, QStringLiteral("service dates (99)"), {}};
        if (!AdminCommand(fields, step.commands, errText))
            return false;
        steps.push_back(std::move(step));
    }
    return true;
}

SetupApply::Outcome SetupApply::Run(Tarn_Comm& link, const std::vector<Step>& steps)
{
    Outcome outcome;
    for (const Step& step : steps) {
        outcome.commandsDone = 0;
        for (const SetupBlocks::Command& command : step.commands) {
            if (!link.Send(command.code, command.data))
                return outcome;
            ++outcome.commandsDone;
        }
        ++outcome.stepsDone;
    }
    outcome.commandsDone = 0;
    return outcome;
}
