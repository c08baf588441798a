#include "RunningProgram.h"

#include "ui/tests/TestPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>

using Kind = ScriptedMessageBoxes::Kind;
using namespace Qt::StringLiterals;

namespace {
constexpr int kStatusTab = 0;
constexpr int kTestTab = 1;
/// Longer than any switching of a held output, so that one more would have been sent.
constexpr int kSettleMs = 1300;

enum Ending
{
    Released,
    Outside,
    MoveWithoutButton,
    ElsewherePress,
    Deactivated,
    Modal,
    KeyboardTab,
    TabClick,
    Closed,
    ClosedWhileSwitchingOn,
    RunsOut,
    StopClicked
};
} // namespace

class tst_TestPage : public QObject
{
    Q_OBJECT
    std::unique_ptr<RunningProgram> m_program;
    int m_mark = 0;
    frmMain* window() const { return m_program->window.get(); }
    TestPage* page() const { return window()->picTest; }
    SimProcess& sim() const { return m_program->sim; }
    QString status() const { return window()->lblAppStatus[1]->text(); }

    /// The program on the simulator, shown and active, on its test page; commands counted
    /// from here.
    bool startOnTestPage(const QStringList& lines = {})
    {
        if (!m_program->startSim({}, lines) || !m_program->load())
            return false;
        window()->show();
        window()->activateWindow();
        window()->tabCtrl->setCurrentIndex(kTestTab);
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
    QString enabledGroups() const
    {
        QString groups;
        for (const QGroupBox* frame : {page()->fraManual_test, page()->fraBuzzer_test,
                                       page()->fraRunTime_test, page()->fraIO_test})
            groups += frame->isEnabled() ? u'1' : u'0';
        return groups;
    }

    /// Ends a hold, by its release or by what stands for a release that never comes, or a
    /// timed test.
    void end(Ending how, QPushButton* button, Qt::MouseButton mouse = Qt::LeftButton)
    {
        switch (how) {
        case Released:
            return QTest::mouseRelease(button, mouse);
        case Outside:
            return QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(-40, -40));
        case MoveWithoutButton: {
            QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(window()->windowHandle(), &move);
            return;
        }
        case ElsewherePress:
            return QTest::mousePress(page()->fraIO_test, Qt::LeftButton);
        case Deactivated: {
            QWidget other;
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
            return;
        }
        case Modal: {
            QDialog dialog(window());
            dialog.setModal(true);
            dialog.show();
            QTRY_COMPARE(words().size(), 2);
            return;
        }
        case KeyboardTab:
            window()->tabCtrl->setFocus();
            return QTest::keyClick(window()->tabCtrl, Qt::Key_Left);
        case TabClick:
            return QTest::mouseClick(window()->tabCtrl, Qt::LeftButton, {},
                                     window()->tabCtrl->tabRect(kStatusTab).center());
        case Closed:
            m_program->boxes.expect(Kind::QuestionYesNo, u"End application?"_s, true);
            QVERIFY(window()->close());
            return;
        case StopClicked:
            return QTest::mouseClick(page()->cmdStartRuntime_test, Qt::LeftButton);
        default:
            return;
        }
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init() { m_program = std::make_unique<RunningProgram>(); }
    void cleanup()
    {
        QCOMPARE(m_program->boxes.pending(), 0);
        m_program.reset();
    }

    /// A hold ends by its button's release or by what stands for a release that never comes;
    /// the output goes off once, before the closing sequence's outputs-off. Other outputs stay
    /// on: the buzzer, or the pump for the buzzer.
    void hold_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("mouse");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("sent");
        const int left = Qt::LeftButton;
        const QStringList pump{"0104", "0004"};
        const QStringList relay{"0804", "0004"};
        const auto row = [](const char* name, Ending how, const char* button, int mouse,
                            const char* text, const QStringList& sent) {
            QTest::newRow(name) << int(how) << button << mouse << text << sent;
        };
        row("pump", Released, "cmdPump_test", left, "Pump", pump);
        row("buzzer with pump", Released, "cmdBuzzer_test", left, "Buzzer", {"0104", "0100"});
        row("alarm relay, middle button", Released, "cmdAlarmRelay_test", Qt::MiddleButton,
            "Alarm relay", relay);
        row("extra 4", Released, "cmdOutpuIO_test_3", left, "Output 4", {"8004", "0004"});
        row("released outside", Outside, "cmdPump_test", left, "Pump", pump);
        row("move, no button down", MoveWithoutButton, "cmdPump_test", left, "Pump", pump);
        row("press elsewhere", ElsewherePress, "cmdAlarmRelay_test", left, "Alarm relay", relay);
        row("window deactivated", Deactivated, "cmdPump_test", left, "Pump", pump);
        row("modal window", Modal, "cmdAlarmRelay_test", left, "Alarm relay", relay);
        row("page left by keyboard", KeyboardTab, "cmdPump_test", left, "Pump", pump);
        row("page left by tab click", TabClick, "cmdAlarmRelay_test", left, "Alarm relay", relay);
        row("program closed", Closed, "cmdAlarmRelay_test", left, "Alarm relay",
            {"0804", "0004", "0000"});
        row("program closed while switching on", ClosedWhileSwitchingOn, "cmdAlarmRelay_test", left,
            "Alarm relay", {"0000"});
    }

    void hold()
    {
        QFETCH(int, how);
        QFETCH(QString, button);
        QFETCH(int, mouse);
        QFETCH(QString, text);
        QFETCH(QStringList, sent);
        QVERIFY(startOnTestPage());
        auto* held = page()->findChild<QPushButton*>(button);
        (held == page()->cmdBuzzer_test ? window()->tarn->OutPuts.Pump
                                        : window()->tarn->OutPuts.Buzzer) = 1;
        if (how == ClosedWhileSwitchingOn) {
            m_program->boxes.expect(Kind::QuestionYesNo, u"End application?"_s, true);
            QTimer::singleShot(TestPage::kSwitchPause / 2, window(), &QWidget::close);
        }
        QTest::mousePress(held, Qt::MouseButton(mouse));
        QTRY_COMPARE(words().size(), 1);
        if (how != ClosedWhileSwitchingOn) {
            QCOMPARE(status(), u" Testing "_s + text + u"..."_s);
            QVERIFY(QApplication::overrideCursor());
        }
        end(Ending(how), held, Qt::MouseButton(mouse));
        QTRY_COMPARE(words(), sent);
        QCOMPARE(status(), u" "_s);
        QVERIFY(!QApplication::overrideCursor());
        // A late release changes nothing.
        QTest::mouseRelease(held, Qt::MouseButton(mouse));
        QTest::qWait(kSettleMs);
        QCOMPARE(words(), sent);
    }

    void timedTest_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<bool>("pump");
        QTest::addColumn<QStringList>("sent");
        const QStringList valve2{"0400", "0000"};
        QTest::newRow("valve 2 without pump runs its time") << int(RunsOut) << false << valve2;
        QTest::newRow("Stop") << int(StopClicked) << true << QStringList{"0500", "0000"};
        QTest::newRow("page left") << int(TabClick) << false << valve2;
        QTest::newRow("start fails") << -1 << false << valve2;
        QTest::newRow("program closed")
            << int(Closed) << false << QStringList{"0400", "0000", "0000"};
    }

    void timedTest()
    {
        QFETCH(int, how);
        QFETCH(bool, pump);
        QFETCH(QStringList, sent);
        QVERIFY(startOnTestPage(how < 0 ? QStringList{u"ack 100 NAK"_s} : QStringList{}));
        page()->hsbRuntime_test->setValue(how == RunsOut ? 1 : 60);
        QCOMPARE(page()->lblRuntime_test->text(),
                 how == RunsOut ? "Test time = 1 s" : "Test time = 60 s");
        page()->optValve2_test->setChecked(true);
        page()->chkPump_test->setChecked(pump);
        QTest::mouseClick(page()->cmdStartRuntime_test, Qt::LeftButton);
        if (how >= 0) {
            QCOMPARE(page()->cmdStartRuntime_test->text(), u"Stop"_s);
            QCOMPARE(enabledGroups(), u"0010"_s);
            const QRegularExpression countdown(u"^\\d+\\.\\d s$"_s);
            QTRY_VERIFY(countdown.match(page()->lblRunningtime_test->text()).hasMatch());
            end(Ending(how), nullptr);
        }
        QTRY_COMPARE(words(), sent);
        if (how == Closed)
            return;
        QTRY_COMPARE(page()->cmdStartRuntime_test->text(), u"Start"_s);
        QCOMPARE(page()->lblRunningtime_test->text(), u"-"_s);
        QCOMPARE(enabledGroups(), u"1111"_s);
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
        window()->tabCtrl->setCurrentIndex(kStatusTab);
        window()->tabCtrl->setCurrentIndex(kTestTab);
        QCOMPARE(sim().codes().mid(m_mark), (QList<int>{105, 105}));
    }
};

QTEST_MAIN(tst_TestPage)
#include "tst_testpage.moc"
