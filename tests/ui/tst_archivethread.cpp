// The window on a PostgreSQL history server that stops answering (its processes stopped) or
// whose events table another session keeps locked: the link, the outputs' off words and the
// reading go on as if nothing were wrong, and what was read meanwhile reaches the server once,
// after it answers again.

#include "HistoryProgramTest.h"

#include "controller/SetupChange.h"
#include "tests/history/ArchiveRecords.h"
#include "tests/history/PostgresCluster.h"
#include "ui/setup/frmSetup.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QScrollBar>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>

#include <csignal>

namespace {
/// Events the controller holds.
constexpr int kEvents = 40;
/// The timed test's time, in seconds.
constexpr int kTestSeconds = 2;
/// How late an off word may go out after its time, and the longest silence on the line while
/// the program reads (a request waiting for the database would make one of over a second).
constexpr double kSlackSeconds = 1.0;
/// Readings continued after the fault's box stopped one.
constexpr int kContinues = 3;
/// How long the server may take to have what was queued once it answers again: its retry
/// interval twice.
constexpr int kResumedMs = 25000;

/// The longest time the event loop stood still while it runs.
class StallMeter
{
public:
    StallMeter()
    {
        QObject::connect(&m_ticks, &QTimer::timeout,
                         [this] { m_longest = qMax(m_longest, m_sinceTick.restart()); });
        m_sinceTick.start();
        m_ticks.start(10);
    }
    qint64 longest() const { return m_longest; }

private:
    QElapsedTimer m_sinceTick;
    QTimer m_ticks;
    qint64 m_longest = 0;
};
} // namespace

class tst_ArchiveThread : public HistoryProgramTest
{
    Q_OBJECT
    PostgresCluster m_cluster;
    QString m_lockName = u"locker"_s;
    /// The history's address for the case.
    QString m_address;
    int m_cases = 0;

    /// The program on the simulator, its history on the cluster's server.
    bool startOnServer()
    {
        QStringList lines;
        for (int i = 0; i < kEvents; ++i)
            lines << u"event "_s + EventHex(i, 1, 20);
        RunningProgram& program = *m_program;
        if (!program.startSim({}, lines) || !program.home.installIni(program.sim.slavePath()))
            return false;
        QFile ini(program.home.filePath(u"Tarn.INI"_s));
        if (!ini.open(QIODevice::Append))
            return false;
        ini.write("[HISTORY]\r\nDatabase=" + m_address.toUtf8() + "\r\n");
        ini.close();
        program.window = std::make_unique<frmMain>(program.boxes);
        if (!program.window->Load())
            return false;
        program.window->tarn->replyTimeout = RunningProgram::kShortReplyTimeout;
        window()->show();
        window()->activateWindow();
        return QTest::qWaitForWindowActive(window());
    }
    /// A session of the cluster's server on `database`, as m_lockName.
    QSqlDatabase session(const QString& database) const
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, m_lockName);
        db.setHostName(m_cluster.address().section(u'@', 1).section(u"/postgres"_s, 0, 0));
        db.setUserName(QLatin1String(PostgresCluster::kUser));
        db.setDatabaseName(database);
        return db;
    }
    /// A database of its own for the case (another case's events would be read again).
    bool freshDatabase()
    {
        QString errText;
        return ArchiveRecords::CreateDatabase(m_cluster.address(), u"case_%1"_s.arg(++m_cases),
                                              m_address, errText);
    }
    /// Another session of the server holding `LOCK TABLE events` until unlock().
    bool lock()
    {
        QSqlDatabase db = session(m_address.section(u'/', -1));
        QSqlQuery query(db);
        return db.open() && query.exec(u"BEGIN"_s) && query.exec(u"LOCK TABLE events"_s);
    }
    void unlock()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_lockName, false);
            if (db.isOpen())
                QSqlQuery(db).exec(u"COMMIT"_s);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_lockName);
    }
    /// The events the server holds for the controller on the link, as their replies.
    QStringList archived() const
    {
        const QString serial = ControllerKey{
            QString::fromStdString(window()->tarn->Inputs.SerialNumber),
            0,
            {}}.SerialName();
        std::optional<ArchivedController> found = archive().FindController(serial);
        // One without a serial number: the only such record.
        for (const ArchivedController& controller : archive().Controllers())
            if (serial.isEmpty() && controller.key.SerialName().isEmpty())
                found = controller;
        QStringList raws;
        if (found)
            for (const ArchivedEvent& event : archive().Events(found->id))
                if (!event.gap)
                    raws << event.raw.toUpper();
        return raws;
    }

    /// Starts a timed test of valve 2.
    TestPage* startTimedTest()
    {
        setTab(kTestTab);
        TestPage* page = window()->picTest;
        page->hsbRuntime_test->setValue(kTestSeconds);
        page->optValve2_test->setChecked(true);
        page->chkPump_test->setChecked(false);
        QTest::mouseClick(page->cmdStartRuntime_test, Qt::LeftButton);
        return page;
    }
    /// After the timed test's end: its on and off words sent since journal line `mark`, the
    /// off word on time.
    void offOnTime(TestPage* page, qsizetype mark)
    {
        QTRY_COMPARE_WITH_TIMEOUT(page->cmdStartRuntime_test->text(), u"Start"_s,
                                  (kTestSeconds + 10) * 1000);
        const QStringList journal = sim().journal();
        const QList<double> seconds = sim().journalSeconds();
        QStringList words;
        QList<double> at;
        for (qsizetype i = mark; i < journal.size() && i < seconds.size(); ++i)
            if (journal[i].startsWith(u"100 "_s)) {
                words << QString::fromLatin1(QByteArray::fromHex(journal[i].mid(4).toLatin1()));
                at << seconds[i];
            }
        QCOMPARE(words, (QStringList{u"0400"_s, u"0000"_s}));
        QVERIFY2(at[1] - at[0] <= kTestSeconds + kSlackSeconds,
                 qPrintable(u"off after %1 s"_s.arg(at[1] - at[0])));
    }

private slots:
    void initTestCase() override
    {
        ProgramTest::initTestCase();
        if (!m_cluster.missing().isEmpty())
            QSKIP(qPrintable(m_cluster.missing()));
        QString errText;
        QVERIFY2(m_cluster.ready(errText), qPrintable(errText));
    }

    void cleanup() override
    {
        m_cluster.signalAll(SIGCONT);
        unlock();
        ProgramTest::cleanup();
    }

    void serverInTrouble_data()
    {
        QTest::addColumn<bool>("stopped"); // else the events table locked
        // Another controller on the cable meanwhile: its serial number (hex), 0 for none.
        QTest::addColumn<QString>("another");
        QTest::newRow("server stopped") << true << QString();
        QTest::newRow("events table locked") << false << QString();
        // Its record is looked up while the server does not answer.
        QTest::newRow("server stopped, another controller") << true << u"000003E7"_s;
        // Told apart by its events, which are weighed while the server does not answer.
        QTest::newRow("server stopped, no serial number") << true << u"00000000"_s;
    }

    /// All events read and a timed test run while the server does not take what is stored:
    /// no request waits for it, the off word goes out on time, and every event reaches the
    /// server once after it takes them again.
    void serverInTrouble()
    {
        QFETCH(bool, stopped);
        QFETCH(QString, another);
        QVERIFY(freshDatabase());
        QVERIFY(startOnServer());
        QVERIFY2(archive().isOpen() && archive().fault().isEmpty(), qPrintable(archive().fault()));
        // The controller is on the server: later runs of the window know it.
        QTRY_VERIFY2(
            archive().FindController(QString::fromStdString(window()->tarn->Inputs.SerialNumber)),
            qPrintable(archive().fault()));
        QVERIFY(stopped ? m_cluster.signalAll(SIGSTOP) : lock());
        if (!another.isEmpty())
            QVERIFY(sim().command(u"admin "_s + another + u"00000000"_s.repeated(4)));
        // Said once, when the reading is over: what is read is kept locally meanwhile.
        boxes().expect(Kind::Critical, u"The history of the controllers cannot be kept."_s, true,
                       u"The history server (*) cannot be reached: it did not answer within "
                       u"1.5 s (stopped, or a table locked by another session). What is read "
                       u"is kept in * and sent when it is back."_s);

        const qsizetype mark = sim().journal().size();
        setTab(kEventLogTab);
        EventLogPage* log = window()->picLog;
        log->cmdGetAllLogEvents->click();
        // The fault's box stops the reading at its next turn (it opens once the reading ends):
        // it is continued, as the technician would.
        for (int more = 0; more < kContinues && log->lvLog->topLevelItemCount() < kEvents; ++more)
            log->cmdGetLogEvents->click();
        QCOMPARE(log->lvLog->topLevelItemCount(), kEvents);
        QTRY_COMPARE_WITH_TIMEOUT(boxes().pending(), 0, kResumedMs);

        offOnTime(startTimedTest(), mark);
        if (QTest::currentTestFailed())
            return;
        const QStringList journal = sim().journal();
        const QList<double> seconds = sim().journalSeconds();
        double silence = 0;
        // Between two requests of a reading, each event read is stored.
        for (qsizetype i = mark + 1; i < journal.size() && i < seconds.size(); ++i)
            if (journal[i] == u"48"_s && journal[i - 1] == u"48"_s)
                silence = qMax(silence, seconds[i] - seconds[i - 1]);
        QVERIFY2(silence <= kSlackSeconds, qPrintable(u"%1 s without a request"_s.arg(silence)));

        // Taking records again, the server gets each event read once.
        if (stopped)
            QVERIFY(m_cluster.signalAll(SIGCONT));
        else
            unlock();
        QStringList expected;
        for (int i = 0; i < kEvents; ++i)
            expected << EventHex(i, 1, 20).toUpper();
        QTRY_COMPARE_WITH_TIMEOUT(archived().size(), qsizetype(kEvents), kResumedMs);
        QVERIFY(archive().Flush(std::chrono::seconds(10)));
        QStringList got = archived();
        got.sort();
        QCOMPARE(got, expected);
        QTRY_VERIFY_WITH_TIMEOUT(archive().fault().isEmpty(), kResumedMs);
    }

    /// The History and Fleet windows opened during a timed test while the server does not
    /// answer: each opens without holding the program, and the off word goes out on time.
    void windowsWhileServerStopped()
    {
        QVERIFY(freshDatabase());
        QVERIFY(startOnServer());
        QTRY_VERIFY2(
            archive().FindController(QString::fromStdString(window()->tarn->Inputs.SerialNumber)),
            qPrintable(archive().fault()));
        QVERIFY(m_cluster.signalAll(SIGSTOP));
        const qsizetype mark = sim().journal().size();
        TestPage* page = startTimedTest();
        QTest::qWait(200);
        StallMeter meter;
        boxes().expect(Kind::Critical, u"The history of the controllers cannot be kept."_s, true,
                       u"The history server (*) cannot be reached: *"_s);
        window()->mnuViewHistory->trigger();
        window()->mnuViewFleet->trigger();
        offOnTime(page, mark);
        const qint64 stall = meter.longest();
        qInfo("longest stall while the windows read: %lld ms", stall);
        QVERIFY2(stall <= kSlackSeconds * 1000, qPrintable(u"%1 ms stalled"_s.arg(stall)));
        QVERIFY(window()->HistoryWindow && window()->FleetWindow);
        QTRY_COMPARE_WITH_TIMEOUT(boxes().pending(), 0, kResumedMs);
    }

    /// A zone's profile written while the server does not answer: what the changes filed before
    /// tell (the definition the zone ran, whether a definition is new) is read by the writer,
    /// not in the link's signal; both changes reach the server once it answers again.
    void setupWriteWhileServerStopped()
    {
        QVERIFY(freshDatabase());
        QVERIFY(startOnServer());
        const QString serial = QString::fromStdString(window()->tarn->Inputs.SerialNumber);
        QTRY_VERIFY2(archive().FindController(serial), qPrintable(archive().fault()));
        window()->updTimer->stop();
        window()->StopAutoUpdate();
        frmSetup setup(window()->tarn, boxes(), nullptr, u"-K"_s);
        setup.show();
        QVERIFY(m_cluster.signalAll(SIGSTOP));
        QComboBox* zone2 = setup.cboProfiles[1];
        zone2->setCurrentIndex(zone2->findData(8));
        boxes().expect(Kind::QuestionOkCancel, u"Send new Zone settings to Tarn?"_s);
        boxes().expect(Kind::Info, u"Tarn was updated succesfully!"_s);
        boxes().expect(Kind::Critical, u"The history of the controllers cannot be kept."_s, true,
                       u"The history server (*) cannot be reached: *"_s);
        StallMeter meter;
        setup.cmdSetZoneSettings->click();
        QTRY_COMPARE_WITH_TIMEOUT(boxes().pending(), 0, kResumedMs);
        qInfo("longest stall while the zone was written: %lld ms", meter.longest());
        QVERIFY2(meter.longest() <= kSlackSeconds * 1000,
                 qPrintable(u"%1 ms stalled"_s.arg(meter.longest())));

        QVERIFY(m_cluster.signalAll(SIGCONT));
        const auto zoneChanges = [&] {
            QStringList commands;
            if (const auto found = archive().FindController(serial))
                for (const ArchivedChange& change : archive().Changes(found->id))
                    if (SetupChange::Fields(change.afterJson).value(u"zone"_s).toInt() == 2)
                        commands << QString::number(change.command);
            return commands;
        };
        QTRY_COMPARE_WITH_TIMEOUT(zoneChanges(), (QStringList{u"104"_s, u"102"_s}), kResumedMs);
        // The definition zone 2 ran before, for the undo: its profile's, as none was written.
        const auto found = archive().FindController(serial);
        QVERIFY(found);
        for (const ArchivedChange& change : archive().Changes(found->id))
            if (change.command == 104)
                QVERIFY2(SetupChange::Fields(change.beforeJson).contains(u"definition"_s),
                         qPrintable(change.beforeJson));
    }
};

QTEST_MAIN(tst_ArchiveThread)
#include "tst_archivethread.moc"
