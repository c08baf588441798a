#include "ui/main/frmMain.h"

#include "controller/ArchiveRead.h"
#include "controller/ControllerIdentity.h"
#include "controller/HistoryRecorder.h"
#include "controller/HistoryWords.h"
#include "controller/SetupUndo.h"
#include "data/SetupFields.h"
#include "history/HistoryArchive.h"
#include "history/HistorySettings.h"
#include "link/Tarn_Comm.h"
#include "ui/about/frmAbout.h"
#include "ui/comsetup/frmComSetup.h"
#include "ui/history/frmFleet.h"
#include "ui/history/frmHistory.h"
#include "ui/main/MessageBoxes.h"
#include "ui/main/frmTraffic.h"
#include "ui/setup/frmSetup.h"
#include "ui/tests/TestPage.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <algorithm>

// The main window's menus and the windows they open: the setup, the communication settings,
// the traffic monitor, the history with its undo, and the about box.

namespace {
QString Text(const char* latin1)
{
    return QString::fromLatin1(latin1);
}
} // namespace

void frmMain::buildMenus()
{
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuTarnSetup = mnuFile->addAction(QStringLiteral("Tarn &Setup"));
    mnuTarnSetup->setObjectName(QStringLiteral("mnuTarnSetup"));
    mnuTarnSetup->setShortcut(QKeySequence(Qt::Key_F2));
    mnuTarnSetup->setEnabled(false);
    mnuComSettings = mnuFile->addAction(QStringLiteral("&Communication settings"));
    mnuComSettings->setObjectName(QStringLiteral("mnuComSettings"));
    mnuComSettings->setShortcut(QKeySequence(Qt::Key_F3));
    mnuServiceReport = mnuFile->addAction(QStringLiteral("Service &report\u2026"));
    mnuServiceReport->setObjectName(QStringLiteral("mnuServiceReport"));
    mnuFileSep = mnuFile->addSeparator();
    mnuFileSep->setObjectName(QStringLiteral("mnuFileSep"));
    mnuFileExit = mnuFile->addAction(QStringLiteral("E&xit"));
    mnuFileExit->setObjectName(QStringLiteral("mnuFileExit"));
    mnuFileExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));

    // The traffic monitor has a menu of its own, beside the others.
    mnuView = menuBar()->addMenu(QStringLiteral("&View"));
    mnuView->setObjectName(QStringLiteral("mnuView"));
    mnuViewTraffic = mnuView->addAction(QStringLiteral("&Traffic"));
    mnuViewTraffic->setObjectName(QStringLiteral("mnuViewTraffic"));
    connect(mnuViewTraffic, &QAction::triggered, this, &frmMain::handleViewTraffic);
    mnuViewHistory = mnuView->addAction(QStringLiteral("&History"));
    mnuViewHistory->setObjectName(QStringLiteral("mnuViewHistory"));
    // The history window opens once a wait has ended, as every other window does.
    connect(mnuViewHistory, &QAction::triggered, this,
            [this] { WhenIdle([this] { handleViewHistory(); }); });
    mnuViewFleet = mnuView->addAction(QStringLiteral("&Fleet"));
    mnuViewFleet->setObjectName(QStringLiteral("mnuViewFleet"));
    connect(mnuViewFleet, &QAction::triggered, this,
            [this] { WhenIdle([this] { handleViewFleet(); }); });

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpAbout = mnuHelp->addAction(QStringLiteral("&About"));
    mnuHelpAbout->setObjectName(QStringLiteral("mnuHelpAbout"));
    mnuHelpAbout->setShortcut(QKeySequence(Qt::Key_F1));

    connect(mnuFile, &QMenu::aboutToShow, this, &frmMain::handleMenuOpening);
    connect(mnuHelp, &QMenu::aboutToShow, this, &frmMain::handleMenuOpening);
    // A modal window opened inside a wait would hold the wait (and the outputs-off after a
    // pause) back until it is closed: it opens once the wait has ended.
    // The status line says so at once; asked for again meanwhile, it still opens once.
    const auto whenIdle = [this](void (frmMain::*handler)(), const char* what) {
        const QString note =
            QStringLiteral("Opening %1 once Tarn has answered\u2026").arg(Text(what));
        return [this, handler, note] {
            WhenIdleSaying(note, [this, handler] { (this->*handler)(); });
        };
    };
    connect(mnuTarnSetup, &QAction::triggered, this,
            whenIdle(&frmMain::handleTarnSetup, "the setup window"));
    connect(mnuComSettings, &QAction::triggered, this,
            whenIdle(&frmMain::handleComSettings, "the communication settings"));
    connect(mnuServiceReport, &QAction::triggered, this,
            whenIdle(&frmMain::handleServiceReport, "the service report"));
    connect(mnuFileExit, &QAction::triggered, this, [this] { close(); });
    connect(mnuHelpAbout, &QAction::triggered, this,
            whenIdle(&frmMain::handleHelpAbout, "the About box"));
}

void frmMain::handleMenuOpening()
{
    QCoreApplication::processEvents();
}

void frmMain::ResumeAfterModal(bool readStatus)
{
    if (m_closing)
        return;
    const QString key = SelectedTabKey();
    if (key == Text(kKeyStatus)) {
        StartAutoUpdate();
        if (readStatus)
            UpdateStatusPage();
    } else if (key == Text(kKeyTesting)) {
        StartAutoUpdate();
    }
}

void frmMain::handleTarnSetup()
{
    StopAutoUpdate();
    // Nothing stays on while the setup is written, or the link moved.
    picTest->StopTests();
    frmSetup window(tarn, m_boxes, this);
    connect(&window, &frmSetup::progress, this, &frmMain::ShowStatus);
    window.exec();
    ResumeAfterModal(true);
}

void frmMain::handleComSettings()
{
    StopAutoUpdate();
    picTest->StopTests();
    {
        frmComSetup window(tarn, m_boxes, this);
        connect(&window, &frmComSetup::statusMessage, this, &frmMain::ShowStatus);
        window.exec();
    }
    LinkReady();
    handleLinkStateChanged();
    ResumeAfterModal(true);
}

void frmMain::handleViewTraffic()
{
    if (!TrafficWindow)
        TrafficWindow = new frmTraffic(tarn, m_boxes, this);
    TrafficWindow->setLink(tarn);
    TrafficWindow->show();
    TrafficWindow->raise();
    TrafficWindow->activateWindow();
}

void frmMain::handleViewHistory()
{
    if (!HistoryWindow) {
        HistoryWindow = new frmHistory(*m_history, m_boxes, this);
        HistoryWindow->undo = [this](const ArchivedChange& change, const ControllerKey& owner) {
            WhenIdle([this, change, owner] { UndoChange(change, owner); });
        };
        // Said on the Undo button: which controller must be on the cable, as last read.
        HistoryWindow->whyNoUndo = [this](const ArchivedChange& change,
                                          const ControllerKey& owner) {
            const QString whyNot = SetupUndo::WhyNot(
                change,
                SetupFields::IsServiceSwitch(frmSetup::ArgumentText().toLatin1().toStdString()));
            if (!whyNot.isEmpty() || !tarn)
                return whyNot;
            const ControllerIdentity meant = SetupUndo::Owner(change, owner);
            const ControllerIdentity connected = ControllerIdentity::Of(tarn->Inputs);
            if (meant.Proven() && connected.Known() && meant != connected)
                return QStringLiteral("This change is undone on Tarn %1; Tarn %2 was read last.")
                    .arg(meant.ShortText(), connected.ShortText());
            return QString();
        };
    }
    HistoryWindow->Refresh();
    HistoryWindow->show();
    HistoryWindow->raise();
    HistoryWindow->activateWindow();
}

void frmMain::handleViewFleet()
{
    if (!FleetWindow)
        FleetWindow = new frmFleet(*m_history, m_boxes, this);
    FleetWindow->Refresh(HistorySettings::ServiceInterval(QString::fromStdString(m_iniPath)));
    FleetWindow->show();
    FleetWindow->raise();
    FleetWindow->activateWindow();
}

void frmMain::handleHistoryNotice(const QString& text)
{
    ShowStatus(QStringLiteral("History: ") + text);
}

void frmMain::handleUnnamedUnsure(qint64 recordId)
{
    WhenIdle([this, recordId] {
        if (!m_history || !m_recorder)
            return;
        // Read and merged by the history's writer, the event loop running.
        const std::vector<ArchivedController> controllers =
            ArchiveRead::Read<std::vector<ArchivedController>>(
                *m_history, [](HistoryArchive& archive) { return archive.Controllers(); });
        const auto filed = std::find_if(
            controllers.begin(), controllers.end(),
            [recordId](const ArchivedController& controller) { return controller.id == recordId; });
        if (filed == controllers.end())
            return;
        QStringList choices{
            QStringLiteral("A Tarn not in the history yet (record %1)").arg(recordId)};
        std::vector<qint64> records;
        // The other records without a serial number of its firmware, oldest first.
        for (const ArchivedController& known : controllers) {
            if (known.id == recordId || !known.key.SerialName().isEmpty() ||
                known.key.firmware != filed->key.firmware)
                continue;
            records.push_back(known.id);
            choices << QStringLiteral("Record %1%2: last seen %3, %4 events")
                           // In one pass: a "%3" in a name given by hand stays as typed.
                           .arg(QString::number(known.id),
                                known.name.isEmpty() ? QString()
                                                     : QStringLiteral(" \"%1\"").arg(known.name),
                                QLocale().toString(known.lastSeen.toLocalTime(),
                                                   QLocale::ShortFormat),
                                QString::number(known.events));
        }
        if (records.empty())
            return;
        const int chosen = m_boxes.choose(
            QStringLiteral("Which Tarn is this?"),
            QStringLiteral("The Tarn on %1 (firmware %2) has no serial number, and the events it "
                           "holds do not tell which Tarn of the service history it is.")
                .arg(filed->key.port, QString::number(filed->key.firmware, 'f', 2)),
            choices);
        if (chosen == 0) {
            NameUnnamed(recordId);
            return;
        }
        if (chosen < 1 || chosen > int(records.size()))
            return;
        const qint64 into = records[std::size_t(chosen - 1)];
        QString errText;
        if (!ArchiveRead::Merge(*m_history, into, recordId, errText)) {
            m_boxes.critical(QStringLiteral("The records could not be merged."), errText);
            return;
        }
        m_recorder->Refiled(recordId, into);
        ShowStatus(
            QStringLiteral("History: this Tarn's records are filed under record %1.").arg(into));
        if (HistoryWindow)
            HistoryWindow->Refresh();
    });
}

void frmMain::NameUnnamed(qint64 recordId)
{
    // A Tarn not in the history yet: a name tells it from the others of its firmware next time.
    bool ok = false;
    const QString name = m_boxes.inputText(
        QStringLiteral("A name for this Tarn, to tell it from the others without a serial number "
                       "(empty for none):"),
        QString(), ok);
    if (!ok || name.trimmed().isEmpty() || !m_history)
        return;
    QString errText;
    if (!ArchiveRead::Name(*m_history, recordId, name, errText)) {
        m_boxes.critical(QStringLiteral("The record could not be named."), errText);
        return;
    }
    if (HistoryWindow)
        HistoryWindow->Refresh();
}

void frmMain::handleHistoryFault(const QString& fault)
{
    if (fault.isEmpty()) {
        // Kept again (the server is back): the line no longer tells of it.
        if (lblAppStatus[1]->text().startsWith(QStringLiteral(" History: ")))
            ShowStatus(QString());
        return;
    }
    ShowError(QStringLiteral("History: ") + fault);
    if (m_historyFaultTold)
        return;
    m_historyFaultTold = true;
    WhenIdle([this, fault] {
        // The fault says what becomes of what is read, in one sentence.
        m_boxes.critical(QStringLiteral("The history of the controllers cannot be kept."), fault);
    });
}

void frmMain::UndoChange(const ArchivedChange& change, const ControllerKey& owner)
{
    if (!LinkReady())
        return;
    const QString whyNot = SetupUndo::WhyNot(
        change, SetupFields::IsServiceSwitch(frmSetup::ArgumentText().toLatin1().toStdString()));
    if (!whyNot.isEmpty()) {
        m_boxes.critical(QStringLiteral("This change cannot be undone."), whyNot);
        return;
    }
    const ControllerIdentity meant = SetupUndo::Owner(change, owner);
    if (!m_boxes.questionOkCancel(
            QString::fromLatin1(SetupUndo::Question(change)),
            QStringLiteral("Undo on Tarn %1 of \"%2\", written %3: the values before it are "
                           "sent again.")
                .arg(meant.Text(), HistoryWords::ChangeText(change),
                     QLocale().toString(change.writtenAt.toLocalTime(), QLocale::ShortFormat))))
        return;
    // The outputs go off first, as before the setup window.
    picTest->StopTests();
    StopAutoUpdate();
    const SetupWriter::Result result = SetupUndo::Undo(*tarn, change, owner);
    if (result.otherController())
        m_boxes.critical(QStringLiteral("Another Tarn is connected now: %1. The change belongs "
                                        "to Tarn %2.")
                             .arg(result.identified.now.Text(), meant.ShortText()),
                         QStringLiteral("Nothing was sent."));
    else if (result.ok())
        m_boxes.info(QStringLiteral("Tarn was updated succesfully!"),
                     result.identified.verdict == SetupWriter::Verdict::Unproven
                         ? result.identified.text
                         : QString());
    else
        m_boxes.critical(QStringLiteral("Could not update Tarn!"),
                         !result.refusal.isEmpty()       ? result.refusal
                         : !result.identified.mayWrite() ? result.identified.text
                                                         : tarn->lastError());
    ResumeAfterModal(true);
    if (HistoryWindow)
        HistoryWindow->Refresh();
}

void frmMain::handleHelpAbout()
{
    StopAutoUpdate();
    frmAbout window(m_boxes, this);
    window.exec();
    ResumeAfterModal(false);
}
