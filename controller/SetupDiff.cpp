#include "controller/SetupDiff.h"

#include "controller/DisplayFormat.h"

#include <QStringList>

namespace {

QString Outputs(const std::vector<int>& outputs)
{
    if (outputs.empty())
        return QStringLiteral("none");
    QStringList numbers;
    for (const int output : outputs)
        numbers << QString::number(output);
    return numbers.join(u',');
}

QString Date(const std::optional<TarnDateTime>& date)
{
    return date ? QString::fromStdString(SetupFile::DateText(*date)) : QStringLiteral("none");
}

} // namespace

QString SetupDiff::Difference::Line() const
{
    return field + QStringLiteral(": ") + controller + QStringLiteral(" \u2192 ") + file;
}

QString SetupDiff::ProfileText(const SetupFile::Zone& zone)
{
    QString text = QString::number(zone.profileId);
    if (zone.profileName)
        text += u' ' + DisplayFormat::Text(*zone.profileName);
    return text;
}

std::vector<SetupDiff::Difference> SetupDiff::Compare(const SetupFile::Setup& controller,
                                                      const SetupFile::Setup& file)
{
    std::vector<Difference> differences;
    const auto add = [&](const QString& field, const QString& was, const QString& becomes,
                         Block block, bool reported = true) {
        if (was != becomes)
            differences.push_back({field, was, becomes, block, reported});
    };
    const auto number = [&](const char* field, int was, int becomes) {
        add(QLatin1String(field), QString::number(was), QString::number(becomes), Block::Delays);
    };
    number("detector alarm delay", controller.detectorAlarmDelay, file.detectorAlarmDelay);
    number("detector reset delay", controller.detectorResetDelay, file.detectorResetDelay);
    number("manual alarm delay", controller.manualAlarmDelay, file.manualAlarmDelay);
    number("manual stop delay", controller.manualStopDelay, file.manualStopDelay);
    for (std::size_t z = 0; z < controller.zones.size(); ++z) {
        const SetupFile::Zone& was = controller.zones[z];
        const SetupFile::Zone& becomes = file.zones[z];
        const QString zone = QStringLiteral("zone %1 ").arg(z + 1);
        add(zone + QStringLiteral("message"), QString::number(was.message),
            QString::number(becomes.message), Block::Delays);
        add(zone + QStringLiteral("outputs"), Outputs(was.outputs), Outputs(becomes.outputs),
            Block::Delays);
    }
    add(QStringLiteral("detector voltage switch (Tarn.INI)"),
        QString::number(controller.detectorVoltageSwitch),
        QString::number(file.detectorVoltageSwitch), Block::Delays, false);
    static constexpr Block kZoneBlocks[] = {Block::Zone1, Block::Zone2, Block::Zone3};
    for (std::size_t z = 0; z < controller.zones.size(); ++z) {
        const SetupFile::Zone& was = controller.zones[z];
        // A definition that may not have arrived differs from any: both are written again.
        if (was.profileId != file.zones[z].profileId || was.definitionUnconfirmed)
            differences.push_back({QStringLiteral("zone %1 profile").arg(z + 1),
                                   was.definitionUnconfirmed
                                       ? ProfileText(was) + QStringLiteral(" (definition not "
                                                                           "confirmed)")
                                       : ProfileText(was),
                                   ProfileText(file.zones[z]), kZoneBlocks[z], true});
    }
    if (file.hasFactory) {
        if (file.serialNumber)
            add(QStringLiteral("serial number"),
                controller.serialNumber ? QString::number(*controller.serialNumber)
                                        : QStringLiteral("none"),
                QString::number(*file.serialNumber), Block::SerialNumber);
        if (file.manufactured)
            add(QStringLiteral("manufacturing date"), Date(controller.manufactured),
                Date(file.manufactured), Block::Manufactured);
    }
    if (file.hasDates) {
        if (file.installed)
            add(QStringLiteral("installation date"), Date(controller.installed),
                Date(file.installed), Block::Installed);
        if (file.lastService)
            add(QStringLiteral("last service date"), Date(controller.lastService),
                Date(file.lastService), Block::ServiceDates);
        if (file.serviceBefore)
            add(QStringLiteral("service date before"), Date(controller.serviceBefore),
                Date(file.serviceBefore), Block::ServiceDates);
    }
    return differences;
}
