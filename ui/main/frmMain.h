#pragma once

#include "ui/main/PageHost.h"

#include <QColor>
#include <QDateTime>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class ElidingLabel;
class EventLogPage;
class HistoryArchive;
struct ArchivedChange;
struct ControllerKey;
class HistoryRecorder;
class frmFleet;
class LinkBanner;
class frmHistory;
class MessageBoxes;
class QAction;
class QLabel;
class QMenu;
class QPalette;
class QStackedWidget;
class QTabBar;
class QTimer;
class SerialPort;
class SingleInstance;
class StatusPage;
class StatusReports;
class Tarn_Comm;
class TerminationSignals;
class TestPage;
class WaitIndicator;
class frmTraffic;

/// The main window: start-up and shutdown, the three pages, the menus, the periodic update
/// and the status line. It owns the one link to the controller. The start, the pages, the
/// status line and the periodic update are in frmMain.cpp, the menus and the windows they
/// open in frmMainMenus.cpp, the end of the program and the outputs-off in
/// frmMainShutdown.cpp; the status report buttons are StatusReports.
class frmMain : public QMainWindow, public PageHost
{
    Q_OBJECT
public:
    /// Sends a history change's old values back to the controller it belongs to, after the
    /// setup window's question naming it; the outputs go off first.
    void UndoChange(const ArchivedChange& change, const ControllerKey& owner);
    static constexpr const char* kCaption = "Tarn Configuration";
    static constexpr const char* kKeyStatus = "status";
    static constexpr const char* kKeyTesting = "testing";
    static constexpr const char* kKeyEventLog = "eventlog";
    static constexpr int kStatusIntervalMs = 5000;
    static constexpr int kTestIntervalMs = 200;
    /// Pauses of the shutdown around the outputs-off command, and of StopPumpAndValves.
    static constexpr std::chrono::milliseconds kShutdownPause{500};
    static constexpr std::chrono::milliseconds kOutputsPause{500};
    /// How long the shutdown gives the history, once the outputs are off, to store what was
    /// read and send a queue to a server that is back.
    static constexpr std::chrono::milliseconds kShutdownHistoryWait{2000};
    /// How often an outputs-off that got no answer goes again as soon as the line is free;
    /// after that, with the update timer's ticks.
    static constexpr int kOffResends = 3;
    /// Firmware from which the controller reports administrative data and all log events.
    static constexpr double kAdminDataVersion = 2.07;

    explicit frmMain(MessageBoxes& boxes, QWidget* parent = nullptr);
    ~frmMain() override;

    /// The program's start. False when the program must end (the user has been told why).
    bool Load();

    /// The status line; while the port is not open it keeps showing why instead.
    void ShowStatus(const QString& msg) override;
    bool LinkReady() override;
    void ShowError(const QString& msg);
    void StartAutoUpdate();
    void StopAutoUpdate();
    /// One status read cycle and the refresh of the status page; nothing while AutoUpdate is off.
    void UpdateStatusPage();
    void SwitchOffOutputs();
    /// The system ends the program (a termination signal, the desktop session ending): the
    /// closing sequence's outputs-off without the question, then programEnds. Once a wait
    /// under way has ended.
    void EndBySystem();
    void StopPumpAndValves() override;
    /// Writes tarn.sts from the status page and opens it in the text editor.
    void SaveStatusReport();
    /// The status report as a UTF-8 file named after the controller, where the user chooses.
    void SaveStatusReportAs();
    /// The status report through the print dialog.
    void PrintStatusReport();

    /// Key of the selected tab.
    QString SelectedTabKey() const;
    MessageBoxes& messageBoxes() const override { return m_boxes; }
    Tarn_Comm* link() const override { return tarn; }
    bool autoUpdate() const override { return AutoUpdate; }
    int32_t& logEventNo() override { return LogEventNo; }
    bool& abortLogReading() override { return AbortLogReading; }
    HistoryRecorder* history() override { return m_recorder; }
    HistoryArchive* historyArchive() const { return m_history; }
    void IdentifyController() override;
    /// Like WhenIdle for what the user asked for: held back by a wait, `note` says so on the
    /// status line at once, and asking again before it ran changes nothing.
    void WhenIdleSaying(const QString& note, const std::function<void()>& work);
    void WhenIdleSaying(QObject* context, const QString& note,
                        const std::function<void()>& work) override;
    std::string iniPath() const { return m_iniPath; }

    /// The one link to the controller, created by Load.
    Tarn_Comm* tarn = nullptr;
    bool AutoUpdate = false;
    int32_t LogEventNo = 0;
    bool AbortLogReading = false;
    /// An output word that switches outputs off did not reach the controller: the update
    /// timer sends the link's output word again until it does, so that nothing stays on once
    /// the line is back.
    bool OutputsOffOwed = false;
    /// After a send of an output word that switches outputs off: owed while no answer came
    /// (a refusal is an answer, and sending again would not change it).
    void NoteOutputsOffSent(bool sent) override;

    QTabBar* tabCtrl = nullptr;
    StatusPage* picSts = nullptr;
    TestPage* picTest = nullptr;
    EventLogPage* picLog = nullptr;
    std::array<QLabel*, 2> lblAppStatus{};
    /// The third part of the status line: port, device, baud rate and the connection's state.
    ElidingLabel* lblConnection = nullptr;
    /// Across the top while the link is not working.
    LinkBanner* fraLinkBanner = nullptr;
    QTimer* updTimer = nullptr;
    QTimer* comTimer = nullptr;
    SerialPort* MSComm1 = nullptr;
    QMenu* mnuFile = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuTarnSetup = nullptr;
    QAction* mnuComSettings = nullptr;
    QAction* mnuServiceReport = nullptr;
    QAction* mnuFileSep = nullptr;
    QAction* mnuFileExit = nullptr;
    QAction* mnuHelpAbout = nullptr;
    QMenu* mnuView = nullptr;
    QAction* mnuViewTraffic = nullptr;
    QAction* mnuViewHistory = nullptr;
    QAction* mnuViewFleet = nullptr;
    /// The history window, made when it is first opened.
    frmHistory* HistoryWindow = nullptr;
    frmFleet* FleetWindow = nullptr;
    /// The traffic monitor, made when it is first opened.
    frmTraffic* TrafficWindow = nullptr;

signals:
    /// The user confirmed the end and the outputs were switched off: the program ends now.
    void programEnds();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenus();
    void buildPages();
    /// The tab strip's click: runs for every click, also on the tab already selected.
    void handleTabSelected(int index);
    void handleUpdTimer();
    void handleMenuOpening();
    void handleTarnSetup();
    void handleComSettings();
    void handleHelpAbout();
    void handleViewTraffic();
    void handleViewHistory();
    void handleViewFleet();
    /// File > Service report...: the visit's report as a PDF (frmMainReport.cpp).
    void handleServiceReport();
    /// The archive stopped being usable, or its server came and went: a red line, and a box
    /// the first time.
    void handleHistoryFault(const QString& fault);
    /// What the history tells the technician (a controller filed under a new record).
    void handleHistoryNotice(const QString& text);
    /// Asks which controller of the history a controller without a serial number is, when its
    /// events could not tell, and files its records there.
    void handleUnnamedUnsure(qint64 recordId);
    /// Offers to give the new record of a controller without a serial number a name.
    void NameUnnamed(qint64 recordId);
    void tarn_ErrorMessage(const QString& MessageText);
    void handleLinkStateChanged();
    void ShowOnStatusLine(const QString& msg, const QPalette& palette);
    /// The status line: the work held back by a wait and the wait itself while they last,
    /// else the last message.
    void PaintStatusLine();

    /// Lets pending events run; false when the status read must give up.
    bool Check();
    /// Periodic work after a modal window closed; the status page is read at once if asked.
    void ResumeAfterModal(bool readStatus);
    /// The version number in a reply to the version request.
    static double VersionFromReply(const std::string& data);
    void SettleProfileNames();
    /// One status read cycle and the refresh of the status page.
    void ReadStatus(bool periodic);
    void FillStatusPage();
    /// Runs `work` now, or once the wait under way has ended.
    void WhenIdle(const std::function<void()>& work);
    /// Ends the tests, switches every output off and leaves the window without input.
    void Shutdown();
    /// Waits while the window keeps painting and taking input.
    static void Pause(std::chrono::milliseconds duration);

    MessageBoxes& m_boxes;
    QStackedWidget* m_pages = nullptr;
    std::string m_iniPath;
    std::unique_ptr<SingleInstance> m_instance;
    bool m_closing = false;
    /// Outputs-off sent again at once since the last one the controller answered.
    int m_offResends = 0;
    /// Why the port is not open, shown until it is.
    QString m_linkError;
    bool m_closeDeferred = false;
    /// The close was asked for during an event-log reading, which stopped for it.
    bool m_closeStopsReading = false;
    bool m_shutDown = false;
    bool m_endAsked = false;
    TerminationSignals* m_signals = nullptr;
    HistoryArchive* m_history = nullptr;
    HistoryRecorder* m_recorder = nullptr;
    bool m_historyFaultTold = false;
    std::unique_ptr<StatusReports> m_reports;
    WaitIndicator* m_waitIndicator = nullptr;
    /// What the banner was last made for: it is made again only when that changes.
    QString m_bannerFor;
    /// The last message and its background, shown once no wait or held-back work is told.
    QString m_lineText;
    QColor m_lineBackground;
    /// What the user asked for that waits for the end of a wait, in the order asked.
    QStringList m_heldBack;
};
