#include "ui/main/frmMain.h"

#include "TarnVersion.h"
#include "config/ProgramFolder.h"
#include "controller/ConnectionBanner.h"
#include "controller/ConnectionState.h"
#include "controller/HistoryRecorder.h"
#include "controller/LinkConfiguration.h"
#include "controller/OutputControl.h"
#include "controller/StatusCycle.h"
#include "controller/StatusText.h"
#include "data/Catalogues.h"
#include "data/DateCodec.h"
#include "data/TarnDateTime.h"
#include "data/TextNumbers.h"
#include "eventloop/TerminationSignals.h"
#include "eventloop/WaitDepth.h"
#include "history/HistoryArchive.h"
#include "history/HistorySettings.h"
#include "link/SerialPort.h"
#include "link/Tarn_Comm.h"
#include "link/TrafficTrace.h"
#include "protocol/CommandCodes.h"
#include "ui/main/DisplayFormat.h"
#include "ui/main/ElidingLabel.h"
#include "ui/main/EventLogPage.h"
#include "ui/main/LinkBanner.h"
#include "ui/main/MessageBoxes.h"
#include "ui/main/PageScroller.h"
#include "ui/main/SingleInstance.h"
#include "ui/main/StatusPage.h"
#include "ui/main/StatusReports.h"
#include "ui/main/WaitIndicator.h"
#include "ui/tests/TestPage.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSessionManager>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <utility>

namespace {
const QColor kErrorBackground(255, 128, 128);
constexpr int kVersionLabelWidth = 160;
constexpr int kConnectionWidthPercent = 45;

QString Text(const char* latin1)
{
    return QString::fromLatin1(latin1);
}
} // namespace

frmMain::frmMain(MessageBoxes& boxes, QWidget* parent) : QMainWindow(parent), m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(Text(kCaption));
    // The windows it opens show it too.
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/tarnconf-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);

    updTimer = new QTimer(this);
    updTimer->setObjectName(QStringLiteral("updTimer"));
    updTimer->setInterval(kStatusIntervalMs);
    connect(updTimer, &QTimer::timeout, this, &frmMain::handleUpdTimer);

    comTimer = new QTimer(this);
    comTimer->setObjectName(QStringLiteral("comTimer"));
    comTimer->setInterval(Tarn_Comm::kPollIntervalMs);

    MSComm1 = new SerialPort(this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));

    m_waitIndicator = new WaitIndicator(*this, this);
    connect(m_waitIndicator, &WaitIndicator::textChanged, this, &frmMain::PaintStatusLine);

    buildMenus();
    buildPages();
}

frmMain::~frmMain()
{
    // The recorder stores what it still holds: while the link and the archive are there. The
    // window asks nothing any more.
    if (m_recorder)
        m_recorder->disconnect(this);
    delete m_recorder;
    m_recorder = nullptr;
    // The link drives the port and the poll timer: it goes before them.
    delete tarn;
    tarn = nullptr;
}

void frmMain::buildPages()
{
    tabCtrl = new QTabBar;
    tabCtrl->setObjectName(QStringLiteral("tabCtrl"));
    tabCtrl->setExpanding(false);
    const struct
    {
        const char* caption;
        const char* key;
        const char* toolTip;
    } tabs[] = {
        {"Status", kKeyStatus, "Tarn Status"},
        {"Test", kKeyTesting, "Tarn function tests"},
        {"Event log", kKeyEventLog, "Event log"},
    };
    for (const auto& tab : tabs) {
        const int index = tabCtrl->addTab(Text(tab.caption));
        tabCtrl->setTabData(index, Text(tab.key));
        tabCtrl->setTabToolTip(index, Text(tab.toolTip));
    }

    picSts = new StatusPage;
    picTest = new TestPage(*this);
    picLog = new EventLogPage(*this);
    m_reports = std::make_unique<StatusReports>(*this, *picSts);
    m_pages = new QStackedWidget;
    m_pages->addWidget(picSts);
    m_pages->addWidget(picTest);
    m_pages->addWidget(picLog);
    // Their dialogs, boxes and the editor's start open once a wait under way has ended.
    for (const auto& [button, handler] :
         {std::pair{picSts->cmdPrint_sts, &frmMain::SaveStatusReport},
          std::pair{picSts->cmdSaveAs_sts, &frmMain::SaveStatusReportAs},
          std::pair{picSts->cmdPrintDialog_sts, &frmMain::PrintStatusReport}})
        connect(button, &QPushButton::clicked, this,
                [this, handler] { WhenIdle([this, handler] { (this->*handler)(); }); });

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    fraLinkBanner = new LinkBanner;
    connect(fraLinkBanner->cmdComSettings, &QPushButton::clicked, mnuComSettings,
            &QAction::trigger);
    layout->addWidget(fraLinkBanner);
    layout->addWidget(tabCtrl);
    // On a small screen the window can be made smaller than the pages; they scroll.
    auto* scroller = new PageScroller;
    scroller->setObjectName(QStringLiteral("scrPages"));
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidget(m_pages);
    layout->addWidget(scroller, 1);
    setCentralWidget(central);
    connect(tabCtrl, &QTabBar::currentChanged, this, &frmMain::handleTabSelected);
    // Ctrl+Tab / Ctrl+PgDn and Ctrl+Shift+Tab / Ctrl+PgUp go to the next and the previous page.
    const auto step = [this](int by) {
        return [this, by] {
            if (!tabCtrl->isEnabled())
                return;
            const int count = tabCtrl->count();
            tabCtrl->setCurrentIndex((tabCtrl->currentIndex() + by + count) % count);
        };
    };
    for (const auto& [keys, by] :
         {std::pair{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
          std::pair{QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
          std::pair{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
          std::pair{QKeySequence(Qt::CTRL | Qt::Key_Backtab), -1},
          std::pair{QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}}) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, step(by));
    }
    // A click on the tab already selected selects it again (currentChanged stays silent).
    connect(tabCtrl, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0 && index == tabCtrl->currentIndex())
            handleTabSelected(index);
    });

    for (int i = 0; i < 2; ++i) {
        lblAppStatus[i] = new QLabel(QStringLiteral(" "));
        lblAppStatus[i]->setObjectName(QStringLiteral("lblAppStatus_%1").arg(i));
        lblAppStatus[i]->setFrameShape(QFrame::Panel);
        lblAppStatus[i]->setFrameShadow(QFrame::Sunken);
        lblAppStatus[i]->setAutoFillBackground(true);
    }
    lblAppStatus[0]->setMinimumWidth(kVersionLabelWidth);
    // A long message does not push the connection part out of the window.
    lblAppStatus[1]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(lblAppStatus[0]);
    statusBar()->addWidget(lblAppStatus[1], 1);
    lblConnection = new ElidingLabel;
    lblConnection->setObjectName(QStringLiteral("lblConnection"));
    lblConnection->setFrameShape(QFrame::Panel);
    lblConnection->setFrameShadow(QFrame::Sunken);
    statusBar()->addPermanentWidget(lblConnection);
    lblConnection->installEventFilter(this);
}

bool frmMain::Load()
{
    const std::string folder = ProgramFolder();
    m_instance = std::make_unique<SingleInstance>(QString::fromStdString(folder));
    switch (m_instance->TryAcquire()) {
    case SingleInstance::Outcome::Acquired:
        break;
    case SingleInstance::Outcome::HeldByAnother:
        m_boxes.info(QStringLiteral("Program is already running!"));
        return false;
    case SingleInstance::Outcome::Unavailable:
        // Nothing says that another instance runs: the program starts all the same.
        std::fprintf(stderr, "tarnconf: cannot tell whether another instance runs: %s\n",
                     qUtf8Printable(m_instance->reason()));
        break;
    }

    // Every later read uses the file found, whatever the case of its name.
    m_iniPath = FindProgramIni();
    if (m_iniPath.empty()) {
        m_boxes.critical(QStringLiteral("Can\u00B4t find the configuration file Tarn.INI !"),
                         ProgramIniSearchedText());
        return false;
    }

    std::string errText;
    if (!LoadCatalogue(m_iniPath, errText)) {
        m_boxes.plain(DisplayFormat::Text(errText));
        return false;
    }

    lblAppStatus[0]->setText(QStringLiteral(" Orvane ver. " TARN_VERSION_TEXT));
    m_pages->setCurrentWidget(picSts);

    tarn = new Tarn_Comm(this);
    tarn->setObjectName(QStringLiteral("tarn"));
    tarn->comm = MSComm1;
    tarn->CommTimer = comTimer;
    connect(tarn, &Tarn_Comm::ErrorMessage, this, &frmMain::tarn_ErrorMessage);
    connect(tarn, &Tarn_Comm::linkStateChanged, this, &frmMain::handleLinkStateChanged);
    m_waitIndicator->setLink(tarn);
    TrafficTrace::FromEnvironment(*tarn, "tarnconf");

    ConfigureLink(*tarn, m_iniPath);

    // The history is kept beside Tarn.INI, or on the server it names; without it the program
    // works all the same.
    m_history = new HistoryArchive(QStringLiteral("tarnconf"), this);
    connect(m_history, &HistoryArchive::faultChanged, this, &frmMain::handleHistoryFault);
    HistorySettings::Open(*m_history, QString::fromStdString(folder),
                          QString::fromStdString(m_iniPath));
    m_recorder = new HistoryRecorder(*m_history, *tarn, this);
    connect(m_recorder, &HistoryRecorder::notice, this, &frmMain::handleHistoryNotice);
    connect(m_recorder, &HistoryRecorder::unnamedUnsure, this, &frmMain::handleUnnamedUnsure);

    QString startError;
    if (tarn->Start(startError)) {
        AutoUpdate = true;
        UpdateStatusPage();
    } else {
        // The banner across the top gives the advice.
        m_linkError = startError + QStringLiteral(". Check the communication settings.");
        ShowError(m_linkError);
        handleLinkStateChanged();
    }

    // The system ending the program (shutdown, logout, the terminal closed) switches the
    // outputs off first, without asking.
    m_signals = new TerminationSignals(this);
    connect(m_signals, &TerminationSignals::received, this, [this] { EndBySystem(); });
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(gui, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { EndBySystem(); });

    updTimer->start();
    // The pages whole where the screen has room for them.
    if (const QScreen* shown = screen())
        resize(sizeHint().boundedTo(shown->availableGeometry().size()));
    return true;
}

bool frmMain::LinkReady()
{
    if (tarn && tarn->isStarted()) {
        m_linkError.clear();
        return true;
    }
    if (m_linkError.isEmpty())
        m_linkError =
            QStringLiteral("The serial port is not open. Check the communication settings.");
    ShowError(m_linkError);
    return false;
}

void frmMain::handleLinkStateChanged()
{
    if (!tarn)
        return;
    const QString text = ConnectionState::Text(*tarn);
    lblConnection->setFullText(u' ' + text + u' ');
    // The banner's advice looks at the devices present: only when what is wrong changes.
    const ConnectionBanner::Problem problem = ConnectionBanner::Of(*tarn);
    const QString bannerFor =
        problem == ConnectionBanner::Problem::None
            ? QString()
            : QString::number(static_cast<int>(problem)) + u'|' + QString::number(tarn->CommPort) +
                  u'|' +
                  (MSComm1 ? MSComm1->deviceName() + u'|' + MSComm1->errorText() : QString());
    if (bannerFor != m_bannerFor) {
        m_bannerFor = bannerFor;
        fraLinkBanner->Show(ConnectionBanner::Text(*tarn));
    }
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // The messages keep room beside the connection part.
    lblConnection->setMaximumWidth(width() * kConnectionWidthPercent / 100);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    // The advice looks at the serial devices present: made when the tool tip is asked for.
    if (watched == lblConnection && event->type() == QEvent::ToolTip && tarn) {
        const QString text = ConnectionState::Text(*tarn);
        const QString advice = ConnectionState::Advice(*tarn);
        lblConnection->setToolTip(advice.isEmpty() ? text : text + u'\n' + advice);
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::ShowStatus(const QString& msg)
{
    // While the port is not open, what needs it says so, and nothing reads as progress.
    if (!m_linkError.isEmpty() && !LinkReady())
        return;
    // An idle line tells that the history is not kept, in red, for as long as it is not.
    if (msg.isEmpty() && m_history && !m_history->fault().isEmpty()) {
        ShowError(QStringLiteral("History: ") + m_history->fault());
        return;
    }
    QPalette palette = lblAppStatus[1]->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    ShowOnStatusLine(msg, palette);
}

void frmMain::ShowError(const QString& msg)
{
    QPalette palette = lblAppStatus[1]->palette();
    palette.setColor(QPalette::Window, kErrorBackground);
    ShowOnStatusLine(msg, palette);
}

void frmMain::ShowOnStatusLine(const QString& msg, const QPalette& palette)
{
    m_lineText = msg;
    m_lineBackground = palette.color(QPalette::Window);
    PaintStatusLine();
}

void frmMain::PaintStatusLine()
{
    QLabel* line = lblAppStatus[1];
    QString text = m_lineText;
    QColor background = m_lineBackground;
    if (!m_heldBack.isEmpty() || !m_waitIndicator->text().isEmpty()) {
        QStringList parts = m_heldBack;
        if (!m_waitIndicator->text().isEmpty())
            parts.append(m_waitIndicator->text());
        text = parts.join(u' ');
        background = line->palette().color(QPalette::Button);
    }
    // The same text again (a request retried on a timer) paints nothing.
    if (line->text() == u' ' + text && line->palette().color(QPalette::Window) == background)
        return;
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, background);
    line->setText(u' ' + text);
    line->setPalette(palette);
}

void frmMain::WhenIdleSaying(QObject* context, const QString& note,
                             const std::function<void()>& work)
{
    // The pages live as long as the window.
    (void)context;
    WhenIdleSaying(note, work);
}

void frmMain::WhenIdleSaying(const QString& note, const std::function<void()>& work)
{
    if (WaitDepth::Idle() && WaitDepth::Deferred() == 0) {
        work();
        return;
    }
    if (m_heldBack.contains(note))
        return;
    m_heldBack.append(note);
    PaintStatusLine();
    WhenIdle([this, note, work] {
        m_heldBack.removeAll(note);
        PaintStatusLine();
        work();
    });
}

void frmMain::tarn_ErrorMessage(const QString& MessageText)
{
    ShowError(MessageText);
}

void frmMain::StartAutoUpdate()
{
    AutoUpdate = true;
}

void frmMain::StopAutoUpdate()
{
    AutoUpdate = false;
    ShowStatus(QString());
}

QString frmMain::SelectedTabKey() const
{
    return tabCtrl->tabData(tabCtrl->currentIndex()).toString();
}

void frmMain::handleTabSelected(int index)
{
    if (m_closing)
        return;
    if (!WaitDepth::Idle()) {
        // The page changes once the wait under way has ended; until then the strip keeps
        // showing the page that is shown.
        {
            const QSignalBlocker quiet(tabCtrl);
            tabCtrl->setCurrentIndex(m_pages->currentIndex());
        }
        WhenIdleSaying(QStringLiteral("Showing the %1 page once Tarn has answered\u2026")
                           .arg(tabCtrl->tabText(index)),
                       [this, index] {
                           if (tabCtrl->currentIndex() == index)
                               handleTabSelected(index);
                           else
                               tabCtrl->setCurrentIndex(index);
                       });
        return;
    }
    const QString key = tabCtrl->tabData(index).toString();
    // The page first: a request below lets events run, and the strip must match the page.
    if (key == Text(kKeyStatus))
        m_pages->setCurrentWidget(picSts);
    else if (key == Text(kKeyEventLog))
        m_pages->setCurrentWidget(picLog);
    else if (key == Text(kKeyTesting))
        m_pages->setCurrentWidget(picTest);

    updTimer->setInterval(key == Text(kKeyStatus) ? kStatusIntervalMs : kTestIntervalMs);
    if (key == Text(kKeyTesting))
        picTest->handleScanInputsClicked();
    if (key == Text(kKeyTesting) || key == Text(kKeyStatus))
        StartAutoUpdate();
    else
        StopAutoUpdate();

    if (key == Text(kKeyEventLog) && tarn) {
        if (tarn->Inputs.CPUVersion == 0 && tarn->Send(TarnCommand::ReadVersion))
            tarn->Inputs.CPUVersion = VersionFromReply(tarn->TarnData);
        picLog->EnableGetAll(tarn->Inputs.CPUVersion >= kAdminDataVersion);
    }
    ShowStatus(QString());
}

void frmMain::handleUpdTimer()
{
    // A tick inside a wait would start a request inside another one; the next tick comes.
    if (!WaitDepth::Idle())
        return;
    if (OutputsOffOwed && tarn) {
        updTimer->stop();
        NoteOutputsOffSent(OutputControl::SendOutputs(*tarn));
        if (!m_closing)
            updTimer->start();
    }
    if (!AutoUpdate)
        return;
    updTimer->stop();
    if (m_pages->currentWidget() == picSts)
        UpdateStatusPage();
    else if (m_pages->currentWidget() == picTest && picTest->ScanInputsOn)
        picTest->PeriodicWork();
    // A shutdown that ran meanwhile keeps the timer off.
    if (!m_closing)
        updTimer->start();
}

bool frmMain::Check()
{
    // The read is one wait: a window or page asked for here opens once it has ended, not on a
    // record half read, and does not hold the rest of the read up while it is open.
    const WaitDepth::Scope reading;
    QCoreApplication::processEvents();
    return AutoUpdate;
}

double frmMain::VersionFromReply(const std::string& data)
{
    return StatusCycle::VersionFromReply(data);
}

void frmMain::UpdateStatusPage()
{
    if (!AutoUpdate || !tarn)
        return;
    ReadStatus(true);
}

void frmMain::IdentifyController()
{
    if (tarn && tarn->isStarted())
        ReadStatus(false);
}

void frmMain::ReadStatus(bool periodic)
{
    StatusCycle::Hooks hooks;
    hooks.versionRead = [this] { ShowStatus(QStringLiteral("Reading Tarn status...")); };
    // Its requests are waited for as one.
    m_waitIndicator->setActivity(QStringLiteral("the status read"));
    const auto endActivity = qScopeGuard([this] { m_waitIndicator->setActivity(QString()); });
    // A periodic read gives up once periodic work stops; one asked for runs to its end.
    if (periodic)
        hooks.check = [this] { return Check(); };
    hooks.catalogueError = [this](const std::string& errText) {
        m_boxes.plain(DisplayFormat::Text(errText));
    };
    bool complete = false;
    if (!StatusCycle::Read(*tarn, m_iniPath, hooks, &complete)) {
        // No answer to the version request: the values shown stay, marked as old.
        if (tarn->isFailing())
            picSts->ShowReadAt(picSts->readAt(), true);
        return;
    }

    FillStatusPage();
    if (complete)
        m_recorder->RecordStatus();
    // A read that ran to its end is the time of the values shown; those it did not give are
    // greyed each and named.
    picSts->ShowReadAt(QDateTime::currentDateTime(), false, StatusText::NotReadNow(tarn->Inputs));
    // The serial number comes with the last reply.
    handleLinkStateChanged();
    const bool versionKnown = tarn->Inputs.CPUVersion > 0;
    picLog->EnableGetAll(tarn->Inputs.CPUVersion >= kAdminDataVersion);
    mnuTarnSetup->setEnabled(versionKnown);
    tabCtrl->setEnabled(versionKnown);
    ShowStatus(QString());
}

void frmMain::SettleProfileNames()
{
    StatusCycle::SettleProfileNames(tarn->Inputs);
}

void frmMain::FillStatusPage()
{
    SettleProfileNames();
    picSts->Fill(tarn->Inputs);
}

void frmMain::SaveStatusReport()
{
    m_reports->Save();
}

void frmMain::SaveStatusReportAs()
{
    m_reports->SaveAs();
}

void frmMain::PrintStatusReport()
{
    m_reports->Print();
}

void frmMain::WhenIdle(const std::function<void()>& work)
{
    // An event-log reading is a wait of many requests: it stops at its next turn (and can be
    // continued), so that what was asked for does not wait for the end of the log.
    if (!WaitDepth::Idle())
        AbortLogReading = true;
    WaitDepth::WhenIdle(this, work);
}
