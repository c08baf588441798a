#include "controller/SetupApply.h"

#include "controller/DisplayFormat.h"
#include "controller/SetupWriter.h"
#include "controller/StatusCycle.h"
#include "data/ProfileCompiler.h"
#include "data/SetupFields.h"
#include "data/TextNumbers.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

#include <QStringList>

#include <algorithm>
#include <initializer_list>

namespace {

using Block = SetupDiff::Block;

constexpr Block kZoneBlocks[] = {Block::Zone1, Block::Zone2, Block::Zone3};

/// The names of --only and their blocks.
struct OnlyName
{
    const char* name;
    std::initializer_list<Block> blocks;
};
const OnlyName kOnly[] = {{"delays", {Block::Delays}},
                          {"zones", {Block::Zone1, Block::Zone2, Block::Zone3}},
                          {"dates", {Block::Installed, Block::ServiceDates}},
                          {"factory", {Block::SerialNumber, Block::Manufactured}}};

/// Tarn.INI's detector voltage switch goes into the delays block as one byte.
constexpr int kMaxVoltageSwitch = 255;

QString Date(const std::optional<TarnDateTime>& date)
{
    return date ? QString::fromStdString(SetupFile::DateText(*date)) : QStringLiteral("none");
}

/// A setup window's error box, on one line after the field and value it is about.
QString WindowReason(const char* field, const std::optional<TarnDateTime>& date,
                     const std::string& windowError)
{
    QString reason = DisplayFormat::Text(windowError);
    reason.replace(u'\r', u' ');
    return QStringLiteral("%1 %2: %3").arg(QLatin1String(field), Date(date), reason);
}

/// Why the file's delays block cannot be written: each value that differs from the
/// controller's and lies outside what the setup window writes. Empty when it can.
QString DelaysRefusal(const SetupFile::Setup& controller, const SetupFile::Setup& file)
{
    const struct
    {
        const char* field;
        int was;
        int becomes;
        int low;
        int high;
    } values[] = {{"detector alarm delay", controller.detectorAlarmDelay, file.detectorAlarmDelay,
                   SetupFields::kMinDelay, SetupFields::kMaxDelay},
                  {"manual alarm delay", controller.manualAlarmDelay, file.manualAlarmDelay,
                   SetupFields::kMinDelay, SetupFields::kMaxDelay},
                  {"manual stop delay", controller.manualStopDelay, file.manualStopDelay,
                   SetupFields::kMinDelay, SetupFields::kMaxDelay},
                  {"detector voltage switch (Tarn.INI)", controller.detectorVoltageSwitch,
                   file.detectorVoltageSwitch, 0, kMaxVoltageSwitch}};
    QStringList reasons;
    for (const auto& v : values) {
        if (v.becomes != v.was && (v.becomes < v.low || v.becomes > v.high))
            reasons << QStringLiteral("%1 %2 is outside %3 to %4")
                           .arg(QLatin1String(v.field))
                           .arg(v.becomes)
                           .arg(v.low)
                           .arg(v.high);
    }
    return reasons.join(QStringLiteral("; "));
}

/// Why the file's service dates cannot be written, or empty. `installed` is the installation
/// date the controller will hold.
QString ServiceRefusal(const SetupFile::Setup& controller, const SetupFile::Setup& file,
                       const TarnDateTime& installed, const TarnDateTime& now, bool forceDates)
{
    // A date the file leaves out goes out unset: Tarn keeps its own.
    const std::optional<TarnDateTime> last =
        file.lastService ? file.lastService : controller.lastService;
    const std::optional<TarnDateTime> before =
        file.serviceBefore ? file.serviceBefore : controller.serviceBefore;
    const auto check = [&](const char* field, const std::optional<TarnDateTime>& date,
                           const std::optional<TarnDateTime>& held) {
        if (!date || date == held)
            return QString();
        const std::string error =
            SetupFields::ServiceDateError(*date, now, installed, TarnDateTime());
        return error.empty() ? QString() : WindowReason(field, date, error);
    };
    if (QString refusal = check("last service date", file.lastService, controller.lastService);
        !refusal.isEmpty())
        return refusal;
    if (QString refusal =
            check("service date before", file.serviceBefore, controller.serviceBefore);
        !refusal.isEmpty())
        return refusal;
    if (last && before && *before > *last)
        return QStringLiteral(
                   "the service date before, %1, is later than the last service date, %2")
            .arg(Date(before), Date(last));
    if (forceDates)
        return {};
    // Tarn keeps the last two services: a write may add a newer one, never lose one.
    const QString force = QStringLiteral(" (--force-dates writes it)");
    if (controller.lastService && *last < *controller.lastService)
        return QStringLiteral("the last service date would go back from %1 to %2")
                   .arg(Date(controller.lastService), Date(last)) +
               force;
    if (controller.serviceBefore && *before < *controller.serviceBefore)
        return QStringLiteral("the service date before would go back from %1 to %2")
                   .arg(Date(controller.serviceBefore), Date(before)) +
               force;
    if (controller.lastService && controller.lastService != last &&
        controller.lastService != before && (!before || *controller.lastService > *before))
        return QStringLiteral("the service of %1 would be lost, and it is newer than %2")
                   .arg(Date(controller.lastService),
                        before ? Date(before) : QStringLiteral("the service date kept before")) +
               force;
    return {};
}

} // namespace

bool SetupApply::ParseOnly(const QString& names, std::vector<SetupDiff::Block>& blocks,
                           QString& errText)
{
    std::vector<Block> chosen;
    for (const QString& name : names.split(u',')) {
        const auto found = std::find_if(std::begin(kOnly), std::end(kOnly), [&](const OnlyName& o) {
            return name.trimmed() == QLatin1String(o.name);
        });
        if (found == std::end(kOnly)) {
            errText = QStringLiteral("--only takes %1, not \"%2\"")
                          .arg(QLatin1String(kOnlyNames), name.trimmed());
            return false;
        }
        chosen.insert(chosen.end(), found->blocks.begin(), found->blocks.end());
    }
    blocks = std::move(chosen);
    return true;
}

QString SetupApply::Label(SetupDiff::Block block)
{
    switch (block) {
    case Block::Delays:
        return QStringLiteral("delays, zone messages and outputs (98)");
    case Block::Zone1:
    case Block::Zone2:
    case Block::Zone3:
        return QStringLiteral("zone %1 profile (104, 102)")
            .arg(static_cast<int>(block) - static_cast<int>(Block::Zone1) + 1);
    case Block::SerialNumber:
        return QStringLiteral("serial number (99)");
    case Block::Manufactured:
        return QStringLiteral("manufacturing date (99)");
    case Block::Installed:
        return QStringLiteral("installation date (99)");
    case Block::ServiceDates:
        return QStringLiteral("service dates (99)");
    }
    return {};
}

bool SetupApply::ZoneCommands(const SetupFile::Setup& file, int zone,
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
    if (const std::string tooLong = SetupBlocks::CompiledLengthError(compiled); !tooLong.empty()) {
        errText = name + QStringLiteral(": its definition \"%1\" %2")
                             .arg(DisplayFormat::Text(*z.profileDefinition),
                                  QString::fromStdString(tooLong));
        return false;
    }
    commands.push_back(
        {TarnCommand::SetZoneProfile, SetupBlocks::ZoneProfileData(zone, z.profileId)});
    commands.push_back(
        {TarnCommand::SetProfileDefinition, SetupBlocks::ZoneDefinitionData(zone, compiled)});
    return true;
}

bool SetupApply::Plan(const SetupFile::Setup& controller, const SetupFile::Setup& file,
                      const KeyedCollection<Tarn_Profile>& catalogue, const Options& options,
                      const TarnDateTime& now, std::vector<Step>& steps,
                      std::vector<LeftOut>& leftOut, QString& errText)
{
    steps.clear();
    leftOut.clear();
    const std::vector<SetupDiff::Difference> differences = SetupDiff::Compare(controller, file);
    const auto differs = [&](Block block) {
        return std::any_of(differences.begin(), differences.end(),
                           [block](const SetupDiff::Difference& d) { return d.block == block; });
    };
    const auto planned = [&](Block block) {
        return std::any_of(steps.begin(), steps.end(),
                           [block](const Step& step) { return step.block == block; });
    };
    // Differs, and is not left out by choice.
    const auto wanted = [&](Block block) {
        if (!differs(block))
            return false;
        const bool factoryLeft = SetupDiff::IsFactory(block) && !options.factory;
        const bool onlyLeft =
            !options.only.empty() &&
            std::find(options.only.begin(), options.only.end(), block) == options.only.end();
        if (factoryLeft || onlyLeft)
            leftOut.push_back({block, Label(block), false,
                               factoryLeft ? QStringLiteral("not written without --factory")
                                           : QStringLiteral("not in --only")});
        return !factoryLeft && !onlyLeft;
    };
    const auto refuse = [&](Block block, const QString& reason) {
        leftOut.push_back({block, Label(block), true, reason});
    };

    if (wanted(Block::Delays)) {
        if (const QString refusal = DelaysRefusal(controller, file); !refusal.isEmpty()) {
            refuse(Block::Delays, refusal);
        } else {
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
                             Label(Block::Delays),
                             {{TarnCommand::SetDelays, SetupBlocks::DelaysBlock(delays)}}});
        }
    }
    for (int zone = 0; zone < SetupFile::kZones; ++zone) {
        if (!wanted(kZoneBlocks[zone]))
            continue;
        Step step{kZoneBlocks[zone], Label(kZoneBlocks[zone]), {}};
        if (!ZoneCommands(file, zone, catalogue, options.useFileProfiles, step.commands, errText)) {
            steps.clear();
            leftOut.clear();
            return false;
        }
        steps.push_back(std::move(step));
    }

    const bool serial = wanted(Block::SerialNumber);
    const bool manufactured = wanted(Block::Manufactured);
    const bool installed = wanted(Block::Installed);
    const bool service = wanted(Block::ServiceDates);
    if ((serial || manufactured || installed || service) &&
        controller.source.firmwareVersion < StatusCycle::kAdminDataVersion) {
        errText = QStringLiteral("Tarn has firmware %1: the serial number and the dates need "
                                 "2.07 or later; --only delays,zones writes the rest")
                      .arg(DisplayFormat::Version(controller.source.firmwareVersion));
        steps.clear();
        leftOut.clear();
        return false;
    }
    // One command 99 per row of the setup window, in its order; a field not set is kept.
    const auto adminStep = [&](Block block, const SetupBlocks::Admin& fields) {
        std::string data;
        if (!SetupBlocks::AdminBlock(fields, data)) {
            refuse(block, QStringLiteral("the administrative data cannot be built"));
            return;
        }
        steps.push_back({block, Label(block), {{TarnCommand::SetAdminData, data}}});
    };
    if (serial) {
        SetupBlocks::Admin fields;
        fields.serialNumber = file.serialNumber;
        adminStep(Block::SerialNumber, fields);
    }
    if (manufactured) {
        if (const std::string error = SetupFields::ManufacturingDateError(*file.manufactured, now);
            !error.empty()) {
            refuse(Block::Manufactured,
                   WindowReason("manufacturing date", file.manufactured, error));
        } else {
            SetupBlocks::Admin fields;
            fields.dates[0] = file.manufactured;
            adminStep(Block::Manufactured, fields);
        }
    }
    if (installed) {
        const std::optional<TarnDateTime> after =
            planned(Block::Manufactured) ? file.manufactured : controller.manufactured;
        if (const std::string error = SetupFields::InstallationDateError(
                *file.installed, now, after.value_or(TarnDateTime()));
            !error.empty()) {
            refuse(Block::Installed, WindowReason("installation date", file.installed, error));
        } else {
            SetupBlocks::Admin fields;
            fields.dates[1] = file.installed;
            adminStep(Block::Installed, fields);
        }
    }
    if (service) {
        const std::optional<TarnDateTime> after =
            planned(Block::Installed) ? file.installed : controller.installed;
        if (const QString refusal = ServiceRefusal(controller, file, after.value_or(TarnDateTime()),
                                                   now, options.forceDates);
            !refusal.isEmpty()) {
            refuse(Block::ServiceDates, refusal);
        } else {
            SetupBlocks::Admin fields;
            fields.dates[2] = file.lastService;
            fields.dates[3] = file.serviceBefore;
            adminStep(Block::ServiceDates, fields);
        }
    }
    return true;
}

bool SetupApply::Unconfirmed(const Tarn_Comm& link)
{
    // Sent unless the port was closed or the device gone; answered when refused.
    return link.isStarted() && !link.isDeviceGone() && !link.answered();
}

SetupApply::Outcome SetupApply::Run(Tarn_Comm& link, const std::vector<Step>& steps,
                                    const std::function<void(const Step&)>& starting)
{
    Outcome outcome;
    for (const Step& step : steps) {
        if (starting)
            starting(step);
        outcome.commandsDone = 0;
        for (const SetupBlocks::Command& command : step.commands) {
            // The status record follows each command acknowledged.
            if (SetupWriter::Write(link, {command}).done == 0) {
                outcome.unconfirmed = Unconfirmed(link);
                return outcome;
            }
            ++outcome.commandsDone;
        }
        ++outcome.stepsDone;
    }
    outcome.commandsDone = 0;
    return outcome;
}
