#include "controller/StatusText.h"

#include "controller/DisplayFormat.h"
#include "controller/StatusCycle.h"
#include "data/Tarn_Inputs.h"

#include <QStringList>

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
    using Part = Tarn_Inputs::Part;
    const QString degree(QChar(0xB0));
    const auto given = [&inputs](Part part, std::string text) {
        return inputs.Given(part) ? text : std::string(kNotRead);
    };
    StatusReport report;
    report.SoftwareVersion = DisplayFormat::Version(inputs.CPUVersion).toLatin1().toStdString();
    report.ControllerDateTime = given(Part::Clock, DateTimeText(inputs.CPUDateTime));
    report.TemperatureC =
        given(Part::Inputs, NumberText(inputs.TemperatureCelsius, u' ' + degree + u'C'));
    report.TemperatureF =
        given(Part::Inputs, NumberText(inputs.TemperatureFarenheit, u' ' + degree + u'F'));
    report.DetectorAlarmDelay =
        given(Part::Delays, NumberText(inputs.DetectorAlarmDelay, QStringLiteral(" s")));
    report.ManualAlarmDelay =
        given(Part::Delays, NumberText(inputs.ManualAlarmDelay, QStringLiteral(" s")));
    report.ManualStopDelay =
        given(Part::Delays, NumberText(inputs.ManualStopDelay, QStringLiteral(" s")));
    for (int z = 0; z < StatusReport::kZones; ++z) {
        const auto zone = static_cast<int16_t>(z);
        report.ProfileName[z] =
            given(static_cast<Part>(static_cast<int>(Part::Zone1) + z), inputs.ProfileName(zone));
        report.ProfileType[z] = kProfileTypes[z];
        const uint8_t bits = inputs.Given(Part::Delays) ? inputs.OutPuts(zone) : 0;
        for (int j = 0; j < StatusReport::kOutputsPerZone; ++j)
            report.Outputs[StatusReport::kOutputsPerZone * z + j] = (bits & (1u << j)) != 0;
    }
    if (inputs.CPUVersion >= StatusCycle::kAdminDataVersion) {
        report.SerialNumber = given(Part::Admin, inputs.SerialNumber);
        report.Manufactured = given(Part::Admin, DateTimeText(inputs.Manufactured));
        report.Installed = given(Part::Admin, DateTimeText(inputs.Installed));
        report.LastService = given(Part::Admin, DateTimeText(inputs.LastService) + ", " +
                                                    DateTimeText(inputs.LastService2));
    } else {
        report.SerialNumber = report.Manufactured = report.Installed = report.LastService =
            kNotRead;
    }
    return report;
}

QString StatusText::NotReadNow(const Tarn_Inputs& inputs)
{
    using Part = Tarn_Inputs::Part;
    // Nothing was read yet: every value shows so of itself.
    if (inputs.ReadNumber == 0)
        return {};
    const struct
    {
        Part part;
        const char* name;
    } parts[] = {{Part::Clock, "clock"},
                 {Part::Inputs, "inputs and temperature"},
                 {Part::Delays, "delays and zone outputs"},
                 {Part::Zone1, "zone 1 profile"},
                 {Part::Zone2, "zone 2 profile"},
                 {Part::Zone3, "zone 3 profile"},
                 {Part::Admin, "serial number and dates"}};
    QStringList old;
    for (const auto& [part, name] : parts) {
        if (inputs.GivenNow(part) ||
            (part == Part::Admin && inputs.CPUVersion < StatusCycle::kAdminDataVersion))
            continue;
        const Tarn_Inputs::PartRead& read = inputs.Read(part);
        old << (read.read == 0
                    ? QStringLiteral("%1 (never read)").arg(QLatin1String(name))
                    : QStringLiteral("%1 (read at %2)")
                          .arg(QLatin1String(name), DisplayFormat::GeneralDateTime(read.at)));
    }
    return old.join(QStringLiteral(", "));
}
