#pragma once

#include "data/TarnDateTime.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

/// What the controller reports about itself. Indexed properties refuse an index outside
/// their range with std::out_of_range, as std::vector::at does.
class Tarn_Inputs
{
public:
    static constexpr int kZones = 3;
    static constexpr int kUniversalIOs = 4;
    static constexpr int kDetectors = 4;
    static constexpr int kManualTriggers = 3;

    const std::string& ProfileName(int16_t zone) const;
    void SetProfileName(int16_t zone, std::string name);
    int16_t ProfileID(int16_t zone) const;
    void SetProfileID(int16_t zone, int16_t id);
    int16_t Messages(int16_t zone) const;
    void SetMessages(int16_t zone, int16_t message);
    uint8_t OutPuts(int16_t zone) const;
    void SetOutPuts(int16_t zone, uint8_t outputs);
    bool UniversalIO(int16_t index) const;
    void SetUniversalIO(int16_t index, bool on);
    bool Detector(int16_t index) const;
    void SetDetector(int16_t index, bool active);
    bool ManualTrigger(int16_t index) const;
    void SetManualTrigger(int16_t index, bool active);

    double TemperatureCelsius = 0;
    double TemperatureFarenheit = 0;
    double DetectorAlarmDelay = 0;
    double DetectorResetDelay = 0;
    double ManualAlarmDelay = 0;
    double ManualStopDelay = 0;
    TarnDateTime LogTime;
    std::string LogText;
    double LogTemperatureCelsius = 0;
    double LogTemperatureFarenheit = 0;
    double CPUVersion = 0;
    TarnDateTime CPUDateTime;
    std::string SerialNumber;
    TarnDateTime Manufactured;
    TarnDateTime Installed;
    TarnDateTime LastService;
    TarnDateTime LastService2;

    /// The parts of the record that the status read fills, one reply each.
    enum class Part
    {
        Clock,
        Inputs,
        Delays,
        Zone1,
        Zone2,
        Zone3,
        Admin,
    };
    static constexpr int kParts = 7;
    /// Numbers the status reads of this link; the part read by read n carries n. It goes on
    /// counting when the record starts afresh for another controller.
    uint32_t ReadNumber = 0;
    struct PartRead
    {
        /// The read that gave the part; 0 while the controller never did.
        uint32_t read = 0;
        /// When, by the PC's clock.
        TarnDateTime at;
    };
    std::array<PartRead, kParts> Parts{};
    /// The part was given by the controller in read `ReadNumber`.
    bool GivenNow(Part part) const
    {
        return ReadNumber != 0 && Parts[static_cast<std::size_t>(part)].read == ReadNumber;
    }
    /// The part was given by this controller at some time: its value is real, if old.
    bool Given(Part part) const { return Parts[static_cast<std::size_t>(part)].read != 0; }
    const PartRead& Read(Part part) const { return Parts[static_cast<std::size_t>(part)]; }
    void MarkGiven(Part part, const TarnDateTime& at)
    {
        Parts[static_cast<std::size_t>(part)] = {ReadNumber, at};
    }
    /// A fresh record for another controller: only the read count stays.
    void StartAfresh();

    /// Inputs reply: six hex digits (universal I/O, detectors, manual triggers, -, temperature).
    void ResolveInputs(std::string_view data);
    /// Delays reply: ten hex pairs (four delays, three messages, three output bytes).
    void ResolveDelays(std::string_view data);
    /// Administrative reply: serial number and four packed dates, eight hex digits each.
    void ResolveAdminData(std::string_view data);

    /// A temperature byte as the controller sends it: a signed 8-bit value (0xFF is -1 °C).
    static double TemperatureFromByte(uint8_t value);
    /// As a person writes it: 21 °C gives 69.8 °F (not 69.80000000000001).
    static double CelsiusToFahrenheit(double celsius);

private:
    std::array<std::string, kZones> m_profileName{};
    std::array<int16_t, kZones> m_profileId{};
    std::array<int16_t, kZones> m_messages{};
    std::array<uint8_t, kZones> m_outputs{};
    std::array<bool, kUniversalIOs> m_universalIO{};
    std::array<bool, kDetectors> m_detector{};
    std::array<bool, kManualTriggers> m_manualTrigger{};
};
