#include "ui/setup/frmSetup.h"

#include "data/Catalogues.h"
#include "data/SetupFields.h"
#include "data/TarnDateTime.h"
#include "link/Tarn_Comm.h"
#include "protocol/WireEncoding.h"
#include "ui/main/DisplayFormat.h"
#include "ui/setup/SetupFileActions.h"
#include "ui/setup/SetupWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace SetupWidgets;

frmSetup::frmSetup(Tarn_Comm* link, MessageBoxes& boxes, QWidget* parent,
                   const QString& argumentText)
    : QDialog(parent), tarn(link), m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(Text(kCaption));
    setModal(true);
    m_files = new SetupFileActions(*this, tarn, *this, boxes);

    auto* right = new QVBoxLayout;
    right->addWidget(buildDelays());
    right->addWidget(buildInformation());
    right->addWidget(buildClock());
    right->addStretch();
    // The setup file buttons under the zones, where the window has room to spare.
    auto* left = new QVBoxLayout;
    left->addWidget(buildZones(), 1);
    left->addWidget(m_files->Build());
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

    tmrClock = new QTimer(this);
    tmrClock->setObjectName(QStringLiteral("tmrClock"));
    tmrClock->setInterval(kClockIntervalMs);
    connect(tmrClock, &QTimer::timeout, this, &frmSetup::handleClockTick);

    Load(argumentText);
    tmrClock->start();
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
