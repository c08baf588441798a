#include "RunningProgram.h"

#include "controller/FunctionTest.h"
#include "controller/VisitFacts.h"
#include "controller/VisitReport.h"
#include "eventloop/WaitDepth.h"
#include "history/HistoryArchive.h"
#include "ui/main/PageHost.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSpinBox>

#include <csignal>
#include <unistd.h>

namespace {
/// Longer than the update timer's period on the test page, so that one more tick would have sent.
constexpr int kSettleMs = 1300;
/// Into the release pause.
constexpr int kInPauseMs = 100;
/// How long the test holds the pump.
constexpr int kHeldMs = 600;
/// The simulator's journal gives its times to the millisecond.
constexpr double kJournalResolution = 0.001;

} // namespace

/// The page's whole view of the main window: no link, a status line and no boxes.
class LinklessHost : public PageHost
{
public:
    explicit LinklessHost(MessageBoxes& boxes) : m_boxes(boxes) {}
    Tarn_Comm* link() const override { return nullptr; }
    bool LinkReady() override
    {
        status = u"not open"_s;
        return false;
    }
    void ShowStatus(const QString& msg) override { status = msg; }
    MessageBoxes& messageBoxes() const override { return m_boxes; }
    bool autoUpdate() const override { return true; }
    void StopPumpAndValves() override { ++pumpStops; }
    void NoteOutputsOffSent(bool) override {}
    int32_t& logEventNo() override { return m_number; }
    bool& abortLogReading() override { return m_abort; }

    QString status;
    int pumpStops = 0;

private:
    MessageBoxes& m_boxes;
    int32_t m_number = 0;
    bool m_abort = false;
};

class tst_TestPage : public ProgramTest
{
    Q_OBJECT
    int m_mark = 0;
    TestPage* page() const { return window()->picTest; }
    QString status() const { return window()->lblAppStatus[1]->text(); }

    /// The program on the simulator, shown and active, on its test page; commands counted
    /// from here.
    bool startOnTestPage(const QStringList& lines = {})
    {
        if (!startProgram({}, lines))
            return false;
        window()->show();
        window()->activateWindow();
        setTab(kTestTab);
        m_mark = sim().journal().size();
        return QTest::qWaitForWindowActive(window());
    }
    /// Output words sent since the mark.
    QStringList words() const
    {
        QStringList sent;
        for (const QString& line : sim().journal().mid(m_mark))
            if (line.startsWith(u"100 "_s))
                sent << QString::fromLatin1(QByteArray::fromHex(line.mid(4).toLatin1()));
        return sent;
    }
    /// When the simulator received each of words().
    QList<double> wordSeconds() const
    {
        const QStringList journal = sim().journal();
        const QList<double> seconds = sim().journalSeconds();
        QList<double> sent;
        for (qsizetype i = m_mark; i < journal.size() && i < seconds.size(); ++i)
            if (journal[i].startsWith(u"100 "_s))
                sent << seconds[i];
        return sent;
    }
    QString enabledGroups() const
    {
        QString groups;
        for (const QGroupBox* frame : {page()->fraManual_test, page()->fraBuzzer_test,
                                       page()->fraRunTime_test, page()->fraIO_test})
            groups += frame->isEnabled() ? u'1' : u'0';
        return groups;
    }

    /// The output words sent when the next modal window opens; the window is closed then.
    QStringList wordsWhenModalOpens(const std::function<void()>& trigger)
    {
        QStringList seen{u"none"_s};
        auto* poll = new QTimer(window());
        connect(poll, &QTimer::timeout, window(), [this, poll, &seen] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                poll->stop();
                poll->deleteLater();
                seen = words();
                dialog->reject();
            }
        });
        poll->start(kCheckMs);
        trigger();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(seen != QStringList{u"none"_s}, 10000); }();
        return seen;
    }
    QAction* menuAction(const QString& how) const
    {
        if (how.startsWith(u"about"))
            return window()->mnuHelpAbout;
        return how.startsWith(u"setup") ? window()->mnuTarnSetup : window()->mnuComSettings;
    }

    /// Ends a hold, by its release or by what stands for a release that never comes, or a
    /// timed test. `sent`: the words that the output's end must have sent by the time a modal
    /// window it opens is shown.
    void end(const QString& how, QPushButton* button, Qt::MouseButton mouse = Qt::LeftButton,
             const QStringList& sent = {})
    {
        if (how == u"close in pause") {
            boxes().expect(Kind::QuestionYesNo, u"End application?"_s, true);
            QTimer::singleShot(kInPauseMs, window(), &QWidget::close);
            QTest::mouseRelease(button, mouse);
        } else if (how.endsWith(u" in pause")) {
            // The menu item is chosen inside the release pause: its window opens only once
            // the output is off.
            QAction* action = menuAction(how);
            const QStringList seen = wordsWhenModalOpens([&] {
                QTimer::singleShot(kInPauseMs, action, &QAction::trigger);
                QTest::mouseRelease(button, mouse);
            });
            QCOMPARE(seen, sent);
        } else if (how == u"report while on") {
            // Off before its first question, which is cancelled.
            boxes().expectInput(u"The technician's name*"_s, QString());
            window()->mnuServiceReport->trigger();
            QCOMPARE(words(), sent);
        } else if (how.endsWith(u" while on")) {
            // The setup and the communication settings end the tests first.
            QCOMPARE(wordsWhenModalOpens([&] { menuAction(how)->trigger(); }), sent);
        } else if (how.startsWith(u"SIG")) {
            const int number = how == u"SIGTERM" ? SIGTERM : how == u"SIGHUP" ? SIGHUP : SIGINT;
            QSignalSpy ends(window(), &frmMain::programEnds);
            QCOMPARE(::kill(::getpid(), number), 0);
            QTRY_COMPARE(ends.count(), 1);
        } else if (how == u"click") {
        } else if (how == u"release") {
            QTest::mouseRelease(button, mouse);
        } else if (how == u"outside") {
            QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(-40, -40));
        } else if (how == u"move") {
            QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(window()->windowHandle(), &move);
        } else if (how == u"press elsewhere") {
            QTest::mousePress(page()->fraIO_test, Qt::LeftButton);
        } else if (how == u"deactivate") {
            QWidget other;
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        } else if (how == u"modal") {
            QDialog dialog(window());
            dialog.setModal(true);
            dialog.show();
            QTRY_COMPARE(words().size(), 2);
        } else if (how == u"keyboard") {
            window()->tabCtrl->setFocus();
            QTest::keyClick(window()->tabCtrl, Qt::Key_Left);
        } else if (how == u"tab click") {
            QTest::mouseClick(window()->tabCtrl, Qt::LeftButton, {},
                              window()->tabCtrl->tabRect(kStatusTab).center());
        } else if (how == u"close") {
            boxes().expect(Kind::QuestionYesNo, u"End application?"_s, true);
            QVERIFY(window()->close());
        } else if (how == u"Stop") {
            QTest::mouseClick(page()->cmdStartRuntime_test, Qt::LeftButton);
        }
    }

private slots:
    /// A hold ends by its button's release or by what stands for a release that never comes;
    /// the output goes off once (on closing, with the closing sequence's one outputs-off).
    /// Other outputs stay on: the buzzer, or the pump for the buzzer.
    void hold_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("mouse");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("sent");
        const int left = Qt::LeftButton;
        const QStringList pump{"0104", "0004"};
        const QStringList relay{"0804", "0004"};
        const auto row = [](const char* name, const char* how, const char* button, int mouse,
                            const char* text, const QStringList& sent) {
            QTest::newRow(name) << how << button << mouse << text << sent;
        };
        row("pump", "release", "cmdPump_test", left, "Pump", pump);
        row("buzzer with pump", "release", "cmdBuzzer_test", left, "Buzzer", {"0104", "0100"});
        row("alarm relay, middle button", "release", "cmdAlarmRelay_test", Qt::MiddleButton,
            "Alarm relay", relay);
        row("extra 4", "release", "cmdOutpuIO_test_3", left, "Output 4", {"8004", "0004"});
        row("released outside", "outside", "cmdPump_test", left, "Pump", pump);
        row("move, no button down", "move", "cmdPump_test", left, "Pump", pump);
        row("press elsewhere", "press elsewhere", "cmdAlarmRelay_test", left, "Alarm relay", relay);
        row("window deactivated", "deactivate", "cmdPump_test", left, "Pump", pump);
        row("modal window", "modal", "cmdAlarmRelay_test", left, "Alarm relay", relay);
        row("page left by keyboard", "keyboard", "cmdPump_test", left, "Pump", pump);
        row("page left by tab click", "tab click", "cmdAlarmRelay_test", left, "Alarm relay",
            relay);
        // Closing switches everything off with one command.
        row("program closed", "close", "cmdAlarmRelay_test", left, "Alarm relay", {"0804", "0000"});
        // The close waits for the end of the switching on, then everything goes off.
        row("program closed while switching on", "switching on", "cmdAlarmRelay_test", left,
            "Alarm relay", {"0804", "0000"});
        // A press and its release in the same pass of the event loop: a pulse all the same.
        row("quick click", "click", "cmdPump_test", left, "Pump", pump);
        row("buzzer quick click", "click", "cmdBuzzer_test", left, "Buzzer", {"0104", "0100"});
        // Nothing started in the release pause holds the off word back.
        row("about box in pause", "about in pause", "cmdPump_test", left, "Pump", pump);
        row("communication settings in pause", "comsettings in pause", "cmdAlarmRelay_test", left,
            "Alarm relay", relay);
        row("setup in pause", "setup in pause", "cmdPump_test", left, "Pump", pump);
        row("program closed in pause", "close in pause", "cmdPump_test", left, "Pump",
            {"0104", "0004", "0000"});
        // The tests end with their outputs off before the link can move or the setup be
        // written.
        row("communication settings while held", "comsettings while on", "cmdPump_test", left,
            "Pump", pump);
        row("setup while held", "setup while on", "cmdAlarmRelay_test", left, "Alarm relay", relay);
        // The system ending the program: outputs off without the question.
        row("SIGTERM", "SIGTERM", "cmdPump_test", left, "Pump", {"0104", "0000"});
        row("SIGHUP", "SIGHUP", "cmdAlarmRelay_test", left, "Alarm relay", {"0804", "0000"});
        row("SIGINT", "SIGINT", "cmdPump_test", left, "Pump", {"0104", "0000"});
    }

    void hold()
    {
        QFETCH(QString, how);
        QFETCH(QString, button);
        QFETCH(int, mouse);
        QFETCH(QString, text);
        QFETCH(QStringList, sent);
        QVERIFY(startOnTestPage());
        auto* held = page()->findChild<QPushButton*>(button);
        (held == page()->cmdBuzzer_test ? window()->tarn->OutPuts.Pump
                                        : window()->tarn->OutPuts.Buzzer) = 1;
        const bool switchingOn = how == u"switching on";
        if (switchingOn) {
            boxes().expect(Kind::QuestionYesNo, u"End application?"_s, true);
            QTimer::singleShot(TestPage::kSwitchPause / 2, window(), &QWidget::close);
        }
        if (how == u"click") {
            QTest::mouseClick(held, Qt::MouseButton(mouse));
        } else {
            QTest::mousePress(held, Qt::MouseButton(mouse));
            QTRY_COMPARE(words().size(), 1);
            if (!switchingOn)
                QCOMPARE(status(), u" Testing "_s + text + u"..."_s);
        }
        end(how, held, Qt::MouseButton(mouse), sent);
        QTRY_COMPARE(words(), sent);
        // The off word waits out its pause after the hold ended, which came after the on word.
        if (sent.size() > 1) {
            const QList<double> at = wordSeconds();
            const double pause =
                std::chrono::duration<double>(qMin(TestPage::kSwitchPause, frmMain::kOutputsPause))
                    .count();
            QVERIFY2(at[1] - at[0] >= pause - kJournalResolution,
                     qPrintable(u"%1 s"_s.arg(at[1] - at[0])));
        }
        QCOMPARE(status(), u" "_s);
        QVERIFY(!QApplication::overrideCursor());
        // A late release changes nothing: once the page is idle again, nothing more went out.
        QTest::mouseRelease(held, Qt::MouseButton(mouse));
        QTRY_VERIFY(page()->Idle() && WaitDepth::Idle());
        QCOMPARE(words(), sent);
    }

    void timedTest_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("pump");
        QTest::addColumn<QStringList>("sent");
        const QStringList valve2{"0400", "0000"};
        QTest::newRow("valve 2 without pump runs its time") << "runs out" << false << valve2;
        QTest::newRow("Stop") << "Stop" << true << QStringList{"0500", "0000"};
        QTest::newRow("page left") << "tab click" << false << valve2;
        QTest::newRow("start fails") << "start fails" << false << valve2;
        // Closing sends the outputs-off once and ends one pause later.
        QTest::newRow("program closed") << "close" << false << valve2;
        QTest::newRow("SIGTERM") << "SIGTERM" << false << valve2;
        QTest::newRow("communication settings")
            << "comsettings while on" << false << QStringList{"0400", "0000"};
        QTest::newRow("service report") << "report while on" << false << valve2;
    }

    void timedTest()
    {
        QFETCH(QString, how);
        QFETCH(bool, pump);
        QFETCH(QStringList, sent);
        const bool fails = how == u"start fails";
        QVERIFY(startOnTestPage(fails ? QStringList{u"ack 100 NAK"_s} : QStringList{}));
        page()->hsbRuntime_test->setValue(how == u"runs out" ? 1 : 60);
        page()->optValve2_test->setChecked(true);
        page()->chkPump_test->setChecked(pump);
        QTest::mouseClick(page()->cmdStartRuntime_test, Qt::LeftButton);
        if (!fails) {
            QCOMPARE(page()->cmdStartRuntime_test->text(), u"Stop"_s);
            QCOMPARE(enabledGroups(), u"0010"_s);
            const QRegularExpression countdown(u"^\\d+\\.\\d s$"_s);
            QTRY_VERIFY(countdown.match(page()->lblRunningtime_test->text()).hasMatch());
            QElapsedTimer clock;
            clock.start();
            end(how, nullptr, Qt::LeftButton, sent);
            // Before: a second outputs-off and two more pauses, over 2 s.
            if (how == u"close")
                QVERIFY2(clock.elapsed() < 3 * frmMain::kShutdownPause.count(),
                         qPrintable(u"%1 ms"_s.arg(clock.elapsed())));
        }
        QTRY_COMPARE(words(), sent);
        if (how == u"close" || how.startsWith(u"SIG")) {
            // A test ended by the program's end is kept as well, after the outputs-off.
            HistoryArchive& archive = *window()->historyArchive();
            QTRY_VERIFY(!archive.Controllers().empty());
            const std::vector<ArchivedChange> tests =
                archive.Changes(archive.Controllers().front().id);
            QCOMPARE(tests.size(), std::size_t(1));
            QCOMPARE(FunctionTest::Read(tests[0]).outputs, QStringList{u"Valve 2"_s});
            return;
        }
        QTRY_COMPARE(page()->cmdStartRuntime_test->text(), u"Start"_s);
        QCOMPARE(page()->lblRunningtime_test->text(), u"-"_s);
        QCOMPARE(enabledGroups(), u"1111"_s);
    }

    /// A held pump and a timed test are kept in the history once their outputs are off, with
    /// their outputs and durations, and the visit report lists them as function tests.
    void testsInTheHistory()
    {
        QVERIFY(startOnTestPage());
        HistoryArchive& archive = *window()->historyArchive();
        QVERIFY(archive.isOpen());
        QTest::mousePress(page()->cmdPump_test, Qt::LeftButton);
        QTRY_COMPARE(words().size(), 1);
        QTest::qWait(kHeldMs);
        QTest::mouseRelease(page()->cmdPump_test, Qt::LeftButton);
        QTRY_COMPARE(words(), (QStringList{u"0100"_s, u"0000"_s}));

        page()->hsbRuntime_test->setValue(1);
        page()->optValve1_test->setChecked(true);
        page()->chkPump_test->setChecked(true);
        QTest::mouseClick(page()->cmdStartRuntime_test, Qt::LeftButton);
        QTRY_COMPARE(page()->cmdStartRuntime_test->text(), u"Start"_s);
        QCOMPARE(words(), (QStringList{u"0100"_s, u"0000"_s, u"0300"_s, u"0000"_s}));

        QCOMPARE(archive.Controllers().size(), std::size_t(1));
        const ArchivedController controller = archive.Controllers().front();
        std::vector<FunctionTest::Fields> tests;
        for (const ArchivedChange& change : archive.Changes(controller.id)) {
            QVERIFY(change.isFunctionTest());
            tests.push_back(FunctionTest::Read(change));
        }
        QCOMPARE(tests.size(), std::size_t(2));
        QCOMPARE(tests[0].outputs, QStringList{u"Pump"_s});
        QVERIFY2(tests[0].milliseconds >= kHeldMs,
                 qPrintable(QString::number(tests[0].milliseconds)));
        QCOMPARE(tests[1].outputs, (QStringList{u"Pump"_s, u"Valve 1"_s}));
        QVERIFY2(tests[1].milliseconds >= 1000, qPrintable(QString::number(tests[1].milliseconds)));
        QVERIFY(tests[0].startedAt <= tests[1].startedAt);
        // The manual and timed tests run without the input scan.
        QCOMPARE(tests[1].inputsRead, false);

        VisitFacts facts;
        QString errText;
        QVERIFY2(VisitFacts::FromArchive(archive, controller, false, facts, errText),
                 qPrintable(errText));
        QCOMPARE(facts.functionTests.size(), std::size_t(2));
        QVERIFY(facts.changes.empty());
        const ReportSection* section = VisitReport::Build(facts).Section(u"Function tests"_s);
        QVERIFY(section && section->tables.size() == 1);
        QCOMPARE(section->tables[0].rows.at(1).value(0), u"Pump and Valve 1"_s);
    }

    /// The indicators follow the inputs as they change; test mode is renewed on the eleventh
    /// tick; unticked, the scan sends nothing.
    void scan()
    {
        QVERIFY(startOnTestPage());
        page()->chkScanInputs->click();
        QCOMPARE(enabledGroups(), u"0001"_s);
        const auto shown = [this] {
            QString flags;
            for (const QLabel* indicator : page()->shpDetectorIO_test)
                flags += TestPage::IsShownActive(indicator) ? u'1' : u'0';
            for (const QLabel* indicator : page()->shpManualIO_test)
                flags += TestPage::IsShownActive(indicator) ? u'1' : u'0';
            return flags;
        };
        const QString inputs[][2] = {
            {u"0A0014"_s, u"1010111"_s}, {u"006014"_s, u"1111001"_s}, {u"0FE014"_s, u"0000000"_s}};
        for (const auto& [hex, active] : inputs) {
            QVERIFY(sim().command(u"inputs "_s + hex));
            QTRY_COMPARE(shown(), active);
        }
        QTRY_COMPARE_WITH_TIMEOUT(sim().codes().mid(m_mark).count(105), 2, 15000);
        // Ten scans, then the renewal on the eleventh tick.
        QCOMPARE(sim().codes().mid(m_mark, 12),
                 QList<int>{105} + QList<int>(10, 52) + QList<int>{105});

        page()->chkScanInputs->click();
        QCOMPARE(enabledGroups(), u"1111"_s);
        QTest::qWait(kSettleMs);
        m_mark = sim().journal().size();
        QTest::qWait(kSettleMs);
        QCOMPARE(sim().journal().size(), m_mark);

        // Ticked, the scan sends 105 whenever the test tab is selected.
        page()->chkScanInputs->click();
        setTab(kStatusTab);
        setTab(kTestTab);
        QCOMPARE(sim().codes().mid(m_mark), (QList<int>{105, 105}));
    }

    /// The page is built and used without the main window: with no link, a held output and
    /// the timed test start nothing and say why.
    void pageWithoutTheWindow()
    {
        LinklessHost host(boxes());
        TestPage alone(host);
        alone.show();
        QTest::mouseClick(alone.cmdPump_test, Qt::LeftButton);
        QTest::mouseClick(alone.cmdStartRuntime_test, Qt::LeftButton);
        QTest::qWait(2 * TestPage::kSwitchPause.count());
        QCOMPARE(host.status, u"not open"_s);
        QCOMPARE(alone.cmdStartRuntime_test->text(), u"Start"_s);
        QCOMPARE(host.pumpStops, 0);
    }

    /// A hold pressed while another request waits goes on once that request has ended, and the
    /// status line never tells of a test that is not under way.
    void pressDuringARequest()
    {
        QVERIFY(startOnTestPage());
        QVERIFY(sim().command(u"delay 300"_s));
        QStringList inRead;
        QTimer::singleShot(150, page(), [this, &inRead] {
            QTest::mousePress(page()->cmdPump_test, Qt::LeftButton);
            QTimer::singleShot(TestPage::kSwitchPause.count() + 200, page(),
                               [this, &inRead] { inRead << status() << words(); });
        });
        window()->IdentifyController();
        QCOMPARE(inRead.size(), 1);
        QVERIFY2(!inRead[0].contains(u"Testing"_s), qPrintable(inRead[0]));
        QTRY_COMPARE(words(), QStringList{u"0100"_s});
        QCOMPARE(status(), u" Testing Pump..."_s);
        QCOMPARE(sim().journal().mid(m_mark).first(SimProcess::kStatusRead.size()),
                 SimProcess::kStatusRead);
        QTest::mouseRelease(page()->cmdPump_test, Qt::LeftButton);
        QTRY_COMPARE(words(), (QStringList{u"0100"_s, u"0000"_s}));
    }

    /// An outputs-off the controller does not answer is sent again by the close: the program
    /// does not end with the output on.
    void offUnansweredAtClose()
    {
        QVERIFY(startOnTestPage());
        QTest::mousePress(page()->cmdPump_test, Qt::LeftButton);
        QTRY_COMPARE(words().size(), 1);
        // The release's outputs-off and the close's first one get no answer.
        QVERIFY(sim().command(u"mute 2 100"_s));
        QTest::mouseRelease(page()->cmdPump_test, Qt::LeftButton);
        QTRY_VERIFY(window()->OutputsOffOwed);
        window()->updTimer->stop();
        boxes().expect(Kind::QuestionYesNo, u"End application?"_s, true);
        QVERIFY(window()->close());
        QCOMPARE(words(), (QStringList{u"0100"_s, u"0000"_s, u"0000"_s, u"0000"_s}));
        QVERIFY(!window()->OutputsOffOwed);
    }

    /// Unticked while its test-mode request waits, the scan stays off once the request returns;
    /// the status line says at once that the click waits.
    void scanUntickedWhileWaiting()
    {
        QVERIFY(startOnTestPage());
        QVERIFY(sim().command(u"delay 3000"_s));
        QString told;
        QTimer::singleShot(RunningProgram::kShortReplyTimeout / 3, page()->chkScanInputs, [&] {
            page()->chkScanInputs->click();
            told = status();
        });
        page()->chkScanInputs->click();
        QVERIFY2(told.contains(u"Setting the input scan once Tarn has answered\u2026"_s),
                 qPrintable(told));
        QTRY_VERIFY(WaitDepth::Idle() && WaitDepth::Deferred() == 0);
        QVERIFY(!page()->chkScanInputs->isChecked() && !page()->ScanInputsOn);
        QCOMPARE(enabledGroups(), u"1111"_s);
        QVERIFY(sim().command(u"delay 0"_s));
        m_mark = sim().journal().size();
        QTest::qWait(kSettleMs);
        QCOMPARE(sim().journal().size(), m_mark);
    }

    /// The test time is set by the slider or in seconds beside it; a held output shows on its
    /// button; the manual tests say why they are off.
    void pageShowsItsState()
    {
        QVERIFY(startOnTestPage());
        QCOMPARE(page()->spnRuntime_test->minimum(), TestPage::kRuntimeMinimum);
        QCOMPARE(page()->spnRuntime_test->maximum(), TestPage::kRuntimeMaximum);
        page()->spnRuntime_test->setValue(7);
        QCOMPARE(page()->hsbRuntime_test->value(), 7);
        page()->hsbRuntime_test->setValue(90);
        QCOMPARE(page()->spnRuntime_test->value(), 90);

        QPushButton* pump = page()->cmdPump_test;
        QTest::mousePress(pump, Qt::LeftButton);
        QTRY_COMPARE(words().size(), 1);
        QCOMPARE(pump->text(), u"Pump ON"_s);
        QVERIFY(pump->isDown());
        QTest::mouseRelease(pump, Qt::LeftButton);
        QTRY_COMPARE(words().size(), 2);
        QCOMPARE(pump->text(), u"Pump"_s);
        QVERIFY(!pump->isDown());

        QVERIFY(page()->lblManualOff_test->isHidden());
        page()->chkScanInputs->click();
        QVERIFY(!page()->fraManual_test->isEnabled());
        QVERIFY(page()->lblManualOff_test->isVisibleTo(page()));
        QVERIFY(page()->lblManualOff_test->text().startsWith(
            u"Off while Tarn is in test mode for the input scan"_s));
        page()->chkScanInputs->click();
        QVERIFY(page()->lblManualOff_test->isHidden());
    }
};

QTEST_MAIN(tst_TestPage)
#include "tst_testpage.moc"
