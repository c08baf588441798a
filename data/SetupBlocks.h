#pragma once

#include "data/KeyedCollection.h"
#include "data/TarnDateTime.h"
#include "data/Tarn_Profile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Tarn_Inputs;

/// The data of the setup commands: the delays block (98), the administrative block (99), the
/// clock text (65), the log deletion (66) and the zone profile commands (104, 102).
class SetupBlocks
{
public:
    static constexpr int kZones = 3;
    static constexpr int kOutputsPerZone = 4;
    static constexpr int kAdminDates = 4;
    /// An administrative field that the command does not set; Tarn keeps its stored value.
    static constexpr const char* kUnsetAdminField = "00000000";

    /// The fields of the delays block, in block order.
    struct Delays
    {
        double detectorAlarm = 0;
        double detectorReset = 0;
        double manualAlarm = 0;
        double manualStop = 0;
        std::array<int16_t, kZones> messages{};
        std::array<uint8_t, kZones> outputs{};
        int16_t voltageSwitch = 0;
    };
    /// The fields as the status record holds them, with the link's detector voltage switch.
    static Delays DelaysOf(const Tarn_Inputs& inputs, int16_t voltageSwitch);
    /// Eleven short-hex fields without separators: 22 characters while all values are below 256.
    static std::string DelaysBlock(const Delays& delays);
    /// Short hex of the nearest whole number (halves to even), kept within 16 bits.
    static std::string WholeHex(double value);

    /// The fields of the administrative block; a field without a value goes out unset.
    /// Dates: manufactured, installed, last service, service before.
    struct Admin
    {
        std::optional<uint32_t> serialNumber;
        std::array<std::optional<TarnDateTime>, kAdminDates> dates;
    };
    /// Five fields of eight hex digits. False, and no block, for a serial number of 0 or a date
    /// that cannot be packed (before 2000, after 2255, no date).
    static bool AdminBlock(const Admin& admin, std::string& block);
    /// The service date block: `serviceDate` as the last service, the record's last service
    /// date as the one before when it is later than 1 January 2000 and can be packed.
    static Admin ServiceDates(const TarnDateTime& serviceDate, const TarnDateTime& lastService);

    /// The PC clock as Tarn takes it: yyyyMMddHHmmss and the weekday digit (1 Sunday).
    static std::string ClockText(const TarnDateTime& now);
    /// True when the request frame would hold a byte 255 before its end byte (a checksum of
    /// 255): the controller would cut it there and never answer. A clock text can meet this
    /// for one second in sixteen; the next second gives another checksum.
    static bool EndsEarly(uint8_t address, uint8_t pcAddress, int code, std::string_view data);
    /// One byte 0: delete all stored log events.
    static std::string ClearLogData();

    /// Outputs byte of a zone: bit j set when output j + 1 is ticked; bits 4 to 7 stay 0.
    static uint8_t OutputsByte(const std::array<bool, kOutputsPerZone>& ticked);
    /// Command 104: the zone as a raw byte, then the profile number as eight hex digits.
    static std::string ZoneProfileData(int zone, int32_t profileNumber);
    /// Command 102: the zone as a raw byte, a byte 0, then at most 32 compiled bytes.
    static std::string ZoneDefinitionData(int zone, std::string_view compiled);
    /// Why a compiled profile cannot go out with command 102 ("compiles to 42 bytes; Tarn
    /// holds at most 32"); empty when it fits. Cut to 32 bytes, it would lose its last steps.
    static std::string CompiledLengthError(std::string_view compiled);

    struct Command
    {
        int code = 0;
        std::string data;
    };
    /// The whole zone settings sequence, built before anything is sent: 98 with `delays`,
    /// then 104 and 102 for each zone with a profile. False, with the reason in errText, when a
    /// chosen profile has no catalogue entry, its definition does not compile or compiles
    /// longer than Tarn holds: then nothing may be sent, since an empty definition would leave
    /// the zone without steps and a cut one without its end.
    static bool ZoneSettingsCommands(const Delays& delays,
                                     const std::array<std::optional<int32_t>, kZones>& profiles,
                                     const KeyedCollection<Tarn_Profile>& catalogue,
                                     std::vector<Command>& commands, std::string& errText);

    /// A catalogue entry offered in the profile lists.
    struct ProfileChoice
    {
        std::string name;
        int32_t id = 0;
    };
    /// The entries whose ID is a whole number in plain decimal, in catalogue order. Others
    /// are left out: the lookup by the decimal text of the number could never find them.
    static std::vector<ProfileChoice>
    ProfileChoices(const KeyedCollection<Tarn_Profile>& catalogue);
    /// Position of the first choice with `id`; -1 when there is none.
    static int ChoiceIndex(const std::vector<ProfileChoice>& choices, int32_t id);
};
