#include "ChaosRound.h"

#include "BenchSim.h"
#include "ChaosBoxes.h"
#include "ChaosController.h"

#include "config/IniFile.h"
#include "data/DateCodec.h"
#include "data/TarnDateTime.h"
#include "eventloop/WaitDepth.h"
#include "history/HistoryArchive.h"
#include "link/Tarn_Comm.h"
#include "ui/history/frmFleet.h"
#include "ui/history/frmHistory.h"
#include "ui/main/EventLogPage.h"
#include "ui/main/frmMain.h"
#include "ui/main/frmTraffic.h"
#include "ui/setup/frmSetup.h"
#include "ui/tests/TestPage.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <atomic>
#include <csignal>
#include <memory>

#include <unistd.h>

namespace {

using Desk = ChaosPlan::Desk;
using Field = ChaosPlan::Field;

constexpr int kTestTab = 1;
constexpr int kEventLogTab = 2;
/// The event loop runs this long between two steps.
constexpr std::chrono::milliseconds kBetweenSteps{150};
constexpr std::chrono::milliseconds kStep{20};
/// A window asked for opens within this, or the closer gives up on it.
constexpr std::chrono::milliseconds kModalTimeout{8000};
/// A timed test that runs out ends within its time and this.
constexpr std::chrono::milliseconds kRunOutMargin{5000};
/// The field fault's span lasts this many reply time-outs longer than the fault itself.
constexpr int kSpanTimeouts = 2;
/// The first event's time; each later one a minute on.
constexpr int kEventYear = 2026;
const char* const kEventTail = "0114";
/// How often the driver looks whether a wait of the program has ended.
constexpr std::chrono::milliseconds kWaitPoll{10};
/// The key posted to the window once a wait ended: it does nothing there.
const QString kProbeText = QStringLiteral("chaos-probe");
const char* const kLockConnection = "chaos-history-lock";
/// How long the lock waits for the program to end a write under way.
constexpr std::chrono::milliseconds kLockWait{1000};

std::atomic<qint64> g_simulatorPid{0};

void Mouse(QWidget* button, QEvent::Type type)
{
    const QPointF at(button->width() / 2.0, button->height() / 2.0);
    QMouseEvent event(type, at, button->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(button, &event);
}

template <typename Done> bool WaitUntil(Done done, std::chrono::milliseconds timeout)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeout.count())
            return false;
        BenchSim::RunFor(kStep);
    }
    return true;
}

/// Once a modal window is up, runs `work` on it (from the event loop that shows it).
void OnModal(QObject* scope, const std::function<void(QWidget*)>& work)
{
    auto* poll = new QTimer(scope);
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(poll, &QTimer::timeout, scope, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && clock->elapsed() < kModalTimeout.count())
            return;
        poll->stop();
        poll->deleteLater();
        delete clock;
        if (modal)
            work(modal);
    });
    poll->start(kStep);
}

void CloseModal(QWidget* modal)
{
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
}

/// Takes the probe key when the window gets it, and says how long after the wait's end.
class KeyProbe : public QObject
{
public:
    std::function<void()> taken;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->text() == kProbeText) {
            if (taken)
                taken();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

/// The driver of one round.
class Driver
{
public:
    Driver(const ChaosPlan& plan, ChaosChecks::Round& record, ChaosController& controller,
           frmMain& window, ChaosBoxes& boxes, const QElapsedTimer& clock,
           std::function<bool(bool away)> archiveAway)
        : m_plan(plan), m_record(record), m_controller(controller), m_window(window),
          m_boxes(boxes), m_clock(clock), m_archiveAway(std::move(archiveAway)),
          m_serial(plan.serial), m_events(plan.storedEvents)
    {
        // Once a wait has ended, a key posted to the window: when it is taken tells whether
        // anything holds the window after the wait.
        m_probe.taken = [this] {
            m_record.keyAnswers.push_back({m_waitEnded, now() - m_waitEnded});
            m_keyPosted = false;
        };
        m_window.installEventFilter(&m_probe);
        auto* poll = new QTimer(&m_scope);
        QObject::connect(poll, &QTimer::timeout, &m_scope, [this] {
            const int depth = WaitDepth::Current();
            if (m_depth > 0 && depth == 0 && !m_keyPosted) {
                m_keyPosted = true;
                m_waitEnded = now();
                QCoreApplication::postEvent(
                    &m_window,
                    new QKeyEvent(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, kProbeText));
            }
            m_depth = depth;
        });
        poll->start(kWaitPoll);
        m_boxes.beforeAnswer = [this](const QString& text) {
            if (m_swapAtPrompt && text.startsWith(QLatin1String("Send new"))) {
                m_swapAtPrompt = false;
                // No request runs at the question: nothing can tell the cable moved.
                swap(m_serial == m_plan.serial ? m_plan.serial + 1 : m_plan.serial, false);
            }
        };
    }

    void runSteps()
    {
        for (const ChaosPlan::Step& step : m_plan.steps) {
            if (step.field != Field::None)
                QTimer::singleShot(step.fieldAfter, &m_scope, [this, step] { field(step); });
            desk(step);
            BenchSim::RunFor(kBetweenSteps);
        }
    }

    ~Driver()
    {
        if (m_away)
            m_archiveAway(false);
    }

    void end()
    {
        bool ended = false;
        QObject::connect(&m_window, &frmMain::programEnds, &m_scope, [&ended] { ended = true; });
        m_record.ends.push_back(now());
        if (m_plan.end == ChaosPlan::End::Close) {
            m_window.close();
        } else {
            const int number = m_plan.end == ChaosPlan::End::Sigterm  ? SIGTERM
                               : m_plan.end == ChaosPlan::End::Sighup ? SIGHUP
                                                                      : SIGINT;
            ::kill(::getpid(), number);
        }
        const double left = m_record.limit - now();
        m_record.ended = ended || WaitUntil([&] { return ended; },
                                            std::chrono::milliseconds(qint64(left * 1000)));
        m_record.duration = now();
    }

private:
    double now() const { return double(m_clock.nsecsElapsed()) / 1e9; }
    TestPage& page() const { return *m_window.picTest; }
    void tab(int index)
    {
        m_record.ends.push_back(now());
        m_window.tabCtrl->setCurrentIndex(index);
    }
    void span(double seconds) { m_record.faultSpans.push_back({now(), now() + seconds}); }
    double timeout() const { return ChaosRound::kReplyTimeoutMs / 1000.0; }

    void swap(int serial, bool silent)
    {
        if (m_controller.swap(serial, silent))
            m_serial = serial;
    }

    QPushButton* output(int index) const
    {
        switch (index) {
        case 0:
            return page().cmdPump_test;
        case 1:
            return page().cmdValve1_test;
        case 2:
            return page().cmdValve2_test;
        case 3:
            return page().cmdAlarmRelay_test;
        case 4:
            return page().cmdBuzzer_test;
        default:
            return page().cmdOutpuIO_test[std::size_t(index - 5)];
        }
    }

    void desk(const ChaosPlan::Step& step)
    {
        switch (step.desk) {
        case Desk::Hold:
            return hold(step);
        case Desk::Timed:
            return timed(step);
        case Desk::Scan:
            if (m_window.tabCtrl->currentIndex() != kTestTab)
                tab(kTestTab);
            page().chkScanInputs->click();
            return;
        case Desk::Tab:
            return tab(step.a);
        case Desk::GetNew:
        case Desk::GetAll: {
            if (m_window.tabCtrl->currentIndex() != kEventLogTab)
                tab(kEventLogTab);
            EventLogPage& log = *m_window.picLog;
            QPushButton* button =
                step.desk == Desk::GetNew ? log.cmdGetLogEvents : log.cmdGetAllLogEvents;
            if (step.a >= 0)
                QTimer::singleShot(step.a, &m_scope, [&log] {
                    if (log.cmdGetLogEvents->text() == QLatin1String(EventLogPage::kCaptionAbort))
                        log.cmdGetLogEvents->click();
                });
            if (button->isEnabled())
                button->click();
            return;
        }
        case Desk::About:
        case Desk::Comm: {
            if (step.desk == Desk::Comm)
                m_record.ends.push_back(now());
            OnModal(&m_scope, [ms = step.a](QWidget* modal) {
                QTimer::singleShot(ms, modal, [modal] { CloseModal(modal); });
            });
            (step.desk == Desk::About ? m_window.mnuHelpAbout : m_window.mnuComSettings)->trigger();
            return;
        }
        case Desk::History:
        case Desk::Traffic: {
            (step.desk == Desk::History ? m_window.mnuViewHistory : m_window.mnuViewTraffic)
                ->trigger();
            // In the History window: its filter by an event's code, then Export CSV.
            if (frmHistory* history = m_window.HistoryWindow;
                step.desk == Desk::History && history && history->isVisible()) {
                history->txtCode->setText(QStringLiteral("1"));
                history->cmdFilter->click();
                history->cmdExport->click();
            }
            BenchSim::RunFor(std::chrono::milliseconds(step.a));
            QWidget* shown = step.desk == Desk::History
                                 ? static_cast<QWidget*>(m_window.HistoryWindow)
                                 : m_window.TrafficWindow;
            if (shown)
                shown->close();
            if (step.desk == Desk::History && step.c) {
                m_window.mnuViewFleet->trigger();
                BenchSim::RunFor(std::chrono::milliseconds(step.a));
                if (m_window.FleetWindow)
                    m_window.FleetWindow->close();
                // The report asks who the technician is (cancelled here) and where to save it.
                m_window.mnuServiceReport->trigger();
                BenchSim::RunFor(std::chrono::milliseconds(step.a));
            }
            return;
        }
        case Desk::Setup:
            return setup(step);
        case Desk::Events:
            for (int i = 0; i < step.a; ++i)
                m_controller.append(NthEvent(m_events++));
            return;
        case Desk::Wait:
            BenchSim::RunFor(std::chrono::milliseconds(step.a));
            return;
        case Desk::Key:
            return key(step);
        case Desk::Save: {
            if (m_window.tabCtrl->currentIndex() != kEventLogTab)
                tab(kEventLogTab);
            EventLogPage& log = *m_window.picLog;
            QPushButton* button = step.a == 0   ? log.cmdSaveLog
                                  : step.a == 1 ? log.cmdSaveLogAs
                                                : log.cmdPrintLog;
            if (button->isEnabled())
                button->click();
            return;
        }
        case Desk::Undo:
            return undo(step);
        }
    }

    /// F1 the About box, F2 the setup window, F3 the communication settings: pressed while
    /// whatever the steps before started still runs.
    void key(const ChaosPlan::Step& step)
    {
        const Qt::Key key = step.a == 1 ? Qt::Key_F1 : step.a == 2 ? Qt::Key_F2 : Qt::Key_F3;
        OnModal(&m_scope, [ms = step.b](QWidget* modal) {
            QTimer::singleShot(ms, modal, [modal] { CloseModal(modal); });
        });
        QTimer::singleShot(step.c, &m_scope, [this, key] {
            if (key != Qt::Key_F1)
                m_record.ends.push_back(now());
            QTest::keyClick(&m_window, key);
        });
        BenchSim::RunFor(std::chrono::milliseconds(step.c + step.b));
    }

    /// The newest delays change of the controller the History window shows, undone: the
    /// detector alarm delay it had before is what the technician asked for.
    void undo(const ChaosPlan::Step& step)
    {
        m_window.mnuViewHistory->trigger();
        if (!WaitUntil(
                [this] { return m_window.HistoryWindow && m_window.HistoryWindow->isVisible(); },
                kModalTimeout))
            return;
        frmHistory& history = *m_window.HistoryWindow;
        HistoryArchive* archive = m_window.historyArchive();
        const std::vector<ArchivedChange> changes =
            archive ? archive->Changes(history.shownController()) : std::vector<ArchivedChange>{};
        for (int i = int(changes.size()) - 1; i >= 0; --i) {
            const QJsonObject before =
                QJsonDocument::fromJson(changes[std::size_t(i)].beforeJson.toUtf8()).object();
            QTreeWidgetItem* item = history.lvChanges->topLevelItem(i);
            if (changes[std::size_t(i)].command != 98 || !item ||
                !before.contains(QLatin1String("detectorAlarm")))
                continue;
            history.lvChanges->setCurrentItem(item);
            const std::optional<ArchivedController> owner =
                archive->ControllerById(history.shownController());
            m_record.asks.push_back({now(), owner ? owner->key.serialNumber.toStdString() : "", 98,
                                     0, before.value(QLatin1String("detectorAlarm")).toInt()});
            if (history.cmdUndo->isEnabled())
                history.cmdUndo->click();
            break;
        }
        BenchSim::RunFor(std::chrono::milliseconds(step.a));
        if (m_window.HistoryWindow)
            m_window.HistoryWindow->close();
    }

    void hold(const ChaosPlan::Step& step)
    {
        if (m_window.tabCtrl->currentIndex() != kTestTab)
            tab(kTestTab);
        QPushButton* button = output(step.a);
        m_record.starts.push_back({now(), 0});
        Mouse(button, QEvent::MouseButtonPress);
        if (step.b > 0)
            BenchSim::RunFor(std::chrono::milliseconds(step.b));
        m_record.ends.push_back(now());
        Mouse(button, QEvent::MouseButtonRelease);
    }

    void timed(const ChaosPlan::Step& step)
    {
        if (m_window.tabCtrl->currentIndex() != kTestTab)
            tab(kTestTab);
        QPushButton* start = page().cmdStartRuntime_test;
        if (!start->isEnabled() || start->text() != QLatin1String("Start"))
            return;
        page().hsbRuntime_test->setValue(step.a);
        (step.b == 1 ? page().optValve1_test : page().optValve2_test)->setChecked(true);
        page().chkPump_test->setChecked(step.c != 0);
        m_record.starts.push_back({now(), double(step.a)});
        start->click();
        if (step.d >= 0) {
            BenchSim::RunFor(std::chrono::milliseconds(step.d));
            if (start->text() == QLatin1String("Stop")) {
                m_record.ends.push_back(now());
                start->click();
            }
            return;
        }
        WaitUntil([start] { return start->text() == QLatin1String("Start"); },
                  std::chrono::seconds(step.a) + kRunOutMargin);
    }

    void setup(const ChaosPlan::Step& step)
    {
        m_record.ends.push_back(now());
        OnModal(&m_scope, [this, step](QWidget* modal) {
            auto* setup = qobject_cast<frmSetup*>(modal);
            if (!setup) {
                CloseModal(modal);
                return;
            }
            setup->txtDetectorAlarmDelay->setText(QString::number(step.a));
            m_record.asks.push_back(
                {now(), setup->txtSerialNumber->text().toStdString(), 98, 0, step.a});
            m_swapAtPrompt = step.b != 0;
            setup->cmdSetDelays->click();
            m_swapAtPrompt = false;
            if (step.c && setup->cmdSetTarnClock->isEnabled()) {
                m_record.asks.push_back(
                    {now(), setup->txtSerialNumber->text().toStdString(), 65, -1, 0});
                setup->cmdSetTarnClock->click();
            }
            CloseModal(setup);
        });
        m_window.mnuTarnSetup->trigger();
    }

    void field(const ChaosPlan::Step& step)
    {
        switch (step.field) {
        case Field::None:
            return;
        case Field::Faults:
            if (!m_controller.command(QStringLiteral("faults %1 %2 %3")
                                          .arg(step.fa)
                                          .arg(step.fb)
                                          .arg(step.fc)
                                          .toLatin1()))
                return;
            span(step.fd / 1000.0 + kSpanTimeouts * timeout());
            QTimer::singleShot(step.fd, &m_scope, [this] { m_controller.command("faults 0 0 0"); });
            return;
        case Field::Delay:
            if (!m_controller.command("delay " + QByteArray::number(step.fa)))
                return;
            span((step.fd + step.fa) / 1000.0 + kSpanTimeouts * timeout());
            QTimer::singleShot(step.fd, &m_scope, [this] { m_controller.command("delay 0"); });
            return;
        case Field::Mute:
            if (m_controller.command("mute " + QByteArray::number(step.fa)))
                span((step.fa + kSpanTimeouts) * timeout());
            return;
        case Field::Kill:
            if (!m_controller.alive())
                return;
            span(step.fd / 1000.0 + kSpanTimeouts * timeout());
            m_controller.kill();
            QTimer::singleShot(step.fd, &m_scope, [this] {
                if (m_controller.start(m_serial))
                    g_simulatorPid = m_controller.pid();
            });
            return;
        case Field::Swap:
            // The cable moved to another controller: a request meets silence meanwhile.
            span(kSpanTimeouts * timeout());
            swap(step.fa, true);
            return;
        case Field::ArchiveAway:
            if (m_away || !m_archiveAway(true))
                return;
            m_away = true;
            QTimer::singleShot(step.fd, &m_scope, [this] {
                m_archiveAway(false);
                m_away = false;
            });
            return;
        }
    }

public:
    /// The round's `n`th event: one minute after the one before.
    static std::string NthEvent(int n)
    {
        const TarnDateTime first = TarnDateTime::FromParts(kEventYear, 1, 1, 10, 0, 0);
        return EncodePackedDate(first.AddSeconds(60LL * n)) + kEventTail;
    }

private:
    const ChaosPlan& m_plan;
    ChaosChecks::Round& m_record;
    ChaosController& m_controller;
    frmMain& m_window;
    ChaosBoxes& m_boxes;
    const QElapsedTimer& m_clock;
    std::function<bool(bool away)> m_archiveAway;
    int m_serial;
    int m_events;
    bool m_swapAtPrompt = false;
    bool m_away = false;
    KeyProbe m_probe;
    int m_depth = 0;
    bool m_keyPosted = false;
    double m_waitEnded = 0;
    /// Parent of the round's timers: they die with the round.
    QObject m_scope;
};

bool WriteStore(const QString& path, const std::vector<std::string>& events)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray text = "0\n";
    for (const std::string& event : events)
        text += QByteArray::fromStdString(event) + '\n';
    return file.write(text) == text.size();
}

} // namespace

qint64 ChaosRound::SimulatorPid()
{
    return g_simulatorPid;
}

QString ChaosRound::keep()
{
    if (!m_folder)
        return {};
    m_folder->setAutoRemove(false);
    return m_folder->path();
}

bool ChaosRound::run(ChaosChecks::Round& record, QString& error)
{
    m_folder = std::make_unique<QTemporaryDir>();
    const QTemporaryDir& folder = *m_folder;
    QElapsedTimer clock;
    clock.start();
    record.wallStart = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    record.replyTimeout = kReplyTimeoutMs / 1000.0;
    record.pause = std::chrono::duration<double>(TestPage::kSwitchPause).count();
    record.limit = kLimitSeconds;
    record.delaysBefore = ChaosController::kDelays;
    record.identities.push_back({0, 0, std::to_string(m_plan.serial)});
    for (int i = 0; i < m_plan.storedEvents; ++i)
        record.storedBefore.push_back(Driver::NthEvent(i));
    ChaosController controller(folder.path(), clock, record);
    if (!WriteStore(controller.store(), record.storedBefore) || !controller.start(m_plan.serial) ||
        !BenchSim::WriteSampleIni(folder.filePath(QStringLiteral("Tarn.INI")), controller.link())) {
        error = QStringLiteral("the controller or the program folder could not be set up");
        return false;
    }
    g_simulatorPid = controller.pid();
    qputenv("TARN_HOME", folder.path().toLocal8Bit());
    if (!m_database.isEmpty() &&
        !IniFile::Write(folder.filePath(QStringLiteral("Tarn.INI")).toStdString(), "HISTORY",
                        "Database", m_database.toStdString())) {
        error = QStringLiteral("the history's server could not be set");
        return false;
    }
    // The history away: its server stopped, or its file locked by another program.
    const QString historyFile = folder.filePath(QLatin1String(HistoryArchive::kFileName));
    const auto archiveAway = [this, historyFile](bool away) {
        if (m_serverSignal)
            return m_serverSignal(away ? SIGSTOP : SIGCONT);
        if (!away) {
            {
                QSqlDatabase lock = QSqlDatabase::database(QLatin1String(kLockConnection));
                QSqlQuery(lock).exec(QStringLiteral("COMMIT"));
                lock.close();
            }
            QSqlDatabase::removeDatabase(QLatin1String(kLockConnection));
            return true;
        }
        QSqlDatabase lock =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(kLockConnection));
        lock.setDatabaseName(historyFile);
        lock.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kLockWait.count()));
        return lock.open() && QSqlQuery(lock).exec(QStringLiteral("BEGIN EXCLUSIVE"));
    };

    ChaosBoxes boxes;
    boxes.folder = folder.path();
    {
        auto window = std::make_unique<frmMain>(boxes);
        if (!window->Load() || !window->tarn) {
            error = QStringLiteral("the program did not start: ") + boxes.shown.join(u'|');
            return false;
        }
        window->tarn->replyTimeout = std::chrono::milliseconds(kReplyTimeoutMs);
        window->show();
        window->activateWindow();
        {
            Driver driver(m_plan, record, controller, *window, boxes, clock, archiveAway);
            driver.runSteps();
            driver.end();
        }
        if (window->tarn)
            window->tarn->StopCom();
    }
    // The history as the program left it: what it still held is stored as its window goes.
    HistoryArchive archive(QStringLiteral("chaos"));
    if (archive.OpenForReading(folder.path(), m_database)) {
        for (const ArchivedController& known : archive.Controllers())
            for (const ArchivedEvent& event : archive.Events(known.id))
                if (!event.gap)
                    record.history.push_back(
                        {known.key.serialNumber.toStdString(), event.raw.toLatin1().toStdString()});
    }
    controller.finish();
    m_boxes = boxes.shown;
    return true;
}
