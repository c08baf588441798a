#include "data/SetupBlocks.h"

#include "data/DateCodec.h"
#include "data/ProfileCompiler.h"
#include "data/Tarn_Inputs.h"
#include "data/TextNumbers.h"
#include "protocol/CommandCodes.h"
#include "protocol/FrameCodec.h"
#include "protocol/WireEncoding.h"

#include <charconv>
#include <cmath>
#include <limits>

SetupBlocks::Delays SetupBlocks::DelaysOf(const Tarn_Inputs& inputs, int16_t voltageSwitch)
{
    Delays delays;
    delays.detectorAlarm = inputs.DetectorAlarmDelay;
    delays.detectorReset = inputs.DetectorResetDelay;
    delays.manualAlarm = inputs.ManualAlarmDelay;
    delays.manualStop = inputs.ManualStopDelay;
    for (int16_t zone = 0; zone < kZones; ++zone) {
        delays.messages[zone] = inputs.Messages(zone);
        delays.outputs[zone] = inputs.OutPuts(zone);
    }
    delays.voltageSwitch = voltageSwitch;
    return delays;
}

std::string SetupBlocks::WholeHex(double value)
{
    // nearbyint rounds halves to even in the default rounding mode.
    double whole = std::nearbyint(value);
    if (std::isnan(whole))
        whole = 0;
    constexpr double low = std::numeric_limits<int16_t>::min();
    constexpr double high = std::numeric_limits<int16_t>::max();
    whole = whole < low ? low : (whole > high ? high : whole);
    return IntToHex(static_cast<int16_t>(whole));
}

std::string SetupBlocks::DelaysBlock(const Delays& delays)
{
    std::string block = WholeHex(delays.detectorAlarm) + WholeHex(delays.detectorReset) +
                        WholeHex(delays.manualAlarm) + WholeHex(delays.manualStop);
    for (const int16_t message : delays.messages)
        block += IntToHex(message);
    for (const uint8_t outputs : delays.outputs)
        block += IntToHex(outputs);
    return block + IntToHex(delays.voltageSwitch);
}

bool SetupBlocks::AdminBlock(const Admin& admin, std::string& block)
{
    std::string text;
    if (!admin.serialNumber)
        text = kUnsetAdminField;
    else if (*admin.serialNumber == 0)
        return false;
    else
        text = LongToHex8(static_cast<int32_t>(*admin.serialNumber));
    for (const std::optional<TarnDateTime>& date : admin.dates) {
        if (!date) {
            text += kUnsetAdminField;
            continue;
        }
        const std::string packed = EncodePackedDate(*date);
        if (packed.empty())
            return false;
        text += packed;
    }
    block = std::move(text);
    return true;
}

SetupBlocks::Admin SetupBlocks::ServiceDates(const TarnDateTime& serviceDate,
                                             const TarnDateTime& lastService)
{
    Admin admin;
    admin.dates[2] = serviceDate;
    if (lastService > TarnDateTime::FromParts(kPackedDateFirstYear, 1, 1) &&
        !EncodePackedDate(lastService).empty())
        admin.dates[3] = lastService;
    return admin;
}

std::string SetupBlocks::ClockText(const TarnDateTime& now)
{
    return FormatControllerClock(now);
}

bool SetupBlocks::EndsEarly(uint8_t address, uint8_t pcAddress, int code, std::string_view data)
{
    const std::string frame = BuildRequestFrame(address, pcAddress, code, data);
    return frame.find(static_cast<char>(kFrameEndByte)) != frame.size() - 1;
}

std::string SetupBlocks::ClearLogData()
{
    return std::string(1, TarnCommand::LogDeleteAll);
}

uint8_t SetupBlocks::OutputsByte(const std::array<bool, kOutputsPerZone>& ticked)
{
    uint8_t value = 0;
    for (int j = 0; j < kOutputsPerZone; ++j)
        if (ticked[j])
            value = SetBit(value, j);
    return value;
}

std::string SetupBlocks::ZoneProfileData(int zone, int32_t profileNumber)
{
    return std::string(1, static_cast<char>(zone)) + LongToHex8(profileNumber);
}

std::string SetupBlocks::ZoneDefinitionData(int zone, std::string_view compiled)
{
    std::string data{static_cast<char>(zone), '\0'};
    data += compiled.substr(0, kMaxCompiledProfileBytes);
    return data;
}

std::string SetupBlocks::CompiledLengthError(std::string_view compiled)
{
    if (compiled.size() <= kMaxCompiledProfileBytes)
        return {};
    return "compiles to " + std::to_string(compiled.size()) + " bytes; Tarn holds at most " +
           std::to_string(kMaxCompiledProfileBytes);
}

bool SetupBlocks::ZoneSettingsCommands(const Delays& delays,
                                       const std::array<std::optional<int32_t>, kZones>& profiles,
                                       const KeyedCollection<Tarn_Profile>& catalogue,
                                       std::vector<Command>& commands, std::string& errText)
{
    std::vector<Command> sequence{{TarnCommand::SetDelays, DelaysBlock(delays)}};
    for (int zone = 0; zone < kZones; ++zone) {
        if (!profiles[zone])
            continue;
        const std::string key = DecimalText(*profiles[zone]);
        const Tarn_Profile* profile = catalogue.Find(key);
        if (!profile) {
            errText = "Profile " + key + " is not in Tarn.INI.";
            return false;
        }
        const std::string compiled = CompileProfile(profile->Profile);
        if (compiled.empty()) {
            errText =
                "Profile " + key + " (" + profile->Name + ") has no valid definition in Tarn.INI.";
            return false;
        }
        if (const std::string tooLong = CompiledLengthError(compiled); !tooLong.empty()) {
            errText = "Profile " + key + " (" + profile->Name + ") " + tooLong + ".";
            return false;
        }
        sequence.push_back({TarnCommand::SetZoneProfile, ZoneProfileData(zone, *profiles[zone])});
        sequence.push_back({TarnCommand::SetProfileDefinition, ZoneDefinitionData(zone, compiled)});
    }
    commands = std::move(sequence);
    return true;
}

std::vector<SetupBlocks::ProfileChoice>
SetupBlocks::ProfileChoices(const KeyedCollection<Tarn_Profile>& catalogue)
{
    std::vector<ProfileChoice> choices;
    for (const Tarn_Profile& profile : catalogue) {
        int32_t id = 0;
        const char* first = profile.ID.data();
        const char* last = first + profile.ID.size();
        const auto [end, ec] = std::from_chars(first, last, id);
        if (ec != std::errc() || end != last || DecimalText(id) != profile.ID)
            continue;
        choices.push_back({profile.Name, id});
    }
    return choices;
}

int SetupBlocks::ChoiceIndex(const std::vector<ProfileChoice>& choices, int32_t id)
{
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (choices[i].id == id)
            return static_cast<int>(i);
    return -1;
}
