#include "ui/setup/frmSetup.h"

#include "controller/SetupCommands.h"
#include "data/Catalogues.h"
#include "data/SetupFields.h"
#include "data/TarnDateTime.h"
#include "link/ConnectionAdvice.h"
#include "link/SerialPort.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"
#include "protocol/WireEncoding.h"
#include "ui/main/BusyPointer.h"
#include "ui/main/DisplayFormat.h"
#include "ui/main/MessageBoxes.h"
#include "ui/setup/SetupFileActions.h"
#include "ui/setup/SetupWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTimer>

// The writes of the setup window: each Set button's checks, question, command and result.

using namespace SetupWidgets;

namespace {

/// One line of a confirmation: "name: current → new", or the value alone when it stays.
QString Change(const QString& name, const QString& current, const QString& next)
{
    if (current == next)
        return QStringLiteral("%1: %2 (unchanged)").arg(name, current);
    return QStringLiteral("%1: %2 \u2192 %3").arg(name, current, next);
}

/// The ticked outputs of a zone's byte ("1, 4"), or "none".
QString OutputsText(uint8_t outputs)
{
    QStringList ticked;
    for (int j = 0; j < SetupBlocks::kOutputsPerZone; ++j) {
        if (IsBitSet(outputs, j))
            ticked << QString::number(j + 1);
    }
    return ticked.isEmpty() ? QStringLiteral("none") : ticked.join(QStringLiteral(", "));
}

QString Seconds(double value)
{
    return DisplayFormat::Number(value) + QStringLiteral(" s");
}

} // namespace

bool frmSetup::SendCommands(const std::vector<SetupBlocks::Command>& commands, bool busyPointer)
{
    SetButtonsBusy(true);
    if (busyPointer)
        BusyPointer::Set();
    const bool ok = tarn && SetupCommands::Send(*tarn, commands);
    if (busyPointer)
        BusyPointer::Reset();
    SetButtonsBusy(false);
    return ok;
}

bool frmSetup::SendCommand(int code, const std::string& data, bool busyPointer)
{
    return SendCommands({{code, data}}, busyPointer);
}

bool frmSetup::Confirm(const char* question, const QString& changes)
{
    return m_boxes.questionOkCancel(Text(question), changes);
}

void frmSetup::ShowError(const std::string& text, const QString& informative)
{
    m_boxes.critical(DisplayFormat::Text(text), informative);
}

void frmSetup::ShowResult(bool ok, const std::string& why)
{
    if (ok) {
        m_boxes.info(Text(kUpdated));
        // The record follows the write once the caller has taken it in.
        if (m_files->HasLoaded())
            QTimer::singleShot(0, m_files, &SetupFileActions::MarkDifferences);
    } else {
        m_boxes.critical(Text(kNotUpdated),
                         why.empty() ? LinkFailureText() : DisplayFormat::Text(why));
    }
}

QString frmSetup::LinkFailureText() const
{
    // A link that is not started refuses every command at once and leaves no error of its own.
    if (tarn && tarn->isStarted())
        return tarn->lastError();
    QString text = QStringLiteral("The port is not open.");
    const QString advice = tarn && tarn->comm ? ConnectionAdvice(*tarn->comm) : QString();
    if (!advice.isEmpty())
        text += u' ' + advice;
    return text;
}

void frmSetup::handleSetDelays()
{
    const struct
    {
        QLineEdit* field;
        SetupFields::DelayField which;
    } fields[] = {{txtDetectorAlarmDelay, SetupFields::DelayField::DetectorAlarm},
                  {txtManualAlarmDelay, SetupFields::DelayField::ManualAlarm},
                  {txtManualStopDelay, SetupFields::DelayField::ManualStop}};
    std::array<int, 3> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!SetupFields::Delay(FieldDigits(fields[i].field->text()), values[i])) {
            ShowError(SetupFields::DelayError(fields[i].which));
            SelectFieldText(fields[i].field);
            return;
        }
    }
    if (!tarn)
        return;
    const Tarn_Inputs& inputs = tarn->Inputs;
    const QString changes =
        QStringList{Change(QStringLiteral("Detector alarm delay"),
                           Seconds(inputs.DetectorAlarmDelay), Seconds(values[0])),
                    Change(QStringLiteral("Manual release alarm delay"),
                           Seconds(inputs.ManualAlarmDelay), Seconds(values[1])),
                    Change(QStringLiteral("Manual release stop delay"),
                           Seconds(inputs.ManualStopDelay), Seconds(values[2]))}
            .join(u'\n');
    if (!Confirm("Send new delay values to Tarn?", changes))
        return;

    SetButtonsBusy(true);
    BusyPointer::Set();
    std::string errText;
    const bool ok = SetupCommands::SetDelays(*tarn, values, errText);
    BusyPointer::Reset();
    SetButtonsBusy(false);
    ShowResult(ok, errText);
}

void frmSetup::handleSetTarnClock()
{
    if (!tarn)
        return;
    // The Tarn clock as the last status read found it; the computer's time is taken again
    // when the command is sent.
    if (!Confirm("Set Tarn time to computer time?",
                 Change(QStringLiteral("Tarn clock"),
                        tarn->Inputs.CPUDateTime.IsZero()
                            ? QStringLiteral("not read")
                            : DisplayFormat::GeneralDateTime(tarn->Inputs.CPUDateTime),
                        DisplayFormat::GeneralDateTime(TarnDateTime::Now()))))
        return;
    SetButtonsBusy(true);
    std::string text;
    const bool ready = SetupCommands::ClockText(*tarn, text);
    SetButtonsBusy(false);
    if (!ready)
        return;
    ShowResult(SendCommand(TarnCommand::SetClock, text, false));
}

bool frmSetup::SendAdmin(const SetupBlocks::Admin& admin, const char* refusedText)
{
    if (!tarn)
        return false;
    SetButtonsBusy(true);
    bool refused = false;
    const bool ok = SetupCommands::SetAdmin(*tarn, admin, refused);
    SetButtonsBusy(false);
    if (refused) {
        ShowError(refusedText);
        return false;
    }
    ShowResult(ok);
    return ok;
}

void frmSetup::handleSetSerialNumber()
{
    uint32_t number = 0;
    std::string errText;
    if (!SetupFields::SerialNumber(FieldDigits(txtSerialNumber->text()), number, errText)) {
        ShowError(errText);
        SelectFieldText(txtSerialNumber);
        return;
    }
    if (!tarn ||
        !Confirm("Send new serial number to Tarn?",
                 Change(QStringLiteral("Serial number"),
                        DisplayFormat::Text(tarn->Inputs.SerialNumber), QString::number(number))))
        return;
    SetupBlocks::Admin admin;
    admin.serialNumber = number;
    SendAdmin(admin, "Incorrect value (Serial number)");
}

void frmSetup::handleSetManufactoringDate()
{
    if (!tarn)
        return;
    const TarnDateTime d = PickerValue(dtpManufactoringDate);
    const std::string error = SetupFields::ManufacturingDateError(d, TarnDateTime::Now());
    if (!error.empty()) {
        ShowError(error);
        return;
    }
    if (!Confirm("Send new Manufactoring date to Tarn?",
                 Change(QStringLiteral("Manufacturing date"), DateText(tarn->Inputs.Manufactured),
                        DateText(d))))
        return;
    SetupBlocks::Admin admin;
    admin.dates[0] = d;
    if (SendAdmin(admin, "Incorrect value (Manufacturing date)!"))
        tarn->Inputs.Manufactured = d;
}

void frmSetup::handleSetInstallationDate()
{
    if (!tarn)
        return;
    const TarnDateTime d = PickerValue(dtpInstallationDate);
    const std::string error =
        SetupFields::InstallationDateError(d, TarnDateTime::Now(), tarn->Inputs.Manufactured);
    if (!error.empty()) {
        ShowError(error);
        return;
    }
    if (!Confirm("Send new Installation date to Tarn?",
                 Change(QStringLiteral("Installation date"), DateText(tarn->Inputs.Installed),
                        DateText(d))))
        return;
    SetupBlocks::Admin admin;
    admin.dates[1] = d;
    if (SendAdmin(admin, "Incorrect value (Installation date)!"))
        tarn->Inputs.Installed = d;
}

void frmSetup::handleSetServiceDate()
{
    if (!tarn)
        return;
    Tarn_Inputs& inputs = tarn->Inputs;
    const TarnDateTime d = PickerValue(dtpServiceDate);
    const std::string error =
        SetupFields::ServiceDateError(d, TarnDateTime::Now(), inputs.Installed, inputs.LastService);
    if (!error.empty()) {
        ShowError(error);
        return;
    }
    // Tarn keeps two service dates: the same date again would push out the one before.
    if (d.DatePart() == inputs.LastService.DatePart()) {
        ShowError("Incorrect value (Service date)! It is the last service date already.",
                  QStringLiteral("Setting %1 again would replace the service date before it, "
                                 "%2. Nothing was sent.")
                      .arg(DateText(d), DateText(inputs.LastService2)));
        return;
    }
    // The service date before moves to the last field as the new one is written.
    const SetupBlocks::Admin admin = SetupBlocks::ServiceDates(d, inputs.LastService);
    const QString changes =
        Change(QStringLiteral("Last service date"), DateText(inputs.LastService),
               DateText(admin.dates[2].value_or(TarnDateTime()))) +
        u'\n' +
        Change(QStringLiteral("Service date before"), DateText(inputs.LastService2),
               DateText(admin.dates[3].value_or(TarnDateTime())));
    if (!Confirm("Send new Service date to Tarn?", changes))
        return;
    if (SendAdmin(admin, "Incorrect value (Service date)!")) {
        inputs.LastService2 = inputs.LastService;
        inputs.LastService = d;
    }
}

void frmSetup::handleClearLog()
{
    if (!m_boxes.questionOkCancelDefaultCancel(
            QStringLiteral("Delete all stored log events?"),
            QStringLiteral("This cannot be undone: the events are gone from Tarn for good. "
                           "Read and save them on the Event log page first if they are needed.")))
        return;
    // A failed deletion is reported like every other failed command: the technician must
    // not believe the log is gone when it is not.
    ShowResult(SendCommands({{TarnCommand::LogControl, SetupBlocks::ClearLogData()}}, true));
}

QString frmSetup::ZoneChanges() const
{
    const Tarn_Inputs& inputs = tarn->Inputs;
    QStringList zones;
    for (int16_t zone = 0; zone < kZones; ++zone) {
        const QComboBox* list = cboProfiles[zone];
        const int running = list->findData(inputs.ProfileID(zone));
        const QString current = running >= 0 ? list->itemText(running) : list->placeholderText();
        // A zone without a chosen profile keeps the one it runs.
        const QString profile =
            list->currentIndex() < 0
                ? QStringLiteral("Profile: %1 (not written)").arg(current)
                : Change(QStringLiteral("Profile"), current, list->currentText());
        std::array<bool, kOutputsPerZone> ticked{};
        for (int j = 0; j < kOutputsPerZone; ++j)
            ticked[j] = chkOutput[kOutputsPerZone * zone + j]->isChecked();
        zones << QStringList{Frame1[zone]->title() + u':', profile,
                             Change(QStringLiteral("Outputs"), OutputsText(inputs.OutPuts(zone)),
                                    OutputsText(SetupBlocks::OutputsByte(ticked)))}
                     .join(u'\n');
    }
    return zones.join(QStringLiteral("\n\n"));
}

void frmSetup::handleSetZoneSettings()
{
    if (!tarn || !Confirm("Send new Zone settings to Tarn?", ZoneChanges()))
        return;
    // The block carries the delays and zone messages too: as the controller has them now.
    std::string readError;
    BusyPointer::Set();
    const bool read = SetupCommands::ReadDelays(*tarn, readError);
    BusyPointer::Reset();
    if (!read) {
        ShowResult(false, readError);
        return;
    }
    Tarn_Inputs& inputs = tarn->Inputs;
    SetupBlocks::Delays delays = SetupBlocks::DelaysOf(inputs, tarn->DetectorVoltageSwitch);
    std::array<std::optional<int32_t>, kZones> profiles;
    for (int zone = 0; zone < kZones; ++zone) {
        std::array<bool, kOutputsPerZone> ticked{};
        for (int j = 0; j < kOutputsPerZone; ++j)
            ticked[j] = chkOutput[kOutputsPerZone * zone + j]->isChecked();
        delays.outputs[zone] = SetupBlocks::OutputsByte(ticked);
        if (cboProfiles[zone]->currentIndex() >= 0)
            profiles[zone] = cboProfiles[zone]->currentData().toInt();
    }

    std::vector<SetupBlocks::Command> commands;
    std::string errText;
    if (!SetupBlocks::ZoneSettingsCommands(delays, profiles, ProfileCatalogue, commands, errText)) {
        ShowError(kNotUpdated, DisplayFormat::Text(errText));
        return;
    }
    const bool ok = SendCommands(commands, true);
    // The record takes the outputs bytes as sent; a failure leaves it as it was.
    if (ok)
        for (int16_t zone = 0; zone < kZones; ++zone)
            inputs.SetOutPuts(zone, delays.outputs[zone]);
    ShowResult(ok);
}
