#include "RunningProgram.h"

#include "config/ProgramFolder.h"
#include "data/Catalogues.h"
#include "data/TarnDateTime.h"
#include "link/Tarn_Comm.h"
#include "ui/main/DisplayFormat.h"
#include "ui/main/EventLogPage.h"
#include "ui/main/SingleInstance.h"
#include "ui/main/StatusPage.h"
#include "ui/tests/TestPage.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QThread>
#include <QTimer>

using Kind = ScriptedMessageBoxes::Kind;
using namespace Qt::StringLiterals;

namespace {
constexpr int kStatusTab = 0;
constexpr int kTestTab = 1;
constexpr int kEventLogTab = 2;
const QString kNoDevice = u"/nonexistent/tty"_s;
} // namespace

class tst_frmMain : public QObject
{
    Q_OBJECT
    std::unique_ptr<RunningProgram> m_program;
    frmMain* window() const { return m_program->window.get(); }
    SimProcess& sim() const { return m_program->sim; }
    /// The simulator with `options` and the program loaded on it.
    bool startProgram(const QStringList& options = {}, const QStringList& lines = {})
    {
        return m_program->startSim(options, lines) && m_program->load();
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init() { m_program = std::make_unique<RunningProgram>(); }
    void cleanup()
    {
        QCOMPARE(m_program->boxes.pending(), 0);
        m_program.reset();
    }

    void startupRequests_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("information");
        QTest::newRow("2.06 reads no administrative data") << "V2.06" << false;
        QTest::newRow("2.07 does") << "V2.07" << true;
        QTest::newRow("2.10 too") << "V2.10" << true;
    }

    void startupRequests()
    {
        QFETCH(QString, version);
        QFETCH(bool, information);
        QVERIFY(startProgram({u"--version"_s, version}));
        QStringList expected{u"64"_s,    u"50"_s,    u"52"_s,   u"55"_s,
                             u"54 00"_s, u"54 01"_s, u"54 02"_s};
        if (information)
            expected << u"51"_s;
        QCOMPARE(sim().journal(), expected);
        QVERIFY(window()->AutoUpdate);
        QVERIFY(window()->updTimer->isActive());
        QCOMPARE(window()->updTimer->interval(), frmMain::kStatusIntervalMs);
        QVERIFY(window()->mnuTarnSetup->isEnabled());
        QVERIFY(window()->tabCtrl->isEnabled());
        QCOMPARE(window()->lblAppStatus[0]->text(), u" Orvane ver. 3.0.6"_s);
        QCOMPARE(window()->lblAppStatus[1]->text(), u" "_s);
        QCOMPARE(window()->picSts->fraInformation_sts->title(),
                 information ? u"Information"_s : u"Information (CPU versions 2.07 or higher)"_s);
        QCOMPARE(window()->picSts->lblSerialNo_sts->text() == u"###"_s, !information);

        // The version is learnt once.
        const QString shown = window()->picSts->lblSoftwareVersion_sts->text();
        QVERIFY(sim().command(u"version V9.99"_s));
        window()->UpdateStatusPage();
        QCOMPARE(window()->picSts->lblSoftwareVersion_sts->text(), shown);
        QCOMPARE(sim().codes().count(51), information ? 2 : 0);
    }

    void pageCaptionsAfterRead()
    {
        QVERIFY(startProgram({}, {u"inputs 0F60FF"_s, u"delays 1E0A05FF010203050F00"_s,
                                  u"admin 0001E240"_s + QString(32, u'0'), u"profile 0 3"_s,
                                  u"profile 1 8"_s, u"profile 2 42"_s}));
        const StatusPage* page = window()->picSts;
        QCOMPARE(page->lblSoftwareVersion_sts->text(), u"V 2.07"_s);
        QCOMPARE(page->lblSerialNo_sts->text(), u"123456"_s);
        QCOMPARE(page->lblDetectorADelay_sts->text(), u"30 s"_s);
        QCOMPARE(page->lblManualADelay_sts->text(), u"5 s"_s);
        QCOMPARE(page->lblManualSDelay_sts->text(), u"255 s"_s);
        QCOMPARE(page->lblTempC_sts->text(), u"-1 \u00B0C"_s);
        QCOMPARE(page->lblTempF_sts->text(), u"30.2 \u00B0F"_s);
        QCOMPARE(page->lblProfileName_sts[0]->text(), u"Pulsed 2 min on, 1 min off, 15 min"_s);
        QCOMPARE(page->lblProfileName_sts[1]->text(), u"Function test 30 s"_s);
        QCOMPARE(page->lblProfileName_sts[2]->text(), u"Unknown (42)"_s);
        QCOMPARE(page->lblProfileType_sts[2]->text(), u"Diverting valve 2"_s);
        // Outputs 05, 0F, 00: zone 1 outputs 1 and 3, zone 2 all four, zone 3 none.
        const QString on = u"101011110000"_s;
        for (int k = 0; k < StatusPage::kOutputs; ++k) {
            QCOMPARE(page->IsOutputOn(k), on[k] == u'1');
            QCOMPARE(page->shpOutput_sts[k]->palette().color(QPalette::Window),
                     on[k] == u'1' ? QColor(0, 255, 0) : QColor(224, 224, 224));
        }
    }

    void loadEnds_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("box");
        QTest::newRow("no Tarn.INI")
            << "" << QByteArray() << u"Can\u00B4t find the configuration file Tarn.INI !"_s;
        QTest::newRow("broken catalogue")
            << "Tarn.INI"
            << QByteArray("[COMMUNICATION]\r\nPort=1\r\n\r\n[PROFILES]\r\n1=No bar\r\n")
            << "An error ocurred while reading the Tarn.INI file!\r*";
        QTest::newRow("repeated message key")
            << "Tarn.INI" << QByteArray("[MESSAGES]\n1=a\n1=b\n")
            << "An error ocurred while reading the Tarn.INI file!\r457 - This key is already "
               "associated with an element of this collection";
        // A null content: a folder of that name, which is no configuration file.
        QTest::newRow("folder named Tarn.INI")
            << "Tarn.INI" << QByteArray() << u"Can\u00B4t find the configuration file Tarn.INI !"_s;
    }

    void loadEnds()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(QString, box);
        QFile ini(m_program->home.filePath(fileName));
        if (!fileName.isEmpty() && content.isNull())
            QVERIFY(QDir(m_program->home.filePath({})).mkdir(fileName));
        else
            QVERIFY(fileName.isEmpty() ||
                    (ini.open(QIODevice::WriteOnly) && ini.write(content) > 0));
        ini.close();
        m_program->boxes.expect(box.startsWith(u"Can") ? Kind::Critical : Kind::Plain, box);
        m_program->window = std::make_unique<frmMain>(m_program->boxes);
        QVERIFY(!window()->Load());
        QVERIFY(window()->tarn == nullptr);
        QVERIFY(!window()->updTimer->isActive());
    }

    /// Tarn.INI in lower case, its COM1 on a device that does not exist.
    void portCannotBeOpened()
    {
        QVERIFY(m_program->load(kNoDevice, u"tarn.ini"_s));
        QVERIFY(ProfileCatalogue.Contains("8"));
        QCOMPARE(window()->tarn->CommSettings, u"9600,n,8,1"_s);
        QCOMPARE(window()->tarn->CommPort, int16_t(1));
        const QLabel* status = window()->lblAppStatus[1];
        QVERIFY2(status->text().startsWith(u' ') &&
                     status->text().contains(u"1 - Device /nonexistent/tty does not exist. "
                                             u"Check the communication settings. /nonexistent/"
                                             u"tty is not there: is the serial adapter"_s),
                 qPrintable(status->text()));
        QCOMPARE(status->palette().color(QPalette::Window), QColor(255, 128, 128));
        QVERIFY(!window()->AutoUpdate);
        QVERIFY(window()->updTimer->isActive());
        QVERIFY(window()->tabCtrl->isEnabled());
        QVERIFY(!window()->mnuTarnSetup->isEnabled());
        QVERIFY(window()->mnuComSettings->isEnabled());

        // A click on the status tab, already selected, polls; each try fails at once and
        // changes nothing.
        QCOMPARE(window()->tabCtrl->currentIndex(), kStatusTab);
        QTest::mouseClick(window()->tabCtrl, Qt::LeftButton, {},
                          window()->tabCtrl->tabRect(kStatusTab).center());
        QVERIFY(window()->AutoUpdate);
        QElapsedTimer clock;
        clock.start();
        window()->UpdateStatusPage();
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(window()->picSts->lblSoftwareVersion_sts->text(), u"###"_s);
        QCOMPARE(status->palette().color(QPalette::Window),
                 status->palette().color(QPalette::Button));

        ScriptedMessageBoxes secondBoxes;
        secondBoxes.expect(Kind::Info, u"Program is already running!"_s);
        {
            frmMain second(secondBoxes);
            QVERIFY(!second.Load());
            QVERIFY(second.tarn == nullptr);
        }
        QCOMPARE(secondBoxes.pending(), 0);
        // Once the first has gone, the program starts again.
        m_program->window.reset();
        QVERIFY(frmMain(m_program->boxes).Load());

        // A lock that cannot be taken without another instance holding it (here a folder in
        // its place) does not stop the program.
        const QString lock = SingleInstance(QString::fromStdString(ProgramFolder())).lockPath();
        QVERIFY(QDir().mkpath(lock));
        const bool started = frmMain(m_program->boxes).Load();
        QDir().rmdir(lock);
        QVERIFY(started);
    }

    void tabsSwitchPeriodicWork()
    {
        QVERIFY(startProgram({u"--version"_s, u"V2.06"_s}));
        QTabBar* tabs = window()->tabCtrl;
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(kTestTab), u"Test"_s);
        QCOMPARE(tabs->tabToolTip(kEventLogTab), u"Event log"_s);

        tabs->setCurrentIndex(kTestTab);
        QCOMPARE(window()->SelectedTabKey(), u"testing"_s);
        QCOMPARE(window()->updTimer->interval(), frmMain::kTestIntervalMs);
        QVERIFY(window()->AutoUpdate);
        QVERIFY(window()->picTest->isVisibleTo(window()));
        QVERIFY(!window()->picSts->isVisibleTo(window()));

        const int before = sim().journal().size();
        tabs->setCurrentIndex(kEventLogTab);
        QCOMPARE(window()->SelectedTabKey(), u"eventlog"_s);
        QVERIFY(!window()->AutoUpdate);
        QCOMPARE(window()->updTimer->interval(), frmMain::kTestIntervalMs);
        QVERIFY(window()->picLog->isVisibleTo(window()));
        QVERIFY(!window()->picLog->cmdGetAllLogEvents->isEnabled());
        // The version is known, so the event-log tab asks nothing; periodic work stays off.
        QTest::qWait(3 * frmMain::kTestIntervalMs);
        window()->UpdateStatusPage();
        QCOMPARE(sim().journal().size(), before);

        tabs->setCurrentIndex(kStatusTab);
        QVERIFY(window()->AutoUpdate);
        QCOMPARE(window()->updTimer->interval(), frmMain::kStatusIntervalMs);
        QVERIFY(window()->picSts->isVisibleTo(window()));

        // A version not yet known is asked for when the event-log tab is selected.
        window()->tarn->Inputs.CPUVersion = 0;
        QVERIFY(sim().command(u"version X2.07"_s));
        const int known = sim().journal().size();
        tabs->setCurrentIndex(kEventLogTab);
        QCOMPARE(sim().codes().mid(known), QList<int>{64});
        QCOMPARE(window()->tarn->Inputs.CPUVersion, 2.07);
        QVERIFY(window()->picLog->cmdGetAllLogEvents->isEnabled());
    }

    void readGivenUpOnEventLogTab()
    {
        QVERIFY(startProgram());
        window()->updTimer->stop();
        QVERIFY(sim().command(u"delay 300"_s));
        window()->picSts->lblTempC_sts->setText(u"earlier"_s);
        const int before = sim().journal().size();
        int atSwitch = -1;
        QTimer::singleShot(800, window(), [&] {
            window()->tabCtrl->setCurrentIndex(kEventLogTab);
            // Let the request in flight reach the journal before counting.
            QThread::msleep(100);
            atSwitch = sim().journal().size();
        });
        window()->UpdateStatusPage();
        QTest::qWait(1500);
        QVERIFY(atSwitch > before && atSwitch - before < 8);
        QCOMPARE(sim().journal().size(), atSwitch);
        QCOMPARE(window()->picSts->lblTempC_sts->text(), u"earlier"_s);
    }

    void failedRequestKeepsOldValue()
    {
        // The start-up read makes eight requests; the tenth, the clock request of the next
        // read, goes unanswered.
        QVERIFY(startProgram({u"--drop-every"_s, u"10"_s}));
        window()->updTimer->stop();
        QVERIFY(sim().command(u"inputs 0F6014"_s));
        QVERIFY(sim().command(u"delays 0A0A05FF010203000000"_s));
        const TarnDateTime earlier = TarnDateTime::FromParts(2001, 2, 3, 4, 5, 6);
        window()->tarn->Inputs.CPUDateTime = earlier;

        window()->UpdateStatusPage();
        QCOMPARE(sim().codes().mid(8), (QList<int>{64, 50, 52, 55, 54, 54, 54, 51}));
        QVERIFY(window()->tarn->Inputs.CPUDateTime == earlier);
        QCOMPARE(window()->picSts->lblTarnDateTime_sts->text(),
                 DisplayFormat::GeneralDateTime(earlier));
        QCOMPARE(window()->picSts->lblTempC_sts->text(), u"20 \u00B0C"_s);
        QCOMPARE(window()->picSts->lblDetectorADelay_sts->text(), u"10 s"_s);
        QCOMPARE(window()->lblAppStatus[1]->text(), u" "_s);
    }

    void commSettingsReadsAtOnce()
    {
        QVERIFY(startProgram());
        window()->updTimer->stop();
        const int before = sim().journal().size();
        bool modalSeen = false;
        QTimer::singleShot(300, window(), [&modalSeen] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modalSeen = true;
                modal->close();
            }
        });
        window()->mnuComSettings->trigger();
        QVERIFY(modalSeen);
        QVERIFY(window()->AutoUpdate);
        QCOMPARE(sim().codes().mid(before).value(0), 64);
        QCOMPARE(sim().codes().mid(before).size(), 8);
    }

    void closeAsked_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("No: everything goes on") << false;
        QTest::newRow("Yes: outputs off once, then the end") << true;
    }

    void closeAsked()
    {
        QFETCH(bool, yes);
        QVERIFY(startProgram());
        const QStringList before = sim().journal();
        m_program->boxes.expect(Kind::QuestionYesNo, u"End application?"_s, yes);
        QSignalSpy ends(window(), &frmMain::programEnds);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(window()->close(), yes);
        QVERIFY(clock.elapsed() >= (yes ? 1000 : 0));
        QTest::qWait(200);
        QCOMPARE(ends.count(), yes ? 1 : 0);
        QCOMPARE(window()->updTimer->isActive(), !yes);
        QCOMPARE(window()->AutoUpdate, !yes);
        QCOMPARE(sim().journal(), yes ? before + QStringList{u"100 30303030"_s} : before);
    }
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
