// The setup window against tarn-sim: what it reads, its buttons and checks, the zones'
// settings, writes of what is shown, and a close with edits.

#include "SetupWindowTest.h"

#include "link/SerialPort.h"
#include "ui/setup/TodayCalendar.h"

class tst_frmSetup : public SetupWindowTest
{
    Q_OBJECT

private slots:
    void fill_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<bool>("information");
        QTest::addColumn<bool>("service");
        QTest::newRow("2.07 without switch") << u"V2.07"_s << QString() << true << false;
        QTest::newRow("switch in lower case among blanks")
            << u"V2.07"_s << u"  -k "_s << true << true;
        QTest::newRow("2.06 with switch") << u"V2.06"_s << u"-K"_s << false << false;
    }

    void fill()
    {
        QFETCH(QString, version);
        QFETCH(QString, arguments);
        QFETCH(bool, information);
        QFETCH(bool, service);
        QVERIFY(open({u"--version"_s, version},
                     {u"delays 1E0A053C010203010500"_s, u"profile 2 42"_s}, arguments));
        QCOMPARE(m_setup->txtDetectorAlarmDelay->text() + m_setup->txtManualAlarmDelay->text() +
                     m_setup->txtManualStopDelay->text(),
                 u"30560"_s);
        QCOMPARE(m_setup->cboProfiles[2]->itemText(2), u"Pulsed 2 min on, 1 min off, 15 min"_s);
        QCOMPARE(m_setup->cboProfiles[1]->currentData().toInt(), 2);
        QCOMPARE(m_setup->cboProfiles[2]->currentIndex(), -1);
        QCOMPARE(m_setup->cboProfiles[2]->placeholderText(), u"Unknown (42)"_s);
        // Outputs 01, 05, 00.
        for (int k = 0; k < frmSetup::kOutputs; ++k)
            QCOMPARE(m_setup->chkOutput[k]->isChecked(), k == 0 || k == 4 || k == 6);

        QCOMPARE(m_setup->fraInformation->isEnabled(), information);
        QCOMPARE(m_setup->txtSerialNumber->text(), information ? u"123456"_s : QString());
        QCOMPARE(m_setup->dtpInstallationDate->date(),
                 information ? QDate(2024, 5, 2) : QDate::currentDate());
        // A Set button is there for edits: none yet. The factory fields are read-only without
        // the service switch.
        const auto enabled = [this] {
            QString set;
            for (const QPushButton* button :
                 {m_setup->cmdSetDelays, m_setup->cmdSetZoneSettings, m_setup->cmdSetSerialNumber,
                  m_setup->cmdSetManufactoringDate, m_setup->cmdSetInstallationDate,
                  m_setup->cmdSetServiceDate, m_setup->cmdClearLog, m_setup->cmdSetTarnClock})
                set += button->isEnabled() ? u'1' : u'0';
            return set;
        };
        QCOMPARE(enabled(), service ? u"00000011"_s : u"00000001"_s);
        QVERIFY(!information || m_setup->txtSerialNumber->isReadOnly() == !service);
        Enter({u"txtManualAlarmDelay=6"_s, u"chkOutput_5=1"_s, u"txtSerialNumber=7"_s,
               u"dtpManufactoringDate=2024-01-10"_s, u"dtpServiceDate=2026-06-01"_s});
        QCOMPARE(enabled(), !information ? u"11000001"_s : service ? u"11110111"_s : u"11000101"_s);
        QCOMPARE(m_setup->Edits().size(), information ? 5 : 2);
        // Back to what the controller holds: no edit.
        Enter({u"txtManualAlarmDelay= 5 "_s, u"chkOutput_5=0"_s});
        QCOMPARE(enabled().left(2), u"00"_s);
        // Only dates that Tarn can store are offered.
        m_setup->dtpServiceDate->setDate(QDate(1999, 12, 31));
        QCOMPARE(m_setup->dtpServiceDate->date(), QDate(2000, 1, 1));
        QTRY_VERIFY(
            m_setup->lblPCTime->text().contains(QString::number(QDate::currentDate().year())));
    }

    /// Every button's frames, the changes its question lists, and what the record
    /// holds after; the failures of a command once, with their reason; wrong
    /// fields refused before anything is sent, the first named given the focus.
    void buttons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("question"); // or the box that refuses
        QTest::addColumn<QString>("detail");   // its informative text; null: not checked
        QTest::addColumn<QString>("outcome");  // ok, cancel, nak, timeout, closed or refused
        QTest::addColumn<QString>("reason");   // informative text of "Could not update Tarn!"
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("afterAck");   // Patched() text of the record after the reply
        QTest::addColumn<QString>("afterRead");  // and after the next status read
        QTest::addColumn<QStringList>("fields"); // entered after the valid ones
        const QByteArray unset(8, '0');
        const auto ok = [](const char* button, const char* question, const QString& detail,
                           const QStringList& sent, const QString& afterAck,
                           const QString& afterRead = {}) {
            QTest::newRow(button) << button << question << detail << u"ok"_s << u""_s << sent
                                  << afterAck << (afterRead.isEmpty() ? afterAck : afterRead)
                                  << QStringList();
        };
        const QString delays = Line(98, "070AFA0701020301020400");
        // Every write first identifies the controller (version, serial number) and reads what
        // the block leaves as it is right before it.
        const QStringList read{u"64"_s, u"51"_s, u"55"_s};
        ok("cmdSetDelays", "Send new delay values to Tarn?",
           u"Detector alarm delay: 30 s \u2192 7 s\nManual release alarm delay: 5 "
           u"s \u2192 250 s\n"
           u"Manual release stop delay: 60 s \u2192 7 s"_s,
           read + QStringList{delays}, u"0=7 10 250 7"_s);
        // The question compares with the controller's clock read right before it.
        ok("cmdSetTarnClock", "Set Tarn time to computer time?", u"Tarn clock: *"_s,
           QStringList{u"50"_s} + read + QStringList{u"65 clock"_s}, {});
        ok("cmdSetSerialNumber", "Send new serial number to Tarn?",
           u"Serial number: 123456 \u2192 123456789"_s,
           read + QStringList{Line(99, "075BCD15" + unset.repeated(4))}, u"3=123456789"_s);
        ok("cmdSetManufactoringDate", "Send new Manufactoring date to Tarn?",
           u"Manufacturing date: 14 Mar 2024 \u2192 10 Jan 2024"_s,
           read + QStringList{Line(99, unset + Packed(2024, 1, 10) + unset.repeated(3))},
           u"4=2024-01-10"_s);
        ok("cmdSetInstallationDate", "Send new Installation date to Tarn?",
           u"Installation date: 2 May 2024 \u2192 1 Jun 2024"_s,
           read + QStringList{Line(99, unset.repeated(2) + Packed(2024, 6, 1) + unset.repeated(2))},
           u"5=2024-06-01"_s);
        ok("cmdSetServiceDate", "Send new Service date to Tarn?",
           u"Last service date: 4 May 2026 \u2192 1 Jun 2026\n"
           u"Service date before: 6 May 2025 \u2192 4 May 2026"_s,
           read +
               QStringList{Line(99, unset.repeated(3) + Packed(2026, 6, 1) + Packed(2026, 5, 4))},
           u"6=2026-06-01;7=2026-05-04"_s);
        ok("cmdClearLog", "Delete all stored log events?", u"This cannot be undone*"_s,
           read + QStringList{Line(66, QByteArray(1, '\0'))}, {});
        // Profiles 8 and 1 in the first and third zone frames, only output 4 of the
        // third ticked; profile 8 compiles to T30 F30, profile 1 to five bytes
        // T120.
        ok("cmdSetZoneSettings", "Send new Zone settings to Tarn?",
           u"Detector 1 or Manual release 1:\n"
           u"Profile: Continuous 10 min \u2192 Function test 30 s\n"
           u"Outputs: 1 \u2192 none\n\n"
           u"Detector 2 or Manual release 2:\n"
           u"Profile: Continuous 30 min (not written)\n"
           u"Outputs: 2 \u2192 none\n\n"
           u"Detector 3 or 4 or Manual release 3:\n"
           u"Profile: Pulsed 2 min on, 1 min off, 15 min \u2192 Continuous 10 min\n"
           u"Outputs: 3 \u2192 4"_s,
           read +
               QStringList{u"54 00"_s, u"54 01"_s, u"54 02"_s, Line(98, "1E0A053C01020300000800"),
                           Line(104, QByteArray(1, '\0') + "00000008"),
                           Line(102, QByteArray("\x00\x00\x9E\x1E", 4)), Line(104, "\00200000001"),
                           Line(102, QByteArray("\x02\x00", 2) + QByteArray(5, '\xF8'))},
           u"1=0 0 8;2=8 2 1"_s);
        // A read that fails sends nothing; every failure says why.
        const auto failed = [](const char* button, const char* question, const char* outcome,
                               const QString& reason, const QStringList& sent) {
            QTest::addRow("%s %s", button, outcome)
                << button << question << QString() << outcome << reason << sent << QString()
                << QString() << QStringList();
        };
        // The texts of the link, the core and the connection advice are theirs to
        // test: here only whose they are, and that the record keeps its values. Every
        // button writes through the same call: one refused write stands for all.
        failed("cmdSetDelays", "Send new delay values to Tarn?", "cancel", {}, {});
        failed("cmdSetDelays", "Send new delay values to Tarn?", "nak", u"*NAK*H62"_s,
               read + QStringList{delays});
        failed("cmdSetDelays", "Send new delay values to Tarn?", "timeout",
               u"Tarn could not be identified (version): *Nothing was sent."_s, {u"64"_s});
        failed("cmdSetTarnClock", "Set Tarn time to computer time?", "closed",
               u"The port is not open. /nonexistent/tty1 is not there*"_s, {});
        const auto refused = [](const char* button, const QString& box, const QString& detail,
                                const QStringList& fields) {
            QTest::addRow("%s refused", button)
                << button << box << detail << u"refused"_s << QString() << QStringList()
                << QString() << QString() << fields;
        };
        refused("cmdSetDelays", u"Incorrect value (Detector Alarm Delay)*"_s, u""_s,
                {u"txtDetectorAlarmDelay=1.5"_s, u"txtManualStopDelay=0"_s});
        refused(
            "cmdSetManufactoringDate", u"Incorrect value (Manufacturing date)!*"_s, u""_s,
            {u"dtpManufactoringDate="_s + QDate::currentDate().addDays(1).toString(Qt::ISODate)});
    }

    void buttons()
    {
        QFETCH(QString, button);
        QFETCH(QString, question);
        QFETCH(QString, detail);
        QFETCH(QString, outcome);
        QFETCH(QString, reason);
        QFETCH(QStringList, sent);
        QFETCH(QString, afterAck);
        QFETCH(QString, afterRead);
        QFETCH(QStringList, fields);
        QVERIFY(open({u"--events"_s, u"3"_s}));
        // The service date picker opens on the last service date.
        QCOMPARE(m_setup->dtpServiceDate->date(), QDate(2026, 5, 4));
        Enter({u"txtDetectorAlarmDelay= 7 "_s, u"txtManualAlarmDelay=250"_s,
               u"txtManualStopDelay=007"_s, u"txtSerialNumber=123456789"_s,
               u"dtpManufactoringDate=2024-01-10"_s, u"dtpInstallationDate=2024-06-01"_s,
               u"dtpServiceDate=2026-06-01"_s});
        Enter(fields);
        m_setup->cboProfiles[0]->setCurrentIndex(m_setup->cboProfiles[0]->findData(8));
        m_setup->cboProfiles[1]->setCurrentIndex(-1);
        m_setup->cboProfiles[2]->setCurrentIndex(m_setup->cboProfiles[2]->findData(1));
        for (int k = 0; k < frmSetup::kOutputs; ++k)
            m_setup->chkOutput[k]->setChecked(k == 11);
        // The Tarn clock as the last status read found it.
        record().CPUDateTime = TarnDateTime::FromParts(2026, 1, 2, 3, 4, 5);
        const int code = sent.value(sent.size() - 1).section(u' ', 0, 0).toInt();
        if (outcome == u"nak" || outcome == u"timeout")
            QVERIFY(sim().command(outcome == u"nak" ? u"ack %1 NAK"_s.arg(code) : u"mute 1 64"_s));
        if (outcome == u"closed") {
            // The port's device went away and the link could not start again.
            window()->tarn->comm->setDevice(u"/nonexistent/tty1"_s);
            QString errText;
            QVERIFY(!window()->tarn->Start(errText));
        }

        const int before = sim().journal().size();
        const TarnDateTime pressed = TarnDateTime::Now();
        const bool refused = outcome == u"refused";
        boxes().expect(refused                      ? Kind::Critical
                       : button == u"cmdClearLog"_s ? Kind::QuestionOkCancelDefaultCancel
                                                    : Kind::QuestionOkCancel,
                       question, outcome != u"cancel", detail);
        if (outcome != u"cancel" && !refused)
            boxes().expect(outcome == u"ok" ? Kind::Info : Kind::Critical,
                           outcome == u"ok" ? kUpdated : kNotUpdated, true, reason);
        m_setup->findChild<QPushButton*>(button)->click();
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QStringList journal = sim().journal().mid(before);
        if (code == 65 && journal.size() == sent.size()) {
            // The PC clock: fourteen digits and the weekday digit, 1 for Sunday.
            const QByteArray text = QByteArray::fromHex(journal.last().section(u' ', 1).toLatin1());
            const TarnDateTime clock = ParseControllerClock(text.toStdString());
            QVERIFY(clock >= pressed && clock <= TarnDateTime::Now());
            QCOMPARE(text.mid(14), QByteArray::number(clock.DayOfWeek()));
            journal.last() = u"65 clock"_s;
        }
        QCOMPARE(journal, sent);
        QCOMPARE(RecordText(record()), Patched(afterAck));
        auto* field = m_setup->findChild<QLineEdit*>(fields.value(0).section(u'=', 0, 0));
        if (refused && field) {
            QCOMPARE(m_setup->focusWidget(), field);
            QCOMPARE(field->selectedText(), field->text());
        }
        if (outcome == u"nak")
            QVERIFY(window()->lblAppStatus[1]->text().contains(u"NAK recieved"_s));
        if (outcome != u"ok")
            return;
        window()->StartAutoUpdate();
        window()->UpdateStatusPage();
        QCOMPARE(RecordText(record()), Patched(afterRead));
        QVERIFY(code != 66 || (window()->tarn->Send(48) && window()->tarn->TarnData == "END"));
    }

    void zoneSettings_data()
    {
        QTest::addColumn<int>("catalogue");       // 0 as shipped, 1 empty, 2 +77 broken
        QTest::addColumn<QList<int>>("profiles"); // per zone, 0 for none
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QString>("reason"); // below "Could not update Tarn!"; null: updated
        // The controller identified, its delays and the profile each zone runs read first.
        const QList<int> read{64, 51, 55, 54, 54, 54};
        QTest::newRow("empty catalogue: outputs only")
            << 1 << QList<int>{0, 0, 0} << read + QList<int>{98} << QString();
        QTest::newRow("104 for zone 1 refused: zone 2 not sent")
            << 0 << QList<int>{0, 3, 4} << read + QList<int>{98, 104}
            << u"Communication error. NAK recieved. Command H68"_s;
        // Too long a definition takes the same way (its text: tst_setupdata).
        QTest::newRow("definition that does not compile: nothing written")
            << 2 << QList<int>{0, 77, 0} << read
            << u"Profile 77 (Broken) has no valid definition in Tarn.INI."_s;
    }

    void zoneSettings()
    {
        QFETCH(int, catalogue);
        QFETCH(QList<int>, profiles);
        QFETCH(QList<int>, codes);
        QFETCH(QString, reason);
        // Zone 0 reports bits 4 to 7 set, which the outputs byte sent never
        // carries.
        QVERIFY(startProgram({}, {u"ack 104 NAK"_s, u"delays 1E0A053C010203F10204"_s}));
        if (catalogue == 1)
            ProfileCatalogue.Clear();
        else if (catalogue == 2)
            ProfileCatalogue.Add("77", {"77", "Broken", "F,0,T,30,S,60"});
        window()->StopAutoUpdate();
        m_setup = std::make_unique<frmSetup>(window()->tarn, boxes(), nullptr, QString());
        for (int zone = 0; zone < frmSetup::kZones; ++zone)
            m_setup->cboProfiles[zone]->setCurrentIndex(
                m_setup->cboProfiles[zone]->findData(profiles[zone]));
        const int before = sim().journal().size();
        boxes().expect(Kind::QuestionOkCancel, u"Send new Zone settings to Tarn?"_s);
        const bool updated = reason.isNull();
        boxes().expect(updated ? Kind::Info : Kind::Critical, updated ? kUpdated : kNotUpdated,
                       true, updated ? u""_s : reason);
        m_setup->chkOutput[0]->setChecked(false);
        m_setup->cmdSetZoneSettings->click();
        QCOMPARE(sim().codes().mid(before), codes);
        // An acknowledged delays block is what the controller holds, whatever came after it.
        QCOMPARE(record().OutPuts(0), codes.contains(98) ? 0x00 : 0xF1);
    }

    /// What a write sends is what the user typed, or what the controller holds right before
    /// it, and only to the controller the window shows: another one on the cable gets nothing
    /// and the window shows it instead; without a serial number the settings tell, and a write
    /// says that the controller could not be proven. A field shows its value whole and in the
    /// locale's digits.
    void writesWhatIsShown_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("lines");  // to the simulator once the window is open
        QTest::addColumn<QStringList>("fields"); // entered
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("question"); // empty: none
        QTest::addColumn<QString>("box");      // "!" first: critical
        QTest::addColumn<QString>("detail");   // its informative text; null: not checked
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("shown"); // txtDetectorAlarmDelay and the serial afterwards
        const QString delaysQuestion = u"Send new delay values to Tarn?"_s;
        const QStringList read{u"64"_s, u"51"_s, u"55"_s};
        const QString dates = QString::fromLatin1(Packed(2024, 3, 14) + Packed(2024, 5, 2));
        const QString otherTarn = u"admin 0009FBF1"_s + dates +
                                  QString::fromLatin1(Packed(2026, 5, 4) + Packed(2025, 5, 6));
        const auto row = [](const char* name, const char* version, const char* locale,
                            const QStringList& lines, const QStringList& fields, const char* button,
                            const QString& question, const QString& box, const QString& detail,
                            const QStringList& sent, const QString& shown) {
            QTest::newRow(name) << version << locale << lines << fields << button << question << box
                                << detail << sent << shown;
        };
        row("messages and outputs as the controller holds them now", "V2.07", "C",
            {u"delays 1E0A053C070809040506"_s}, {u"txtManualStopDelay=90"_s}, "cmdSetDelays",
            delaysQuestion, kUpdated, u""_s, read + QStringList{Line(98, "1E0A055A07080904050600")},
            u"30 123456"_s);
        row("Arabic-Indic digits", "V2.07", "ar_EG", {}, {u"txtDetectorAlarmDelay=\u0664\u0665"_s},
            "cmdSetDelays", delaysQuestion, kUpdated, u""_s,
            read + QStringList{Line(98, "2D0A053C01020301020400")}, u"\u0664\u0665 123456"_s);
        row("ten-digit serial number shown whole, not sent cut", "V2.07", "C",
            {u"admin 499602D2831241C184A24311A5440000A4460000"_s},
            {u"txtSerialNumber=1234567891"_s}, "cmdSetSerialNumber", {},
            u"!Incorrect value (Serial number)\rPossible values are 0-999999999."_s, {}, {},
            u"30 1234567891"_s);
        row("another Tarn on the cable: nothing sent, the window shows it", "V2.07", "C",
            {otherTarn, u"delays 140A0578010203010204"_s}, {u"txtDetectorAlarmDelay=45"_s},
            "cmdSetDelays", delaysQuestion,
            u"!Another Tarn is connected now: serial 654321, V2.07. This window showed serial "
            u"123456."_s,
            u"Nothing was sent. The window shows what the Tarn connected now holds.\nNot sent:\n"
            u"Detector alarm delay: 30 s \u2192 45 s"_s,
            read + SimProcess::kStatusRead, u"20 654321"_s);
        row("no serial number, other settings: nothing sent", "V2.06", "C",
            {u"delays 140A0578010203010204"_s}, {u"txtDetectorAlarmDelay=45"_s}, "cmdSetDelays",
            delaysQuestion,
            u"!Tarn's settings are not those this window showed: another Tarn may be connected "
            u"(V2.06 has no serial number to tell)."_s,
            QString(), QStringList{u"64"_s, u"55"_s} + SimProcess::kStatusRead.mid(0, 7), u"20 "_s);
        row("no serial number, same settings: written, not proven", "V2.06", "C", {},
            {u"txtDetectorAlarmDelay=45"_s}, "cmdSetDelays", delaysQuestion, kUpdated,
            u"Tarn V2.06 has no serial number: that it is the Tarn meant could not be proven "
            u"(its firmware and settings agree)."_s,
            QStringList{u"64"_s, u"55"_s, Line(98, "2D0A053C01020301020400")}, u"45 "_s);
        row("a service since the window opened: that date is refused", "V2.07", "C",
            {u"admin 0001E240"_s + dates +
             QString::fromLatin1(Packed(2026, 6, 1) + Packed(2026, 5, 4))},
            {u"dtpServiceDate=2026-06-01"_s}, "cmdSetServiceDate",
            u"Send new Service date to Tarn?"_s, u"!Incorrect value (Service date)!"_s,
            u"It is the last service date already."_s, read, u"30 123456"_s);
    }

    void writesWhatIsShown()
    {
        QFETCH(QString, version);
        QFETCH(QString, locale);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, fields);
        QFETCH(QString, button);
        QFETCH(QString, question);
        QFETCH(QString, box);
        QFETCH(QString, detail);
        QFETCH(QStringList, sent);
        QFETCH(QString, shown);
        QLocale::setDefault(QLocale(locale));
        QVERIFY(open({u"--version"_s, version}));
        for (const QString& line : lines)
            QVERIFY(sim().command(line));
        Enter(fields);
        const int before = sim().journal().size();
        if (!question.isEmpty())
            boxes().expect(Kind::QuestionOkCancel, question);
        const bool critical = box.startsWith(u'!');
        boxes().expect(critical ? Kind::Critical : Kind::Info, box.mid(critical ? 1 : 0), true,
                       detail);
        m_setup->findChild<QPushButton*>(button)->click();
        QCOMPARE(sim().journal().mid(before), sent);
        QCOMPARE(m_setup->txtDetectorAlarmDelay->text() + u' ' + m_setup->txtSerialNumber->text(),
                 shown);
    }

    /// Closing with edits not sent asks first, and Cancel keeps the window and its edits.
    void closeWithEdits()
    {
        QVERIFY(open());
        Enter({u"txtManualStopDelay=90"_s, u"chkOutput_4=1"_s});
        const QString question = u"Discard 2 changes not sent to Tarn?"_s;
        const QString edits =
            u"Manual release stop delay: 60 s \u2192 90 s\nZone 2 outputs: 2 \u2192 1, 2"_s;
        boxes().expect(Kind::QuestionOkCancel, question, false, edits);
        m_setup->reject();
        QVERIFY(m_setup->isVisible());
        boxes().expect(Kind::QuestionOkCancel, question, true, edits);
        m_setup->reject();
        QVERIFY(!m_setup->isVisible());
    }

    /// The service date's calendar opens on the month of today, whatever date the field
    /// holds, and its Today button picks today.
    void serviceCalendarOpensOnToday()
    {
        QVERIFY(open());
        QDateEdit* picker = m_setup->dtpServiceDate;
        auto* calendar = qobject_cast<TodayCalendar*>(picker->calendarWidget());
        QVERIFY(calendar);
        picker->setDate(QDate(2019, 5, 1));
        calendar->setSelectedDate(picker->date());
        // As when the picker's button opens it.
        calendar->window()->show();
        const QDate today = QDate::currentDate();
        QCOMPARE(calendar->yearShown(), today.year());
        QCOMPARE(calendar->monthShown(), today.month());
        calendar->cmdToday->click();
        QCOMPARE(picker->date(), today);
    }
};

QTEST_MAIN(tst_frmSetup)
#include "tst_frmsetup.moc"
