// The service history in the window against tarn-sim: what is read lands once per controller,
// setup writes are kept and undone, and a history that cannot be kept.

#include "HistoryProgramTest.h"

#include "controller/HistoryRecorder.h"
#include "data/Catalogues.h"
#include "data/EventLogReport.h"
#include "data/ProfileCompiler.h"
#include "data/SetupBlocks.h"
#include "history/HistoryArchive.h"
#include "protocol/CommandCodes.h"
#include "ui/history/frmHistory.h"
#include "ui/setup/frmSetup.h"

#include <QLineEdit>
#include <QTimer>

class tst_History : public HistoryProgramTest
{
    Q_OBJECT

private slots:
    void eventsLandOnce_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QList<int>>("stored"); // the minutes of the events archived
        QTest::addColumn<int>("gaps");
        QTest::newRow("new events, then all again")
            << QStringList{u"new"_s, u"all"_s} << QList<int>{0, 1, 2, 3, 4} << 0;
        QTest::newRow("all, twice")
            << QStringList{u"all"_s, u"all"_s} << QList<int>{0, 1, 2, 3, 4} << 0;
        QTest::newRow("new, one more stored, all")
            << QStringList{u"new"_s, u"add"_s, u"all"_s} << QList<int>{0, 1, 2, 3, 4, 9} << 0;
        // Every third reply damaged from the reading's first: two events are lost, each listed
        // and stored as a gap.
        QTest::newRow("damaged replies are gaps")
            << QStringList{u"corrupt"_s, u"new"_s} << QList<int>{0, 2, 3} << 2;
    }

    void eventsLandOnce()
    {
        QFETCH(QStringList, steps);
        QFETCH(QList<int>, stored);
        QFETCH(int, gaps);
        QVERIFY(open(5));
        setTab(kEventLogTab);
        EventLogPage* page = window()->picLog;
        for (const QString& step : steps) {
            if (step == u"add")
                QVERIFY(sim().command(u"event "_s + EventHex(9, 1, 20)));
            else if (step == u"corrupt")
                // Once the controller is identified: the simulator counts the replies it sent.
                connect(window()->tarn, &Tarn_Comm::DataRecieved, this,
                        [this, posted = std::make_shared<bool>(false)](int command) {
                            if (command == TarnCommand::ReadAdminData && !*posted) {
                                *posted = true;
                                sim().post(u"faults 0 3 0"_s);
                            }
                        });
            else
                (step == u"new" ? page->cmdGetLogEvents : page->cmdGetAllLogEvents)->click();
        }
        // A damaged reply leaves the controller on the cable unknown: what was read meanwhile
        // is stored once a status read tells.
        if (steps.contains(u"corrupt"_s)) {
            QVERIFY(sim().command(u"faults 0 0 0"_s));
            window()->IdentifyController();
        }
        QStringList raws;
        int gapsStored = 0;
        for (const ArchivedEvent& event : archive().Events(controller(serial()))) {
            if (event.gap) {
                ++gapsStored;
                continue;
            }
            raws << event.raw.toUpper();
            QCOMPARE(event.program, u"tarnconf"_s);
            QVERIFY(!event.text.isEmpty());
        }
        QStringList expected;
        for (int minute : stored)
            expected << EventHex(minute, 1 + minute % 3, 20 - minute).toUpper();
        if (steps.contains(u"add"_s))
            expected.back() = EventHex(9, 1, 20).toUpper();
        QCOMPARE(raws.join(u' '), expected.join(u' '));
        QCOMPARE(gapsStored, gaps);
        QCOMPARE(page->lvLog
                     ->findItems(QString::fromLatin1(EventLogReport::kLostEventText),
                                 Qt::MatchExactly, 3)
                     .size(),
                 gaps);
    }

    void controllerSwap_data()
    {
        QTest::addColumn<bool>("restart");
        QTest::newRow("serial number changed, then a status read") << false;
        // The link cannot tell who sent the events until the status read after the reading.
        QTest::newRow("controller restarted on the same device, events read at once") << true;
    }

    /// Another controller on the cable starts a history of its own, and a list of its own;
    /// the first one's stays, and its unsaved list can be saved under its own name first.
    void controllerSwap()
    {
        QFETCH(bool, restart);
        const QString device =
            startOnDevice({u"event "_s + EventHex(0, 1, 20), u"event "_s + EventHex(1, 1, 20)});
        QVERIFY(!device.isEmpty());
        const QString first = serial();
        setTab(kEventLogTab);
        window()->picLog->cmdGetLogEvents->click();
        const QStringList other{u"admin 000003E7"_s + u"00000000"_s.repeated(4),
                                u"event "_s + EventHex(7, 2, 21)};
        if (restart) {
            QVERIFY(m_program->startSim({u"--link"_s, device}, other));
        } else {
            for (const QString& line : other)
                QVERIFY(sim().command(line));
            window()->IdentifyController();
            QCOMPARE(serial(), u"999"_s);
        }
        const QString saved = m_program->home.filePath(u"first.csv"_s);
        boxes().expectChoice(u"Another Tarn is connected now: serial 999, V2.07. The 2 events "
                             "listed are those of serial 123456 and have not been saved."_s,
                             restart ? 1 : 0);
        if (!restart)
            boxes().expectSaveFile(saved);
        window()->picLog->cmdGetLogEvents->click();
        QCOMPARE(serial(), u"999"_s);
        if (!restart) {
            QVERIFY2(boxes().suggested().contains(u"123456"_s), qPrintable(boxes().suggested()));
            QVERIFY(ReadAll(saved).contains("123456"));
        }
        QCOMPARE(window()->picLog->lvLog->topLevelItemCount(), 1);
        QCOMPARE(window()->picLog->lblLogProgress->text(), u"End of log: 1 event"_s);
        QCOMPARE(archive().Events(controller(first)).size(), std::size_t(2));
        const std::vector<ArchivedEvent> second = archive().Events(controller(u"999"_s));
        QCOMPARE(second.size(), std::size_t(1));
        QCOMPARE(second.front().raw.toUpper(), EventHex(7, 2, 21).toUpper());
        QCOMPARE(archive().Controllers().size(), std::size_t(2));
        // One status snapshot each: the reads that changed nothing were not kept.
        window()->IdentifyController();
        QCOMPARE(archive().Statuses(controller(u"999"_s)).size(), std::size_t(1));
        QCOMPARE(archive().Statuses(controller(first)).size(), std::size_t(1));
    }

    /// Events read while the controller could not be told belong to the controller the next
    /// status read names only when the line has not failed since: after a failure another
    /// controller may answer, and they are kept under an unknown controller on the port.
    void heldThenLineFails_data()
    {
        QTest::addColumn<bool>("replaced");
        QTest::newRow("the same controller after the reading") << false;
        QTest::newRow("another controller after the reading") << true;
    }

    void heldThenLineFails()
    {
        QFETCH(bool, replaced);
        const QString device = startOnDevice();
        QVERIFY(!device.isEmpty());
        // The line fails in the reading: the events after it are held; then the controller
        // is replaced, or not, in the middle of the reading.
        QVERIFY(m_program->startSim(
            {u"--link"_s, device},
            {u"event "_s + EventHex(3, 1, 20), u"event "_s + EventHex(4, 2, 20), u"mute 1 48"_s}));
        bool held = false;
        whenRows(1, [&] {
            held = window()->history()->hasHeld();
            if (replaced)
                QVERIFY(m_program->startSim({u"--link"_s, device},
                                            {u"admin 000003E7"_s + u"00000000"_s.repeated(4)}));
        });
        setTab(kEventLogTab);
        window()->picLog->cmdGetLogEvents->click();
        QVERIFY(held);
        // The old controller may be gone before its second event was asked for.
        const auto read = std::size_t(window()->picLog->lvLog->topLevelItemCount());
        QVERIFY(read >= 1);
        // The status read may need a second try once the device is back.
        window()->AutoUpdate = true;
        QTRY_VERIFY_WITH_TIMEOUT((window()->UpdateStatusPage(), !window()->history()->hasHeld()),
                                 10000);
        window()->AutoUpdate = false;
        const auto events = [this](qint64 id) {
            std::size_t count = 0;
            for (const ArchivedEvent& event : archive().Events(id))
                count += event.gap ? 0 : 1;
            return count;
        };
        if (replaced) {
            QCOMPARE(serial(), u"999"_s);
            QCOMPARE(events(controller(u"999"_s)), std::size_t(0));
            // Read before the replacement (one or both): none lost, none under the new one.
            std::size_t unknown = 0;
            for (const ArchivedController& known : archive().Controllers())
                if (known.key.serialNumber.isEmpty())
                    unknown += events(known.id);
            QVERIFY(unknown > 0);
            QCOMPARE(unknown + events(controller(u"123456"_s)), read);
        } else {
            QCOMPARE(events(controller(u"123456"_s)), std::size_t(2));
        }
    }

    void setupChangeUndone_data()
    {
        QTest::addColumn<QString>("field"); // objectName=value; cboProfiles0=ID for zone 1
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("question");
        QTest::addColumn<int>("command");
        QTest::addColumn<QList<int>>("undoCodes"); // empty: the undo is refused
        QTest::addColumn<QString>("whyNot");       // the Undo button's tool tip
        // The controller identified and what the undo leaves as it is read right before.
        const QList<int> read{64, 51, 55};
        QTest::newRow("delays") << u"txtDetectorAlarmDelay=45"_s << u"cmdSetDelays"_s
                                << u"Send new delay values to Tarn?"_s << 98
                                << read + QList<int>{98} << QString();
        // The profile before, with the definition the zone ran then.
        QTest::newRow("zone profile") << u"cboProfiles0=8"_s << u"cmdSetZoneSettings"_s
                                      << u"Send new Zone settings to Tarn?"_s << 104
                                      << read + QList<int>{54, 104, 102} << QString();
        // A factory field goes back only with the service switch, which this program lacks.
        QTest::newRow("serial number")
            << u"txtSerialNumber=999"_s << u"cmdSetSerialNumber"_s
            << u"Send new serial number to Tarn?"_s << 99 << QList<int>{}
            << u"The serial number and the manufacturing date are written only with the "
               u"service switch -K."_s;
    }

    /// A write through the setup window is kept with the values before and after; undone from
    /// the History window it sends back the old values of what it set, and what changed on the
    /// controller meanwhile stays.
    void setupChangeUndone()
    {
        QFETCH(QString, field);
        QFETCH(QString, button);
        QFETCH(QString, question);
        QFETCH(int, command);
        QFETCH(QList<int>, undoCodes);
        QFETCH(QString, whyNot);
        QVERIFY(open(0));
        window()->StopAutoUpdate();
        const Tarn_Inputs before = window()->tarn->Inputs;
        const qint64 id = controller(serial());
        frmSetup setup(window()->tarn, boxes(), nullptr, u"-K"_s);
        const QString name = field.section(u'=', 0, 0);
        const QString value = field.section(u'=', 1);
        if (name == u"cboProfiles0")
            setup.cboProfiles[0]->setCurrentIndex(setup.cboProfiles[0]->findData(value.toInt()));
        else
            setup.findChild<QLineEdit*>(name)->setText(value);
        boxes().expect(Kind::QuestionOkCancel, question);
        boxes().expect(Kind::Info, u"Tarn was updated succesfully!"_s);
        setup.findChild<QPushButton*>(button)->click();
        std::vector<ArchivedChange> changes = archive().Changes(id);
        const auto written =
            std::find_if(changes.begin(), changes.end(),
                         [&](const ArchivedChange& c) { return c.command == command; });
        QVERIFY(written != changes.end());
        QCOMPARE(written->program, u"tarnconf"_s);
        // Told in the setup window's words: seconds, the profile's name.
        const QString words = name == u"cboProfiles0"
                                  ? ProfileCatalogue.Find(value.toStdString())->Name.c_str()
                                  : value + (name.endsWith(u"Delay"_s) ? u" s"_s : QString());
        QVERIFY2(written->summary.endsWith(u" → "_s + words), qPrintable(written->summary));

        // Meanwhile the other delays and the zones changed on the controller: an undo leaves
        // them as they are now.
        QVERIFY(sim().command(u"delays 2D050A07000000000000"_s));
        window()->mnuViewHistory->trigger();
        frmHistory* history = window()->HistoryWindow;
        history->ShowController(id);
        history->lvChanges->topLevelItem(int(written - changes.begin()))->setSelected(true);
        QCOMPARE(history->cmdUndo->isEnabled(), whyNot.isEmpty());
        QCOMPARE(history->cmdUndo->toolTip(), whyNot);
        if (!whyNot.isEmpty())
            return;
        const int sent = sim().journal().size();
        boxes().expect(Kind::QuestionOkCancel, question, true,
                       u"Undo on Tarn serial 123456, V2.07 of *"_s);
        boxes().expect(Kind::Info, u"Tarn was updated succesfully!"_s);
        history->cmdUndo->click();
        // Then the status read of the status page.
        QCOMPARE(sim().codes().mid(sent).mid(0, undoCodes.size()), undoCodes);
        std::string old;
        if (command == 98) {
            SetupBlocks::Delays delays;
            delays.detectorAlarm = before.DetectorAlarmDelay;
            delays.detectorReset = 5;
            delays.manualAlarm = 10;
            delays.manualStop = 7;
            old = SetupBlocks::DelaysBlock(delays);
        } else {
            old = SetupBlocks::ZoneProfileData(0, before.ProfileID(0));
        }
        const QString expected =
            QString::number(command) + u' ' +
            QString::fromLatin1(QByteArray::fromStdString(old).toHex().toUpper());
        QCOMPARE(sim().journal().mid(sent).value(undoCodes.indexOf(command)), expected);
        if (command == 104) {
            // The definition the zone ran before the change: its profile's, as written then.
            const Tarn_Profile* profile =
                ProfileCatalogue.Find(std::to_string(before.ProfileID(0)));
            QVERIFY(profile);
            QCOMPARE(sim().journal().mid(sent).value(undoCodes.indexOf(102)),
                     SimProcess::Line(
                         102, QByteArray(2, '\0') +
                                  QByteArray::fromStdString(CompileProfile(profile->Profile))));
        }
        // The undo is a change of its own (with its zone's definition).
        QCOMPARE(archive().Changes(id).size(), changes.size() + (command == 104 ? 2 : 1));
    }

    /// An undo goes to the controller its change belongs to, and to no other: with another
    /// on the cable it is refused as the controller last read shows, and if asked for all the
    /// same, nothing is sent.
    void undoOnAnotherController()
    {
        QVERIFY(open(0));
        window()->StopAutoUpdate();
        const qint64 id = controller(serial());
        frmSetup setup(window()->tarn, boxes(), nullptr, u"-K"_s);
        setup.txtDetectorAlarmDelay->setText(u"45"_s);
        boxes().expect(Kind::QuestionOkCancel, u"Send new delay values to Tarn?"_s);
        boxes().expect(Kind::Info, u"Tarn was updated succesfully!"_s);
        setup.cmdSetDelays->click();
        QVERIFY(sim().command(u"admin 0009FBF1"_s + u"00000000"_s.repeated(4)));
        window()->IdentifyController();
        QCOMPARE(serial(), u"654321"_s);
        window()->mnuViewHistory->trigger();
        frmHistory* history = window()->HistoryWindow;
        // Refresh keeps the controller chosen, not the one seen last.
        for (int row = 0; row < 2; ++row) {
            history->lvControllers->setCurrentItem(history->lvControllers->topLevelItem(row));
            const QString chosen = history->lvControllers->currentItem()->text(0);
            history->cmdRefresh->click();
            QCOMPARE(history->lvControllers->selectedItems().value(0)->text(0), chosen);
        }
        history->ShowController(id);
        history->lvChanges->topLevelItem(0)->setSelected(true);
        QVERIFY(!history->cmdUndo->isEnabled());
        QCOMPARE(
            history->cmdUndo->toolTip(),
            u"This change is undone on Tarn serial 123456; Tarn serial 654321 was read last."_s);
        const int sent = sim().journal().size();
        boxes().expect(Kind::QuestionOkCancel, u"Send new delay values to Tarn?"_s);
        boxes().expect(Kind::Critical,
                       u"Another Tarn is connected now: serial 654321, V2.07. The change belongs "
                       u"to Tarn serial 123456."_s,
                       true, u"Nothing was sent."_s);
        window()->UndoChange(archive().Changes(id).front(), archive().Controllers().front().key);
        QCOMPARE(sim().codes().mid(sent).mid(0, 3), (QList<int>{64, 51, 55}));
        QVERIFY(!sim().codes().mid(sent).contains(98));
    }

    /// A write files what it changed: the zone settings send every zone's profile and
    /// definition again, and only the outputs edited are filed.
    void unchangedNotFiled()
    {
        QVERIFY(open(0));
        window()->StopAutoUpdate();
        const qint64 id = controller(serial());
        frmSetup setup(window()->tarn, boxes(), nullptr);
        setup.chkOutput[3]->click();
        boxes().expect(Kind::QuestionOkCancel, u"Send new Zone settings to Tarn?"_s);
        boxes().expect(Kind::Info, u"Tarn was updated succesfully!"_s);
        setup.cmdSetZoneSettings->click();
        QStringList filed;
        for (const ArchivedChange& change : archive().Changes(id))
            filed << change.summary;
        QCOMPARE(filed.size(), 1);
        QVERIFY2(filed[0].startsWith(u"Zone 1 outputs: "_s), qPrintable(filed[0]));
    }

    /// The history window, its boxes and its file dialog, and the event-log page's, open once
    /// a wait has ended (the scripted boxes fail any opened inside one).
    void windowsWaitForTheWait()
    {
        QVERIFY(open(2));
        window()->StopAutoUpdate();
        QVERIFY(sim().command(u"delay 400"_s));
        bool historyInWait = true;
        QTimer::singleShot(200, window(), [this, &historyInWait] {
            window()->mnuViewHistory->trigger();
            historyInWait = window()->HistoryWindow && window()->HistoryWindow->isVisible();
        });
        window()->IdentifyController();
        QVERIFY(!historyInWait);
        QTRY_VERIFY(window()->HistoryWindow && window()->HistoryWindow->isVisible());

        frmHistory* history = window()->HistoryWindow;
        history->txtCode->setText(u"x"_s);
        boxes().expect(Kind::Critical, u"The event code must be a whole number."_s);
        boxes().expectSaveFile({});
        boxes().expectSaveFile({});
        QTimer::singleShot(200, history, [this, history] {
            QTest::keyClick(history->txtCode, Qt::Key_Return);
            history->cmdExport->click();
            window()->picLog->cmdSaveLogAs->click();
        });
        window()->IdentifyController();
        QTRY_COMPARE(boxes().pending(), 0);
        QVERIFY(sim().command(u"delay 0"_s));
    }

    /// A history file that cannot be used: a red line, one box, and the program goes on.
    void damagedFileTold()
    {
        QVERIFY(m_program->startSim());
        QFile damaged(m_program->home.filePath(u"history.sqlite"_s));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(4096, 'x'));
        damaged.close();
        boxes().expect(Kind::Critical, u"The history of the controllers cannot be kept."_s, true,
                       u"* The program goes on without it."_s);
        QVERIFY(m_program->load());
        QTRY_COMPARE(boxes().pending(), 0);
        // Read all the same, and the idle line says what is missing, in red.
        QVERIFY(!serial().isEmpty());
        QLabel* line = window()->lblAppStatus[1];
        QVERIFY2(line->text().startsWith(u" History: "_s), qPrintable(line->text()));
        QCOMPARE(line->palette().color(QPalette::Window), QColor(255, 128, 128));
        window()->UpdateStatusPage();
        QVERIFY(line->text().startsWith(u" History: "_s));
        QFile kept(m_program->home.filePath(u"history.sqlite"_s));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray(4096, 'x'));
    }
};

QTEST_MAIN(tst_History)
#include "tst_history.moc"
