#include "PdfText.h"
#include "RunningProgram.h"
#include "TarnRun.h"

#include "ui/about/frmAbout.h"
#include "ui/comsetup/frmComSetup.h"
#include "ui/history/frmHistory.h"
#include "ui/main/frmTraffic.h"
#include "ui/setup/frmSetup.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QStandardPaths>

Q_DECLARE_METATYPE(TarnDateTime)

namespace {
constexpr int kReportLines = 13 + 3 * 8;
} // namespace

/// The main window, the formats its pages show, its status report (bytes in tarn.sts, the
/// editor started on it), its traffic window and its about box.
class tst_frmMain : public ProgramTest
{
    Q_OBJECT

    QString reportPath() const { return m_program->home.filePath(u"tarn.sts"_s); }
    /// The lines of tarn.sts; every one must end in CR LF.
    QStringList reportLines() const
    {
        const QString text = QString::fromLatin1(ReadAll(reportPath()));
        if (!text.endsWith(u"\r\n"_s) || text.count(u"\r\n"_s) != text.count(u'\n'))
            return {};
        return text.chopped(2).split(u"\r\n"_s);
    }
    static QStringList TrafficLines(const frmTraffic* traffic)
    {
        return traffic->txtTraffic->toPlainText().split(u'\n', Qt::SkipEmptyParts);
    }

private slots:
    /// Times in the general date form of the locale; numbers without grouping.
    void displayFormat_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QVariant>("value"); ///< a TarnDateTime or a double
        QTest::addColumn<QString>("expected");
        const QLocale german(QLocale::German, QLocale::Germany);
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const auto at = [](int h, int m, int s, int day = 5) {
            return QVariant::fromValue(TarnDateTime::FromParts(2024, 3, day, h, m, s));
        };
        QTest::newRow("de date and time") << german << at(14, 7, 9) << "05.03.24 14:07:09";
        QTest::newRow("de midnight: date only") << german << at(0, 0, 0) << "05.03.24";
        QTest::newRow("de 00:00:01") << german << at(0, 0, 1) << "05.03.24 00:00:01";
        QTest::newRow("de zero date: time only")
            << german
            << QVariant::fromValue(TarnDateTime::FromSecondsSinceZero(12 * 3600 + 34 * 60 + 56))
            << "12:34:56";
        QTest::newRow("us 12-hour clock, no zone") << us << at(14, 7, 9) << "3/5/24 2:07:09 PM";
        QTest::newRow("c") << QLocale::c() << at(14, 7, 9) << "5 Mar 2024 14:07:09";
        QTest::newRow("de decimal comma") << german << QVariant(21.5) << "21,5";
        QTest::newRow("no grouping") << us << QVariant(1234.0) << "1234";
    }

    void displayFormat()
    {
        QFETCH(QLocale, locale);
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        QCOMPARE(value.metaType() == QMetaType::fromType<double>()
                     ? DisplayFormat::Number(value.toDouble(), locale)
                     : DisplayFormat::GeneralDateTime(value.value<TarnDateTime>(), locale),
                 expected);
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
        QCOMPARE(sim().journal(), SimProcess::kStatusRead.mid(0, information ? 8 : 7));
        QVERIFY(window()->AutoUpdate && window()->updTimer->isActive() &&
                window()->mnuTarnSetup->isEnabled());
        QCOMPARE(window()->picSts->lblSerialNo_sts->text() == u"###"_s, !information);
    }

    /// Every window fits a 1366x768 screen at 125 % with a desktop panel (about 1090x570
    /// logical pixels), and can be made smaller than its first size.
    void windowsFitSmallScreens()
    {
        QVERIFY(startProgram());
        const QSize screen(1090, 570);
        frmSetup setup(window()->tarn, boxes(), window(), u"-K"_s);
        frmComSetup comSetup(window()->tarn, boxes(), window());
        frmAbout about(boxes(), window());
        window()->mnuViewHistory->trigger();
        frmHistory* history = window()->HistoryWindow;
        // Opened inside the screen, whatever room it would like.
        const QSize room = history->screen()->availableGeometry().size();
        QVERIFY2(room.boundedTo(history->size()) == history->size(),
                 qPrintable(u"%1x%2"_s.arg(history->width()).arg(history->height())));
        for (QWidget* shown :
             std::initializer_list<QWidget*>{window(), &setup, &comSetup, &about, history}) {
            shown->ensurePolished();
            const QSize least = shown->minimumSizeHint().expandedTo(shown->minimumSize());
            QVERIFY2(least.width() <= screen.width() && least.height() <= screen.height(),
                     qPrintable(shown->objectName() + u": "_s + QString::number(least.width()) +
                                u'x' + QString::number(least.height())));
        }
    }

    /// "Save as..." writes the status report as UTF-8 under a name made of the serial number,
    /// the date and the kind, with the controller's identity and the time of the read on top;
    /// "Print..." prints it (here into a PDF file), a PDF suggested under the same name in the
    /// documents folder.
    void statusReportSavedAsAndPrinted()
    {
        QVERIFY(startProgram());
        window()->updTimer->stop();
        const QString path = m_program->home.filePath(u"chosen.txt"_s);
        boxes().expectSaveFile(path);
        window()->picSts->cmdSaveAs_sts->click();
        QCOMPARE(QFileInfo(boxes().suggested()).fileName(),
                 u"123456_"_s + QDate::currentDate().toString(Qt::ISODate) + u"_status.txt"_s);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(saved.readAll());
        QVERIFY2(text.startsWith(u"Tarn V2.07, serial 123456\r\nRead at "_s), qPrintable(text));
        QVERIFY(text.contains(u"\u00B0C"_s));

        const QString pdf = m_program->home.filePath(u"status.pdf"_s);
        boxes().expectPrint(pdf);
        window()->picSts->cmdPrintDialog_sts->click();
        QCOMPARE(boxes().suggested(),
                 QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                     .filePath(u"123456_"_s + QDate::currentDate().toString(Qt::ISODate) +
                               u"_status.pdf"_s));
        // As the page shows it, in tables.
        QString missing;
        QVERIFY2(InOrder(PdfText(pdf),
                         {u"Tarn status – Tarn serial 123456, V 2.07"_s, u"Serial number"_s,
                          u"123456"_s, u"Status as read"_s, u"Controller clock"_s,
                          u"Detector alarm delay"_s, u"Zones"_s, u"Inputs"_s, u"Detector 1"_s},
                         missing),
                 qPrintable(missing));
        // Cancelled, nothing is written.
        boxes().expectSaveFile(QString());
        window()->picSts->cmdSaveAs_sts->click();
    }

    /// A click inside a wait (here the pause after a reply; as well the off word's pause)
    /// opens no dialog there, which would hold the wait up: it opens once the wait has ended.
    void statusButtonsWaitForTheWait_data()
    {
        QTest::addColumn<bool>("print");
        QTest::newRow("Save as...") << false;
        QTest::newRow("Print...") << true;
    }

    void statusButtonsWaitForTheWait()
    {
        QFETCH(bool, print);
        QVERIFY(startProgram());
        window()->updTimer->stop();
        print ? boxes().expectPrint(QString()) : boxes().expectSaveFile(QString());
        QVERIFY(clickedInsideAWait(print ? window()->picSts->cmdPrintDialog_sts
                                         : window()->picSts->cmdSaveAs_sts));
    }

    /// Ctrl+Tab and Ctrl+PgDn go to the next page, Ctrl+Shift+Tab and Ctrl+PgUp back.
    void keysSwitchPages()
    {
        QVERIFY(startProgram());
        window()->show();
        window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window()));
        const struct
        {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            int tab;
        } steps[] = {{Qt::Key_Tab, Qt::ControlModifier, kTestTab},
                     {Qt::Key_PageDown, Qt::ControlModifier, kEventLogTab},
                     {Qt::Key_Tab, Qt::ControlModifier, kStatusTab},
                     {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, kEventLogTab},
                     {Qt::Key_PageUp, Qt::ControlModifier, kTestTab}};
        for (const auto& step : steps) {
            QTest::keyClick(window(), step.key, step.modifiers);
            QTRY_COMPARE(window()->tabCtrl->currentIndex(), step.tab);
        }
        QVERIFY(window()->picTest->isVisibleTo(window()));
        QVERIFY(!window()->windowIcon().availableSizes().isEmpty());
    }

    /// The cable moved to another controller: within one status read the program shows that
    /// one's version and nothing of the one before, and offers what its firmware has.
    void anotherControllerOnTheCable_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("other version on the same line") << u"version"_s;
        QTest::newRow("controller restarted on the same device") << u"restart"_s;
    }

    void anotherControllerOnTheCable()
    {
        QFETCH(QString, how);
        const QString device = startOnDevice({u"admin 000BDE31"_s + u"0"_s.repeated(32)});
        QVERIFY(!device.isEmpty());
        QCOMPARE(window()->picSts->lblSerialNo_sts->text(), u"777777"_s);
        QVERIFY(window()->picLog->cmdGetAllLogEvents->isEnabled());
        if (how == u"version") {
            QVERIFY(sim().command(u"version V2.06"_s));
        } else {
            QVERIFY(sim().start({u"--link"_s, device, u"--version"_s, u"V2.06"_s}));
            // The first request after the restart meets the device gone; the link opens it
            // again.
            window()->UpdateStatusPage();
        }
        window()->UpdateStatusPage();
        QCOMPARE(window()->picSts->lblSoftwareVersion_sts->text(), DisplayFormat::Version(2.06));
        QCOMPARE(window()->picSts->lblSerialNo_sts->text(), u"###"_s);
        QVERIFY(!window()->picLog->cmdGetAllLogEvents->isEnabled());
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
    }

    void loadEnds()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(QString, box);
        if (!fileName.isEmpty())
            QVERIFY(WriteAll(m_program->home.filePath(fileName), content));
        // The file not found: the box names the folder that was searched.
        if (box.startsWith(u"Can"))
            boxes().expect(Kind::Critical, box, true,
                           u"Program folder searched: "_s + m_program->home.path());
        else
            boxes().expect(Kind::Plain, box);
        m_program->window = std::make_unique<frmMain>(boxes());
        QVERIFY(!window()->Load());
        QVERIFY(window()->tarn == nullptr && !window()->updTimer->isActive());
    }

    void tabsSwitchPeriodicWork()
    {
        QVERIFY(startProgram({u"--version"_s, u"V2.06"_s}));
        setTab(kTestTab);
        QVERIFY(window()->AutoUpdate && window()->updTimer->interval() == frmMain::kTestIntervalMs);

        const int before = sim().journal().size();
        setTab(kEventLogTab);
        QVERIFY(!window()->AutoUpdate && window()->picLog->isVisibleTo(window()));
        // The version is known, so the event-log tab asks nothing; periodic work stays off.
        QTest::qWait(3 * frmMain::kTestIntervalMs);
        window()->UpdateStatusPage();
        QCOMPARE(sim().journal().size(), before);

        setTab(kStatusTab);
        QVERIFY(window()->AutoUpdate &&
                window()->updTimer->interval() == frmMain::kStatusIntervalMs);

        // A version not yet known is asked for when the event-log tab is selected.
        window()->tarn->Inputs.CPUVersion = 0;
        QVERIFY(sim().command(u"version X2.07"_s));
        const int known = sim().journal().size();
        setTab(kEventLogTab);
        QCOMPARE(sim().codes().mid(known), QList<int>{64});
        QCOMPARE(window()->tarn->Inputs.CPUVersion, 2.07);
        QVERIFY(window()->picLog->cmdGetAllLogEvents->isEnabled());
    }

    /// A tab chosen while a request waits is shown once the request has returned; no request
    /// starts inside another one's wait, and the page shown always matches the tab.
    void tabDuringAWait()
    {
        QVERIFY(startProgram());
        window()->show();
        setTab(kTestTab);
        window()->picTest->chkScanInputs->click();
        setTab(kStatusTab);
        QVERIFY(sim().command(u"delay 1000"_s));
        const int mark = sim().journal().size();
        const auto shownTab = [this] {
            return window()->picSts->isVisibleTo(window())    ? kStatusTab
                   : window()->picTest->isVisibleTo(window()) ? kTestTab
                                                              : kEventLogTab;
        };
        bool matched = true;
        QString told;
        QTimer::singleShot(700, window(), [&] {
            QTest::mouseClick(window()->tabCtrl, Qt::LeftButton, {},
                              window()->tabCtrl->tabRect(kEventLogTab).center());
            matched = window()->tabCtrl->currentIndex() == shownTab();
            told = window()->lblAppStatus[1]->text();
        });
        QTest::mouseClick(window()->tabCtrl, Qt::LeftButton, {},
                          window()->tabCtrl->tabRect(kTestTab).center());
        QVERIFY(matched);
        // Said at once on the status line.
        QVERIFY2(told.contains(u"Showing the Event log page once Tarn has answered\u2026"_s),
                 qPrintable(told));
        QTRY_COMPARE(shownTab(), kEventLogTab);
        QCOMPARE(window()->tabCtrl->currentIndex(), kEventLogTab);
        QVERIFY(!window()->AutoUpdate);
        QVERIFY(sim().command(u"delay 0"_s));
        // The test mode request of the test tab, and nothing after it.
        QTest::qWait(3 * frmMain::kTestIntervalMs);
        QCOMPARE(sim().codes().mid(mark), QList<int>{105});
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
        // The old value is greyed and named, the others are not.
        QVERIFY(!window()->picSts->lblTarnDateTime_sts->isEnabled());
        QVERIFY(window()->picSts->lblTempC_sts->isEnabled());
        QVERIFY2(
            window()->picSts->lblReadAt_sts->text().startsWith(u"Not read now: clock (read at "_s),
            qPrintable(window()->picSts->lblReadAt_sts->text()));
    }

    /// A value the controller never gave is shown and saved as not read, never as a zero.
    void valueNeverRead()
    {
        QVERIFY(startProgram({u"--nak"_s, u"50"_s}));
        QCOMPARE(window()->picSts->lblTarnDateTime_sts->text(), u"###"_s);
        QCOMPARE(window()->picSts->lblReadAt_sts->text(), u"Not read now: clock (never read)"_s);
        qputenv("TARN_EDITOR", "/bin/true");
        boxes().expect(Kind::QuestionOkCancel,
                       u"Not read in the last status read: clock (never read)."_s, true);
        window()->picSts->cmdPrint_sts->click();
        QVERIFY2(reportLines().contains(u"Tarn Date/Time: ###"_s),
                 qPrintable(reportLines().join(u'\n')));
    }

    /// Once a window of the menu closes on the status page, the status is read at once (the
    /// communication settings take the same way back).
    void menuReadsStatusOnClose()
    {
        QVERIFY(startProgram());
        window()->updTimer->stop();
        const int before = sim().journal().size();
        QString shown;
        QTimer::singleShot(300, window(), [&shown] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                shown = dialog->objectName();
                dialog->close();
            }
        });
        window()->mnuTarnSetup->trigger();
        QCOMPARE(shown, u"frmSetup"_s);
        QVERIFY(window()->AutoUpdate);
        QCOMPARE(sim().codes().mid(before), (QList<int>{64, 50, 52, 55, 54, 54, 54, 51}));
    }

    /// A window asked for while a periodic status read waits opens once the whole read has
    /// ended, not between two of its requests, where it would find the record half read and
    /// hold the rest of the read up for as long as it is open.
    void menuDuringAStatusRead()
    {
        QVERIFY(startProgram());
        window()->updTimer->stop();
        QVERIFY(sim().command(u"delay 150"_s));
        const int before = sim().journal().size();
        QList<int> sentBeforeOpen;
        auto* watch = new QTimer(window());
        connect(watch, &QTimer::timeout, window(), [&, watch] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || dialog->objectName() != u"frmSetup"_s)
                return;
            watch->stop();
            sentBeforeOpen = sim().codes().mid(before);
            dialog->close();
        });
        watch->start(10);
        QTimer::singleShot(50, window(), [this] { window()->mnuTarnSetup->trigger(); });
        window()->UpdateStatusPage();
        QTRY_VERIFY(!sentBeforeOpen.isEmpty());
        QCOMPARE(sentBeforeOpen.mid(0, 8), (QList<int>{64, 50, 52, 55, 54, 54, 54, 51}));
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
        boxes().expect(Kind::QuestionYesNo, u"End application?"_s, yes);
        QSignalSpy ends(window(), &frmMain::programEnds);
        QCOMPARE(window()->close(), yes);
        QTest::qWait(200);
        QCOMPARE(ends.count(), yes ? 1 : 0);
        QCOMPARE(window()->updTimer->isActive() && window()->AutoUpdate, !yes);
        QCOMPARE(sim().journal(), yes ? before + QStringList{u"100 30303030"_s} : before);
    }

    /// tarn.sts as the window writes it, and the editor started on it. The program folder's
    /// name holds a space: the editor must get the path whole.
    void statusReport_data()
    {
        QTest::addColumn<bool>("read");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("lines"); ///< "index|text", Latin-1: the degree sign is 0xB0
        QTest::addColumn<QString>("editor");    ///< "script": one that records its arguments
        QTest::addColumn<QString>("box");
        const auto row = [](const char* name, bool read, const QString& locale,
                            const QStringList& lines, const QString& editor,
                            const QString& box = {}) {
            QTest::newRow(name) << read << locale << lines << editor << box;
        };
        row("before any read", false, "C",
            u"25| Output 1: False;2|Serial number: ###;8|Temperature: ###  ###;31| Profile "
            u"name: ###;30|Detector 3 or Manual release 3"_s.split(u';'),
            "script");
        // The report is made of the status page's captions. Outputs 05, 0F, 00: zone 1 outputs
        // 1 and 3, zone 2 all four, zone 3 none.
        const QStringList afterRead =
            u"2|Serial number: 123456;6|CPU Version: V 2.07;10|Detector Alarm delay: 30 s;"
            u"8|Temperature: -1 \u00B0C  30.2 \u00B0F;11|Manual Alarm delay: 5 s;"
            u"12|Manual Stop delay: 255 s;15| Profile name: Pulsed 2 min on, 1 min off, 15 min;"
            u"23| Profile name: Function test 30 s;31| Profile name: Unknown (42);"
            u"32| Profile type: Diverting valve 2;17| Output 1: True;18| Output 2: False;"
            u"19| Output 3: True;28| Output 4: True;33| Output 1: False"_s.split(u';');
        row("after a read", true, "C", afterRead, "/bin/true");
        // Arabic digits have no Latin-1 code: the values are written in the C form.
        row("after a read, Arabic", true, "ar_EG", afterRead, "/bin/true");
        row("editor missing", false, "C", {}, "/nonexistent/editor",
            "The text editor /nonexistent/editor could not be started.*");
        // Without TARN_EDITOR: xdg-open first, then $VISUAL or $EDITOR when it fails.
        row("xdg-open fails, $EDITOR opens it", false, "C", {}, "fallback");
        // A folder in the report's place cannot be replaced by a file.
        row("report cannot be written", false, "C", {}, "folder",
            "The status report could not be saved as %1*");
    }

    void statusReport()
    {
        QFETCH(bool, read);
        QFETCH(QString, locale);
        QFETCH(QStringList, lines);
        QFETCH(QString, editor);
        QFETCH(QString, box);
        QLocale::setDefault(QLocale(locale));
        QVERIFY(!read ||
                m_program->startSim({}, {u"delays 1E0A05FF010203050F00"_s, u"inputs 0F60FF"_s,
                                         u"admin 0001E240"_s + QString(32, u'0'), u"profile 0 3"_s,
                                         u"profile 1 8"_s, u"profile 2 42"_s}));
        QVERIFY(m_program->load(read ? QStringList() : QStringList{u"/nonexistent/tty"_s}));
        // A longer earlier report is replaced whole: anything left of it breaks the line count.
        const bool folder = editor == u"folder";
        QVERIFY(folder ? QDir(m_program->home.path()).mkdir(u"tarn.sts"_s)
                       : WriteAll(reportPath(), QByteArray(20000, 'x')));
        const QString script = m_program->home.filePath(u"editor.sh"_s);
        QVERIFY(WriteScript(script, "printf '%s|%s' \"$#\" \"$1\" > \"$0.arguments\"\n"));
        const QByteArray path = qgetenv("PATH");
        const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });
        if (editor == u"fallback") {
            qunsetenv("TARN_EDITOR");
            qunsetenv("VISUAL");
            qputenv("EDITOR", script.toLocal8Bit());
            QVERIFY(WriteScript(m_program->home.filePath(u"xdg-open"_s), "exit 3\n"));
            qputenv("PATH", m_program->home.path().toLocal8Bit() + ":/usr/bin:/bin");
        } else if (!folder) {
            qputenv("TARN_EDITOR", (editor == u"script" ? script : editor).toLocal8Bit());
        }
        if (!box.isEmpty())
            boxes().expect(Kind::Critical,
                           box.replace(u"%1"_s, QDir::toNativeSeparators(reportPath())));
        window()->picSts->cmdPrint_sts->click();
        QCOMPARE(QFileInfo(reportPath()).isDir(), folder);
        if (folder)
            return;
        const QStringList report = reportLines();
        QCOMPARE(report.size(), kReportLines);
        QVERIFY(report[0].startsWith(u"Tarn Status "_s) && report[0].size() > 12);
        QVERIFY2(!report.join(u'\n').contains(u'?'), qPrintable(report.join(u'\n')));
        for (const QString& line : lines)
            QCOMPARE(report[line.section(u'|', 0, 0).toInt()], line.section(u'|', 1));
        if (editor == u"script" || editor == u"fallback")
            QTRY_COMPARE(QString::fromLocal8Bit(ReadAll(script + u".arguments"_s)),
                         u"1|"_s + QDir::toNativeSeparators(reportPath()));
    }

    /// tarn status --output writes the report the window writes, from the same controller
    /// state: the same read cycle and the same lines. Only the times may differ.
    void statusReportAsCommandLine()
    {
        QVERIFY(startProgram({}, {u"inputs 0F6014"_s, u"profile 2 42"_s}));
        window()->picSts->cmdPrint_sts->click();
        QStringList window = reportLines();
        // The port is the command line's now.
        m_program->window->tarn->StopCom();
        QCOMPARE(TarnRun::Run({u"status"_s, u"--output"_s, reportPath()}).exitCode, 0);
        QStringList commandLine = reportLines();
        QVERIFY(window.size() == kReportLines && commandLine.size() == kReportLines);
        constexpr int kClockLine = 9;
        for (QStringList* lines : {&window, &commandLine}) {
            QVERIFY((*lines)[kClockLine].startsWith(u"Tarn Date/Time: "_s));
            (*lines)[0].truncate(12);
            (*lines)[kClockLine].truncate(16);
        }
        QCOMPARE(commandLine, window);
    }

    /// The counters and the failed share (the lines' forms are tst_tarn's TARN_TRACE rows).
    /// Pause holds the lines back (the counters go on), Resume shows them, Save writes what is
    /// shown, Clear empties all, and a closed window no longer follows the link.
    void traffic_data()
    {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QStringList>("simLines");
        QTest::addColumn<QString>("counters"); ///< requests replies time-outs CRC errors
        QTest::addColumn<QString>("failed");
        QTest::newRow("all answered")
            << QStringList() << QStringList() << u"8 8 0 0"_s << u"Failed: 0.0 %"_s;
        // The version request times out and the read gives up.
        QTest::newRow("time-out") << QStringList() << QStringList{u"mute 1"_s} << u"1 0 1 0"_s
                                  << u"Failed: 100.0 %"_s;
        // Load read eight replies: the tenth is the clock's of the read under test.
        QTest::newRow("CRC error") << QStringList{u"--corrupt-every"_s, u"10"_s} << QStringList()
                                   << u"8 7 1 1"_s << u"Failed: 12.5 %"_s;
    }

    void traffic()
    {
        QFETCH(QStringList, simOptions);
        QFETCH(QStringList, simLines);
        QFETCH(QString, counters);
        QFETCH(QString, failed);
        const QString trace = m_program->home.filePath(u"trace.txt"_s);
        qputenv("TARN_TRACE", QFile::encodeName(trace));
        const bool started = startProgram(simOptions);
        qunsetenv("TARN_TRACE");
        QVERIFY(started);
        window()->mnuViewTraffic->trigger();
        frmTraffic* traffic = window()->TrafficWindow;
        for (const QString& line : simLines)
            QVERIFY(sim().command(line));
        traffic->cmdPause->click();
        window()->UpdateStatusPage();
        QVERIFY(TrafficLines(traffic).isEmpty());
        traffic->cmdPause->click();

        const TrafficCounters& c = traffic->counters();
        QCOMPARE(u"%1 %2 %3 %4"_s.arg(c.requests).arg(c.replies).arg(c.timeOuts).arg(c.crcErrors),
                 counters);
        QCOMPARE(traffic->lblFailed->text(), failed);
        // A line for every frame sent or received and for every failure.
        const QStringList lines = TrafficLines(traffic);
        QCOMPARE(lines.size(), c.requests + c.replies + c.timeOuts + c.crcErrors);

        traffic->cmdSave->click();
        const auto fileLines = [](const QString& path) {
            return QString::fromUtf8(ReadAll(path)).split(u'\n', Qt::SkipEmptyParts);
        };
        QCOMPARE(fileLines(m_program->home.filePath(QString::fromLatin1(frmTraffic::kFileName))),
                 lines);
        // TARN_TRACE: the window program writes the same lines to the file, window or not; the
        // start-up read came before the window opened.
        QCOMPARE(fileLines(trace).mid(16), lines);

        traffic->cmdClear->click();
        QVERIFY(TrafficLines(traffic).isEmpty());
        QCOMPARE(traffic->counters().requests, 0);
        traffic->close();
        window()->UpdateStatusPage();
        QCOMPARE(traffic->counters().requests, 0);
        QVERIFY(TrafficLines(traffic).isEmpty());
    }

    /// Without a system-information tool on the PATH the user is told so.
    void aboutSysInfo()
    {
        const QByteArray path = qgetenv("PATH");
        const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });
        qputenv("PATH", m_program->home.path().toLocal8Bit());
        boxes().expect(Kind::Plain, u"System Information Is Unavailable At This Time"_s);
        frmAbout about(boxes());
        about.show();
        about.cmdSysInfo->click();
        QVERIFY(about.isVisible());
    }

    /// The about box shows the program's own icon.
    void aboutShowsTheProgramIcon()
    {
        frmAbout about(boxes());
        const QImage shown = about.Picture1->pixmap().toImage();
        QVERIFY(!shown.isNull());
        const QImage icon = QIcon(u":/icons/tarnconf-48.png"_s).pixmap(48, 48).toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32),
                 icon.convertToFormat(QImage::Format_ARGB32));
    }
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
