// Records of the service history in the window: a controller without a serial number whose
// events do not tell which record is its own is asked about, and records merged by hand.

#include "HistoryProgramTest.h"

#include "controller/HistoryRecorder.h"
#include "protocol/CommandCodes.h"
#include "ui/history/frmHistory.h"
#include "ui/setup/frmSetup.h"

#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTreeWidget>

namespace {
QStringList Events(int from, int count)
{
    QStringList lines;
    for (int i = from; i < from + count; ++i)
        lines << u"event "_s + EventHex(i, 1, 20);
    return lines;
}
} // namespace

class tst_HistoryRecords : public HistoryProgramTest
{
    Q_OBJECT

    /// The number of events of each record, oldest record first.
    QList<qint64> counts() const
    {
        QList<qint64> events;
        for (const ArchivedController& record : archive().Controllers())
            events << qint64(archive().Events(record.id).size());
        std::sort(events.begin(), events.end());
        return events;
    }

    /// Runs `action` while another program holds the history file.
    void heldByAnother(const std::function<void()>& action) const
    {
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
            other.setDatabaseName(
                m_program->home.filePath(QLatin1String(HistoryArchive::kFileName)));
            QSqlQuery hold(other);
            QVERIFY(other.open() && hold.exec(u"BEGIN EXCLUSIVE"_s));
            action();
            QVERIFY(hold.exec(u"COMMIT"_s));
            other.close();
        }
        QSqlDatabase::removeDatabase(u"other"_s);
    }
    /// The records of the program's history once it has ended, but the simulator's first
    /// controller: the serial number of each, its port and its events, "999 COM1: 3".
    QStringList recordsAtTheEnd()
    {
        m_program->window.reset();
        HistoryArchive archive(u"test"_s);
        if (!archive.Open(m_program->home.path()))
            return {archive.fault()};
        QStringList records;
        for (const ArchivedController& record : archive.Controllers())
            if (record.key.serialNumber != u"123456"_s)
                records << u"%1 %2: %3"_s.arg(record.key.serialNumber, record.key.port)
                               .arg(archive.Events(record.id).size());
        return records;
    }

    void readNew() const
    {
        setTab(kEventLogTab);
        window()->picLog->cmdGetLogEvents->click();
    }

    /// The program started with the simulator's controller (serial 123456) as the first record,
    /// and two more of V2.06 with one and two events; the History window opened, nothing chosen.
    /// The rows of the two.
    QList<QTreeWidgetItem*> twoRecords(const QStringList& serials)
    {
        if (!startProgram())
            return {};
        window()->updTimer->stop();
        // Looked up by the archive's writer: first, as the reading came first.
        if (!archive().FindController(u"123456"_s))
            return {};
        int minute = 0;
        for (int record = 0; record < 2; ++record) {
            const std::optional<qint64> id =
                archive().ControllerId(ControllerKey{serials[record], 2.06, u"COM9"_s});
            for (int i = 0; id && i <= record; ++i) {
                ArchivedEvent event;
                event.raw = EventHex(minute++, 1, 20);
                event.eventTime = QDateTime::currentDateTimeUtc();
                event.code = 1;
                event.readAt = QDateTime::currentDateTimeUtc();
                event.program = u"tarnconf"_s;
                archive().StoreEvent(*id, event);
            }
        }
        window()->mnuViewHistory->trigger();
        frmHistory* history = window()->HistoryWindow;
        QList<QTreeWidgetItem*> two;
        if (!history)
            return two;
        QTreeWidget* list = history->lvControllers;
        list->clearSelection();
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->text(0) != u"123456"_s)
                two << list->topLevelItem(i);
        return two;
    }

private slots:
    void unnamedAsked_data()
    {
        QTest::addColumn<int>("choice");   // -1: the box cancelled
        QTest::addColumn<QString>("name"); // given to the new record; null: not asked
        QTest::addColumn<QList<qint64>>("records");
        QTest::newRow("a Tarn not in the history yet, named")
            << 0 << u"Field 7"_s << QList<qint64>{3, 3};
        QTest::newRow("a Tarn not in the history yet, no name")
            << 0 << u""_s << QList<qint64>{3, 3};
        QTest::newRow("cancelled: a new record as before")
            << -1 << QString() << QList<qint64>{3, 3};
        QTest::newRow("the Tarn read before") << 1 << QString() << QList<qint64>{6};
    }

    /// Two V2.06 controllers on one device, one after the other: the second one's events are
    /// in no record, so the technician is asked; what is read later goes where was answered.
    void unnamedAsked()
    {
        QFETCH(int, choice);
        QFETCH(QString, name);
        QFETCH(QList<qint64>, records);
        const QString device = m_program->home.filePath(u"ttyTarn"_s);
        const QStringList options{u"--link"_s, device, u"--version"_s, u"V2.06"_s};
        QVERIFY(m_program->startSim(options, Events(0, 3)));
        QVERIFY(m_program->load({device}));
        window()->updTimer->stop();
        readNew();
        QCOMPARE(counts(), QList<qint64>{3});

        QVERIFY(m_program->startSim(options, Events(10, 2)));
        boxes().expectChoice(u"Which Tarn is this?"_s, choice,
                             u"The Tarn on COM1 (firmware 2.06) has no serial number, and the "
                             "events it holds do not tell which Tarn of the service history it "
                             "is."_s);
        if (!name.isNull())
            boxes().expectInput(u"A name for this Tarn, *"_s, name);
        readNew();
        QTRY_COMPARE(boxes().pending(), 0);
        QStringList names;
        for (const ArchivedController& record : archive().Controllers())
            names << record.name;
        // The new record, the later one, named as answered.
        QStringList expected(records.size(), QString());
        expected.last() = name;
        QCOMPARE(names, expected);
        QVERIFY(sim().command(u"event "_s + EventHex(20, 1, 20)));
        readNew();
        QCOMPARE(counts(), records);
    }

    void whileRecordMade_data()
    {
        QTest::addColumn<bool>("setupOpened"); // else the program ends
        QTest::newRow("the program ends") << false;
        QTest::newRow("the setup window opens") << true;
    }

    /// The program closes, or the setup window asks for the record, while the history's writer
    /// makes the record of a controller without a serial number (another program held the
    /// file a moment): its events go into that one record, and no second, empty one is made.
    void whileRecordMade()
    {
        QFETCH(bool, setupOpened);
        const QString device = m_program->home.filePath(u"ttyTarn"_s);
        QVERIFY(
            m_program->startSim({u"--link"_s, device, u"--version"_s, u"V2.06"_s}, Events(0, 3)));
        QVERIFY(m_program->load({device}));
        window()->updTimer->stop();
        heldByAnother([this] {
            readNew();
            QCOMPARE(window()->picLog->lvLog->topLevelItemCount(), 3);
        });
        if (setupOpened)
            frmSetup(window()->tarn, boxes(), nullptr, u"-K"_s);
        QCOMPARE(recordsAtTheEnd(), QStringList{u" COM1: 3"_s});
    }

    void heldThroughRereads_data()
    {
        QTest::addColumn<bool>("lineFails"); // before the end
        QTest::newRow("the record found at the end") << false;
        // They were read from 999, identified before them: a line failing after them makes
        // them nobody else's.
        QTest::newRow("the line fails before the end") << true;
    }

    /// All events read three times while the record of their controller is looked up (another
    /// program holds the file) are filed once each, in one record: every rewind among them
    /// counts.
    void heldThroughRereads()
    {
        QFETCH(bool, lineFails);
        QVERIFY(startProgram({}, Events(0, 3)));
        window()->updTimer->stop();
        QVERIFY(sim().command(u"admin 000003E7"_s + u"00000000"_s.repeated(4)));
        heldByAnother([&] {
            setTab(kEventLogTab);
            for (int read = 0; read < 3; ++read)
                window()->picLog->cmdGetAllLogEvents->click();
            QCOMPARE(sim().codes().count(TarnCommand::LogControl), 3);
            QVERIFY(window()->history()->hasHeld());
            if (lineFails) {
                QVERIFY(sim().command(u"mute 1"_s));
                window()->IdentifyController();
                QVERIFY(window()->tarn->IdentityStale);
            }
        });
        QCOMPARE(recordsAtTheEnd(), QStringList{u"999 COM1: 3"_s});
    }

    /// Events held while their controller's record is looked up are not filed under another
    /// controller connected and read before the history answers, nor under an unknown one:
    /// under the controller identified before they were read.
    void heldThenAnotherRead()
    {
        QVERIFY(startProgram({}, Events(0, 2)));
        window()->updTimer->stop();
        const QString dates = u"00000000"_s.repeated(4);
        QVERIFY(sim().command(u"admin 000003E7"_s + dates));
        heldByAnother([&] {
            readNew();
            QVERIFY(window()->history()->hasHeld());
            // The cable moved to another controller, between two requests.
            QVERIFY(sim().command(u"admin 00000309"_s + dates));
            QVERIFY(sim().command(u"event "_s + EventHex(7, 2, 21)));
            boxes().expectChoice(u"Another Tarn is connected now: serial 777*"_s, 1);
            readNew();
            QCOMPARE(window()->picLog->lvLog->topLevelItemCount(), 1);
        });
        QCOMPARE(recordsAtTheEnd(), (QStringList{u"777 COM1: 1"_s, u"999 COM1: 2"_s}));
    }

    void mergeByHand_data()
    {
        QTest::addColumn<QStringList>("serials"); // of the two records, "" for none
        QTest::addColumn<QString>("question");    // empty: refused
        QTest::addColumn<QList<qint64>>("records");
        QTest::newRow("two without a serial number: into the older")
            << QStringList{u""_s, u""_s}
            << u"File the records of record 3 (no serial number, V2.06) under record 2 "
               "(no serial number, V2.06)?"_s
            << QList<qint64>{0, 3};
        QTest::newRow("into the one with a serial number")
            << QStringList{u""_s, u"4711"_s}
            << u"File the records of record 2 (no serial number, V2.06) under record 3 "
               "(serial 4711, V2.06)?"_s
            << QList<qint64>{0, 3};
        QTest::newRow("two serial numbers: refused")
            << QStringList{u"4711"_s, u"4712"_s} << QString() << QList<qint64>{0, 1, 2};
    }

    /// The simulator's controller (serial 123456) is the first record; the two are the next.
    void mergeByHand()
    {
        QFETCH(QStringList, serials);
        QFETCH(QString, question);
        QFETCH(QList<qint64>, records);
        const QList<QTreeWidgetItem*> two = twoRecords(serials);
        QCOMPARE(two.size(), 2);
        QCOMPARE(counts(), (QList<qint64>{0, 1, 2}));
        frmHistory* history = window()->HistoryWindow;
        QTreeWidget* list = history->lvControllers;
        two[0]->setSelected(true);
        QVERIFY(!history->cmdMerge->isEnabled());
        two[1]->setSelected(true);
        QVERIFY(history->cmdMerge->isEnabled());
        if (question.isEmpty()) {
            boxes().expect(Kind::QuestionOkCancelDefaultCancel, u"File the records of *"_s);
            boxes().expect(Kind::Critical, u"The records could not be merged."_s);
        } else {
            boxes().expect(Kind::QuestionOkCancelDefaultCancel, question);
        }
        history->cmdMerge->click();
        QCOMPARE(counts(), records);
        QCOMPARE(list->topLevelItemCount(), records.size());
    }

    /// Each of two Tarns without a serial number given a name in the History window: the list,
    /// the merge's question and the archive show it; one name for two records is refused.
    void nameByHand()
    {
        QList<QTreeWidgetItem*> two = twoRecords({QString(), QString()});
        QCOMPARE(two.size(), 2);
        frmHistory* history = window()->HistoryWindow;
        QVERIFY(!history->cmdName->isEnabled());
        const qint64 first = two[0]->data(0, Qt::UserRole).toLongLong();
        two[0]->setSelected(true);
        QVERIFY(history->cmdName->isEnabled());
        // A "%3" in it stays as typed in every text that shows it.
        boxes().expectInput(u"The name of record %1, *"_s.arg(first), u" Field 7 %3 "_s);
        history->cmdName->click();
        QTRY_COMPARE(boxes().pending(), 0);
        QCOMPARE(archive().ControllerById(first)->name, u"Field 7 %3"_s);
        // Listed again, the named record still chosen.
        QTreeWidget* list = history->lvControllers;
        QCOMPARE(list->selectedItems().size(), 1);
        QVERIFY(history->cmdName->isEnabled());
        QCOMPARE(list->selectedItems().first()->text(0), u"\"Field 7 %3\""_s);

        // The list made anew: the other record's row, and both rows for the merge.
        QTreeWidgetItem* other = nullptr;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (QTreeWidgetItem* row = list->topLevelItem(i); row->text(0) == u"(none)"_s)
                other = row;
        QVERIFY(other);
        const qint64 second = other->data(0, Qt::UserRole).toLongLong();
        list->clearSelection();
        other->setSelected(true);
        boxes().expectInput(u"The name of record *"_s, u"field 7 %3"_s);
        boxes().expect(Kind::Critical, u"The record could not be named."_s, true,
                       u"record %1 is called \"Field 7 %3\" already"_s.arg(first));
        history->cmdName->click();
        QTRY_COMPARE(boxes().pending(), 0);
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->text(0) == u"\"Field 7 %3\""_s)
                list->topLevelItem(i)->setSelected(true);
        // Merged into the older record, the name kept whichever held it.
        boxes().expect(Kind::QuestionOkCancelDefaultCancel,
                       u"File the records of record *\"Field 7 %3\", no serial number*"_s);
        history->cmdMerge->click();
        QTRY_COMPARE(boxes().pending(), 0);
        QCOMPARE(counts(), (QList<qint64>{0, 3}));
        QCOMPARE(archive().ControllerById(std::min(first, second))->name, u"Field 7 %3"_s);
    }
};

QTEST_MAIN(tst_HistoryRecords)
#include "tst_historyrecords.moc"
