#pragma once

#include <array>
#include <string>
#include <vector>

/// The status report tarn.sts: what the status page shows, as 8-bit text, turned into the
/// report's lines. Captions are taken as they are; a page never filled shows "###".
class StatusReport
{
public:
    static constexpr int kZones = 3;
    static constexpr int kOutputsPerZone = 4;

    std::string SerialNumber;
    std::string Manufactured;
    std::string Installed;
    std::string LastService;
    std::string SoftwareVersion;
    std::string TemperatureC;
    std::string TemperatureF;
    std::string ControllerDateTime;
    std::string DetectorAlarmDelay;
    std::string ManualAlarmDelay;
    std::string ManualStopDelay;
    std::array<std::string, kZones> ProfileName{};
    std::array<std::string, kZones> ProfileType{};
    /// Output j of zone z at index kOutputsPerZone * z + j; true when it is shown as on.
    std::array<bool, kZones * kOutputsPerZone> Outputs{};

    /// The report's lines without line ends; pcDateTime is the PC's date and time as shown.
    std::vector<std::string> Lines(const std::string& pcDateTime) const;
    /// The file's bytes: every line ended by carriage return and line feed.
    std::string Text(const std::string& pcDateTime) const;
};
