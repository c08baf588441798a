#include "ArchiveRecords.h"
#include "PostgresCluster.h"
#include "history/PostgresAddress.h"
#include "history/StatementGuard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLockFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <set>
#include <thread>

using namespace ArchiveRecords;

namespace {
/// How long the writers may take together.
constexpr std::chrono::seconds kWritersTimeout{120};

/// The replies and ordinals of `events`, sorted: either program may send first.
QString Sorted(const std::vector<ArchivedEvent>& events)
{
    QStringList raws = Raws(events).split(u' ');
    raws.sort();
    return raws.join(u' ');
}
} // namespace

/// The archive on a PostgreSQL server that the test runs itself.
class TestHistoryPostgres : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void concurrentWriters();
    void queueWhileServerAway();
    void queueAfterAnotherReread();
    void queueAfterOwnRewind_data();
    void queueAfterOwnRewind();
    void refused();
    void refusedRecord_data();
    void refusedRecord();
    void serverStopped();
    void schemaLocked_data();
    void schemaLocked();
    void checks_data();
    void checks();

private:
    PostgresCluster m_cluster;
};

void TestHistoryPostgres::initTestCase()
{
    if (!m_cluster.missing().isEmpty())
        QSKIP(qPrintable(m_cluster.missing()));
    QString errText;
    QVERIFY2(m_cluster.ready(errText), qPrintable(errText));
}

/// Programs that read the same events at once, into an archive none of them made yet: each
/// event once; new events all kept, with ordinals of their own.
void TestHistoryPostgres::concurrentWriters()
{
    constexpr int kWriters = 3;
    constexpr int kEvents = 300;
    constexpr int kNew = 40;
    QTemporaryDir folders;
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int i = 0; i < kWriters; ++i) {
        auto writer = std::make_unique<QProcess>();
        writer->setProcessChannelMode(QProcess::ForwardedChannels);
        writer->start(QCoreApplication::applicationDirPath() + QStringLiteral("/history_writer"),
                      {folders.filePath(QString::number(i)), m_cluster.address(),
                       QString::number(kEvents), QString::number(kNew)});
        writers.push_back(std::move(writer));
    }
    for (auto& writer : writers) {
        QVERIFY(writer->waitForFinished(int(std::chrono::milliseconds(kWritersTimeout).count())));
        QCOMPARE(writer->exitCode(), 0);
    }
    HistoryArchive archive(kProgram);
    QVERIFY2(archive.Open(folders.path(), m_cluster.address()), qPrintable(archive.fault()));
    const auto controller = archive.FindController(QStringLiteral("S1"));
    QVERIFY(controller);
    QCOMPARE(controller->events, qint64(kEvents + kWriters * kNew));
    const QStringList raws = Raws(archive.Events(controller->id)).split(u' ');
    const std::set<QString> distinct(raws.begin(), raws.end());
    QCOMPARE(int(distinct.size()), raws.size());
    QCOMPARE(archive.StoredCount(controller->id, QStringLiteral("NEW")), kWriters * kNew);
    QVERIFY(distinct.count(QStringLiteral("NEW%1").arg(kWriters * kNew)));
}

/// The server stopped: what is read goes to the local file, and is sent once the server is
/// back, nothing doubled (neither what the server had nor what two programs queued).
void TestHistoryPostgres::queueWhileServerAway()
{
    QTemporaryDir folderA, folderB;
    HistoryArchive a(kProgram), b(kProgram);
    QSignalSpy faults(&a, &HistoryArchive::faultChanged);
    QVERIFY(a.Open(folderA.path(), m_cluster.address()));
    const ControllerKey key{QStringLiteral("S2"), 3.06, QStringLiteral("COM1")};
    const auto id = a.ControllerId(key);
    QVERIFY(id && !a.isQueueing());
    for (int ordinal = 1; ordinal <= 2; ++ordinal)
        QVERIFY(a.StoreEvent(*id, Event(QStringLiteral("Q"), ordinal)));
    QVERIFY(a.StoreStatus(*id, QStringLiteral(R"({"mains":1})")));

    QString errText;
    QVERIFY2(m_cluster.stop(errText), qPrintable(errText));
    for (int ordinal = 2; ordinal <= 4; ++ordinal)
        QVERIFY(a.StoreEvent(*id, Event(QStringLiteral("Q"), ordinal)));
    QVERIFY(a.isQueueing());
    QCOMPARE(faults.size(), 1);
    QVERIFY(a.StoreEvent(*id, Event(QStringLiteral("N"), 0)));
    bool stored = false;
    QVERIFY(a.StoreStatus(*id, QStringLiteral(R"({"mains":0})"), &stored) && stored);
    // A zone's command: its data starts with the zone, 0 for the first, and holds any byte.
    ArchivedChange change;
    change.command = 104;
    change.data = QString::fromLatin1(QByteArray("\x00"
                                                 "00000008\xf8",
                                                 10));
    change.summary = QStringLiteral("Zone 1 profile");
    QVERIFY(a.StoreChange(*id, change));
    // A controller first seen now, and another program that opens while the server is away.
    const auto unnamed = a.ControllerId({QString(), 2.05, QStringLiteral("COM4")});
    QVERIFY(unnamed && a.StoreEvent(*unnamed, Event(QStringLiteral("U"), 1)));
    QVERIFY(b.Open(folderB.path(), m_cluster.address()));
    QVERIFY(b.isQueueing() && !b.fault().isEmpty());
    const auto idB = b.ControllerId(key);
    QVERIFY(idB && b.StoreEvent(*idB, Event(QStringLiteral("Q"), 4)));
    QVERIFY(!a.SendQueue());
    QCOMPARE(faults.size(), 1);
    QVERIFY(!a.Name(*id, QStringLiteral("Depot"), errText));
    QVERIFY2(errText.contains(QLatin1String("on the server only")), qPrintable(errText));

    // The programs find the server back by themselves; one is told to send as well.
    QVERIFY2(m_cluster.start(errText), qPrintable(errText));
    QTRY_VERIFY_WITH_TIMEOUT(
        !a.isQueueing(),
        int(std::chrono::milliseconds(2 * HistoryArchive::kServerRetryInterval).count()));
    // Another program on the computer sending the same queue: it waits its turn.
    QLockFile sending(folderB.filePath(QLatin1String(HistoryArchive::kFileName)) +
                      QStringLiteral(".sending"));
    QVERIFY(sending.tryLock());
    QVERIFY(!b.SendQueue());
    sending.unlock();
    QVERIFY(b.SendQueue());
    QVERIFY(a.fault().isEmpty());
    QCOMPARE(faults.size(), 2);
    QCOMPARE(Sorted(a.Events(*id)), QStringLiteral("N1 Q1 Q2 Q3 Q4"));
    QCOMPARE(int(a.Statuses(*id).size()), 2);
    QCOMPARE(a.Changes(*id).at(0).summary, change.summary);
    QCOMPARE(a.Changes(*id).at(0).data, change.data);
    // Stored on the server directly, the same.
    change.data[0] = QChar(2);
    QVERIFY(a.StoreChange(*id, change) && a.Flush(std::chrono::seconds(5)));
    QCOMPARE(a.Changes(*id).at(1).data, change.data);
    QCOMPARE(Raws(a.Events(*unnamed)), QStringLiteral("U1"));
    QVERIFY2(a.Name(*id, QStringLiteral("Depot"), errText), qPrintable(errText));
    QCOMPARE(b.ControllerById(*id)->name, QStringLiteral("Depot"));
    // Stored on the server as it goes again, and the local queue empty.
    QVERIFY(a.StoreEvent(*id, Event(QStringLiteral("Q"), 5)));
    QCOMPARE(a.StoredCount(*id, QStringLiteral("Q")), 5);
    ArchiveConnection local;
    QVERIFY(local.OpenSqlite(folderA.filePath(QLatin1String(HistoryArchive::kFileName)),
                             HistoryArchive::kBusyTimeout, errText));
    QCOMPARE(Count(local, QStringLiteral("SELECT COUNT(*) FROM queue_events")), qint64(0));
}

/// A program queues a new event while the server is away; another reads the controller's log
/// again into the server meanwhile: the queue sent stores nothing twice.
void TestHistoryPostgres::queueAfterAnotherReread()
{
    QTemporaryDir folderA, folderB;
    const ControllerKey key{QStringLiteral("S5"), 3.06, QStringLiteral("COM1")};
    const QDateTime readAt = QDateTime::currentDateTimeUtc();
    ArchivedEvent early = Event(QStringLiteral("E"), 0), fresh = Event(QStringLiteral("M"), 0);
    early.readAt = readAt.addSecs(-60);
    fresh.readAt = readAt;
    QString errText;
    {
        HistoryArchive a(kProgram);
        QVERIFY(a.Open(folderA.path(), m_cluster.address()));
        const auto id = a.ControllerId(key);
        ArchivedEvent first = early;
        first.readAt = readAt.addSecs(-120);
        QVERIFY(id && a.StoreEvent(*id, first));
        // The same reply again (another event): queued as new, as is the next.
        QVERIFY2(m_cluster.stop(errText), qPrintable(errText));
        QVERIFY(a.StoreEvent(*id, early) && a.StoreEvent(*id, fresh) && a.isQueueing());
    }
    QVERIFY2(m_cluster.start(errText), qPrintable(errText));
    {
        // The other program's rewind: every stored event again, read after the queued ones.
        HistoryArchive b(kProgram);
        QVERIFY(b.Open(folderB.path(), m_cluster.address()) && !b.isQueueing());
        const auto id = b.ControllerId(key);
        QVERIFY(id && b.MarkRewound(*id));
        for (ArchivedEvent event : {early, early, fresh}) {
            event.readAt = readAt.addSecs(60);
            QVERIFY(b.StoreEvent(*id, event));
        }
    }
    HistoryArchive a(kProgram);
    QVERIFY(a.Open(folderA.path(), m_cluster.address()) && !a.isQueueing());
    QCOMPARE(Sorted(a.Events(*a.ControllerId(key))), QStringLiteral("E1 E2 M1"));
}

void TestHistoryPostgres::queueAfterOwnRewind_data()
{
    // Letters are events, "-" a gap, "R" a rewind sent, "C" the log cleared.
    QTest::addColumn<QString>("onServer");
    QTest::addColumn<QString>("whileAway");
    QTest::addColumn<QString>("archived");
    QTest::newRow("rewound while the server was away")
        << u"E E M"_qs << u"R E E M N"_qs << u"E1 E2 M1 N1"_qs;
    QTest::newRow("server gone during the reread")
        << u"E E M R E"_qs << u"E M N"_qs << u"E1 E2 M1 N1"_qs;
    QTest::newRow("log cleared after the reread")
        << u"E E M R E"_qs << u"M C E N"_qs << u"E1 E2 E3 M1 N1"_qs;
    QTest::newRow("a queued gap's event read again")
        << u"E"_qs << u"- R E M N"_qs << u"E1 M1 N1"_qs;
}

/// A program rewinds a controller's log and reads it again while the server is away (or goes
/// away while it reads): the events read again are sent as such, not as new ones, and one
/// lost to a damaged reply takes its gap's place.
void TestHistoryPostgres::queueAfterOwnRewind()
{
    QFETCH(QString, onServer);
    QFETCH(QString, whileAway);
    QFETCH(QString, archived);
    static int controllers = 0;
    const ControllerKey key{u"R%1"_qs.arg(++controllers), 3.06, QStringLiteral("COM1")};
    QTemporaryDir folder;
    HistoryArchive a(kProgram);
    QVERIFY(a.Open(folder.path(), m_cluster.address()));
    const auto id = a.ControllerId(key);
    QVERIFY(id);
    const auto read = [&](const QString& sequence) {
        for (const QString& token : sequence.split(u' ')) {
            if (token == u"R" || token == u"C")
                QVERIFY(token == u"R" ? a.MarkRewound(*id) : a.MarkCleared(*id));
            else
                Store(a, *id, token);
        }
    };
    read(onServer);
    if (QTest::currentTestFailed())
        return;
    QString errText;
    QVERIFY2(m_cluster.stop(errText), qPrintable(errText));
    read(whileAway);
    QVERIFY(a.isQueueing());
    QVERIFY2(m_cluster.start(errText), qPrintable(errText));
    QVERIFY(a.SendQueue());
    QCOMPARE(Sorted(a.Events(*id)), archived);
}

void TestHistoryPostgres::refusedRecord_data()
{
    QTest::addColumn<bool>("queued"); // kept while the server was away, then sent
    QTest::newRow("stored") << false;
    QTest::newRow("sent from the queue") << true;
}

/// A record the server refuses for what it holds (here a rule of the company's own, which the
/// program does not know) is left out, counted and said; it holds back none of the records
/// after it.
void TestHistoryPostgres::refusedRecord()
{
    QFETCH(bool, queued);
    QString address, errText;
    QVERIFY2(
        CreateDatabase(m_cluster.address(), u"refused_%1"_qs.arg(int(queued)), address, errText),
        qPrintable(errText));
    QTemporaryDir folder;
    HistoryArchive archive(kProgram);
    QSignalSpy faults(&archive, &HistoryArchive::faultChanged);
    QVERIFY(archive.Open(folder.path(), address));
    const auto id = archive.ControllerId({QStringLiteral("S5"), 2.07, QStringLiteral("COM1")});
    QVERIFY(id);
    {
        ArchiveConnection db;
        QVERIFY(Connect(db, QString(), address, errText));
        QVERIFY2(db.Exec(u"ALTER TABLE changes ADD CONSTRAINT company_rule CHECK "
                         "(summary <> 'refused')"_qs,
                         errText) &&
                     db.Exec(u"ALTER TABLE events ADD CONSTRAINT company_events CHECK "
                             "(raw <> 'R')"_qs,
                             errText),
                 qPrintable(errText));
    }
    if (queued)
        QVERIFY2(m_cluster.stop(errText), qPrintable(errText));
    ArchivedChange change;
    change.command = 98;
    for (const QString& summary : {u"refused"_qs, u"kept"_qs}) {
        change.summary = summary;
        QVERIFY(archive.StoreChange(*id, change));
    }
    // Sent from the queue these go in one batch, refused as a whole for its second event.
    for (const QString& raw : {u"B"_qs, u"R"_qs, u"A"_qs})
        QVERIFY(archive.StoreEvent(*id, Event(raw, 1)));
    if (queued) {
        QVERIFY(archive.isQueueing());
        QVERIFY2(m_cluster.start(errText), qPrintable(errText));
        QVERIFY(archive.SendQueue());
    }
    QStringList summaries;
    for (const ArchivedChange& stored : archive.Changes(*id))
        summaries << stored.summary;
    QCOMPARE(summaries, QStringList{u"kept"_qs});
    QCOMPARE(Raws(archive.Events(*id)), QStringLiteral("B1 A1"));
    QCOMPARE(archive.lostCount(), 2);
    // Said with the server's address and what it said.
    QVERIFY(std::any_of(faults.begin(), faults.end(), [&address](const QList<QVariant>& fault) {
        return fault.at(0).toString().contains(QRegularExpression(
            u"^The service history \\(%1\\) refused a record: ERROR: new row for relation "
            "\"(changes|events)\" violates check constraint \"company_"_qs.arg(
                QRegularExpression::escape(address))));
    }));
}

/// A server that refuses (a user it does not know) is said as that, and nothing is queued for it.
void TestHistoryPostgres::refused()
{
    QTemporaryDir folder;
    HistoryArchive archive(kProgram);
    QString address = m_cluster.address();
    address.replace(QRegularExpression(QStringLiteral("://[^@]*@")), QStringLiteral("://nobody@"));
    QVERIFY(!archive.Open(folder.path(), address));
    QVERIFY2(archive.fault().contains(QLatin1String("refused")), qPrintable(archive.fault()));
    QVERIFY(!archive.isQueueing());
    QVERIFY(!QFile::exists(folder.filePath(QLatin1String(HistoryArchive::kFileName))));
}

/// A server whose processes are stopped holds a store no longer than the guard's limit: the
/// record goes to the local queue and reaches the server once it answers again.
void TestHistoryPostgres::serverStopped()
{
    QTemporaryDir folder;
    HistoryArchive archive(kProgram);
    QVERIFY(archive.Open(folder.path(), m_cluster.address()));
    const auto id = archive.ControllerId({QStringLiteral("S77"), 3.06, QStringLiteral("COM1")});
    QVERIFY(id && archive.StoreEvent(*id, Event(QStringLiteral("P"), 1)));

    QVERIFY(m_cluster.signalAll(SIGSTOP));
    // Resumed in any case, so that a store that waits for the server ends too.
    std::thread resume([this] {
        std::this_thread::sleep_for(4 * StatementGuard::kLimit);
        m_cluster.signalAll(SIGCONT);
    });
    QElapsedTimer held;
    held.start();
    const bool stored = archive.StoreEvent(*id, Event(QStringLiteral("P"), 2));
    const qint64 heldMs = held.elapsed();
    const bool queueing = archive.isQueueing();
    resume.join();
    QVERIFY(stored && queueing);
    QVERIFY2(heldMs < 3 * StatementGuard::kLimit.count(), qPrintable(QString::number(heldMs)));
    QTRY_VERIFY_WITH_TIMEOUT(
        !archive.isQueueing(),
        int(std::chrono::milliseconds(2 * HistoryArchive::kServerRetryInterval).count()));
    QCOMPARE(Raws(archive.Events(*id)), QStringLiteral("P1 P2"));
}

void TestHistoryPostgres::schemaLocked_data()
{
    QTest::addColumn<bool>("forReading");
    QTest::newRow("opened for writing: queued") << false;
    QTest::newRow("opened for reading: said") << true;
}

/// Another session keeps the schema's table locked: opening the archive holds the program no
/// longer than the statement guard. What is stored meanwhile is queued and sent afterwards; a
/// reader is told why it cannot read.
void TestHistoryPostgres::schemaLocked()
{
    QFETCH(bool, forReading);
    PostgresAddress address;
    QString errText;
    QVERIFY2(PostgresAddress::Parse(m_cluster.address(), address, errText), qPrintable(errText));
    QTemporaryDir folder;
    QVERIFY(HistoryArchive(kProgram).Open(folder.path(), m_cluster.address()));
    std::atomic<int> locked{0};
    std::thread locker([&] {
        ArchiveConnection session;
        QString why;
        const bool held = session.OpenPostgres(address, why) && session.Begin(why) &&
                          session.Exec(u"LOCK TABLE schema_version"_qs, why);
        locked = held ? 1 : -1;
        if (held)
            std::this_thread::sleep_for(4 * StatementGuard::kLimit);
    });
    while (locked == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    HistoryArchive archive(kProgram);
    QElapsedTimer held;
    held.start();
    const bool opened = forReading ? archive.OpenForReading(folder.path(), m_cluster.address())
                                   : archive.Open(folder.path(), m_cluster.address());
    const qint64 heldMs = held.elapsed();
    const bool queueing = archive.isQueueing();
    const QString fault = archive.fault();
    const auto id = archive.ControllerId({QStringLiteral("S88"), 3.06, QStringLiteral("COM1")});
    const bool stored = id && archive.StoreEvent(*id, Event(QStringLiteral("L"), 1));
    locker.join();
    QCOMPARE(locked.load(), 1);
    QVERIFY2(heldMs < 2 * StatementGuard::kLimit.count(), qPrintable(QString::number(heldMs)));
    if (forReading) {
        QVERIFY(!opened && !stored);
        QVERIFY2(fault.contains(StatementGuard::Silence()), qPrintable(fault));
        return;
    }
    QVERIFY(opened && queueing && stored);
    QVERIFY(archive.SendQueue());
    QCOMPARE(Raws(archive.Events(*id)), QStringLiteral("L1"));
}

void TestHistoryPostgres::checks_data()
{
    QTest::addColumn<QString>("row");
    QTest::newRow("gap with a code") << u"TRUE, '', 0, NULL, 5"_qs;
    QTest::newRow("gap with a reply") << u"TRUE, 'A', 0, NULL, NULL"_qs;
    QTest::newRow("event without a code") << u"FALSE, 'A', 1, NULL, NULL"_qs;
    QTest::newRow("event of ordinal 0") << u"FALSE, 'A', 0, NULL, 5"_qs;
    QTest::newRow("code beyond a byte") << u"FALSE, 'A', 1, NULL, 256"_qs;
}

/// What no row may hold is refused by the server itself.
void TestHistoryPostgres::checks()
{
    QFETCH(QString, row);
    QTemporaryDir folder;
    HistoryArchive archive(kProgram);
    QVERIFY(archive.Open(folder.path(), m_cluster.address()));
    const auto id = archive.ControllerId({QStringLiteral("S9"), 2.07, QStringLiteral("COM1")});
    QVERIFY(id);
    QString errText;
    ArchiveConnection db;
    QVERIFY(Connect(db, QString(), m_cluster.address(), errText));
    const QString insert = QStringLiteral("INSERT INTO events (controller_id, gap, raw, ordinal, "
                                          "event_time, code, temperature, text, read_at, "
                                          "program) VALUES (%1, %2, 20, '', now(), 'tarn') "
                                          "ON CONFLICT DO NOTHING");
    QVERIFY2(db.Exec(insert.arg(*id).arg(u"FALSE, 'OK', 1, NULL, 5"_qs), errText),
             qPrintable(errText));
    QVERIFY(!db.Exec(insert.arg(*id).arg(row), errText));
    QVERIFY2(errText.contains(QLatin1String("check constraint")), qPrintable(errText));
}

QTEST_GUILESS_MAIN(TestHistoryPostgres)
#include "tst_historypostgres.moc"
