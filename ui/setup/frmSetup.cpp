#include "ui/setup/frmSetup.h"

#include "controller/HistoryRecorder.h"
#include "data/Catalogues.h"
#include "data/SetupFields.h"
#include "data/TarnDateTime.h"
#include "eventloop/WaitDepth.h"
#include "link/Tarn_Comm.h"
#include "protocol/WireEncoding.h"
#include "ui/main/DisplayFormat.h"
#include "ui/main/MessageBoxes.h"
#include "ui/setup/SetupEdits.h"
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

#include <algorithm>

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
    cmdWriteAll = findChild<QPushButton*>(QStringLiteral("cmdWriteAll"));
    m_edits = new SetupEdits(*this, this);

    m_buttons = {
        cmdSetZoneSettings,     cmdSetDelays,      cmdSetSerialNumber, cmdSetManufactoringDate,
        cmdSetInstallationDate, cmdSetServiceDate, cmdClearLog,        cmdSetTarnClock,
        cmdSaveToFile,          cmdLoadFromFile,   cmdCompareWithFile, cmdWriteAll};
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
    connect(cmdWriteAll, &QPushButton::clicked, this,
            [this] { WaitDepth::WhenIdle(this, [this] { handleWriteAll(); }); });
    connect(m_edits, &SetupEdits::changed, this, &frmSetup::UpdateButtons);
    connect(m_files, &SetupFileActions::loaded, this, &frmSetup::UpdateButtons);

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
    m_serviceSwitch = SetupFields::IsServiceSwitch(Latin1Bytes(argumentText));
    // Entries whose ID is not a plain whole number are not offered; an empty catalogue leaves
    // the lists empty.
    const std::vector<SetupBlocks::ProfileChoice> choices =
        SetupBlocks::ProfileChoices(ProfileCatalogue);
    for (QComboBox* list : cboProfiles)
        for (const SetupBlocks::ProfileChoice& choice : choices)
            list->addItem(DisplayFormat::Text(choice.name), choice.id);
    FollowRecord();
    LoadInformation();
}

void frmSetup::FollowRecord()
{
    m_edits->Fill(tarn->Inputs, true);
    m_shown = ControllerIdentity::Of(tarn->Inputs);
    m_shownDelays = SetupBlocks::DelaysOf(tarn->Inputs, tarn->DetectorVoltageSwitch);
    HistoryRecorder* const history = HistoryRecorder::For(*tarn);
    // The history is read in a wait: no write starts meanwhile.
    const bool idle = !m_busy;
    if (idle)
        SetButtonsBusy(true);
    m_unconfirmed = history ? history->UnconfirmedDefinitions() : std::array<bool, kZones>{};
    if (idle)
        SetButtonsBusy(false);
    for (int zone = 0; zone < kZones; ++zone)
        Frame1[zone]->setToolTip(m_unconfirmed[zone] ? Text(kDefinitionUnconfirmed) : QString());
    UpdateButtons();
}

void frmSetup::LoadInformation()
{
    const Tarn_Inputs& inputs = tarn->Inputs;
    const bool information = inputs.CPUVersion >= kInformationVersion;
    fraInformation->setTitle(Text(information ? kInformationCaption : kInformationCaptionOld));
    fraInformation->setEnabled(information);
    for (QWidget* control : std::initializer_list<QWidget*>{txtSerialNumber, dtpManufactoringDate,
                                                            dtpInstallationDate, dtpServiceDate})
        control->setEnabled(information);
    // Without the service switch the factory fields cannot be written: they are not edited.
    txtSerialNumber->setReadOnly(!m_serviceSwitch);
    dtpManufactoringDate->setReadOnly(!m_serviceSwitch);
    UpdateButtons();
}

void frmSetup::UpdateButtons()
{
    if (m_busy || !tarn)
        return;
    using Block = SetupEdits::Block;
    const bool information = tarn->Inputs.CPUVersion >= kInformationVersion;
    cmdSetDelays->setEnabled(m_edits->Edited(Block::Delays));
    cmdSetZoneSettings->setEnabled(m_edits->Edited(Block::Zones) ||
                                   std::find(m_unconfirmed.begin(), m_unconfirmed.end(), true) !=
                                       m_unconfirmed.end());
    cmdSetSerialNumber->setEnabled(information && m_serviceSwitch &&
                                   m_edits->Edited(Block::SerialNumber));
    cmdSetManufactoringDate->setEnabled(information && m_serviceSwitch &&
                                        m_edits->Edited(Block::Manufactured));
    cmdSetInstallationDate->setEnabled(information && m_edits->Edited(Block::Installed));
    cmdSetServiceDate->setEnabled(information && m_edits->Edited(Block::ServiceDate));
    cmdClearLog->setEnabled(information && m_serviceSwitch);
    cmdWriteAll->setEnabled(m_files->HasLoaded() && !m_edits->Lines().isEmpty());
}

QStringList frmSetup::Edits() const
{
    return m_edits->Lines();
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
    if (m_busy)
        return;
    // Edits are never lost without a word.
    const QStringList edits = m_edits->Lines();
    if (!edits.isEmpty() &&
        !m_boxes.questionOkCancel(
            edits.size() == 1
                ? QStringLiteral("Discard 1 change not sent to Tarn?")
                : QStringLiteral("Discard %1 changes not sent to Tarn?").arg(edits.size()),
            edits.join(u'\n')))
        return;
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
    UpdateButtons();
}
