// The event-log page against tarn-sim: reading, aborting, sorting and the report file.

#include "CsvReadBack.h"
#include "PdfText.h"
#include "RunningProgram.h"
#include "SmallDisk.h"
#include "protocol/CommandCodes.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
/// A stored event as the controller sends it: packed time, code, temperature byte.
QString EventHex(const TarnDateTime& time, int code, int celsius)
{
    return QString::fromStdString(EncodePackedDate(time)) +
           u"%1%2"_s.arg(code, 2, 16, QChar(u'0')).arg(celsius & 0xFF, 2, 16, QChar(u'0'));
}

TarnDateTime At(int year, int month, int day)
{
    return TarnDateTime::FromParts(year, month, day, 10, 0, 0);
}
} // namespace

class tst_EventLogPage : public ProgramTest
{
    Q_OBJECT
    EventLogPage* page() const { return window()->picLog; }

    /// The program on the simulator with `events` stored, showing the event-log page.
    /// `count` events a minute apart unless `events` are given.
    bool open(const QString& version, int count, QStringList events = {})
    {
        for (int i = 0; i < count; ++i)
            events << EventHex(At(2026, 1, 1).AddSeconds(60 * i), 1, 20);
        for (QString& event : events)
            event.prepend(u"event "_s);
        if (!startProgram({u"--version"_s, version}, events))
            return false;
        setTab(kEventLogTab);
        return true;
    }
    QStringList numbers() const
    {
        QStringList result;
        for (int i = 0; i < page()->lvLog->topLevelItemCount(); ++i)
            result << page()->lvLog->topLevelItem(i)->text(0);
        return result;
    }
    static QStringList Range(int first, int count)
    {
        QStringList result;
        for (int n = first; n < first + count; ++n)
            result << u"%1"_s.arg(n, 3, 10, QChar(u'0'));
        return result;
    }
    QString caption() const { return page()->cmdGetLogEvents->text(); }
    QString label() const { return page()->lblLogProgress->text(); }

private slots:
    void readsNewEvents_data()
    {
        QTest::addColumn<bool>("rewinds");
        QTest::newRow("2.07") << true;
        // Before 2.07 there is no rewind: the events listed cannot be had again, and new ones
        // go below them.
        QTest::newRow("2.06") << false;
    }

    void readsNewEvents()
    {
        QFETCH(bool, rewinds);
        QVERIFY(open(rewinds ? u"V2.07"_s : u"V2.06"_s, 3));
        QCOMPARE(page()->cmdGetAllLogEvents->isEnabled(), rewinds);
        int before = sim().journal().size();
        page()->cmdGetLogEvents->click();
        // Numbering starts at 000 before any "Get all events".
        QCOMPARE(numbers(), Range(0, 3));
        QCOMPARE(caption(), u"Get new events"_s);
        QCOMPARE(window()->lblAppStatus[1]->text(), u" "_s);
        // The controller is identified before its events are read.
        QCOMPARE(sim().codes().mid(before),
                 rewinds ? (QList<int>{64, 51, 48, 48, 48, 48}) : (QList<int>{64, 48, 48, 48, 48}));
        QCOMPARE(label(), u"End of log: 3 events"_s);
        QCOMPARE(page()->lvLog->topLevelItem(2)->text(2), u"20\u00B0C/68\u00B0F"_s);
        if (!rewinds) {
            QVERIFY(sim().command(u"event "_s + EventHex(At(2026, 3, 1), 2, 20)));
            page()->cmdGetLogEvents->click();
            QCOMPARE(numbers(), Range(0, 4));
            QCOMPARE(label(), u"End of log: 4 events"_s);
            page()->cmdGetLogEvents->click();
            QCOMPARE(numbers(), Range(0, 4));
            // Rows not saved: "Empty list" asks first, and Cancel keeps them.
            const QString emptyList = u"Empty the event list?"_s;
            boxes().expect(Kind::QuestionOkCancelDefaultCancel, emptyList, false,
                           u"The 4 events listed have not been saved. *"_s);
            page()->cmdClearLogList->click();
            QCOMPARE(numbers(), Range(0, 4));
            boxes().expect(Kind::QuestionOkCancelDefaultCancel, emptyList, true);
            page()->cmdClearLogList->click();
            QCOMPARE(label(), u"0 events listed"_s);
            return;
        }

        before = sim().journal().size();
        page()->cmdGetAllLogEvents->click();
        QCOMPARE(sim().journal().mid(before, 3), (QStringList{u"64"_s, u"51"_s, u"66 01"_s}));
        QCOMPARE(numbers(), Range(1, 3));
        QCOMPARE(window()->LogEventNo, 4);
        // Saved rows go without a question.
        page()->cmdSaveLog->click();
        page()->cmdClearLogList->click();
        QCOMPARE(page()->lvLog->topLevelItemCount(), 0);
        QCOMPARE(window()->LogEventNo, 4);
    }

    void interruptedReadContinues_data()
    {
        QTest::addColumn<bool>("leavePage");
        QTest::newRow("Abort") << false;
        QTest::newRow("page left") << true;
    }

    void interruptedReadContinues()
    {
        QFETCH(bool, leavePage);
        // (With the port not open no reading starts: tst_frmmain's portCannotBeOpened.)
        const auto interrupt = [&] {
            leavePage ? setTab(kStatusTab) : page()->cmdGetLogEvents->click();
        };
        QVERIFY(open(u"V2.07"_s, 30) && sim().command(u"delay 20"_s));
        whenRows(5, interrupt);
        page()->cmdGetLogEvents->click();
        QCOMPARE(caption(), u"Continue"_s);
        const int stoppedAt = page()->lvLog->topLevelItemCount();
        // At most the reply in flight is added after the interruption.
        QVERIFY(stoppedAt >= 5 && stoppedAt <= 6);

        QCOMPARE(label(), u"%1 events listed"_s.arg(stoppedAt));
        setTab(kEventLogTab);
        page()->cmdGetLogEvents->click();
        QCOMPARE(caption(), u"Get new events"_s);
        QCOMPARE(numbers(), Range(0, 30));
        // The count is of the rows listed, not of those the last click read.
        QCOMPARE(label(), u"End of log: 30 events"_s);
    }

    /// "Save as..." writes the list as the program's CSV, which Python's csv module reads back
    /// value for value; "Print..." prints it, here into a PDF file. Both suggest the serial
    /// number, the date and the kind as the name, in the documents folder.
    void savedAsCsvAndPrinted()
    {
        QVERIFY(open(u"V2.07"_s, 0,
                     {EventHex(At(2026, 1, 1), 45, -5), EventHex(At(2026, 1, 2), 1, 20)}));
        page()->cmdGetLogEvents->click();
        const QString path = m_program->home.filePath(u"events.csv"_s);
        boxes().expectSaveFile(path);
        page()->cmdSaveLogAs->click();
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(boxes().suggested(),
                 QDir(documents).filePath(
                     u"123456_"_s + QDate::currentDate().toString(Qt::ISODate) + u"_events.csv"_s));
        // The numbers as the list shows them (000, 001).
        QList<QStringList> rows = CsvReadBack(ReadAll(path));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].join(u','),
                 u"serial,firmware,read_at,number,time,celsius,fahrenheit,text"_s);
        const QString readAt = rows[1][2];
        QVERIFY2(QDateTime::fromString(readAt, Qt::ISODate).isValid() &&
                     QRegularExpression(u"T\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$"_s)
                         .match(readAt)
                         .hasMatch(),
                 qPrintable(readAt));
        rows[1].removeAt(2);
        QCOMPARE(rows[1], (QStringList{u"123456"_s, u"2.07"_s, u"0"_s, u"2026-01-01T10:00:00"_s,
                                       u"-5"_s, u"23"_s, u"Pump fault, no pressure"_s}));
        QCOMPARE(rows[2].mid(3), (QStringList{u"1"_s, u"2026-01-02T10:00:00"_s, u"20"_s, u"68"_s,
                                              u"Alarm detector 1"_s}));
        QVERIFY(!page()->isUnsaved());

        const QString pdf = m_program->home.filePath(u"events.pdf"_s);
        boxes().expectPrint(pdf);
        page()->cmdPrintLog->click();
        QCOMPARE(QFileInfo(boxes().suggested()).fileName(),
                 u"123456_"_s + QDate::currentDate().toString(Qt::ISODate) + u"_events.pdf"_s);
        // The list as a table, its columns aligned: each event's text starts where its
        // header does.
        const QStringList lines = PdfText(pdf).split(u'\n');
        const qsizetype header = lines.indexOf(QRegularExpression(u".*Message.*"_s), 2);
        QVERIFY2(header > 0, qPrintable(lines.join(u'\n')));
        const qsizetype column = lines[header].lastIndexOf(u"Message"_s);
        QCOMPARE(lines.value(header + 1).indexOf(u"Pump fault, no pressure"_s), column);
        QCOMPARE(lines.value(header + 2).indexOf(u"Alarm detector 1"_s), column);
        QVERIFY(lines.first().contains(u"Tarn event log – Tarn V2.07, serial 123456"_s));
    }

    /// A sort keeps the row the user chose in sight.
    void sortKeepsTheChosenRow()
    {
        QVERIFY(open(u"V2.07"_s, 60));
        window()->resize(800, 400);
        window()->show();
        page()->cmdGetLogEvents->click();
        QCOMPARE(page()->lvLog->topLevelItemCount(), 60);
        QTreeWidgetItem* chosen = page()->lvLog->topLevelItem(50);
        page()->lvLog->setCurrentItem(chosen);
        page()->lvLog->scrollToItem(chosen);
        page()->handleColumnClick(0);
        QCOMPARE(page()->lvLog->indexOfTopLevelItem(chosen), 9);
        QVERIFY(
            page()->lvLog->viewport()->rect().intersects(page()->lvLog->visualItemRect(chosen)));
    }

    /// Closing during a reading: the reading stops first, and the question says so.
    void closeDuringReading()
    {
        QVERIFY(open(u"V2.07"_s, 30) && sim().command(u"delay 20"_s));
        boxes().expect(Kind::QuestionYesNo, u"End application?"_s, false,
                       u"An event-log reading was running; it has stopped. The * events listed "
                       u"have not been saved."_s);
        whenRows(5, [this] { window()->close(); });
        page()->cmdGetLogEvents->click();
        QTRY_COMPARE(boxes().pending(), 0);
        QCOMPARE(caption(), u"Continue"_s);
    }

    void sortsByValue_data()
    {
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QString>("indicator");
        // Rows 998, 999, 1000, 1001 (read in that order):
        //   998: 9 Jan 2026, 5 °C; 999: 10 Dec 2026, -3 °C; 1000: 10 Dec 2025, 21 °C;
        //   1001: 9 Jan 2026 like 998, 5 °C like 998, another message.
        const auto row = [](const char* name, const QList<int>& clicks, const QString& order,
                            const char* indicator) {
            QTest::newRow(name) << clicks << order.split(u' ') << indicator;
        };
        row("start: No ascending, as a number", {}, u"998 999 1000 1001"_s, "lblSortDown_0");
        row("Time ascending, ties in reading order", {1}, u"1000 998 1001 999"_s, "lblSortDown_1");
        row("Time descending, ties still in reading order", {1, 1}, u"999 998 1001 1000"_s,
            "lblSortUp_1");
        row("Temp keeps descending, below zero last", {1, 1, 2}, u"1000 998 1001 999"_s,
            "lblSortUp_2");
        row("No descending", {0}, u"1001 1000 999 998"_s, "lblSortUp_0");
    }

    void sortsByValue()
    {
        QFETCH(QList<int>, clicks);
        QFETCH(QStringList, order);
        QFETCH(QString, indicator);
        QVERIFY(open(u"V2.07"_s, 0,
                     {EventHex(At(2026, 1, 9), 1, 5), EventHex(At(2026, 12, 10), 1, -3),
                      EventHex(At(2025, 12, 10), 1, 21), EventHex(At(2026, 1, 9), 2, 5)}));
        window()->LogEventNo = 998;
        for (int column : clicks)
            page()->handleColumnClick(column);
        page()->cmdGetLogEvents->click();
        // Rows read into a sorted list land in their place.
        QCOMPARE(numbers(), order);
        QStringList shown;
        for (QLabel* label : page()->findChildren<QLabel*>(QRegularExpression(u"^lblSort"_s)))
            if (label->isVisibleTo(page()))
                shown << label->objectName();
        QCOMPARE(shown, QStringList{indicator});
        // Sorting the rows already read gives the same.
        page()->handleColumnClick(page()->sortKey());
        page()->handleColumnClick(page()->sortKey());
        QCOMPARE(numbers(), order);
    }

    void logFileBytes_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("C") << "C";
        // Arabic digits cannot be written in Latin-1: the cells fall back to the C form.
        QTest::newRow("Arabic") << "ar_EG";
    }

    void logFileBytes()
    {
        QFETCH(QString, locale);
        const TarnDateTime first = TarnDateTime::FromParts(2026, 12, 4, 13, 53, 8);
        const TarnDateTime second = TarnDateTime::FromParts(2026, 12, 5, 7, 0, 1);
        QVERIFY(open(u"V2.07"_s, 0, {EventHex(first, 1, 21), EventHex(second, 2, -5)}));
        QLocale::setDefault(QLocale(locale));
        page()->cmdGetLogEvents->click();
        page()->handleColumnClick(0);
        page()->cmdSaveLog->click();

        const auto text = [](int code) {
            return EventCodeCatalogue.Find(std::to_string(code))->Text;
        };
        const auto time = [](const TarnDateTime& t) {
            return DisplayFormat::GeneralDateTime(t, QLocale::c()).toStdString();
        };
        // In the order shown: No descending; the degree sign is the byte B0 (octal 260).
        const std::string expected = "No\tTime\tTemp\tMessage\r\n001\t" + time(second) +
                                     "\t-5\260C/23\260F\t" + text(2) + "\r\n000\t" + time(first) +
                                     "\t21\260C/69.8\260F\t" + text(1) + "\r\n";
        QCOMPARE(ReadAll(m_program->home.filePath(u"tarn.logg"_s)).toStdString(), expected);
    }

    /// A reply late after its request's time-out answers the next request, whose own reply
    /// comes in the pause after that answer: both events are listed, once each.
    void lateReplyKept()
    {
        QVERIFY(open(u"V2.07"_s, 3) && sim().command(u"mute 1 48"_s));
        const QByteArray late = EventHex(At(2025, 6, 1), 3, 20).toLatin1();
        connect(
            window()->tarn, &Tarn_Comm::ErrorMessage, this,
            [&] { sim().post(u"frame 48 "_s + QString::fromLatin1(late.toHex())); },
            Qt::SingleShotConnection);
        page()->cmdGetLogEvents->click();
        QSet<QString> times;
        for (int i = 0; i < page()->lvLog->topLevelItemCount(); ++i)
            times << page()->lvLog->topLevelItem(i)->text(1);
        QCOMPARE(numbers(), Range(0, 4));
        QCOMPARE(times.size(), 4);
    }

    void replyAfterReadingStopped_data()
    {
        QTest::addColumn<bool>("event");
        QTest::newRow("an event: listed first by the next reading") << true;
        // An END late for an earlier reading does not end the next one before it asks.
        QTest::newRow("END: the next reading asks") << false;
    }

    /// A reply that arrives after a reading stopped is kept by the link for the next one.
    void replyAfterReadingStopped()
    {
        QFETCH(bool, event);
        QVERIFY(open(u"V2.07"_s, 3));
        const TarnDateTime lateTime = At(2025, 6, 1);
        const QByteArray late = event ? EventHex(lateTime, 3, 20).toLatin1() : "END";
        QSignalSpy frames(window()->tarn, &Tarn_Comm::DataRecieved);
        sim().post(u"frame 48 "_s + QString::fromLatin1(late.toHex()));
        QVERIFY(frames.wait());
        page()->cmdGetLogEvents->click();
        QCOMPARE(numbers(), Range(0, event ? 4 : 3));
        QCOMPARE(page()->lvLog->topLevelItem(0)->text(1),
                 DisplayFormat::GeneralDateTime(event ? lateTime : At(2026, 1, 1)));
    }

    /// A damaged reply is an event lost: a row marks its place, the label counts it, and the
    /// report keeps the row.
    void damagedReplyMarked()
    {
        QVERIFY(open(u"V2.07"_s, 5));
        // The second log reply from now, after the version and serial number, goes out with a
        // wrong checksum.
        const qsizetype replied = sim().journal().size();
        QVERIFY(sim().command(u"faults 0 %1 0"_s.arg(replied + 4)));
        page()->cmdGetLogEvents->click();
        QCOMPARE(caption(), u"Get new events"_s);
        QCOMPARE(numbers(), Range(0, 5));
        const QString lostText = u"Event could not be read (damaged reply)"_s;
        QCOMPARE(page()->lvLog->topLevelItem(1)->text(3), lostText);
        QCOMPARE(page()->lvLog->topLevelItem(1)->text(1), QString());
        QCOMPARE(label(), u"End of log: 5 events, 1 damaged reply: 1 event lost"_s);
        page()->cmdSaveLog->click();
        QVERIFY(ReadAll(m_program->home.filePath(u"tarn.logg"_s))
                    .contains("\r\n001\t\t\t" + lostText.toLatin1() + "\r\n"));
    }

    /// A refusal to send the next event is no event: the reading stops at it and says so, and
    /// the events come once the controller sends them.
    void refusalStops()
    {
        QVERIFY(open(u"V2.07"_s, 3));
        QVERIFY(sim().command(u"ack 48 NAK"_s));
        page()->cmdGetLogEvents->click();
        QCOMPARE(caption(), u"Continue"_s);
        QCOMPARE(page()->lvLog->topLevelItemCount(), 0);
        QCOMPARE(sim().codes().count(TarnCommand::ReadNextLogEvent), 1);
        QCOMPARE(window()->lblAppStatus[1]->text(), u" Tarn refused to send the next event."_s);
        QVERIFY(sim().command(u"ack 48"_s));
        page()->cmdGetLogEvents->click();
        QCOMPARE(numbers(), Range(0, 3));
    }

    /// A save or a print into a PDF file that fails on a full disk says so, and leaves the
    /// old file and the rows.
    void saveAndPrintOnFullDisk()
    {
        SmallDisk disk;
        if (!disk.mounted())
            QSKIP(SmallDisk::skipReason());
        QVERIFY(open(u"V2.07"_s, 40));
        // The report lies on the small disk; it is replaced where its link points.
        const QString report = disk.filePath(u"tarn.logg"_s);
        const QByteArray old = "No\tTime\tTemp\tMessage\r\n";
        const QString pdf = disk.filePath(u"events.pdf"_s);
        QVERIFY(WriteAll(report, old) && WriteAll(pdf, old) &&
                QFile::link(report, m_program->home.filePath(u"tarn.logg"_s)) && disk.fill());
        page()->cmdGetLogEvents->click();
        boxes().expect(Kind::Critical,
                       u"The event log could not be saved as %1.\nNo space left on device"_s.arg(
                           QDir::toNativeSeparators(m_program->home.filePath(u"tarn.logg"_s))));
        page()->cmdSaveLog->click();
        QCOMPARE(boxes().pending(), 0);
        QCOMPARE(ReadAll(report), old);
        QCOMPARE(page()->lvLog->topLevelItemCount(), 40);

        boxes().expectPrint(pdf);
        boxes().expect(Kind::Critical,
                       u"The report could not be printed.\nNo space left on device"_s);
        page()->cmdPrintLog->click();
        QCOMPARE(boxes().pending(), 0);
        QCOMPARE(ReadAll(pdf), old);
    }
};

QTEST_MAIN(tst_EventLogPage)
#include "tst_eventlogpage.moc"
