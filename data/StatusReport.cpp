#include "data/StatusReport.h"

namespace {
const char* const kLineEnd = "\r\n";
}

std::vector<std::string> StatusReport::Lines(const std::string& pcDateTime) const
{
    std::vector<std::string> lines{
        "Tarn Status " + pcDateTime,
        "",
        "Serial number: " + SerialNumber,
        "Manufactured: " + Manufactured,
        "Installed: " + Installed,
        "Last serviced: " + LastService,
        "CPU Version: " + SoftwareVersion,
        "",
        "Temperature: " + TemperatureC + "  " + TemperatureF,
        "Tarn Date/Time: " + ControllerDateTime,
        "Detector Alarm delay: " + DetectorAlarmDelay,
        "Manual Alarm delay: " + ManualAlarmDelay,
        "Manual Stop delay: " + ManualStopDelay,
    };
    for (int z = 0; z < kZones; ++z) {
        const std::string n = std::to_string(z + 1);
        lines.emplace_back();
        lines.push_back("Detector " + n + " or Manual release " + n);
        lines.push_back(" Profile name: " + ProfileName[z]);
        lines.push_back(" Profile type: " + ProfileType[z]);
        for (int m = 1; m <= kOutputsPerZone; ++m) {
            const bool on = Outputs[kOutputsPerZone * z + m - 1];
            lines.push_back(" Output " + std::to_string(m) + ": " + (on ? "True" : "False"));
        }
    }
    return lines;
}

std::string StatusReport::Text(const std::string& pcDateTime) const
{
    std::string text;
    for (const std::string& line : Lines(pcDateTime))
        text += line + kLineEnd;
    return text;
}
