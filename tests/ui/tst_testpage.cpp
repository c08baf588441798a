#include "RunningProgram.h"

#include "data/OutputTests.h"
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
    Outside,
    ElsewhereRelease,
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

    /// Ends a hold or a timed test without the held button's release.
    void end(Ending how, QPushButton* button)
    {
        switch (how) {
        case Outside:
            return QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(-40, -40));
        case ElsewhereRelease:
            return QTest::mouseRelease(window()->tabCtrl, Qt::LeftButton);
        case MoveWithoutButton: {
            QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(window()->windowHandle(), &move);
            return;
        }
        case ElsewherePress:
            return QTest::mousePress(page()->fraIO_test, Qt::LeftButton);
        case Deactivated: {
            auto* other = new QWidget;
            other->setAttribute(Qt::WA_DeleteOnClose);
            other->show();
            other->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(other));
            other->close();
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

    void holdSendsWholeWord_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QList<int>>("alreadyOn");
        QTest::addColumn<int>("mouse");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("sent");
        const QList<int> none;
        const int pump = int(OutputItem::Pump);
        const int left = Qt::LeftButton;
        QTest::newRow("pump") << "cmdPump_test" << none << left << "Pump"
                              << QStringList{"0100", "0000"};
        QTest::newRow("valve 1, right button") << "cmdValve1_test" << none << int(Qt::RightButton)
                                               << "Valve 1" << QStringList{"0200", "0000"};
        QTest::newRow("valve 2 closes pump and valve 1 too")
            << "cmdValve2_test" << QList<int>{pump, int(OutputItem::Valve1)} << left << "Valve 2"
            << QStringList{"0700", "0000"};
        QTest::newRow("pump leaves the buzzer on")
            << "cmdPump_test" << QList<int>{int(OutputItem::Buzzer)} << left << "Pump"
            << QStringList{"0104", "0004"};
        QTest::newRow("buzzer") << "cmdBuzzer_test" << none << left << "Buzzer"
                                << QStringList{"0004", "0000"};
        QTest::newRow("buzzer with pump") << "cmdBuzzer_test" << QList<int>{pump} << left
                                          << "Buzzer" << QStringList{"0104", "0100"};
        QTest::newRow("alarm relay alone changes, middle button")
            << "cmdAlarmRelay_test" << QList<int>{int(OutputItem::Buzzer), int(OutputItem::Extra4)}
            << int(Qt::MiddleButton) << "Alarm relay" << QStringList{"8804", "8004"};
        QTest::newRow("extra 1") << "cmdOutpuIO_test_0" << none << left << "Output 1"
                                 << QStringList{"1000", "0000"};
        QTest::newRow("extra 3") << "cmdOutpuIO_test_2" << none << left << "Output 3"
                                 << QStringList{"4000", "0000"};
    }

    void holdSendsWholeWord()
    {
        QFETCH(QString, button);
        QFETCH(QList<int>, alreadyOn);
        QFETCH(int, mouse);
        QFETCH(QString, text);
        QFETCH(QStringList, sent);
        QVERIFY(startOnTestPage());
        for (int item : alreadyOn)
            SetOutputItem(window()->tarn->OutPuts, OutputItem(item), 1);
        auto* held = page()->findChild<QPushButton*>(button);
        QTest::mousePress(held, Qt::MouseButton(mouse));
        QTRY_COMPARE(words(), sent.mid(0, 1));
        QCOMPARE(status(), u" Testing "_s + text + u"..."_s);
        QVERIFY(QApplication::overrideCursor());
        QTest::mouseRelease(held, Qt::MouseButton(mouse));
        QTRY_COMPARE(words(), sent);
        QCOMPARE(status(), u" "_s);
        QVERIFY(!QApplication::overrideCursor());
    }

    /// The held button never gets its release; the output goes off once all the same, before
    /// the closing sequence's outputs-off. The buzzer is on throughout and stays on.
    void releaseNeverArrives_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("sent");
        const QStringList pump{"0104", "0004"};
        const QStringList relay{"0804", "0004"};
        QTest::newRow("released outside") << int(Outside) << "cmdPump_test" << pump;
        QTest::newRow("release elsewhere")
            << int(ElsewhereRelease) << "cmdAlarmRelay_test" << relay;
        QTest::newRow("move, no button down") << int(MoveWithoutButton) << "cmdPump_test" << pump;
        QTest::newRow("press elsewhere") << int(ElsewherePress) << "cmdAlarmRelay_test" << relay;
        QTest::newRow("window deactivated") << int(Deactivated) << "cmdPump_test" << pump;
        QTest::newRow("modal window") << int(Modal) << "cmdAlarmRelay_test" << relay;
        QTest::newRow("page left by keyboard") << int(KeyboardTab) << "cmdPump_test" << pump;
        QTest::newRow("page left by tab click") << int(TabClick) << "cmdAlarmRelay_test" << relay;
        QTest::newRow("program closed")
            << int(Closed) << "cmdAlarmRelay_test" << QStringList{"0804", "0004", "0000"};
        QTest::newRow("program closed while switching on")
            << int(ClosedWhileSwitchingOn) << "cmdAlarmRelay_test" << QStringList{"0000"};
    }

    void releaseNeverArrives()
    {
        QFETCH(int, how);
        QFETCH(QString, button);
        QFETCH(QStringList, sent);
        QVERIFY(startOnTestPage());
        window()->tarn->OutPuts.Buzzer = 1;
        auto* held = page()->findChild<QPushButton*>(button);
        if (how == ClosedWhileSwitchingOn) {
            m_program->boxes.expect(Kind::QuestionYesNo, u"End application?"_s, true);
            QTimer::singleShot(TestPage::kSwitchPause / 2, window(), &QWidget::close);
        }
        QTest::mousePress(held, Qt::LeftButton);
        QTRY_COMPARE(words().size(), 1);
        end(Ending(how), held);
        QTRY_COMPARE(words(), sent);
        // The late release changes nothing.
        QTest::mouseRelease(held, Qt::LeftButton);
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

    void inputIndicators_data()
    {
        QTest::addColumn<QString>("inputs");
        QTest::addColumn<QString>("active");
        QTest::newRow("none active") << "0FE014"
                                     << "0000000";
        QTest::newRow("all detectors") << "00E014"
                                       << "1111000";
        QTest::newRow("detectors 1 and 3, all manual releases") << "0A0014"
                                                                << "1010111";
        QTest::newRow("manual release 3") << "0F6014"
                                          << "0000001";
    }

    void inputIndicators()
    {
        QFETCH(QString, inputs);
        QFETCH(QString, active);
        QVERIFY(startOnTestPage({u"inputs "_s + inputs}));
        page()->chkScanInputs->click();
        QCOMPARE(enabledGroups(), u"0001"_s);
        QString shown;
        const auto read = [&] {
            shown.clear();
            for (const QLabel* indicator : page()->shpDetectorIO_test)
                shown += TestPage::IsShownActive(indicator) ? u'1' : u'0';
            for (const QLabel* indicator : page()->shpManualIO_test)
                shown += TestPage::IsShownActive(indicator) ? u'1' : u'0';
            return shown;
        };
        QTRY_COMPARE(read(), active);
    }

    void scanRenewsTestModeAndStops()
    {
        QVERIFY(startOnTestPage());
        page()->chkScanInputs->click();
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
