#include "ui/setup/frmSetup.h"

#include "TarnVersion.h"
#include "config/FileReplace.h"
#include "controller/ReportFiles.h"
#include "controller/SetupApply.h"
#include "controller/SetupCommands.h"
#include "controller/SetupDiff.h"
#include "data/Catalogues.h"
#include "data/DateCodec.h"
#include "data/SetupFields.h"
#include "data/TarnDateTime.h"
#include "data/TextNumbers.h"
#include "eventloop/EventWait.h"
#include "eventloop/WaitDepth.h"
#include "link/ConnectionAdvice.h"
#include "link/SerialPort.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"
#include "protocol/WireEncoding.h"
#include "ui/main/BusyPointer.h"
#include "ui/main/DisplayFormat.h"
#include "ui/main/MessageBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

namespace {

constexpr double kOuterGroupPoints = 11.25;
constexpr double kZoneFramePoints = 9.75;
constexpr double kControlPoints = 8.25;
constexpr const char* kFontFamily = "Verdana";
const QDate kFirstPickerDate(kPackedDateFirstYear, 1, 1);
const QDate kLastPickerDate(kPackedDateLastYear, 12, 31);
constexpr const char* kProgram = "tarnconf " TARN_VERSION_TEXT;
constexpr const char* kOwnToolTip = "ownToolTip";
const QString kSetupFilter = QStringLiteral("Setup files (*.json);;All files (*)");
const QString kMarkStyle = QStringLiteral("background-color: #fff0a0; font-weight: bold;");

QString Text(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

std::string Latin1Bytes(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

/// A number field's text for the checks: the locale's own digits (as the program fills the
/// fields in, Arabic-Indic ones for example) read as the ASCII digits they stand for.
std::string FieldDigits(const QString& text)
{
    QString ascii;
    ascii.reserve(text.size());
    for (const QChar c : text)
        ascii += c.isDigit() ? QChar(u'0' + c.digitValue()) : c;
    return Latin1Bytes(ascii);
}

/// Verdana where it is installed, the desktop's sans-serif otherwise.
QFont SetupFont(double points, bool bold = false)
{
    QFont font;
    if (QFontDatabase::hasFamily(Text(kFontFamily))) {
        font.setFamily(Text(kFontFamily));
    } else {
        font.setFamily(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
        font.setStyleHint(QFont::SansSerif);
    }
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

/// The application's font with every attribute set, so that a group's font does not pass on.
QFont WindowDefaultFont()
{
    QFont font = QFont();
    font.setFamily(font.family());
    font.setPointSizeF(font.pointSizeF());
    font.setBold(font.bold());
    return font;
}

QGroupBox* Group(const char* name, const char* caption, double points)
{
    auto* group = new QGroupBox(Text(caption));
    group->setObjectName(Text(name));
    group->setFont(SetupFont(points));
    return group;
}

QLabel* Label(std::array<QLabel*, 14>& labels, int index, const char* caption)
{
    auto* label = new QLabel(Text(caption));
    label->setObjectName(QStringLiteral("Label1_%1").arg(index));
    label->setFont(SetupFont(kControlPoints));
    labels[index] = label;
    return label;
}

QPushButton* Button(const char* name, const char* caption, const char* toolTip)
{
    auto* button = new QPushButton(Text(caption));
    button->setObjectName(Text(name));
    button->setToolTip(Text(toolTip));
    button->setFont(SetupFont(kZoneFramePoints));
    // Enter in a field must not press a button that sends something.
    button->setAutoDefault(false);
    return button;
}

QLineEdit* TextBox(const char* name)
{
    auto* box = new QLineEdit;
    box->setObjectName(Text(name));
    box->setFont(SetupFont(kControlPoints));
    return box;
}

/// One line of a confirmation: "name: current → new", or the value alone when it stays.
QString Change(const QString& name, const QString& current, const QString& next)
{
    if (current == next)
        return QStringLiteral("%1: %2 (unchanged)").arg(name, current);
    return QStringLiteral("%1: %2 \u2192 %3").arg(name, current, next);
}

/// A date of the record or a picker in the locale's short form; "none" for no date.
QString DateText(const TarnDateTime& value)
{
    return value.IsZero() ? QStringLiteral("none")
                          : DisplayFormat::GeneralDateTime(value.DatePart());
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

QDateEdit* DatePicker(const char* name)
{
    auto* picker = new QDateEdit;
    picker->setObjectName(Text(name));
    picker->setFont(SetupFont(kControlPoints));
    picker->setCalendarPopup(true);
    // Tarn packs years 2000 to 2255 only: the picker offers nothing else.
    picker->setDateRange(kFirstPickerDate, kLastPickerDate);
    picker->setDate(QDate::currentDate());
    return picker;
}

} // namespace

frmSetup::frmSetup(Tarn_Comm* link, MessageBoxes& boxes, QWidget* parent,
                   const QString& argumentText)
    : QDialog(parent), tarn(link), m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(Text(kCaption));
    setModal(true);

    auto* right = new QVBoxLayout;
    right->addWidget(buildDelays());
    right->addWidget(buildInformation());
    right->addWidget(buildClock());
    right->addStretch();
    // The setup file buttons under the zones, where the window has room to spare.
    auto* left = new QVBoxLayout;
    left->addWidget(buildZones(), 1);
    left->addWidget(buildFiles());
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);
    resize(kWidth, kHeight);

    m_buttons = {
        cmdSetZoneSettings,     cmdSetDelays,      cmdSetSerialNumber, cmdSetManufactoringDate,
        cmdSetInstallationDate, cmdSetServiceDate, cmdClearLog,        cmdSetTarnClock,
        cmdSaveToFile,          cmdLoadFromFile,   cmdCompareWithFile};
    connect(cmdSetZoneSettings, &QPushButton::clicked, this, &frmSetup::handleSetZoneSettings);
    connect(cmdSetDelays, &QPushButton::clicked, this, &frmSetup::handleSetDelays);
    connect(cmdSetSerialNumber, &QPushButton::clicked, this, &frmSetup::handleSetSerialNumber);
    connect(cmdSetManufactoringDate, &QPushButton::clicked, this,
            &frmSetup::handleSetManufactoringDate);
    connect(cmdSetInstallationDate, &QPushButton::clicked, this,
            &frmSetup::handleSetInstallationDate);
    connect(cmdSetServiceDate, &QPushButton::clicked, this, &frmSetup::handleSetServiceDate);
    connect(cmdClearLog, &QPushButton::clicked, this, &frmSetup::handleClearLog);
    connect(cmdSetTarnClock, &QPushButton::clicked, this, &frmSetup::handleSetTarnClock);
    // A file dialog opened inside a wait would hold that wait up: the work waits for its end.
    const auto whenIdle = [this](void (frmSetup::*handler)()) {
        return
            [this, handler] { WaitDepth::WhenIdle(this, [this, handler] { (this->*handler)(); }); };
    };
    connect(cmdSaveToFile, &QPushButton::clicked, this, whenIdle(&frmSetup::handleSaveToFile));
    connect(cmdLoadFromFile, &QPushButton::clicked, this, whenIdle(&frmSetup::handleLoadFromFile));
    connect(cmdCompareWithFile, &QPushButton::clicked, this,
            whenIdle(&frmSetup::handleCompareWithFile));

    tmrClock = new QTimer(this);
    tmrClock->setObjectName(QStringLiteral("tmrClock"));
    tmrClock->setInterval(kClockIntervalMs);
    connect(tmrClock, &QTimer::timeout, this, &frmSetup::handleClockTick);

    Load(argumentText);
    tmrClock->start();
}

QWidget* frmSetup::buildZones()
{
    static const char* const kZoneCaptions[kZones] = {"Detector 1 or Manual release 1",
                                                      "Detector 2 or Manual release 2",
                                                      "Detector 3 or 4 or Manual release 3"};
    Frame5 = Group("Frame5", "Zones", kOuterGroupPoints);
    auto* zones = new QVBoxLayout(Frame5);
    for (int zone = 0; zone < kZones; ++zone) {
        Frame1[zone] = Group("", kZoneCaptions[zone], kZoneFramePoints);
        Frame1[zone]->setObjectName(QStringLiteral("Frame1_%1").arg(zone));
        cboProfiles[zone] = new QComboBox;
        cboProfiles[zone]->setObjectName(QStringLiteral("cboProfiles_%1").arg(zone));
        cboProfiles[zone]->setToolTip(QStringLiteral("Available profiles"));
        cboProfiles[zone]->setFont(SetupFont(kControlPoints));
        cboProfiles[zone]->setEditable(false);

        Frame2[zone] = Group("", "Outputs", kControlPoints);
        Frame2[zone]->setObjectName(QStringLiteral("Frame2_%1").arg(zone));
        auto* outputs = new QHBoxLayout(Frame2[zone]);
        for (int j = 0; j < kOutputsPerZone; ++j) {
            const int index = kOutputsPerZone * zone + j;
            chkOutput[index] = new QCheckBox(QString::number(j + 1));
            chkOutput[index]->setObjectName(QStringLiteral("chkOutput_%1").arg(index));
            chkOutput[index]->setFont(WindowDefaultFont());
            outputs->addWidget(chkOutput[index]);
        }

        auto* frame = new QGridLayout(Frame1[zone]);
        frame->addWidget(Label(Label1, zone, "Running profile:"), 0, 0);
        frame->addWidget(cboProfiles[zone], 0, 1);
        frame->addWidget(Frame2[zone], 1, 0, 1, 2);
        frame->setColumnStretch(1, 1);
        zones->addWidget(Frame1[zone]);
    }
    cmdSetZoneSettings =
        Button("cmdSetZoneSettings", "Set all zone settings", "Send new settings to system");
    zones->addWidget(cmdSetZoneSettings);
    zones->addStretch();
    return Frame5;
}

QWidget* frmSetup::buildDelays()
{
    Frame3[0] = Group("Frame3_0", "Time delays", kOuterGroupPoints);
    frame4[0] = Group("frame4_0", "Detectors", kControlPoints);
    frame4[1] = Group("frame4_1", "Manual release", kControlPoints);
    txtDetectorAlarmDelay = TextBox("txtDetectorAlarmDelay");
    txtManualAlarmDelay = TextBox("txtManualAlarmDelay");
    txtManualStopDelay = TextBox("txtManualStopDelay");

    auto* detectors = new QGridLayout(frame4[0]);
    detectors->addWidget(Label(Label1, 3, "Alarm delay:"), 0, 0);
    detectors->addWidget(txtDetectorAlarmDelay, 0, 1);
    auto* manual = new QGridLayout(frame4[1]);
    manual->addWidget(Label(Label1, 4, "Alarm delay:"), 0, 0);
    manual->addWidget(txtManualAlarmDelay, 0, 1);
    manual->addWidget(Label(Label1, 5, "Stop delay:"), 1, 0);
    manual->addWidget(txtManualStopDelay, 1, 1);

    cmdSetDelays = Button("cmdSetDelays", "Set delays", "Send new delays to system");
    auto* layout = new QVBoxLayout(Frame3[0]);
    layout->addWidget(frame4[0]);
    layout->addWidget(frame4[1]);
    layout->addWidget(cmdSetDelays, 0, Qt::AlignRight);
    return Frame3[0];
}

QWidget* frmSetup::buildInformation()
{
    static constexpr const char* kSetToolTip = "Send new value to system";
    fraInformation = Group("fraInformation", kInformationCaptionOld, kOuterGroupPoints);
    txtSerialNumber = TextBox("txtSerialNumber");
    txtSerialNumber->setMaxLength(kSerialNumberLength);
    cmdSetSerialNumber = Button("cmdSetSerialNumber", "Set", kSetToolTip);
    dtpManufactoringDate = DatePicker("dtpManufactoringDate");
    cmdSetManufactoringDate = Button("cmdSetManufactoringDate", "Set", kSetToolTip);
    dtpInstallationDate = DatePicker("dtpInstallationDate");
    cmdSetInstallationDate = Button("cmdSetInstallationDate", "Set", kSetToolTip);
    dtpServiceDate = DatePicker("dtpServiceDate");
    cmdSetServiceDate = Button("cmdSetServiceDate", "Set", kSetToolTip);
    cmdClearLog = Button("cmdClearLog", "Delete all log events", "Deletes all stored log events");

    auto* grid = new QGridLayout(fraInformation);
    grid->addWidget(Label(Label1, 13, "Serial number:"), 0, 0);
    grid->addWidget(txtSerialNumber, 0, 1);
    grid->addWidget(cmdSetSerialNumber, 0, 2);
    grid->addWidget(Label(Label1, 12, "Manufacturing date:"), 1, 0);
    grid->addWidget(dtpManufactoringDate, 1, 1);
    grid->addWidget(cmdSetManufactoringDate, 1, 2);
    grid->addWidget(Label(Label1, 11, "Installation date:"), 2, 0);
    grid->addWidget(dtpInstallationDate, 2, 1);
    grid->addWidget(cmdSetInstallationDate, 2, 2);
    grid->addWidget(Label(Label1, 10, "Service date:"), 3, 0);
    grid->addWidget(dtpServiceDate, 3, 1);
    grid->addWidget(cmdSetServiceDate, 3, 2);
    grid->addWidget(Label(Label1, 6, "Event log:"), 4, 0);
    grid->addWidget(cmdClearLog, 4, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    return fraInformation;
}

QWidget* frmSetup::buildClock()
{
    Frame3[1] = Group("Frame3_1", "Tarn Clock", kOuterGroupPoints);
    frame4[2] = Group("frame4_2", "PC Date && Time", kControlPoints);
    lblPCTime = new QLabel(QStringLiteral("-"));
    lblPCTime->setObjectName(QStringLiteral("lblPCTime"));
    lblPCTime->setFont(SetupFont(kControlPoints, true));
    lblPCTime->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* pcTime = new QHBoxLayout(frame4[2]);
    pcTime->addWidget(lblPCTime);
    pcTime->addStretch();
    cmdSetTarnClock = Button("cmdSetTarnClock", "Set", "Sets the Tarn clock");
    auto* layout = new QHBoxLayout(Frame3[1]);
    layout->addWidget(frame4[2], 1);
    layout->addWidget(cmdSetTarnClock, 0, Qt::AlignBottom);
    return Frame3[1];
}

QWidget* frmSetup::buildFiles()
{
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("fraSetupFile"));
    const auto button = [](const char* name, const QString& caption, const char* toolTip) {
        QPushButton* created = Button(name, "", toolTip);
        created->setText(caption);
        return created;
    };
    cmdSaveToFile = button("cmdSaveToFile", QStringLiteral("Save to file\u2026"),
                           "Saves Tarn's values as last read to a setup file");
    cmdLoadFromFile = button("cmdLoadFromFile", QStringLiteral("Load from file\u2026"),
                             "Fills the fields from a setup file and marks what differs from "
                             "Tarn; nothing is sent until a Set button is pressed");
    cmdCompareWithFile = button("cmdCompareWithFile", QStringLiteral("Compare with file\u2026"),
                                "Lists what differs between Tarn's values as last read and a "
                                "setup file");
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(cmdSaveToFile);
    layout->addWidget(cmdLoadFromFile);
    layout->addWidget(cmdCompareWithFile);
    return row;
}

QString frmSetup::ArgumentText()
{
    return QCoreApplication::arguments().mid(1).join(u' ');
}

void frmSetup::Load(const QString& argumentText)
{
    if (!tarn)
        return;
    const Tarn_Inputs& inputs = tarn->Inputs;
    txtDetectorAlarmDelay->setText(DisplayFormat::Number(inputs.DetectorAlarmDelay));
    txtManualAlarmDelay->setText(DisplayFormat::Number(inputs.ManualAlarmDelay));
    txtManualStopDelay->setText(DisplayFormat::Number(inputs.ManualStopDelay));

    // Entries whose ID is not a plain whole number are not offered; an empty catalogue leaves
    // the lists empty.
    const std::vector<SetupBlocks::ProfileChoice> choices =
        SetupBlocks::ProfileChoices(ProfileCatalogue);
    for (int16_t zone = 0; zone < kZones; ++zone) {
        QComboBox* list = cboProfiles[zone];
        for (const SetupBlocks::ProfileChoice& choice : choices)
            list->addItem(DisplayFormat::Text(choice.name), choice.id);
        // A profile that is not in the catalogue leaves the list without a selection; the
        // empty box names the number that the controller runs.
        const int16_t running = inputs.ProfileID(zone);
        list->setPlaceholderText(QStringLiteral("Unknown (%1)").arg(running));
        list->setCurrentIndex(SetupBlocks::ChoiceIndex(choices, running));

        for (int j = 0; j < kOutputsPerZone; ++j)
            chkOutput[kOutputsPerZone * zone + j]->setChecked(IsBitSet(inputs.OutPuts(zone), j));
    }
    LoadInformation(SetupFields::IsServiceSwitch(Latin1Bytes(argumentText)));
}

void frmSetup::LoadInformation(bool serviceSwitch)
{
    const Tarn_Inputs& inputs = tarn->Inputs;
    if (inputs.CPUVersion >= kInformationVersion) {
        fraInformation->setTitle(Text(kInformationCaption));
        txtSerialNumber->setText(DisplayFormat::Text(inputs.SerialNumber));
        SetPickerValue(dtpManufactoringDate, inputs.Manufactured);
        SetPickerValue(dtpInstallationDate, inputs.Installed);
        SetPickerValue(dtpServiceDate, inputs.LastService);
        cmdSetSerialNumber->setEnabled(serviceSwitch);
        cmdSetManufactoringDate->setEnabled(serviceSwitch);
        cmdClearLog->setEnabled(serviceSwitch);
        return;
    }
    fraInformation->setEnabled(false);
    for (QWidget* control : std::initializer_list<QWidget*>{
             txtSerialNumber, dtpManufactoringDate, dtpInstallationDate, dtpServiceDate,
             cmdSetInstallationDate, cmdSetManufactoringDate, cmdSetServiceDate, cmdSetSerialNumber,
             cmdClearLog})
        control->setEnabled(false);
}

TarnDateTime frmSetup::PickerValue(const QDateEdit* picker)
{
    const QDate date = picker->date();
    return TarnDateTime::FromParts(date.year(), date.month(), date.day());
}

void frmSetup::SetPickerValue(QDateEdit* picker, const TarnDateTime& value)
{
    // No stored date (or one the picker cannot offer) leaves today's date to choose from.
    const QDate date(value.Year(), value.Month(), value.Day());
    if (!value.IsZero() && date >= kFirstPickerDate && date <= kLastPickerDate)
        picker->setDate(date);
}

bool frmSetup::PickerEdited(const QDateEdit* picker, const TarnDateTime& value) const
{
    const QDate date(value.Year(), value.Month(), value.Day());
    const bool shown = !value.IsZero() && date >= kFirstPickerDate && date <= kLastPickerDate;
    return picker->date() != (shown ? date : m_openedOn);
}

void frmSetup::SelectFieldText(QLineEdit* field)
{
    field->setSelection(0, static_cast<int>(field->text().size()));
    field->setFocus(Qt::OtherFocusReason);
}

void frmSetup::handleClockTick()
{
    lblPCTime->setText(DisplayFormat::GeneralDateTime(TarnDateTime::Now()));
    lblPCTime->adjustSize();
}

void frmSetup::reject()
{
    if (!m_busy)
        QDialog::reject();
}

void frmSetup::SetButtonsBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy) {
        m_enabledBeforeBusy.clear();
        for (QPushButton* button : m_buttons) {
            m_enabledBeforeBusy.push_back(button->isEnabled());
            button->setEnabled(false);
        }
        return;
    }
    for (std::size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setEnabled(m_enabledBeforeBusy[i]);
}

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
        if (m_loaded)
            QTimer::singleShot(0, this, &frmSetup::MarkDifferences);
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

bool frmSetup::RecordRead()
{
    if (!tarn)
        return false;
    // A record never filled would be saved, or compared, as a controller with nothing set.
    if (tarn->Inputs.CPUVersion > 0)
        return true;
    m_boxes.critical(QStringLiteral("Tarn's setup has not been read."),
                     QStringLiteral("Close this window and read the status first."));
    return false;
}

SetupFile::Setup frmSetup::RecordSetup() const
{
    return SetupFile::FromController(tarn->Inputs, tarn->DetectorVoltageSwitch, ProfileCatalogue,
                                     TarnDateTime::Now(), kProgram);
}

bool frmSetup::EditedSetup(const SetupFile::Setup& read, SetupFile::Setup& edited,
                           QString& errText) const
{
    const Tarn_Inputs& inputs = tarn->Inputs;
    edited = read;
    const struct
    {
        QLineEdit* field;
        double shown;
        SetupFields::DelayField which;
        int SetupFile::Setup::*value;
    } delays[] = {{txtDetectorAlarmDelay, inputs.DetectorAlarmDelay,
                   SetupFields::DelayField::DetectorAlarm, &SetupFile::Setup::detectorAlarmDelay},
                  {txtManualAlarmDelay, inputs.ManualAlarmDelay,
                   SetupFields::DelayField::ManualAlarm, &SetupFile::Setup::manualAlarmDelay},
                  {txtManualStopDelay, inputs.ManualStopDelay, SetupFields::DelayField::ManualStop,
                   &SetupFile::Setup::manualStopDelay}};
    for (const auto& delay : delays) {
        // A field as the window filled it in is the value read, whatever it holds.
        if (delay.field->text() == DisplayFormat::Number(delay.shown))
            continue;
        if (!SetupFields::Delay(FieldDigits(delay.field->text()), edited.*delay.value)) {
            errText = DisplayFormat::Text(SetupFields::DelayError(delay.which));
            return false;
        }
    }
    for (int zone = 0; zone < kZones; ++zone) {
        SetupFile::Zone& z = edited.zones[static_cast<std::size_t>(zone)];
        const QComboBox* list = cboProfiles[zone];
        if (list->currentIndex() >= 0 && list->currentData().toInt() != z.profileId) {
            z.profileId = list->currentData().toInt();
            const Tarn_Profile* profile = ProfileCatalogue.Find(DecimalText(z.profileId));
            z.profileName = profile ? std::optional(profile->Name) : std::nullopt;
            z.profileDefinition = profile ? std::optional(profile->Profile) : std::nullopt;
        }
        std::array<bool, kOutputsPerZone> ticked{};
        for (int j = 0; j < kOutputsPerZone; ++j)
            ticked[j] = chkOutput[kOutputsPerZone * zone + j]->isChecked();
        z.outputs = SetupFile::OutputNumbers(SetupBlocks::OutputsByte(ticked));
    }
    if (inputs.CPUVersion < kInformationVersion)
        return true;
    const std::string serial = FieldDigits(txtSerialNumber->text());
    uint32_t number = 0;
    std::string serialError;
    if (serial != inputs.SerialNumber) {
        if (!SetupFields::SerialNumber(serial, number, serialError)) {
            errText = DisplayFormat::Text(serialError);
            return false;
        }
        edited.serialNumber = number;
    }
    if (PickerEdited(dtpManufactoringDate, inputs.Manufactured))
        edited.manufactured = PickerValue(dtpManufactoringDate);
    if (PickerEdited(dtpInstallationDate, inputs.Installed))
        edited.installed = PickerValue(dtpInstallationDate);
    // A new service date pushes the last one back, as Set does.
    if (PickerEdited(dtpServiceDate, inputs.LastService)) {
        edited.serviceBefore = edited.lastService;
        edited.lastService = PickerValue(dtpServiceDate);
    }
    // The checks of the setup window, dates among them, as a file read makes them.
    SetupFile::Setup checked;
    std::string checkError;
    if (!SetupFile::Read(SetupFile::Write(edited), TarnDateTime::Now(), checked, checkError)) {
        errText = QString::fromStdString(checkError);
        return false;
    }
    return true;
}

QString frmSetup::SetupFileFolder() const
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void frmSetup::handleSaveToFile()
{
    if (!RecordRead())
        return;
    const SetupFile::Setup read = RecordSetup();
    SetupFile::Setup edited;
    QString editError;
    const bool editable = EditedSetup(read, edited, editError);
    const std::vector<SetupDiff::Difference> edits =
        editable ? SetupDiff::Compare(read, edited) : std::vector<SetupDiff::Difference>{};
    const SetupFile::Setup* chosen = &read;
    if (!editable || !edits.empty()) {
        QStringList lines;
        for (const SetupDiff::Difference& d : edits)
            lines << d.Line();
        if (!editable)
            lines << QStringLiteral("As edited it cannot be saved: %1").arg(editError);
        QStringList choices{QStringLiteral("As read from Tarn")};
        if (editable)
            choices << QStringLiteral("As edited");
        const int choice = m_boxes.choose(
            QStringLiteral("Fields differ from Tarn's values as last read. Which values go into "
                           "the file?"),
            lines.join(u'\n'), choices);
        if (choice < 0)
            return;
        if (choice == 1)
            chosen = &edited;
    }
    const QString suggested =
        QDir(SetupFileFolder())
            .filePath(ReportFiles::SuggestedName(tarn->Inputs, QDate::currentDate(),
                                                 QStringLiteral("setup"), QStringLiteral("json")));
    const QString path = m_boxes.saveFileName(suggested, kSetupFilter);
    if (path.isEmpty())
        return;
    std::string errText;
    if (!ReplaceFileContent(QFile::encodeName(path).toStdString(), SetupFile::Write(*chosen),
                            errText)) {
        m_boxes.critical(QStringLiteral("The setup could not be saved as %1.")
                             .arg(QDir::toNativeSeparators(path)),
                         QString::fromStdString(errText));
        return;
    }
    m_boxes.info(QStringLiteral("The setup was saved as %1.").arg(QDir::toNativeSeparators(path)));
}

bool frmSetup::ReadSetupFile(SetupFile::Setup& file, QString& path)
{
    // A file is loaded or compared against the controller's values as read.
    if (!RecordRead())
        return false;
    path = m_boxes.openFileName(SetupFileFolder(), kSetupFilter);
    if (path.isEmpty())
        return false;
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        m_boxes.critical(QStringLiteral("%1 cannot be read.").arg(QDir::toNativeSeparators(path)),
                         source.errorString());
        return false;
    }
    const QByteArray bytes = source.readAll();
    std::string errText;
    if (!SetupFile::Read(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
            TarnDateTime::Now(), file, errText)) {
        m_boxes.critical(QStringLiteral("%1 is refused.").arg(QDir::toNativeSeparators(path)),
                         QString::fromStdString(errText));
        return false;
    }
    return true;
}

void frmSetup::FillFromFile(const SetupFile::Setup& file, QStringList& notes)
{
    const Tarn_Inputs& inputs = tarn->Inputs;
    txtDetectorAlarmDelay->setText(DisplayFormat::Number(file.detectorAlarmDelay));
    txtManualAlarmDelay->setText(DisplayFormat::Number(file.manualAlarmDelay));
    txtManualStopDelay->setText(DisplayFormat::Number(file.manualStopDelay));
    static constexpr SetupDiff::Block kZoneBlocks[] = {
        SetupDiff::Block::Zone1, SetupDiff::Block::Zone2, SetupDiff::Block::Zone3};
    for (int16_t zone = 0; zone < kZones; ++zone) {
        const SetupFile::Zone& z = file.zones[static_cast<std::size_t>(zone)];
        // A profile is taken as `tarn setup apply` writes it: with Tarn.INI's definition, the
        // file's own.
        std::vector<SetupApply::Step> steps;
        QString refusal;
        m_profileLoaded[zone] =
            z.profileId == inputs.ProfileID(zone) ||
            SetupApply::Plan(file, {{{}, {}, {}, kZoneBlocks[zone]}}, inputs.CPUVersion,
                             ProfileCatalogue, {}, steps, refusal);
        if (m_profileLoaded[zone])
            cboProfiles[zone]->setCurrentIndex(cboProfiles[zone]->findData(z.profileId));
        else
            notes << refusal + QStringLiteral(": not filled in");
        for (int j = 0; j < kOutputsPerZone; ++j)
            chkOutput[kOutputsPerZone * zone + j]->setChecked(
                std::find(z.outputs.begin(), z.outputs.end(), j + 1) != z.outputs.end());
    }
    m_informationLoaded = inputs.CPUVersion >= kInformationVersion;
    if (m_informationLoaded) {
        if (file.serialNumber)
            txtSerialNumber->setText(QString::number(*file.serialNumber));
        const std::pair<QDateEdit*, const std::optional<TarnDateTime>*> dates[] = {
            {dtpManufactoringDate, &file.manufactured},
            {dtpInstallationDate, &file.installed},
            {dtpServiceDate, &file.lastService}};
        for (const auto& [picker, date] : dates) {
            if (*date)
                SetPickerValue(picker, **date);
        }
    }
    // What the window has no field for.
    for (const SetupDiff::Difference& d : SetupDiff::Compare(RecordSetup(), file)) {
        const bool information =
            d.block != SetupDiff::Block::Delays && d.block != SetupDiff::Block::Zone1 &&
            d.block != SetupDiff::Block::Zone2 && d.block != SetupDiff::Block::Zone3;
        if (d.field == QLatin1String("detector reset delay") ||
            d.field.endsWith(QLatin1String(" message")) || !d.reported ||
            d.field == QLatin1String("service date before") ||
            (information && !m_informationLoaded))
            notes << d.Line() + QStringLiteral(": not in this window");
    }
}

void frmSetup::Mark(QWidget* field, bool differs, const QString& controllerValue)
{
    if (!field->property(kOwnToolTip).isValid())
        field->setProperty(kOwnToolTip, field->toolTip());
    field->setProperty(kDiffersProperty, differs);
    field->setToolTip(differs ? QStringLiteral("Controller: %1").arg(controllerValue)
                              : field->property(kOwnToolTip).toString());
    field->setStyleSheet(differs ? kMarkStyle : QString());
}

void frmSetup::MarkDifferences()
{
    if (!m_loaded || !tarn)
        return;
    const SetupFile::Setup& file = *m_loaded;
    const Tarn_Inputs& inputs = tarn->Inputs;
    const SetupFile::Setup read = RecordSetup();
    Mark(txtDetectorAlarmDelay, file.detectorAlarmDelay != read.detectorAlarmDelay,
         DisplayFormat::Number(inputs.DetectorAlarmDelay));
    Mark(txtManualAlarmDelay, file.manualAlarmDelay != read.manualAlarmDelay,
         DisplayFormat::Number(inputs.ManualAlarmDelay));
    Mark(txtManualStopDelay, file.manualStopDelay != read.manualStopDelay,
         DisplayFormat::Number(inputs.ManualStopDelay));
    for (std::size_t zone = 0; zone < file.zones.size(); ++zone) {
        const SetupFile::Zone& z = file.zones[zone];
        const SetupFile::Zone& r = read.zones[zone];
        Mark(cboProfiles[zone], m_profileLoaded[zone] && z.profileId != r.profileId,
             SetupDiff::ProfileText(r));
        for (int j = 0; j < kOutputsPerZone; ++j) {
            const auto has = [j](const std::vector<int>& outputs) {
                return std::find(outputs.begin(), outputs.end(), j + 1) != outputs.end();
            };
            Mark(chkOutput[kOutputsPerZone * zone + j], has(z.outputs) != has(r.outputs),
                 has(r.outputs) ? QStringLiteral("ticked") : QStringLiteral("not ticked"));
        }
    }
    const auto differs = [this](const auto& fromFile, const auto& fromTarn) {
        return m_informationLoaded && fromFile && fromFile != fromTarn;
    };
    Mark(txtSerialNumber, differs(file.serialNumber, read.serialNumber),
         read.serialNumber ? QString::number(*read.serialNumber) : QStringLiteral("none"));
    const std::tuple<QDateEdit*, const std::optional<TarnDateTime>*, TarnDateTime> dates[] = {
        {dtpManufactoringDate, &file.manufactured, inputs.Manufactured},
        {dtpInstallationDate, &file.installed, inputs.Installed},
        {dtpServiceDate, &file.lastService, inputs.LastService}};
    for (const auto& [picker, date, held] : dates) {
        const std::optional<std::string> fromFile =
            *date ? std::optional(SetupFile::DateText(**date)) : std::nullopt;
        const std::optional<std::string> fromTarn =
            held.IsZero() ? std::nullopt : std::optional(SetupFile::DateText(held));
        Mark(picker, differs(fromFile, fromTarn), DateText(held));
    }
}

void frmSetup::handleLoadFromFile()
{
    SetupFile::Setup file;
    QString path;
    if (!ReadSetupFile(file, path))
        return;
    QStringList notes;
    FillFromFile(file, notes);
    m_loaded = file;
    MarkDifferences();
    if (!notes.isEmpty())
        m_boxes.info(QStringLiteral("%1 is loaded, but for what is listed below. Nothing is sent "
                                    "until a Set button is pressed.")
                         .arg(QFileInfo(path).fileName()),
                     notes.join(u'\n'));
}

void frmSetup::handleCompareWithFile()
{
    SetupFile::Setup file;
    QString path;
    if (!ReadSetupFile(file, path))
        return;
    const QString name = QFileInfo(path).fileName();
    QStringList lines;
    for (const SetupDiff::Difference& d : SetupDiff::Compare(RecordSetup(), file))
        lines << d.Line();
    if (lines.isEmpty())
        m_boxes.info(
            QStringLiteral("No differences between Tarn (as last read) and %1.").arg(name));
    else
        m_boxes.info(QStringLiteral("Tarn (as last read) \u2192 %1:").arg(name), lines.join(u'\n'));
}
