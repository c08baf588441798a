#include "ui/setup/frmSetup.h"

#include "controller/SetupApplyRun.h"
#include "controller/SetupCommands.h"
#include "controller/StatusCycle.h"
#include "data/Catalogues.h"
#include "data/DateCodec.h"
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
#include "ui/setup/SetupEdits.h"
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

bool frmSetup::Confirm(const char* question, const QString& changes)
{
    return m_boxes.questionOkCancel(Text(question), changes);
}

void frmSetup::ShowError(const std::string& text, const QString& informative)
{
    m_boxes.critical(DisplayFormat::Text(text), informative);
}

void frmSetup::ShowResult(bool ok, const QString& why, const QString& note)
{
    if (ok)
        m_boxes.info(Text(kUpdated), note);
    else
        m_boxes.critical(Text(kNotUpdated), why.isEmpty() ? LinkFailureText() : why);
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

SetupWriter::Target frmSetup::Target() const
{
    SetupWriter::Target target;
    target.identity = m_shown;
    if (!m_shown.Proven())
        target.delays = m_shownDelays;
    return target;
}

bool frmSetup::Write(const SetupWriter::Build& build, const std::array<bool, kZones>& zones,
                     const char* refusedTitle)
{
    if (!tarn)
        return false;
    SetButtonsBusy(true);
    BusyPointer::Set();
    const SetupWriter::Result result = SetupWriter::Run(*tarn, Target(), build, zones);
    BusyPointer::Reset();
    SetButtonsBusy(false);
    if (result.otherController()) {
        AnotherController(result.identified);
        return false;
    }
    // What was read for the write, and what was written, is what the window shows now.
    FollowRecord();
    if (result.identified.verdict == SetupWriter::Verdict::Failed) {
        ShowResult(false, tarn->isStarted() ? result.identified.text : QString());
        return false;
    }
    if (!result.refusal.isEmpty()) {
        if (refusedTitle)
            m_boxes.critical(Text(refusedTitle), result.refusal);
        else
            m_boxes.critical(Text(kNotUpdated), result.refusal);
        return false;
    }
    if (!result.ok()) {
        const SetupBlocks::Command& failed = result.commands[result.outcome.done];
        ShowResult(false, result.outcome.unconfirmed
                              ? QStringLiteral("Tarn did not answer command %1: it may have "
                                               "taken it, or not. %2")
                                    .arg(failed.code)
                                    .arg(tarn->lastError())
                              : QString());
        return false;
    }
    ShowResult(true, {},
               result.identified.verdict == SetupWriter::Verdict::Unproven ? result.identified.text
                                                                           : QString());
    return true;
}

void frmSetup::AnotherController(const SetupWriter::Identified& identified)
{
    const QStringList edits = m_edits->Lines();
    const ControllerIdentity shown = m_shown;
    // The window shows the controller that answers now, as a status read finds it.
    SetButtonsBusy(true);
    BusyPointer::Set();
    StatusCycle::Read(*tarn, tarn->IniPath.toStdString(), {});
    BusyPointer::Reset();
    SetButtonsBusy(false);
    m_edits->Fill(tarn->Inputs, false);
    FollowRecord();
    LoadInformation();
    const bool told =
        shown.Proven() || identified.now.Proven() || shown.firmware != identified.now.firmware;
    const QString text =
        told ? QStringLiteral("Another Tarn is connected now: %1. This window showed %2.")
                   .arg(identified.now.Text(), shown.serialNumber == identified.now.serialNumber
                                                   ? shown.Text()
                                                   : shown.ShortText())
             : QStringLiteral("Tarn's settings are not those this window showed: another Tarn "
                              "may be connected (%1 has no serial number to tell).")
                   .arg(identified.now.Firmware());
    QString informative =
        QStringLiteral("Nothing was sent. The window shows what the Tarn connected now holds.");
    if (!edits.isEmpty())
        informative += QStringLiteral("\nNot sent:\n") + edits.join(u'\n');
    m_boxes.critical(text, informative);
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
    // A field not edited keeps what the controller holds, whatever it is.
    std::array<std::optional<int>, 3> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!m_edits->Edited(fields[i].field))
            continue;
        int value = 0;
        if (!SetupFields::Delay(FieldDigits(fields[i].field->text()), value)) {
            ShowError(SetupFields::DelayError(fields[i].which));
            SelectFieldText(fields[i].field);
            return;
        }
        values[i] = value;
    }
    if (!tarn)
        return;
    const Tarn_Inputs& inputs = tarn->Inputs;
    const double held[] = {inputs.DetectorAlarmDelay, inputs.ManualAlarmDelay,
                           inputs.ManualStopDelay};
    const QString names[] = {QStringLiteral("Detector alarm delay"),
                             QStringLiteral("Manual release alarm delay"),
                             QStringLiteral("Manual release stop delay")};
    QStringList changes;
    for (std::size_t i = 0; i < values.size(); ++i)
        changes << Change(names[i], Seconds(held[i]), Seconds(values[i] ? *values[i] : held[i]));
    if (!Confirm("Send new delay values to Tarn?", changes.join(u'\n')))
        return;
    const int16_t voltageSwitch = tarn->DetectorVoltageSwitch;
    Write([values, voltageSwitch](const Tarn_Inputs& record,
                                  std::vector<SetupBlocks::Command>& commands, QString&) {
        SetupBlocks::Delays block = SetupBlocks::DelaysOf(record, voltageSwitch);
        double* const fields[] = {&block.detectorAlarm, &block.manualAlarm, &block.manualStop};
        for (std::size_t i = 0; i < values.size(); ++i)
            if (values[i])
                *fields[i] = *values[i];
        commands.push_back({TarnCommand::SetDelays, SetupBlocks::DelaysBlock(block)});
        return true;
    });
}

void frmSetup::handleSetTarnClock()
{
    if (!tarn)
        return;
    // The question compares with the controller's clock as it reads right now.
    SetButtonsBusy(true);
    BusyPointer::Set();
    const bool read = tarn->Send(TarnCommand::ReadClock) && tarn->TarnData != TarnCommand::kRefusal;
    if (read) {
        tarn->Inputs.CPUDateTime = ParseControllerClock(tarn->TarnData);
        tarn->Inputs.MarkGiven(Tarn_Inputs::Part::Clock, TarnDateTime::Now());
    }
    BusyPointer::Reset();
    SetButtonsBusy(false);
    if (!Confirm("Set Tarn time to computer time?",
                 Change(QStringLiteral("Tarn clock"),
                        read ? DisplayFormat::GeneralDateTime(tarn->Inputs.CPUDateTime)
                             : QStringLiteral("not read"),
                        DisplayFormat::GeneralDateTime(TarnDateTime::Now()))))
        return;
    // The computer's time is taken when the command is sent.
    Tarn_Comm* link = tarn;
    Write(
        [link](const Tarn_Inputs&, std::vector<SetupBlocks::Command>& commands, QString& errText) {
            std::string text;
            if (!SetupCommands::ClockText(*link, text)) {
                errText = QStringLiteral("The program is ending.");
                return false;
            }
            commands.push_back({TarnCommand::SetClock, text});
            return true;
        });
}

bool frmSetup::SendAdmin(
    const std::function<bool(const Tarn_Inputs&, SetupBlocks::Admin&, QString&)>& fields,
    const char* refusedText)
{
    return Write(
        [fields](const Tarn_Inputs& record, std::vector<SetupBlocks::Command>& commands,
                 QString& errText) {
            SetupBlocks::Admin admin;
            if (!fields(record, admin, errText))
                return false;
            std::string block;
            if (!SetupBlocks::AdminBlock(admin, block))
                return false;
            commands.push_back({TarnCommand::SetAdminData, block});
            return true;
        },
        {}, refusedText);
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
    SendAdmin(
        [number](const Tarn_Inputs&, SetupBlocks::Admin& admin, QString&) {
            admin.serialNumber = number;
            return true;
        },
        "Incorrect value (Serial number)");
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
    SendAdmin(
        [d](const Tarn_Inputs&, SetupBlocks::Admin& admin, QString&) {
            admin.dates[0] = d;
            return true;
        },
        "Incorrect value (Manufacturing date)!");
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
    // Checked again against the controller's dates of right now.
    SendAdmin(
        [d](const Tarn_Inputs& record, SetupBlocks::Admin& admin, QString& errText) {
            errText = DisplayFormat::Text(
                SetupFields::InstallationDateError(d, TarnDateTime::Now(), record.Manufactured));
            admin.dates[1] = d;
            return errText.isEmpty();
        },
        "Incorrect value (Installation date)!");
}

void frmSetup::handleSetServiceDate()
{
    if (!tarn)
        return;
    const Tarn_Inputs& inputs = tarn->Inputs;
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
    const SetupBlocks::Admin shown = SetupBlocks::ServiceDates(d, inputs.LastService);
    const QString changes =
        Change(QStringLiteral("Last service date"), DateText(inputs.LastService),
               DateText(shown.dates[2].value_or(TarnDateTime()))) +
        u'\n' +
        Change(QStringLiteral("Service date before"), DateText(inputs.LastService2),
               DateText(shown.dates[3].value_or(TarnDateTime())));
    if (!Confirm("Send new Service date to Tarn?", changes))
        return;
    // The dates the controller holds right now decide: a service date never moves back.
    SendAdmin(
        [d](const Tarn_Inputs& record, SetupBlocks::Admin& admin, QString& errText) {
            errText = DisplayFormat::Text(SetupFields::ServiceDateError(
                d, TarnDateTime::Now(), record.Installed, record.LastService));
            if (errText.isEmpty() && d.DatePart() == record.LastService.DatePart())
                errText = QStringLiteral("It is the last service date already.");
            admin = SetupBlocks::ServiceDates(d, record.LastService);
            return errText.isEmpty();
        },
        "Incorrect value (Service date)!");
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
    Write([](const Tarn_Inputs&, std::vector<SetupBlocks::Command>& commands, QString&) {
        commands.push_back({TarnCommand::LogControl, SetupBlocks::ClearLogData()});
        return true;
    });
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
        QString profile = list->currentIndex() < 0
                              ? QStringLiteral("Profile: %1 (not written)").arg(current)
                              : Change(QStringLiteral("Profile"), current, list->currentText());
        if (m_unconfirmed[zone] && list->currentIndex() >= 0 && list->currentText() == current)
            profile = QStringLiteral("Profile: %1 (its definition was not confirmed: written "
                                     "again)")
                          .arg(current);
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
    // What the user chose; for the rest, what each zone runs right now (read before the write).
    std::array<std::optional<std::optional<int32_t>>, kZones> chosen;
    std::array<std::optional<bool>, kOutputs> ticked;
    for (int zone = 0; zone < kZones; ++zone) {
        QComboBox* list = cboProfiles[zone];
        if (m_edits->Edited(list))
            chosen[zone] = list->currentIndex() >= 0
                               ? std::optional<int32_t>(list->currentData().toInt())
                               : std::nullopt;
    }
    for (int k = 0; k < kOutputs; ++k)
        if (m_edits->Edited(chkOutput[k]))
            ticked[k] = chkOutput[k]->isChecked();
    const int16_t voltageSwitch = tarn->DetectorVoltageSwitch;
    const QComboBox* const lists[] = {cboProfiles[0], cboProfiles[1], cboProfiles[2]};
    Write(
        [chosen, ticked, voltageSwitch, lists](const Tarn_Inputs& record,
                                               std::vector<SetupBlocks::Command>& commands,
                                               QString& errText) {
            SetupBlocks::Delays delays = SetupBlocks::DelaysOf(record, voltageSwitch);
            std::array<std::optional<int32_t>, kZones> profiles;
            for (int16_t zone = 0; zone < kZones; ++zone) {
                std::array<bool, kOutputsPerZone> outputs{};
                for (int j = 0; j < kOutputsPerZone; ++j)
                    outputs[j] = ticked[kOutputsPerZone * zone + j].value_or(
                        IsBitSet(record.OutPuts(zone), j));
                delays.outputs[zone] = SetupBlocks::OutputsByte(outputs);
                if (chosen[zone])
                    profiles[zone] = *chosen[zone];
                else if (lists[zone]->findData(record.ProfileID(zone)) >= 0)
                    profiles[zone] = record.ProfileID(zone);
            }
            std::string why;
            if (!SetupBlocks::ZoneSettingsCommands(delays, profiles, ProfileCatalogue, commands,
                                                   why)) {
                errText = DisplayFormat::Text(why);
                return false;
            }
            return true;
        },
        {true, true, true});
}

void frmSetup::handleWriteAll()
{
    if (!tarn || !m_files->HasLoaded())
        return;
    // The fields as they stand (the file loaded and any edit since), written as tarn setup
    // apply writes a file: the same plan, checks, identification and read-back.
    SetupFile::Setup edited;
    QString errText;
    if (!m_files->EditedSetup(m_files->RecordSetup(), edited, errText)) {
        m_boxes.critical(Text(kNotUpdated), errText);
        return;
    }
    SetupApply::Options options;
    options.factory = m_serviceSwitch;
    SetupApplyRun::Hooks hooks;
    hooks.catalogueError = [this](const std::string& text) {
        m_boxes.plain(DisplayFormat::Text(text));
    };
    hooks.confirm = [this](const SetupApplyRun::Proposal& proposal) {
        QStringList lines;
        for (const SetupDiff::Difference& d : proposal.differences)
            lines << d.Line();
        lines << proposal.LeftOutLines()
              << QStringLiteral("To write: %1.").arg(proposal.PlanText());
        BusyPointer::Reset();
        const bool yes = m_boxes.questionOkCancel(QStringLiteral("Write all differences to Tarn?"),
                                                  lines.join(u'\n'));
        BusyPointer::Set();
        return yes;
    };
    hooks.progress = [this](const QString& label) {
        emit progress(QStringLiteral("Writing %1 to Tarn...").arg(label));
    };
    // The fields not in the window are the shown controller's: written to that one only.
    hooks.meant = Target();
    SetButtonsBusy(true);
    BusyPointer::Set();
    const SetupApplyRun::Report report =
        SetupApplyRun::Run(*tarn, tarn->IniPath.toStdString(), edited, options, false, hooks);
    BusyPointer::Reset();
    SetButtonsBusy(false);
    emit progress(QString());
    using End = SetupApplyRun::End;
    if (report.end == End::OtherController) {
        AnotherController(report.identified);
        return;
    }
    FollowRecord();
    const SetupApplyRun::Proposal& proposal = report.proposal;
    switch (report.end) {
    case End::NotAsked:
        return;
    case End::NothingToWrite:
        m_boxes.info(QStringLiteral("Nothing to write: Tarn holds these values."),
                     proposal.LeftOutLines().join(u'\n'));
        return;
    case End::Verified:
        m_boxes.info(
            Text(kUpdated),
            (QStringList{QStringLiteral("Written and verified: %1.").arg(proposal.PlanText())}
             << proposal.LeftOutLines())
                .join(u'\n'));
        return;
    case End::NotVerified:
        m_boxes.critical(QStringLiteral("Written, but not verified."),
                         report.notVerified.isEmpty()
                             ? QStringLiteral("Tarn could not be read back.")
                             : QStringLiteral("Tarn reports after the write:\n") +
                                   report.notVerified.join(u'\n'));
        return;
    case End::Stopped:
    case End::ClockFailed:
        ShowResult(false, report.StoppedText());
        return;
    default:
        ShowResult(false, !report.errText.isEmpty() ? report.errText : report.identified.text);
        return;
    }
}
