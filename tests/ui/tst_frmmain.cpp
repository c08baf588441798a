#include "ProgramHome.h"
#include "ScriptedMessageBoxes.h"
#include "SimProcess.h"

#include "data/Catalogues.h"
#include "data/TarnDateTime.h"
#include "link/Tarn_Comm.h"
#include "ui/main/DisplayFormat.h"
#include "ui/main/EventLogPage.h"
#include "ui/main/StatusPage.h"
#include "ui/main/frmMain.h"
#include "ui/tests/TestPage.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <memory>

using Kind = ScriptedMessageBoxes::Kind;

namespace {
constexpr std::chrono::milliseconds kShortReplyTimeout{1500};
constexpr int kStatusTab = 0;
constexpr int kTestTab = 1;
constexpr int kEventLogTab = 2;
const QColor kErrorRed(255, 128, 128);

QColor Background(const QLabel* label)
{
    return label->palette().color(QPalette::Window);
}
} // namespace

class tst_frmMain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void startupRequests_data();
    void startupRequests();
    void pageCaptionsAfterRead();
    void secondVersionIsIgnored();
    void missingIni();
    void iniNameInOtherCase();
    void brokenCatalogue();
    void portCannotBeOpened();
    void secondInstance();
    void tabsSwitchPeriodicWork();
    void eventLogTabLearnsVersion();
    void noUpdateWithoutAutoUpdate();
    void readGivenUpOnEventLogTab();
    void failedRequestKeepsOldValue();
    void commSettingsReadsAtOnce();
    void closeAnsweredNo();
    void closeAnsweredYes();

private:
    /// Starts the simulator with `options`, a program folder on it, and the window.
    bool startProgram(const QStringList& options = {});

    std::unique_ptr<ProgramHome> m_home;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<ScriptedMessageBoxes> m_boxes;
    std::unique_ptr<frmMain> m_window;
    bool m_loaded = false;
};

void tst_frmMain::initTestCase()
{
    QLocale::setDefault(QLocale::c());
    QVERIFY2(!qEnvironmentVariableIsEmpty("TARN_BIN"), "TARN_BIN is not set");
}

void tst_frmMain::cleanup()
{
    if (m_boxes)
        QCOMPARE(m_boxes->pending(), 0);
    m_window.reset();
    m_sim.reset();
    m_boxes.reset();
    m_home.reset();
    m_loaded = false;
}

bool tst_frmMain::startProgram(const QStringList& options)
{
    m_sim = std::make_unique<SimProcess>();
    QString errText;
    if (!m_sim->start(options, errText)) {
        qWarning("%s", qPrintable(errText));
        return false;
    }
    m_home = std::make_unique<ProgramHome>();
    if (!m_home->installIni(m_sim->slavePath()))
        return false;
    m_boxes = std::make_unique<ScriptedMessageBoxes>();
    m_window = std::make_unique<frmMain>(*m_boxes);
    m_loaded = m_window->Load();
    if (m_window->tarn)
        m_window->tarn->replyTimeout = kShortReplyTimeout;
    return m_loaded;
}

void tst_frmMain::startupRequests_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QList<int>>("expected");
    QTest::addColumn<bool>("information");

    const QList<int> common{64, 50, 52, 55, 54, 54, 54};
    QTest::newRow("2.07 reads administrative data") << "V2.07" << (common + QList<int>{51}) << true;
    QTest::newRow("2.06 does not") << "V2.06" << common << false;
    QTest::newRow("2.10") << "V2.10" << (common + QList<int>{51}) << true;
}

void tst_frmMain::startupRequests()
{
    QFETCH(QString, version);
    QFETCH(QList<int>, expected);
    QFETCH(bool, information);

    QVERIFY(startProgram({QStringLiteral("--version"), version}));
    QCOMPARE(m_sim->codes(), expected);
    const QList<SimProcess::Frame> zones = m_sim->framesOf(54);
    QCOMPARE(zones.size(), 3);
    QCOMPARE(zones[0].data, QStringLiteral("00"));
    QCOMPARE(zones[1].data, QStringLiteral("01"));
    QCOMPARE(zones[2].data, QStringLiteral("02"));

    QVERIFY(m_window->AutoUpdate);
    QVERIFY(m_window->updTimer->isActive());
    QCOMPARE(m_window->updTimer->interval(), frmMain::kStatusIntervalMs);
    QVERIFY(m_window->mnuTarnSetup->isEnabled());
    QVERIFY(m_window->tabCtrl->isEnabled());
    QCOMPARE(m_window->lblAppStatus[0]->text(), QStringLiteral(" Orvane ver. 3.0.6"));
    QCOMPARE(m_window->lblAppStatus[1]->text(), QStringLiteral(" "));
    QCOMPARE(m_window->picSts->fraInformation_sts->title(),
             information ? QStringLiteral("Information")
                         : QStringLiteral("Information (CPU versions 2.07 or higher)"));
    QCOMPARE(m_window->picSts->lblSerialNo_sts->text() == QStringLiteral("###"), !information);
}

void tst_frmMain::pageCaptionsAfterRead()
{
    m_sim = std::make_unique<SimProcess>();
    QString errText;
    QVERIFY2(m_sim->start({}, errText), qPrintable(errText));
    QVERIFY(m_sim->command(QStringLiteral("inputs 0F60FF")));
    QVERIFY(m_sim->command(QStringLiteral("delays 1E0A05FF010203050F00")));
    QVERIFY(m_sim->command(QStringLiteral("admin 0001E240") + QString(32, u'0')));
    QVERIFY(m_sim->command(QStringLiteral("profile 0 3")));
    QVERIFY(m_sim->command(QStringLiteral("profile 1 8")));
    QVERIFY(m_sim->command(QStringLiteral("profile 2 42")));
    m_home = std::make_unique<ProgramHome>();
    QVERIFY(m_home->installIni(m_sim->slavePath()));
    m_boxes = std::make_unique<ScriptedMessageBoxes>();
    m_window = std::make_unique<frmMain>(*m_boxes);
    QVERIFY(m_window->Load());

    const StatusPage* page = m_window->picSts;
    QCOMPARE(page->lblSoftwareVersion_sts->text(), QStringLiteral("V 2.07"));
    QCOMPARE(page->lblSerialNo_sts->text(), QStringLiteral("123456"));
    QCOMPARE(page->lblDetectorADelay_sts->text(), QStringLiteral("30 s"));
    QCOMPARE(page->lblManualADelay_sts->text(), QStringLiteral("5 s"));
    QCOMPARE(page->lblManualSDelay_sts->text(), QStringLiteral("255 s"));
    QCOMPARE(page->lblTempC_sts->text(), QStringLiteral("-1 \u00B0C"));
    QCOMPARE(page->lblTempF_sts->text(), QStringLiteral("30.2 \u00B0F"));
    QCOMPARE(page->lblProfileName_sts[0]->text(),
             QStringLiteral("Pulsed 2 min on, 1 min off, 15 min"));
    QCOMPARE(page->lblProfileName_sts[1]->text(), QStringLiteral("Function test 30 s"));
    QCOMPARE(page->lblProfileName_sts[2]->text(), QStringLiteral("Unknown (42)"));
    QCOMPARE(page->lblProfileType_sts[2]->text(), QStringLiteral("Diverting valve 2"));

    // Outputs 05, 0F, 00: zone 1 outputs 1 and 3, zone 2 all four, zone 3 none.
    const QList<bool> expected{true, false, true,  false, true,  true,
                               true, true,  false, false, false, false};
    for (int k = 0; k < StatusPage::kOutputs; ++k) {
        QCOMPARE(page->IsOutputOn(k), expected[k]);
        QCOMPARE(page->shpOutput_sts[k]->palette().color(QPalette::Window),
                 expected[k] ? QColor(0, 255, 0) : QColor(224, 224, 224));
    }
}

void tst_frmMain::secondVersionIsIgnored()
{
    QVERIFY(startProgram({QStringLiteral("--version"), QStringLiteral("V2.06")}));
    QVERIFY(m_sim->command(QStringLiteral("version V2.07")));
    m_window->UpdateStatusPage();
    QCOMPARE(m_window->tarn->Inputs.CPUVersion, 2.06);
    QCOMPARE(m_window->picSts->lblSoftwareVersion_sts->text(), QStringLiteral("V 2.06"));
    QVERIFY(!m_sim->codes().contains(51));
}

void tst_frmMain::missingIni()
{
    m_home = std::make_unique<ProgramHome>();
    m_boxes = std::make_unique<ScriptedMessageBoxes>();
    m_boxes->expect(Kind::Critical,
                    QStringLiteral("Can\u00B4t find the configuration file Tarn.INI !"));
    m_window = std::make_unique<frmMain>(*m_boxes);
    QVERIFY(!m_window->Load());
    QVERIFY(m_window->tarn == nullptr);
    QVERIFY(!m_window->updTimer->isActive());
}

void tst_frmMain::iniNameInOtherCase()
{
    m_home = std::make_unique<ProgramHome>();
    QVERIFY(m_home->installIni(QStringLiteral("/nonexistent/tty"), QStringLiteral("tarn.ini")));
    m_boxes = std::make_unique<ScriptedMessageBoxes>();
    m_window = std::make_unique<frmMain>(*m_boxes);
    QVERIFY(m_window->Load());
    QVERIFY(ProfileCatalogue.Contains("8"));
    QCOMPARE(m_window->tarn->CommSettings, QStringLiteral("9600,n,8,1"));
    QCOMPARE(m_window->tarn->CommPort, int16_t(1));
}

void tst_frmMain::brokenCatalogue()
{
    m_home = std::make_unique<ProgramHome>();
    QFile ini(m_home->filePath(QStringLiteral("Tarn.INI")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[COMMUNICATION]\r\nPort=1\r\n\r\n[PROFILES]\r\n1=No bar here\r\n");
    ini.close();
    m_boxes = std::make_unique<ScriptedMessageBoxes>();
    m_boxes->expect(Kind::Plain,
                    QStringLiteral("An error ocurred while reading the Tarn.INI file!\r*"));
    m_window = std::make_unique<frmMain>(*m_boxes);
    QVERIFY(!m_window->Load());
    QVERIFY(m_window->tarn == nullptr);
}

void tst_frmMain::portCannotBeOpened()
{
    m_home = std::make_unique<ProgramHome>();
    QVERIFY(m_home->installIni(QStringLiteral("/nonexistent/tty")));
    m_boxes = std::make_unique<ScriptedMessageBoxes>();
    m_window = std::make_unique<frmMain>(*m_boxes);
    QVERIFY(m_window->Load());

    const QLabel* status = m_window->lblAppStatus[1];
    QVERIFY2(status->text().startsWith(u' '), qPrintable(status->text()));
    QVERIFY2(status->text().endsWith(QStringLiteral(". Check the communication settings.")),
             qPrintable(status->text()));
    QVERIFY(status->text().size() > QStringLiteral(" . Check the communication settings.").size());
    QCOMPARE(Background(status), kErrorRed);
    QVERIFY(!m_window->AutoUpdate);
    QVERIFY(m_window->updTimer->isActive());
    QVERIFY(m_window->tabCtrl->isEnabled());
    QVERIFY(!m_window->mnuTarnSetup->isEnabled());
    QVERIFY(m_window->mnuComSettings->isEnabled());

    // Selecting the status tab polls; each try fails at once and changes nothing.
    m_window->tabCtrl->setCurrentIndex(kTestTab);
    m_window->tabCtrl->setCurrentIndex(kStatusTab);
    QVERIFY(m_window->AutoUpdate);
    QElapsedTimer clock;
    clock.start();
    m_window->UpdateStatusPage();
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(m_window->picSts->lblSoftwareVersion_sts->text(), QStringLiteral("###"));
    QCOMPARE(Background(status), status->palette().color(QPalette::Button));
}

void tst_frmMain::secondInstance()
{
    m_home = std::make_unique<ProgramHome>();
    QVERIFY(m_home->installIni(QStringLiteral("/nonexistent/tty")));
    m_boxes = std::make_unique<ScriptedMessageBoxes>();
    m_window = std::make_unique<frmMain>(*m_boxes);
    QVERIFY(m_window->Load());

    ScriptedMessageBoxes secondBoxes;
    secondBoxes.expect(Kind::Info, QStringLiteral("Program is already running!"));
    {
        frmMain second(secondBoxes);
        QVERIFY(!second.Load());
        QVERIFY(second.tarn == nullptr);
    }
    QCOMPARE(secondBoxes.pending(), 0);

    // Once the first has gone, the program starts again.
    m_window.reset();
    frmMain third(*m_boxes);
    QVERIFY(third.Load());
}

void tst_frmMain::tabsSwitchPeriodicWork()
{
    QVERIFY(startProgram());
    QTabBar* tabs = m_window->tabCtrl;
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(kTestTab), QStringLiteral("Test"));
    QCOMPARE(tabs->tabToolTip(kEventLogTab), QStringLiteral("Event log"));

    tabs->setCurrentIndex(kTestTab);
    QCOMPARE(m_window->SelectedTabKey(), QStringLiteral("testing"));
    QCOMPARE(m_window->updTimer->interval(), frmMain::kTestIntervalMs);
    QVERIFY(m_window->AutoUpdate);
    QVERIFY(m_window->picTest->isVisibleTo(m_window.get()));
    QVERIFY(!m_window->picSts->isVisibleTo(m_window.get()));

    const int before = m_sim->frames().size();
    tabs->setCurrentIndex(kEventLogTab);
    QCOMPARE(m_window->SelectedTabKey(), QStringLiteral("eventlog"));
    QVERIFY(!m_window->AutoUpdate);
    QCOMPARE(m_window->updTimer->interval(), frmMain::kTestIntervalMs);
    QVERIFY(m_window->picLog->isVisibleTo(m_window.get()));
    QVERIFY(m_window->picLog->cmdGetAllLogEvents->isEnabled());
    // The version is known, so the event-log tab asks nothing.
    QCOMPARE(m_sim->frames().size(), before);

    // Periodic work stays off: ticks pass without a request.
    QTest::qWait(3 * frmMain::kTestIntervalMs);
    QCOMPARE(m_sim->frames().size(), before);

    tabs->setCurrentIndex(kStatusTab);
    QVERIFY(m_window->AutoUpdate);
    QCOMPARE(m_window->updTimer->interval(), frmMain::kStatusIntervalMs);
    QVERIFY(m_window->picSts->isVisibleTo(m_window.get()));
}

void tst_frmMain::eventLogTabLearnsVersion()
{
    QVERIFY(startProgram({QStringLiteral("--version"), QStringLiteral("V2.06")}));
    m_window->tabCtrl->setCurrentIndex(kEventLogTab);
    QVERIFY(!m_window->picLog->cmdGetAllLogEvents->isEnabled());

    // A version not yet known is asked for when the event-log tab is selected.
    m_window->tabCtrl->setCurrentIndex(kStatusTab);
    m_window->tarn->Inputs.CPUVersion = 0;
    QVERIFY(m_sim->command(QStringLiteral("version X2.07")));
    const int before = m_sim->frames().size();
    m_window->tabCtrl->setCurrentIndex(kEventLogTab);
    QCOMPARE(m_sim->codes().mid(before), QList<int>{64});
    QCOMPARE(m_window->tarn->Inputs.CPUVersion, 2.07);
    QVERIFY(m_window->picLog->cmdGetAllLogEvents->isEnabled());
}

void tst_frmMain::noUpdateWithoutAutoUpdate()
{
    QVERIFY(startProgram());
    m_window->StopAutoUpdate();
    const int before = m_sim->frames().size();
    m_window->UpdateStatusPage();
    QTest::qWait(200);
    QCOMPARE(m_sim->frames().size(), before);
}

void tst_frmMain::readGivenUpOnEventLogTab()
{
    QVERIFY(startProgram());
    m_window->updTimer->stop();
    QVERIFY(m_sim->command(QStringLiteral("delay 300")));
    m_window->picSts->lblTempC_sts->setText(QStringLiteral("earlier"));
    const int before = m_sim->frames().size();

    int atSwitch = -1;
    QTimer::singleShot(800, m_window.get(), [this, &atSwitch] {
        m_window->tabCtrl->setCurrentIndex(kEventLogTab);
        // Let the request in flight reach the journal before counting.
        QThread::msleep(100);
        atSwitch = m_sim->frames().size();
    });
    m_window->UpdateStatusPage();
    QTest::qWait(1500);

    QVERIFY(atSwitch > before);
    QCOMPARE(m_sim->frames().size(), atSwitch);
    QVERIFY(atSwitch - before < 8);
    QCOMPARE(m_window->picSts->lblTempC_sts->text(), QStringLiteral("earlier"));
}

void tst_frmMain::failedRequestKeepsOldValue()
{
    // The start-up read makes eight requests; the tenth, the clock request of the next read,
    // goes unanswered.
    QVERIFY(startProgram({QStringLiteral("--drop-every"), QStringLiteral("10")}));
    m_window->updTimer->stop();
    const QString clockBefore = m_window->picSts->lblTarnDateTime_sts->text();
    QVERIFY(m_sim->command(QStringLiteral("inputs 0F6014")));
    QVERIFY(m_sim->command(QStringLiteral("delays 0A0A05FF010203000000")));
    m_window->tarn->Inputs.CPUDateTime = TarnDateTime::FromParts(2001, 2, 3, 4, 5, 6);

    m_window->UpdateStatusPage();
    QCOMPARE(m_sim->codes().mid(8), (QList<int>{64, 50, 52, 55, 54, 54, 54, 51}));
    QVERIFY(m_window->tarn->Inputs.CPUDateTime == TarnDateTime::FromParts(2001, 2, 3, 4, 5, 6));
    QCOMPARE(m_window->picSts->lblTempC_sts->text(), QStringLiteral("20 \u00B0C"));
    QCOMPARE(m_window->picSts->lblDetectorADelay_sts->text(), QStringLiteral("10 s"));
    QCOMPARE(m_window->picSts->lblTarnDateTime_sts->text(),
             DisplayFormat::GeneralDateTime(TarnDateTime::FromParts(2001, 2, 3, 4, 5, 6)));
    QVERIFY(clockBefore != m_window->picSts->lblTarnDateTime_sts->text());
    QCOMPARE(m_window->lblAppStatus[1]->text(), QStringLiteral(" "));
}

void tst_frmMain::commSettingsReadsAtOnce()
{
    QVERIFY(startProgram());
    m_window->updTimer->stop();
    const int before = m_sim->frames().size();
    bool modalSeen = false;
    QTimer::singleShot(300, m_window.get(), [&modalSeen] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modalSeen = true;
            modal->close();
        }
    });
    m_window->mnuComSettings->trigger();
    QVERIFY(modalSeen);
    QVERIFY(m_window->AutoUpdate);
    QCOMPARE(m_sim->codes().mid(before).value(0), 64);
    QCOMPARE(m_sim->codes().mid(before).size(), 8);
}

void tst_frmMain::closeAnsweredNo()
{
    QVERIFY(startProgram());
    const int before = m_sim->frames().size();
    m_boxes->expect(Kind::QuestionYesNo, QStringLiteral("End application?"), false);
    QSignalSpy ends(m_window.get(), &frmMain::programEnds);
    QVERIFY(!m_window->close());
    QTest::qWait(200);
    QCOMPARE(ends.count(), 0);
    QVERIFY(m_sim->framesOf(100).isEmpty());
    QCOMPARE(m_sim->frames().size(), before);
    QVERIFY(m_window->updTimer->isActive());
    QVERIFY(m_window->AutoUpdate);
}

void tst_frmMain::closeAnsweredYes()
{
    QVERIFY(startProgram());
    m_boxes->expect(Kind::QuestionYesNo, QStringLiteral("End application?"), true);
    QSignalSpy ends(m_window.get(), &frmMain::programEnds);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(m_window->close());
    QVERIFY(clock.elapsed() >= 1000);
    QCOMPARE(ends.count(), 1);
    QVERIFY(!m_window->updTimer->isActive());
    QVERIFY(!m_window->AutoUpdate);
    const QList<SimProcess::Frame> off = m_sim->framesOf(100);
    QCOMPARE(off.size(), 1);
    QCOMPARE(off[0].data, QStringLiteral("30303030"));
    QCOMPARE(m_sim->frames().last().command, QStringLiteral("100"));
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
