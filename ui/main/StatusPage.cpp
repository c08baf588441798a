#include "ui/main/StatusPage.h"

#include "ui/main/Lamp.h"

#include "data/TarnDateTime.h"
#include "data/Tarn_Inputs.h"
#include "ui/main/DisplayFormat.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kValueWidth = 150;
constexpr int kProfileWidth = 170;

const char* const kZoneCaption[StatusPage::kZones] = {
    "Detector 1 or Manual release 1",
    "Detector 2 or Manual release 2",
    "Detector 3 or 4 or Manual release 3",
};
const char* const kProfileType[StatusPage::kZones] = {
    "No diverting valve",
    "Diverting valve 1",
    "Diverting valve 2",
};

/// The label's value formatted in the C locale, for a report that cannot write the shown one.
constexpr const char* kLatin1Fallback = "latin1Fallback";
/// Set on a value the last status read gave.
constexpr const char* kFreshProperty = "readNow";

std::string Caption(const QLabel* label)
{
    return DisplayFormat::Latin1Text(label->text(), label->property(kLatin1Fallback).toString());
}

/// Shows a value formatted in the user's locale and keeps its C-locale form for the report.
template <typename Format> void ShowValue(QLabel* label, Format format)
{
    label->setText(format(QLocale()));
    label->setProperty(kLatin1Fallback, format(QLocale::c()));
}
} // namespace

StatusPage::StatusPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picSts"));

    fraInformation_sts = new QGroupBox(QStringLiteral("Information (CPU versions 2.07 or higher)"));
    fraInformation_sts->setObjectName(QStringLiteral("fraInformation_sts"));
    auto* infoLayout = new QFormLayout(fraInformation_sts);
    lblSerialNo_sts = makeValueLabel(QStringLiteral("lblSerialNo_sts"));
    lblManufactured_sts = makeValueLabel(QStringLiteral("lblManufactured_sts"));
    lblInstalled_sts = makeValueLabel(QStringLiteral("lblInstalled_sts"));
    lblLastService_sts = makeValueLabel(QStringLiteral("lblLastService_sts"));
    lblLastService_sts->setMinimumWidth(2 * kValueWidth);
    infoLayout->addRow(QStringLiteral("Serial number:"), lblSerialNo_sts);
    infoLayout->addRow(QStringLiteral("Manufactured:"), lblManufactured_sts);
    infoLayout->addRow(QStringLiteral("Installed:"), lblInstalled_sts);
    infoLayout->addRow(QStringLiteral("Last services:"), lblLastService_sts);

    auto* fraDateTime = new QGroupBox(QStringLiteral("Tarn Date/Time"));
    fraDateTime->setObjectName(QStringLiteral("fraTarnDateTime_sts"));
    lblTarnDateTime_sts = makeValueLabel(QStringLiteral("lblTarnDateTime_sts"));
    (new QHBoxLayout(fraDateTime))->addWidget(lblTarnDateTime_sts);

    auto* fraTemperature = new QGroupBox(QStringLiteral("Temperature"));
    fraTemperature->setObjectName(QStringLiteral("fraTemperature_sts"));
    lblTempC_sts = makeValueLabel(QStringLiteral("lblTempC_sts"));
    lblTempF_sts = makeValueLabel(QStringLiteral("lblTempF_sts"));
    lblTempC_sts->setMinimumWidth(kValueWidth / 2);
    lblTempF_sts->setMinimumWidth(kValueWidth / 2);
    auto* tempLayout = new QHBoxLayout(fraTemperature);
    tempLayout->addWidget(lblTempC_sts);
    tempLayout->addWidget(lblTempF_sts);

    auto* fraVersion = new QGroupBox(QStringLiteral("CPU Software Version"));
    fraVersion->setObjectName(QStringLiteral("fraSoftwareVersion_sts"));
    lblSoftwareVersion_sts = makeValueLabel(QStringLiteral("lblSoftwareVersion_sts"));
    (new QHBoxLayout(fraVersion))->addWidget(lblSoftwareVersion_sts);

    auto* fraDelays = new QGroupBox(QStringLiteral("Time delays"));
    fraDelays->setObjectName(QStringLiteral("fraDelays_sts"));
    auto* fraDetectors = new QGroupBox(QStringLiteral("Detectors"));
    fraDetectors->setObjectName(QStringLiteral("fraDetectors_sts"));
    lblDetectorADelay_sts = makeValueLabel(QStringLiteral("lblDetectorADelay_sts"));
    auto* detectorLayout = new QFormLayout(fraDetectors);
    detectorLayout->addRow(QStringLiteral("Alarm delay:"), lblDetectorADelay_sts);
    auto* fraManual = new QGroupBox(QStringLiteral("Manual release"));
    fraManual->setObjectName(QStringLiteral("fraManual_sts"));
    lblManualADelay_sts = makeValueLabel(QStringLiteral("lblManualADelay_sts"));
    lblManualSDelay_sts = makeValueLabel(QStringLiteral("lblManualSDelay_sts"));
    auto* manualLayout = new QFormLayout(fraManual);
    manualLayout->addRow(QStringLiteral("Alarm delay:"), lblManualADelay_sts);
    manualLayout->addRow(QStringLiteral("Stop delay:"), lblManualSDelay_sts);
    auto* delaysLayout = new QHBoxLayout(fraDelays);
    delaysLayout->addWidget(fraDetectors, 1);
    delaysLayout->addWidget(fraManual, 1);

    // Information on the left; the controller's clock, version, temperature and delays right.
    auto* top = new QGridLayout;
    top->addWidget(fraInformation_sts, 0, 0, 2, 1);
    top->addWidget(fraDateTime, 0, 1);
    top->addWidget(fraVersion, 0, 2);
    top->addWidget(fraTemperature, 1, 1, 1, 2);
    top->addWidget(fraDelays, 2, 0, 1, 3);

    auto* zones = new QHBoxLayout;
    for (int z = 0; z < kZones; ++z)
        zones->addWidget(makeZoneFrame(z), 1);

    cmdPrint_sts = new QPushButton(QStringLiteral("Save / Print"));
    cmdPrint_sts->setObjectName(QStringLiteral("cmdPrint_sts"));
    lblReadAt_sts = new QLabel;
    lblReadAt_sts->setObjectName(QStringLiteral("lblReadAt_sts"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblReadAt_sts);
    bottom->addStretch();
    cmdSaveAs_sts = new QPushButton(QStringLiteral("Save as..."));
    cmdSaveAs_sts->setObjectName(QStringLiteral("cmdSaveAs_sts"));
    cmdPrintDialog_sts = new QPushButton(QStringLiteral("Print..."));
    cmdPrintDialog_sts->setObjectName(QStringLiteral("cmdPrintDialog_sts"));
    bottom->addWidget(cmdSaveAs_sts);
    bottom->addWidget(cmdPrintDialog_sts);
    bottom->addWidget(cmdPrint_sts);

    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addLayout(zones);
    page->addStretch();
    page->addLayout(bottom);
}

QLabel* StatusPage::makeValueLabel(const QString& name)
{
    auto* label = new QLabel(QString::fromLatin1(kNotRead));
    label->setObjectName(name);
    m_values << label;
    label->setMinimumWidth(kValueWidth);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QGroupBox* StatusPage::makeZoneFrame(int zone)
{
    auto* frame = new QGroupBox(QString::fromLatin1(kZoneCaption[zone]));
    frame->setObjectName(QStringLiteral("fraZone_sts_%1").arg(zone));

    lblProfileName_sts[zone] = makeValueLabel(QStringLiteral("lblProfileName_sts_%1").arg(zone));
    lblProfileName_sts[zone]->setMinimumWidth(kProfileWidth);
    // Long names wrap; two lines in every zone keep the three frames alike.
    lblProfileName_sts[zone]->setWordWrap(true);
    lblProfileName_sts[zone]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblProfileName_sts[zone]->setMinimumHeight(
        2 * lblProfileName_sts[zone]->fontMetrics().lineSpacing());
    lblProfileType_sts[zone] = new QLabel(QString::fromLatin1(kProfileType[zone]));
    lblProfileType_sts[zone]->setObjectName(QStringLiteral("lblProfileType_sts_%1").arg(zone));

    auto* outputs = new QGroupBox(QStringLiteral("Outputs"));
    outputs->setObjectName(QStringLiteral("fraOutputs_sts_%1").arg(zone));
    auto* outputsLayout = new QGridLayout(outputs);
    for (int j = 0; j < kOutputsPerZone; ++j) {
        const int k = kOutputsPerZone * zone + j;
        auto* indicator = Lamp::Make(QStringLiteral("shpOutput_sts_%1").arg(k), kOutputOff);
        shpOutput_sts[k] = indicator;
        outputsLayout->addWidget(new QLabel(QString::number(j + 1)), j, 0);
        outputsLayout->addWidget(indicator, j, 1);
    }
    outputsLayout->setColumnStretch(2, 1);

    auto* layout = new QFormLayout(frame);
    layout->setLabelAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* caption = new QLabel(QStringLiteral("Running profile:"));
    caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addRow(caption, lblProfileName_sts[zone]);
    layout->addRow(lblProfileType_sts[zone]);
    layout->addRow(outputs);
    return frame;
}

void StatusPage::setOutput(QLabel* indicator, bool on)
{
    Lamp::Set(indicator, on, on ? kOutputOn : kOutputOff);
}

bool StatusPage::IsOutputOn(int k) const
{
    return Lamp::Colour(shpOutput_sts.at(static_cast<std::size_t>(k))) == kOutputOn;
}

void StatusPage::Fill(const Tarn_Inputs& inputs)
{
    using Part = Tarn_Inputs::Part;
    const QString degree = QString(QChar(0xB0));
    const auto dateTime = [](const TarnDateTime& value) {
        return [value](const QLocale& locale) {
            return DisplayFormat::GeneralDateTime(value, locale);
        };
    };
    const auto number = [](double value, const QString& unit) {
        return [value, unit](const QLocale& locale) {
            return DisplayFormat::Number(value, locale) + unit;
        };
    };
    // A part the controller never gave shows "###"; one it gave in an earlier read only, its
    // value greyed with the time it was read.
    const auto show = [this, &inputs](Part part, QLabel* label, auto format) {
        if (!inputs.Given(part)) {
            label->setText(QString::fromLatin1(kNotRead));
            label->setProperty(kLatin1Fallback, QString::fromLatin1(kNotRead));
        } else {
            ShowValue(label, format);
        }
        MarkFresh(label, inputs, part);
    };
    lblSoftwareVersion_sts->setText(DisplayFormat::Version(inputs.CPUVersion));
    show(Part::Clock, lblTarnDateTime_sts, dateTime(inputs.CPUDateTime));
    show(Part::Inputs, lblTempC_sts, number(inputs.TemperatureCelsius, u' ' + degree + u'C'));
    show(Part::Inputs, lblTempF_sts, number(inputs.TemperatureFarenheit, u' ' + degree + u'F'));
    show(Part::Delays, lblDetectorADelay_sts,
         number(inputs.DetectorAlarmDelay, QStringLiteral(" s")));
    show(Part::Delays, lblManualADelay_sts, number(inputs.ManualAlarmDelay, QStringLiteral(" s")));
    show(Part::Delays, lblManualSDelay_sts, number(inputs.ManualStopDelay, QStringLiteral(" s")));
    // The zones' outputs come with the delays.
    for (int z = 0; z < kZones; ++z) {
        const uint8_t bits =
            inputs.Given(Part::Delays) ? inputs.OutPuts(static_cast<int16_t>(z)) : 0;
        for (int j = 0; j < kOutputsPerZone; ++j) {
            QLabel* lamp = shpOutput_sts[kOutputsPerZone * z + j];
            setOutput(lamp, (bits & (1u << j)) != 0);
            MarkFresh(lamp, inputs, Part::Delays);
        }
    }
    for (int z = 0; z < kZones; ++z) {
        const QString name = DisplayFormat::Text(inputs.ProfileName(static_cast<int16_t>(z)));
        show(static_cast<Part>(static_cast<int>(Part::Zone1) + z), lblProfileName_sts[z],
             [name](const QLocale&) { return name; });
    }
    if (inputs.CPUVersion >= kAdminDataVersion) {
        fraInformation_sts->setTitle(QStringLiteral("Information"));
        const QString serial = DisplayFormat::Text(inputs.SerialNumber);
        show(Part::Admin, lblSerialNo_sts, [serial](const QLocale&) { return serial; });
        show(Part::Admin, lblInstalled_sts, dateTime(inputs.Installed));
        show(Part::Admin, lblManufactured_sts, dateTime(inputs.Manufactured));
        const TarnDateTime last = inputs.LastService;
        const TarnDateTime last2 = inputs.LastService2;
        show(Part::Admin, lblLastService_sts, [last, last2](const QLocale& locale) {
            return DisplayFormat::GeneralDateTime(last, locale) + QStringLiteral(", ") +
                   DisplayFormat::GeneralDateTime(last2, locale);
        });
        ApplyFreshness();
        return;
    }
    // Firmware before 2.07 reports none of it: nothing of a controller read before stays.
    fraInformation_sts->setTitle(QStringLiteral("Information (CPU versions 2.07 or higher)"));
    for (QLabel* label :
         {lblSerialNo_sts, lblManufactured_sts, lblInstalled_sts, lblLastService_sts}) {
        ShowValue(label, [](const QLocale&) { return QString::fromLatin1(kNotRead); });
        label->setProperty(kFreshProperty, true);
        label->setToolTip(QString());
    }
    ApplyFreshness();
}

void StatusPage::MarkFresh(QWidget* widget, const Tarn_Inputs& inputs, Tarn_Inputs::Part part)
{
    const bool fresh = inputs.GivenNow(part);
    widget->setProperty(kFreshProperty, fresh);
    const Tarn_Inputs::PartRead& read = inputs.Read(part);
    widget->setToolTip(fresh || read.read == 0 ? QString()
                                               : QStringLiteral("Not read now: read at %1")
                                                     .arg(DisplayFormat::GeneralDateTime(read.at)));
}

void StatusPage::ApplyFreshness()
{
    for (QWidget* value : std::as_const(m_values))
        value->setEnabled(!m_stale && value->property(kFreshProperty).toBool());
    for (QLabel* indicator : shpOutput_sts)
        indicator->setEnabled(!m_stale && indicator->property(kFreshProperty).toBool());
}

void StatusPage::ShowReadAt(const QDateTime& readAt, bool stale, const QString& notReadNow)
{
    m_readAt = readAt;
    m_stale = stale && readAt.isValid();
    ApplyFreshness();
    if (m_stale)
        lblReadAt_sts->setText(QStringLiteral("Read at ") +
                               readAt.time().toString(QStringLiteral("HH:mm:ss")));
    else if (!notReadNow.isEmpty())
        lblReadAt_sts->setText(QStringLiteral("Not read now: ") + notReadNow);
    else
        lblReadAt_sts->setText(QString());
}

StatusReport StatusPage::Report() const
{
    StatusReport report;
    report.SerialNumber = Caption(lblSerialNo_sts);
    report.Manufactured = Caption(lblManufactured_sts);
    report.Installed = Caption(lblInstalled_sts);
    report.LastService = Caption(lblLastService_sts);
    report.SoftwareVersion = Caption(lblSoftwareVersion_sts);
    report.TemperatureC = Caption(lblTempC_sts);
    report.TemperatureF = Caption(lblTempF_sts);
    report.ControllerDateTime = Caption(lblTarnDateTime_sts);
    report.DetectorAlarmDelay = Caption(lblDetectorADelay_sts);
    report.ManualAlarmDelay = Caption(lblManualADelay_sts);
    report.ManualStopDelay = Caption(lblManualSDelay_sts);
    for (int z = 0; z < kZones; ++z) {
        report.ProfileName[z] = Caption(lblProfileName_sts[z]);
        report.ProfileType[z] = Caption(lblProfileType_sts[z]);
    }
    for (int k = 0; k < kOutputs; ++k)
        report.Outputs[k] = IsOutputOn(k);
    return report;
}
