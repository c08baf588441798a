#include "RunningProgram.h"

#include "config/ProgramFolder.h"
#include "eventloop/WaitDepth.h"
#include "link/SerialPort.h"
#include "ui/main/ElidingLabel.h"
#include "ui/main/Lamp.h"
#include "ui/main/LinkBanner.h"
#include "ui/main/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHelpEvent>

/// What the main window shows of the link and of its waits: a wait that lasts, the work it
/// holds back, the link not working, values gone stale.
class tst_WindowState : public ProgramTest
{
    Q_OBJECT

    QString status() const { return window()->lblAppStatus[1]->text().trimmed(); }

    /// Runs `check` once a request has waited `ms` for its reply.
    void duringWait(int ms, const std::function<void()>& check)
    {
        QTimer::singleShot(ms, window(), [this, check] {
            QVERIFY(!WaitDepth::Idle());
            check();
        });
    }

private slots:
    /// The status line's third part shows the port, its device, the line and the state at all
    /// times; values that could not be read again are greyed with the time they were read, and
    /// saving them asks first; a device that went away is said to have gone. The banner says
    /// what to check while the link fails, and goes once it works again.
    void connectionAndFreshness()
    {
        const QString device = startOnDevice();
        QVERIFY(!device.isEmpty());
        const auto connection = [this] { return window()->lblConnection->text().trimmed(); };
        const QString where = u"COM1 "_s + device + u", 9600 baud \u2014 "_s;
        QCOMPARE(connection(), where + u"Connected \u2014 V2.07, serial 123456"_s);
        StatusPage* page = window()->picSts;
        QVERIFY(!page->isStale() && page->lblTempC_sts->isEnabled());

        QVERIFY(sim().command(u"mute 1"_s));
        window()->UpdateStatusPage();
        QVERIFY2(connection().startsWith(where + u"No answer since "_s), qPrintable(connection()));
        QVERIFY(page->isStale() && !page->lblTempC_sts->isEnabled());
        const LinkBanner* banner = window()->fraLinkBanner;
        QCOMPARE(banner->text(), u"Tarn does not answer on COM1 ("_s + device +
                                     u"): is it switched on, its cable plugged in and the baud "
                                     u"rate (9600) the controller's?"_s);
        boxes().expect(Kind::QuestionOkCancel, u"*The values shown were read at *"_s, false);
        page->cmdPrint_sts->click();
        QVERIFY(!QFile::exists(m_program->home.filePath(u"tarn.sts"_s)));
        QVERIFY(sim().command(u"mute 0"_s));
        window()->UpdateStatusPage();
        QVERIFY(banner->text().isEmpty());

        // Unplugged: said as that, without waiting for the time-out.
        sim().stop();
        QTRY_VERIFY(window()->tarn->comm->deviceLost());
        QElapsedTimer clock;
        clock.start();
        window()->UpdateStatusPage();
        QVERIFY(clock.elapsed() < RunningProgram::kShortReplyTimeout.count());
        QVERIFY2(window()->lblAppStatus[1]->text().contains(u"has gone"_s),
                 qPrintable(window()->lblAppStatus[1]->text()));
        QVERIFY(connection().contains(u"Device gone"_s));
        // The tool tip holds the whole advice, which the status line may cut off.
        QHelpEvent tip(QEvent::ToolTip, QPoint(1, 1), QPoint(1, 1));
        QApplication::sendEvent(window()->lblConnection, &tip);
        QVERIFY2(window()->lblConnection->toolTip().contains(device + u" is not there"_s),
                 qPrintable(window()->lblConnection->toolTip()));
        QVERIFY2(banner->text().startsWith(u"COM1 ("_s + device +
                                           u") has gone: is the adapter unplugged? "_s),
                 qPrintable(banner->text()));
        QString opened;
        QTimer::singleShot(300, window(), [&opened] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                opened = dialog->objectName();
                dialog->close();
            }
        });
        banner->cmdComSettings->click();
        QCOMPARE(opened, u"frmComSetup"_s);

        QVERIFY(sim().start({u"--link"_s, device}));
        // A gone device is tried again once a reopen interval has passed.
        QTest::qWait(Tarn_Comm::kReopenInterval.count());
        window()->UpdateStatusPage();
        QCOMPARE(connection(), where + u"Connected \u2014 V2.07, serial 123456"_s);
        QVERIFY(!page->isStale() && page->lblTempC_sts->isEnabled());
        QVERIFY(banner->text().isEmpty());
    }

    /// Tarn.INI in lower case, its COM1 on a device that does not exist.
    void portCannotBeOpened()
    {
        QVERIFY(m_program->load({u"/nonexistent/tty"_s}, u"tarn.ini"_s));
        QVERIFY(ProfileCatalogue.Contains("8"));
        const QLabel* status = window()->lblAppStatus[1];
        QVERIFY2(status->text().startsWith(u' ') &&
                     status->text().contains(u"1 - Device /nonexistent/tty does not exist. "
                                             u"Check the communication settings."_s),
                 qPrintable(status->text()));
        QCOMPARE(status->palette().color(QPalette::Window), QColor(255, 128, 128));
        QVERIFY(!window()->AutoUpdate && window()->updTimer->isActive());
        QVERIFY(!window()->mnuTarnSetup->isEnabled() && window()->mnuComSettings->isEnabled());

        // A click on the status tab, already selected, polls; each try fails at once and
        // changes nothing. Whatever needs the link says why it cannot, and nothing shows
        // progress: the error stays.
        const QString error = status->text();
        QCOMPARE(window()->tabCtrl->currentIndex(), kStatusTab);
        QTest::mouseClick(window()->tabCtrl, Qt::LeftButton, {},
                          window()->tabCtrl->tabRect(kStatusTab).center());
        QVERIFY(window()->AutoUpdate);
        window()->UpdateStatusPage();
        QCOMPARE(window()->picSts->lblSoftwareVersion_sts->text(), u"###"_s);
        QCOMPARE(status->text(), error);
        window()->show();
        setTab(kTestTab);
        QTest::mousePress(window()->picTest->cmdPump_test, Qt::LeftButton);
        QTest::qWait(TestPage::kSwitchPause.count() * 2);
        QTest::mouseRelease(window()->picTest->cmdPump_test, Qt::LeftButton);
        QCOMPARE(status->text(), error);
        setTab(kEventLogTab);
        window()->picLog->cmdGetLogEvents->click();
        QCOMPARE(window()->picLog->cmdGetLogEvents->text(), u"Get new events"_s);
        QCOMPARE(status->text(), error);
        QCOMPARE(status->palette().color(QPalette::Window), QColor(255, 128, 128));
        window()->hide();

        ScriptedMessageBoxes secondBoxes;
        secondBoxes.expect(Kind::Info, u"Program is already running!"_s);
        QVERIFY(!frmMain(secondBoxes).Load());
        QCOMPARE(secondBoxes.pending(), 0);
        // Once the first has gone, the program starts again.
        m_program->window.reset();
        QVERIFY(frmMain(boxes()).Load());

        // A lock that cannot be taken without another instance holding it (here a folder in
        // its place) does not stop the program.
        const QString lock = SingleInstance(QString::fromStdString(ProgramFolder())).lockPath();
        QVERIFY(QDir().mkpath(lock));
        const bool started = frmMain(boxes()).Load();
        QDir().rmdir(lock);
        QVERIFY(started);
    }

    /// A status read that waits: a busy pointer and what it waits for, for how long; the
    /// About box asked for three times meanwhile opens once, after the wait, and the status
    /// line says so at once.
    void waitIsShown()
    {
        QVERIFY(startProgram());
        window()->updTimer->stop();
        window()->show();
        QVERIFY(QTest::qWaitForWindowActive(window()));
        QVERIFY(sim().command(u"delay 1300"_s));
        QString waiting, held;
        Qt::CursorShape pointer = Qt::ArrowCursor;
        duringWait(1200, [&] {
            waiting = status();
            pointer = window()->cursor().shape();
            for (int k = 0; k < 3; ++k)
                QTest::keyClick(window(), Qt::Key_F1);
            held = status();
            QVERIFY(sim().command(u"delay 0"_s));
        });
        int aboutBoxes = 0;
        auto* closer = new QTimer(window());
        connect(closer, &QTimer::timeout, window(), [&aboutBoxes] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                aboutBoxes += modal->objectName() == u"frmAbout"_s;
                modal->close();
            }
        });
        closer->start(kCheckMs);
        window()->UpdateStatusPage();
        QCOMPARE(waiting, u"Waiting for Tarn's reply to the status read\u2026 1 s"_s);
        QCOMPARE(pointer, Qt::BusyCursor);
        QCOMPARE(held, u"Opening the About box once Tarn has answered\u2026 "
                       u"Waiting for Tarn's reply to the status read\u2026 1 s"_s);
        QTRY_COMPARE(aboutBoxes, 1);
        QTest::qWait(200);
        QCOMPARE(aboutBoxes, 1);
        QCOMPARE(window()->cursor().shape(), Qt::ArrowCursor);
        QVERIFY2(!status().startsWith(u"Waiting"_s), qPrintable(status()));
    }

    /// A short wait shows nothing.
    void shortWaitIsNotShown()
    {
        QVERIFY(startProgram());
        window()->updTimer->stop();
        QVERIFY(sim().command(u"delay 100"_s));
        QStringList seen;
        auto* watch = new QTimer(window());
        connect(watch, &QTimer::timeout, window(), [&] { seen.append(status()); });
        watch->start(kCheckMs);
        window()->UpdateStatusPage();
        for (const QString& line : std::as_const(seen))
            QVERIFY2(!line.startsWith(u"Waiting"_s), qPrintable(line));
    }

    /// A port that cannot be opened at the start.
    void bannerAtStart()
    {
        QVERIFY(m_program->load({u"/nonexistent/tty"_s}));
        const QString text = window()->fraLinkBanner->text();
        QVERIFY2(text.startsWith(u"COM1 (/nonexistent/tty) does not exist. "_s), qPrintable(text));
        QVERIFY(text.endsWith(u"present now."_s) ||
                text.contains(u"Serial devices present now: "_s));
        // tools/screenshot.sh pictures the banner.
        if (const QString folder = qEnvironmentVariable("TARN_SCREENSHOT_DIR"); !folder.isEmpty()) {
            window()->resize(1090, 570);
            window()->show();
            QVERIFY(QTest::qWaitForWindowExposed(window()));
            window()->grab().save(folder + u"/screenshot-banner.png"_s);
        }
    }

    /// At 1366x768 and 125 % the connection part of the status line is cut after a whole word,
    /// and its tool tip holds it whole.
    void connectionCutAtAWord()
    {
        const QString device =
            m_program->home.filePath(u"a-serial-adapter-with-a-rather-long-device-name"_s);
        QVERIFY(m_program->startSim({u"--link"_s, device}));
        QVERIFY(m_program->load({device}));
        window()->updTimer->stop();
        QVERIFY(sim().command(u"mute 1"_s));
        window()->UpdateStatusPage();
        window()->resize(1090, 570);
        window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(window()));
        const ElidingLabel* label = window()->lblConnection;
        const QString whole = label->fullText().trimmed();
        QTRY_VERIFY(label->text().endsWith(u'\u2026'));
        const QString shown = label->text().trimmed().chopped(1);
        QVERIFY2(whole.startsWith(shown) && !whole.at(shown.size()).isLetterOrNumber(),
                 qPrintable(label->text()));
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <=
                label->contentsRect().width());
        QHelpEvent tip(QEvent::ToolTip, QPoint(1, 1), QPoint(1, 1));
        QApplication::sendEvent(window()->lblConnection, &tip);
        QVERIFY(label->toolTip().startsWith(whole));
    }

    void elideAtWord_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("chars");
        QTest::addColumn<QString>("shown");
        QTest::newRow("fits") << u"COM1 /dev/x"_s << 11 << u"COM1 /dev/x"_s;
        QTest::newRow("word") << u"COM1 /dev/x, 9600 baud \u2014 No answer"_s << 20
                              << u" COM1 /dev/x, 9600\u2026"_s;
        QTest::newRow("no dash left")
            << u"COM1 /dev/x \u2014 Not open"_s << 14 << u" COM1 /dev/x\u2026"_s;
        QTest::newRow("nothing fits") << u"Connected"_s << 2 << u"\u2026"_s;
    }

    void elideAtWord()
    {
        QFETCH(QString, text);
        QFETCH(int, chars);
        QFETCH(QString, shown);
        // A fixed-pitch font: every character as wide as the next.
        QFont fixed(u"monospace"_s);
        fixed.setStyleHint(QFont::TypeWriter);
        const QFontMetrics metrics(fixed);
        QCOMPARE(ElidingLabel::ElideAtWord(text, metrics, metrics.horizontalAdvance(u'x') * chars),
                 shown);
    }

    /// When the controller stops answering, every value read from it greys together, the
    /// zone output lamps with the texts, and the page says when they were read.
    void staleGreysEverything()
    {
        QVERIFY(startProgram({}, {u"delays 0A0A05FF010203050300"_s}));
        window()->updTimer->stop();
        StatusPage* page = window()->picSts;
        const auto lit = [page] {
            QList<QLabel*> on;
            for (QLabel* lamp : page->shpOutput_sts)
                if (Lamp::Colour(lamp) == StatusPage::kOutputOn)
                    on << lamp;
            return on;
        };
        const auto shown = [](QLabel* lamp) {
            return lamp->grab().toImage().pixelColor(Lamp::kSize / 2, Lamp::kSize / 2);
        };
        QVERIFY(!lit().isEmpty());
        QLabel* on = lit().first();
        QCOMPARE(shown(on), StatusPage::kOutputOn);

        QVERIFY(sim().command(u"mute 1"_s));
        window()->UpdateStatusPage();
        QVERIFY(page->lblReadAt_sts->text().startsWith(u"Read at "_s));
        for (QLabel* value : page->findChildren<QLabel*>())
            if (value->objectName().endsWith(u"_sts"_s) && value != page->lblReadAt_sts &&
                !value->text().isEmpty())
                QVERIFY2(!value->isEnabled(), qPrintable(value->objectName()));
        for (QLabel* lamp : page->shpOutput_sts)
            QVERIFY(!lamp->isEnabled());
        QCOMPARE(Lamp::Colour(on), StatusPage::kOutputOn);
        QCOMPARE(shown(on), Lamp::Greyed(StatusPage::kOutputOn));

        // The input scan of the test page, too.
        window()->show();
        setTab(kTestTab);
        QVERIFY(sim().command(u"mute 1"_s));
        window()->picTest->ScanInputs();
        QVERIFY(!window()->picTest->shpDetectorIO_test[0]->isEnabled());
        window()->picTest->ScanInputs();
        QVERIFY(window()->picTest->shpDetectorIO_test[0]->isEnabled());
        setTab(kStatusTab);
        window()->UpdateStatusPage();
        QVERIFY(on->isEnabled() && page->lblTempC_sts->isEnabled());
    }
};

QTEST_MAIN(tst_WindowState)
#include "tst_windowstate.moc"
