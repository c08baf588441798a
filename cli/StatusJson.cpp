#include "cli/StatusJson.h"

#include "cli/LogOutput.h"
#include "controller/StatusCycle.h"
#include "controller/StatusText.h"
#include "data/Tarn_Inputs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString Latin1Text(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QJsonValue Date(const TarnDateTime& value)
{
    // The zero date is no date: null, as any value not given.
    return value.IsZero() ? QJsonValue(QJsonValue::Null)
                          : QJsonValue(QString::fromStdString(LogOutput::IsoTime(value)));
}

} // namespace

std::string StatusJson::Text(const Tarn_Inputs& inputs)
{
    using Part = Tarn_Inputs::Part;
    // What the controller did not give is null, never a zero.
    const auto given = [&inputs](Part part, QJsonValue value) {
        return inputs.Given(part) ? value : QJsonValue(QJsonValue::Null);
    };
    QJsonObject status;
    status.insert(QStringLiteral("version"), inputs.CPUVersion);
    status.insert(QStringLiteral("controllerTime"), given(Part::Clock, Date(inputs.CPUDateTime)));
    status.insert(QStringLiteral("temperatureCelsius"),
                  given(Part::Inputs, inputs.TemperatureCelsius));
    status.insert(QStringLiteral("temperatureFahrenheit"),
                  given(Part::Inputs, inputs.TemperatureFarenheit));
    status.insert(QStringLiteral("delays"),
                  given(Part::Delays,
                        QJsonObject{{QStringLiteral("detectorAlarm"), inputs.DetectorAlarmDelay},
                                    {QStringLiteral("detectorReset"), inputs.DetectorResetDelay},
                                    {QStringLiteral("manualAlarm"), inputs.ManualAlarmDelay},
                                    {QStringLiteral("manualStop"), inputs.ManualStopDelay}}));
    QJsonArray zones;
    for (int16_t z = 0; z < Tarn_Inputs::kZones; ++z) {
        QJsonArray outputs;
        for (int j = 0; j < 4; ++j)
            outputs.append((inputs.OutPuts(z) & (1u << j)) != 0);
        const Part profile = static_cast<Part>(static_cast<int>(Part::Zone1) + z);
        zones.append(QJsonObject{
            {QStringLiteral("zone"), z + 1},
            {QStringLiteral("profileId"), given(profile, inputs.ProfileID(z))},
            {QStringLiteral("profileName"), given(profile, Latin1Text(inputs.ProfileName(z)))},
            {QStringLiteral("profileType"), QString::fromLatin1(StatusText::ProfileType(z))},
            {QStringLiteral("message"), given(Part::Delays, inputs.Messages(z))},
            {QStringLiteral("outputs"), given(Part::Delays, outputs)}});
    }
    status.insert(QStringLiteral("zones"), zones);
    QJsonArray detectors;
    for (int16_t i = 0; i < Tarn_Inputs::kDetectors; ++i)
        detectors.append(inputs.Detector(i));
    QJsonArray manual;
    for (int16_t i = 0; i < Tarn_Inputs::kManualTriggers; ++i)
        manual.append(inputs.ManualTrigger(i));
    QJsonArray universal;
    for (int16_t i = 0; i < Tarn_Inputs::kUniversalIOs; ++i)
        universal.append(inputs.UniversalIO(i));
    status.insert(QStringLiteral("inputs"),
                  given(Part::Inputs, QJsonObject{{QStringLiteral("detectors"), detectors},
                                                  {QStringLiteral("manualReleases"), manual},
                                                  {QStringLiteral("universalIO"), universal}}));
    if (inputs.CPUVersion >= StatusCycle::kAdminDataVersion && inputs.Given(Part::Admin)) {
        status.insert(QStringLiteral("admin"),
                      QJsonObject{{QStringLiteral("serialNumber"), Latin1Text(inputs.SerialNumber)},
                                  {QStringLiteral("manufactured"), Date(inputs.Manufactured)},
                                  {QStringLiteral("installed"), Date(inputs.Installed)},
                                  {QStringLiteral("lastService"), Date(inputs.LastService)},
                                  {QStringLiteral("serviceBefore"), Date(inputs.LastService2)}});
    } else {
        status.insert(QStringLiteral("admin"), QJsonValue::Null);
    }
    return QJsonDocument(status).toJson(QJsonDocument::Indented).toStdString();
}
