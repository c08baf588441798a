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

    /// Inputs reply: six hex digits (universal I/O, detectors, manual triggers, -, temperature).
    void ResolveInputs(std::string_view data);
    /// Delays reply: ten hex pairs (four delays, three messages, three output bytes).
    void ResolveDelays(std::string_view data);
    /// Administrative reply: serial number and four packed dates, eight hex digits each.
    void ResolveAdminData(std::string_view data);

    /// A temperature byte as the controller sends it: a signed 8-bit value (0xFF is -1 °C).
    static double TemperatureFromByte(uint8_t value);
    static double CelsiusToFahrenheit(double celsius) { return celsius * 1.8 + 32; }

private:
    std::array<std::string, kZones> m_profileName{};
    std::array<int16_t, kZones> m_profileId{};
    std::array<int16_t, kZones> m_messages{};
    std::array<uint8_t, kZones> m_outputs{};
    std::array<bool, kUniversalIOs> m_universalIO{};
    std::array<bool, kDetectors> m_detector{};
    std::array<bool, kManualTriggers> m_manualTrigger{};
};
