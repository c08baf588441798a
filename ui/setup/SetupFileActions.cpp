#include "ui/setup/SetupFileActions.h"

#include "TarnVersion.h"
#include "config/FileReplace.h"
#include "controller/ReportFiles.h"
#include "controller/SetupApply.h"
#include "controller/SetupApplyRun.h"
#include "controller/SetupDiff.h"
#include "data/Catalogues.h"
#include "data/SetupFields.h"
#include "data/TarnDateTime.h"
#include "data/TextNumbers.h"
#include "eventloop/WaitDepth.h"
#include "link/Tarn_Comm.h"
#include "ui/main/DisplayFormat.h"
#include "ui/main/MessageBoxes.h"
#include "ui/setup/SetupForm.h"
#include "ui/setup/SetupWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

#include <algorithm>
#include <tuple>

using namespace SetupWidgets;

namespace {

constexpr const char* kProgram = "tarnconf " TARN_VERSION_TEXT;
const QString kSetupFilter = QStringLiteral("Setup files (*.json);;All files (*)");

} // namespace

SetupFileActions::SetupFileActions(SetupForm& form, Tarn_Comm* tarn, QWidget& window,
                                   MessageBoxes& boxes)
    : QObject(&window), m_form(form), m_tarn(tarn), m_window(window), m_boxes(boxes)
{
}

QWidget* SetupFileActions::Build()
{
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("fraSetupFile"));
    const auto button = [](const char* name, const QString& caption, const char* toolTip) {
        QPushButton* created = Button(name, "", toolTip);
        created->setText(caption);
        return created;
    };
    m_form.cmdSaveToFile = button("cmdSaveToFile", QStringLiteral("Save to file\u2026"),
                                  "Saves Tarn's values as last read to a setup file");
    m_form.cmdLoadFromFile =
        button("cmdLoadFromFile", QStringLiteral("Load from file\u2026"),
               "Fills the fields from a setup file and marks what differs from "
               "Tarn; nothing is sent until a Set button is pressed");
    m_form.cmdCompareWithFile =
        button("cmdCompareWithFile", QStringLiteral("Compare with file\u2026"),
               "Lists what differs between Tarn's values as last read and a "
               "setup file");
    // Its work is the window's: a write like every other.
    QPushButton* writeAll =
        button("cmdWriteAll", QStringLiteral("Write all differences\u2026"),
               "Writes every value loaded from the file that differs from Tarn, as tarn setup "
               "apply does, then reads Tarn back");
    writeAll->setEnabled(false);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_form.cmdSaveToFile);
    layout->addWidget(m_form.cmdLoadFromFile);
    layout->addWidget(m_form.cmdCompareWithFile);
    layout->addWidget(writeAll);

    // A file dialog opened inside a wait would hold that wait up: the work waits for its end.
    const auto whenIdle = [this](void (SetupFileActions::*handler)()) {
        return [this, handler] {
            WaitDepth::WhenIdle(&m_window, [this, handler] { (this->*handler)(); });
        };
    };
    connect(m_form.cmdSaveToFile, &QPushButton::clicked, this,
            whenIdle(&SetupFileActions::handleSaveToFile));
    connect(m_form.cmdLoadFromFile, &QPushButton::clicked, this,
            whenIdle(&SetupFileActions::handleLoadFromFile));
    connect(m_form.cmdCompareWithFile, &QPushButton::clicked, this,
            whenIdle(&SetupFileActions::handleCompareWithFile));
    return row;
}

bool SetupFileActions::RecordRead()
{
    if (!m_tarn)
        return false;
    // A record never filled would be saved, or compared, as a controller with nothing set.
    if (m_tarn->Inputs.CPUVersion > 0)
        return true;
    m_boxes.critical(QStringLiteral("Tarn's setup has not been read."),
                     QStringLiteral("Close this window and read the status first."));
    return false;
}

SetupFile::Setup SetupFileActions::RecordSetup() const
{
    SetupFile::Setup setup =
        SetupFile::FromController(m_tarn->Inputs, m_tarn->DetectorVoltageSwitch, ProfileCatalogue,
                                  TarnDateTime::Now(), kProgram);
    SetupApplyRun::MarkUnconfirmed(*m_tarn, setup);
    return setup;
}

bool SetupFileActions::EditedSetup(const SetupFile::Setup& read, SetupFile::Setup& edited,
                                   QString& errText) const
{
    const Tarn_Inputs& inputs = m_tarn->Inputs;
    edited = read;
    const struct
    {
        QLineEdit* field;
        double shown;
        SetupFields::DelayField which;
        int SetupFile::Setup::*value;
    } delays[] = {{m_form.txtDetectorAlarmDelay, inputs.DetectorAlarmDelay,
                   SetupFields::DelayField::DetectorAlarm, &SetupFile::Setup::detectorAlarmDelay},
                  {m_form.txtManualAlarmDelay, inputs.ManualAlarmDelay,
                   SetupFields::DelayField::ManualAlarm, &SetupFile::Setup::manualAlarmDelay},
                  {m_form.txtManualStopDelay, inputs.ManualStopDelay,
                   SetupFields::DelayField::ManualStop, &SetupFile::Setup::manualStopDelay}};
    for (const auto& delay : delays) {
        // A field as the window filled it in is the value read, whatever it holds.
        if (delay.field->text() == DisplayFormat::Number(delay.shown))
            continue;
        if (!SetupFields::Delay(FieldDigits(delay.field->text()), edited.*delay.value)) {
            errText = DisplayFormat::Text(SetupFields::DelayError(delay.which));
            return false;
        }
    }
    for (int zone = 0; zone < SetupForm::kZones; ++zone) {
        SetupFile::Zone& z = edited.zones[static_cast<std::size_t>(zone)];
        const QComboBox* list = m_form.cboProfiles[zone];
        // A zone whose definition may not have arrived gets its number and Tarn.INI's
        // definition written again.
        if (list->currentIndex() >= 0 &&
            (list->currentData().toInt() != z.profileId || z.definitionUnconfirmed)) {
            z.profileId = list->currentData().toInt();
            const Tarn_Profile* profile = ProfileCatalogue.Find(DecimalText(z.profileId));
            z.profileName = profile ? std::optional(profile->Name) : std::nullopt;
            z.profileDefinition = profile ? std::optional(profile->Profile) : std::nullopt;
        }
        z.definitionUnconfirmed = false;
        std::array<bool, SetupForm::kOutputsPerZone> ticked{};
        for (int j = 0; j < SetupForm::kOutputsPerZone; ++j)
            ticked[j] = m_form.chkOutput[SetupForm::kOutputsPerZone * zone + j]->isChecked();
        z.outputs = SetupFile::OutputNumbers(SetupBlocks::OutputsByte(ticked));
    }
    if (inputs.CPUVersion < SetupForm::kInformationVersion)
        return true;
    const std::string serial = FieldDigits(m_form.txtSerialNumber->text());
    uint32_t number = 0;
    std::string serialError;
    if (serial != inputs.SerialNumber) {
        if (!SetupFields::SerialNumber(serial, number, serialError)) {
            errText = DisplayFormat::Text(serialError);
            return false;
        }
        edited.serialNumber = number;
    }
    if (PickerEdited(m_form.dtpManufactoringDate, inputs.Manufactured))
        edited.manufactured = PickerValue(m_form.dtpManufactoringDate);
    if (PickerEdited(m_form.dtpInstallationDate, inputs.Installed))
        edited.installed = PickerValue(m_form.dtpInstallationDate);
    // A new service date pushes the last one back, as Set does.
    if (PickerEdited(m_form.dtpServiceDate, inputs.LastService)) {
        edited.serviceBefore = edited.lastService;
        edited.lastService = PickerValue(m_form.dtpServiceDate);
    }
    // What a file holds, then the checks of a write, dates among them, as apply makes them.
    SetupFile::Setup checked;
    std::string checkError;
    if (!SetupFile::Read(SetupFile::Write(edited), checked, checkError)) {
        errText = QString::fromStdString(checkError);
        return false;
    }
    SetupApply::Options options;
    options.factory = true;
    std::vector<SetupApply::Step> steps;
    std::vector<SetupApply::LeftOut> leftOut;
    if (!SetupApply::Plan(read, edited, ProfileCatalogue, options, TarnDateTime::Now(), steps,
                          leftOut, errText))
        return false;
    for (const SetupApply::LeftOut& left : leftOut) {
        if (left.refused) {
            errText = left.reason;
            return false;
        }
    }
    return true;
}

QString SetupFileActions::SetupFileFolder() const
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void SetupFileActions::handleSaveToFile()
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
            .filePath(ReportFiles::SuggestedName(m_tarn->Inputs, QDate::currentDate(),
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

bool SetupFileActions::ReadSetupFile(SetupFile::Setup& file, QString& path)
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
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), file,
            errText)) {
        m_boxes.critical(QStringLiteral("%1 is refused.").arg(QDir::toNativeSeparators(path)),
                         QString::fromStdString(errText));
        return false;
    }
    return true;
}

void SetupFileActions::FillFromFile(const SetupFile::Setup& file, QStringList& notes)
{
    const Tarn_Inputs& inputs = m_tarn->Inputs;
    m_form.txtDetectorAlarmDelay->setText(DisplayFormat::Number(file.detectorAlarmDelay));
    m_form.txtManualAlarmDelay->setText(DisplayFormat::Number(file.manualAlarmDelay));
    m_form.txtManualStopDelay->setText(DisplayFormat::Number(file.manualStopDelay));
    for (int16_t zone = 0; zone < SetupForm::kZones; ++zone) {
        const SetupFile::Zone& z = file.zones[static_cast<std::size_t>(zone)];
        // A profile is taken as `tarn setup apply` writes it: with Tarn.INI's definition, the
        // file's own.
        std::vector<SetupBlocks::Command> commands;
        QString refusal;
        m_profileLoaded[zone] =
            z.profileId == inputs.ProfileID(zone) ||
            SetupApply::ZoneCommands(file, zone, ProfileCatalogue, false, commands, refusal);
        if (m_profileLoaded[zone])
            m_form.cboProfiles[zone]->setCurrentIndex(
                m_form.cboProfiles[zone]->findData(z.profileId));
        else
            notes << refusal + QStringLiteral(": not filled in");
        for (int j = 0; j < SetupForm::kOutputsPerZone; ++j)
            m_form.chkOutput[SetupForm::kOutputsPerZone * zone + j]->setChecked(
                std::find(z.outputs.begin(), z.outputs.end(), j + 1) != z.outputs.end());
    }
    m_informationLoaded = inputs.CPUVersion >= SetupForm::kInformationVersion;
    if (m_informationLoaded) {
        if (file.serialNumber)
            m_form.txtSerialNumber->setText(QString::number(*file.serialNumber));
        const std::pair<QDateEdit*, const std::optional<TarnDateTime>*> dates[] = {
            {m_form.dtpManufactoringDate, &file.manufactured},
            {m_form.dtpInstallationDate, &file.installed},
            {m_form.dtpServiceDate, &file.lastService}};
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

void SetupFileActions::handleLoadFromFile()
{
    SetupFile::Setup file;
    QString path;
    if (!ReadSetupFile(file, path))
        return;
    QStringList notes;
    FillFromFile(file, notes);
    m_loaded = file;
    emit loaded();
    if (!notes.isEmpty())
        m_boxes.info(QStringLiteral("%1 is loaded, but for what is listed below. Nothing is sent "
                                    "until a Set button is pressed.")
                         .arg(QFileInfo(path).fileName()),
                     notes.join(u'\n'));
}

void SetupFileActions::handleCompareWithFile()
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

bool SetupFileActions::PickerEdited(const QDateEdit* picker, const TarnDateTime& value) const
{
    const QDate date(value.Year(), value.Month(), value.Day());
    const bool shown = !value.IsZero() && date >= kFirstPickerDate && date <= kLastPickerDate;
    return picker->date() != (shown ? date : m_openedOn);
}
