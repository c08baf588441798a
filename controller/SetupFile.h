#pragma once

#include "data/KeyedCollection.h"
#include "data/TarnDateTime.h"
#include "data/Tarn_Profile.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Tarn_Inputs;

/// A controller's setup as a JSON document: saved from one controller, compared with it or
/// another one later, written back to it. Texts are UTF-8 in the file and 8-bit (Latin-1)
/// here, as everywhere else in the program.
class SetupFile
{
public:
    static constexpr const char* kFormat = "tarn-setup";
    static constexpr int kFormatVersion = 1;
    static constexpr int kZones = 3;
    static constexpr int kOutputsPerZone = 4;
    /// Largest value of the fields the controller keeps in one byte (reset delay, message).
    static constexpr int kMaxByte = 255;
    /// The controller reports a zone's profile as a signed 16-bit number.
    static constexpr int kMinProfileId = std::numeric_limits<int16_t>::min();
    static constexpr int kMaxProfileId = std::numeric_limits<int16_t>::max();
    /// Tarn.INI's detector voltage switch, a signed 16-bit number (the delays block carries
    /// 0 to 255 of it).
    static constexpr int kMinVoltageSwitch = std::numeric_limits<int16_t>::min();
    static constexpr int kMaxVoltageSwitch = std::numeric_limits<int16_t>::max();

    struct Source
    {
        double firmwareVersion = 0;
        std::string serialNumber;
        TarnDateTime readTime;
        std::string program;
    };

    struct Zone
    {
        int32_t profileId = 0;
        /// The catalogue's name and definition of the profile when the file was saved; none
        /// when the catalogue did not have the profile (and no definition when it compiled
        /// longer than Tarn holds).
        std::optional<std::string> profileName;
        std::optional<std::string> profileDefinition;
        int message = 0;
        /// Output numbers 1 to 4, ascending.
        std::vector<int> outputs;
        /// The controller's side only, never in a file: the profile number was acknowledged
        /// without the definition after it, so the zone runs a definition nobody knows.
        bool definitionUnconfirmed = false;
    };

    struct Setup
    {
        Source source;
        int detectorAlarmDelay = 0;
        int detectorResetDelay = 0;
        int manualAlarmDelay = 0;
        int manualStopDelay = 0;
        std::array<Zone, kZones> zones{};
        int detectorVoltageSwitch = 0;
        /// Present from firmware 2.07; a date the controller has not set is left out.
        bool hasDates = false;
        std::optional<TarnDateTime> installed;
        std::optional<TarnDateTime> lastService;
        std::optional<TarnDateTime> serviceBefore;
        /// The factory values, also from firmware 2.07.
        bool hasFactory = false;
        std::optional<uint32_t> serialNumber;
        std::optional<TarnDateTime> manufactured;
    };

    /// The setup as the status record holds it after a status read.
    static Setup FromController(const Tarn_Inputs& inputs, int16_t voltageSwitch,
                                const KeyedCollection<Tarn_Profile>& catalogue,
                                const TarnDateTime& readTime, const std::string& program);
    /// The JSON document, UTF-8, indented, ending in a line end.
    static std::string Write(const Setup& setup);
    /// Reads a document. False, with a message naming the key and the reason, for another
    /// format or a newer version, an unknown or missing key, a value no controller can hold
    /// (or Tarn.INI, for the detector voltage switch), a profile definition that compiles
    /// longer than Tarn holds, and dates or factory values from firmware before 2.07. Every
    /// file Write makes is read back; whether a value may be written is SetupApply::Plan's
    /// check, made against what the controller holds.
    static bool Read(std::string_view bytes, Setup& setup, std::string& errText);

    /// The outputs byte of a list of output numbers, and back.
    static uint8_t OutputsByte(const std::vector<int>& outputs);
    static std::vector<int> OutputNumbers(uint8_t byte);
    /// "2024-05-02".
    static std::string DateText(const TarnDateTime& date);
};
