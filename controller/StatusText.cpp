#include "controller/StatusText.h"

#include "controller/DisplayFormat.h"
#include "controller/StatusCycle.h"
#include "data/Tarn_Inputs.h"

namespace {

const char* const kProfileTypes[StatusReport::kZones] = {
    "No diverting valve",
    "Diverting valve 1",
    "Diverting valve 2",
};

/// The value in the user's locale as 8-bit text, or in the C locale where that cannot be.
template <typename Format> std::string Shown(Format format)
{
    return DisplayFormat::Latin1Text(format(QLocale()), format(QLocale::c()));
}

std::string DateTimeText(const TarnDateTime& value)
{
    return Shown(
        [&](const QLocale& locale) { return DisplayFormat::GeneralDateTime(value, locale); });
}

std::string NumberText(double value, const QString& unit)
{
    return Shown(
        [&](const QLocale& locale) { return DisplayFormat::Number(value, locale) + unit; });
}

} // namespace

const char* StatusText::ProfileType(int zone)
{
    return zone >= 0 && zone < StatusReport::kZones ? kProfileTypes[zone] : "";
}

StatusReport StatusText::Report(const Tarn_Inputs& inputs)
{
    const QString degree(QChar(0xB0));
    StatusReport report;
    report.SoftwareVersion = DisplayFormat::Version(inputs.CPUVersion).toLatin1().toStdString();
    report.ControllerDateTime = DateTimeText(inputs.CPUDateTime);
    report.TemperatureC = NumberText(inputs.TemperatureCelsius, u' ' + degree + u'C');
    report.TemperatureF = NumberText(inputs.TemperatureFarenheit, u' ' + degree + u'F');
    report.DetectorAlarmDelay = NumberText(inputs.DetectorAlarmDelay, QStringLiteral(" s"));
    report.ManualAlarmDelay = NumberText(inputs.ManualAlarmDelay, QStringLiteral(" s"));
    report.ManualStopDelay = NumberText(inputs.ManualStopDelay, QStringLiteral(" s"));
    for (int z = 0; z < StatusReport::kZones; ++z) {
        const auto zone = static_cast<int16_t>(z);
        report.ProfileName[z] = inputs.ProfileName(zone);
        report.ProfileType[z] = kProfileTypes[z];
        const uint8_t bits = inputs.OutPuts(zone);
        for (int j = 0; j < StatusReport::kOutputsPerZone; ++j)
            report.Outputs[StatusReport::kOutputsPerZone * z + j] = (bits & (1u << j)) != 0;
    }
    if (inputs.CPUVersion >= StatusCycle::kAdminDataVersion) {
        report.SerialNumber = inputs.SerialNumber;
        report.Manufactured = DateTimeText(inputs.Manufactured);
        report.Installed = DateTimeText(inputs.Installed);
        report.LastService =
            DateTimeText(inputs.LastService) + ", " + DateTimeText(inputs.LastService2);
    } else {
        report.SerialNumber = report.Manufactured = report.Installed = report.LastService =
            kNotRead;
    }
    return report;
}
