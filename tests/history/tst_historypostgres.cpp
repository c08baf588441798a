#include "PostgresCluster.h"
#include "SchemaVersion2.h"
#include "history/ArchiveConnection.h"
#include "history/HistoryArchive.h"
#include "history/PostgresAddress.h"
#include "history/StatementGuard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLockFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <set>
#include <thread>

namespace {
const QString kProgram = QStringLiteral("tarn");
/// How long the writers may take together.
constexpr std::chrono::seconds kWritersTimeout{120};

ArchivedEvent Event(const QString& raw, int ordinal)
{
    ArchivedEvent event;
    event.raw = raw;
    event.ordinal = ordinal;
    event.code = 7;
    event.eventTime = QDateTime(QDate(2026, 3, 1), QTime(8, 0));
    return event;
}

QStringList Raws(const std::vector<ArchivedEvent>& events)
{
    QStringList raws;
    for (const ArchivedEvent& event : events)
        raws << event.raw + QString::number(event.ordinal);
    return raws;
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
    void refused();
    void serverStopped();
    void fromVersion2();
    void checks_data();
    void checks();
    void gapReplaced();

private:
    /// A new database of the cluster, its address in `address`.
    bool createDatabase(const QString& name, QString& address, QString& errText);
    PostgresCluster m_cluster;
};

void TestHistoryPostgres::initTestCase()
{
    if (!m_cluster.missing().isEmpty())
        QSKIP(qPrintable(m_cluster.missing()));
    QString errText;
    QVERIFY2(m_cluster.init(errText), qPrintable(errText));
    QVERIFY2(m_cluster.start(errText), qPrintable(errText));
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
    const QStringList raws = Raws(archive.Events(controller->id));
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
    ArchivedChange change;
    change.command = 9;
    change.summary = QStringLiteral("Clock set");
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
    // Either program may send first.
    QStringList raws = Raws(a.Events(*id));
    raws.sort();
    QCOMPARE(raws.join(u' '), QStringLiteral("N1 Q1 Q2 Q3 Q4"));
    QCOMPARE(int(a.Statuses(*id).size()), 2);
    QCOMPARE(a.Changes(*id).at(0).summary, change.summary);
    QCOMPARE(Raws(a.Events(*unnamed)).join(u' '), QStringLiteral("U1"));
    // Stored on the server as it goes again, and the local queue empty.
    QVERIFY(a.StoreEvent(*id, Event(QStringLiteral("Q"), 5)));
    QCOMPARE(a.StoredCount(*id, QStringLiteral("Q")), 5);
    ArchiveConnection local;
    QVERIFY(local.OpenSqlite(folderA.filePath(QLatin1String(HistoryArchive::kFileName)),
                             HistoryArchive::kBusyTimeout, errText));
    QSqlQuery* queued = local.Run(QStringLiteral("SELECT COUNT(*) FROM queue_events"), {}, errText);
    QVERIFY(queued && queued->next());
    QCOMPARE(queued->value(0).toInt(), 0);
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
    QStringList raws = Raws(a.Events(*a.ControllerId(key)));
    raws.sort();
    QCOMPARE(raws.join(u' '), QStringLiteral("E1 E2 M1"));
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
    QCOMPARE(Raws(archive.Events(*id)).join(u' '), QStringLiteral("P1 P2"));
}

bool TestHistoryPostgres::createDatabase(const QString& name, QString& address, QString& errText)
{
    ArchiveConnection admin;
    PostgresAddress server;
    if (!PostgresAddress::Parse(m_cluster.address(), server, errText) ||
        !admin.OpenPostgres(server, errText) ||
        !admin.Exec(QStringLiteral("CREATE DATABASE %1").arg(name), errText))
        return false;
    address = m_cluster.address();
    address.replace(QRegularExpression(QStringLiteral("/postgres$")), u'/' + name);
    return true;
}

/// A server's archive of version 2 (made with that version's statements, its records as it
/// wrote them), opened by this program: brought to the current version with the columns of
/// their own types, the queue's tables gone, and every record kept and read as written.
void TestHistoryPostgres::fromVersion2()
{
    QString address, errText;
    QVERIFY2(createDatabase(QStringLiteral("version2"), address, errText), qPrintable(errText));
    PostgresAddress server;
    QVERIFY(PostgresAddress::Parse(address, server, errText));
    {
        ArchiveConnection db;
        QVERIFY2(db.OpenPostgres(server, errText), qPrintable(errText));
        QVERIFY2(SchemaVersion2::Write(db, errText), qPrintable(errText));
    }
    QTemporaryDir folder;
    HistoryArchive archive(kProgram);
    QVERIFY2(archive.Open(folder.path(), address), qPrintable(archive.fault()));
    QVERIFY(!archive.isQueueing());
    SchemaVersion2::Verify(archive);
    bool duplicate = false;
    const qint64 s1 = archive.Controllers().at(0).id;
    QVERIFY(archive.StoreEvent(s1, Event(QStringLiteral("A"), 0), &duplicate));
    QVERIFY(duplicate);

    ArchiveConnection db;
    QVERIFY(db.OpenPostgres(server, errText));
    QSqlQuery* query = db.Run(
        QStringLiteral("SELECT table_name || '.' || column_name || ' ' || data_type FROM "
                       "information_schema.columns WHERE table_schema = current_schema() AND "
                       "(data_type <> 'text' OR column_name LIKE '%json%' OR column_name LIKE "
                       "'%_at' OR column_name LIKE '%seen' OR column_name = 'event_time') AND "
                       "column_name NOT IN ('id', 'controller_id', 'version')"),
        {}, errText);
    QVERIFY2(query, qPrintable(errText));
    QStringList columns;
    while (query->next())
        columns << query->value(0).toString();
    columns.sort();
    const QStringList expected{
        u"changes.after_json jsonb"_qs,
        u"changes.before_json jsonb"_qs,
        u"changes.command integer"_qs,
        u"changes.written_at timestamp with time zone"_qs,
        u"controllers.events_stored bigint"_qs,
        u"controllers.firmware integer"_qs,
        u"controllers.first_seen timestamp with time zone"_qs,
        u"controllers.last_seen timestamp with time zone"_qs,
        u"controllers.last_service timestamp without time zone"_qs,
        u"controllers.visit_alarms integer"_qs,
        u"controllers.visit_faults integer"_qs,
        u"controllers.visit_start timestamp with time zone"_qs,
        u"events.code integer"_qs,
        u"events.event_time timestamp without time zone"_qs,
        u"events.gap boolean"_qs,
        u"events.ordinal integer"_qs,
        u"events.read_at timestamp with time zone"_qs,
        u"events.temperature double precision"_qs,
        u"readings.cleared_after bigint"_qs,
        u"readings.reread_after bigint"_qs,
        u"readings.rewound boolean"_qs,
        u"readings.rewound_at bigint"_qs,
        u"rereads.seen integer"_qs,
        u"statuses.read_at timestamp with time zone"_qs,
        u"statuses.values_json jsonb"_qs,
    };
    QCOMPARE(columns, expected);
    query = db.Run(QStringLiteral("SELECT COUNT(*) FROM information_schema.tables WHERE "
                                  "table_schema = current_schema() AND table_name LIKE 'queue%'"),
                   {}, errText);
    QVERIFY(query && query->next());
    QCOMPARE(query->value(0).toInt(), 0);
    query = db.Run(QStringLiteral("SELECT firmware FROM controllers WHERE id = 1"), {}, errText);
    QVERIFY(query && query->next());
    QCOMPARE(query->value(0).toInt(), 206);
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
    PostgresAddress server;
    ArchiveConnection db;
    QVERIFY(PostgresAddress::Parse(m_cluster.address(), server, errText) &&
            db.OpenPostgres(server, errText));
    const QString insert = QStringLiteral("INSERT INTO events (controller_id, gap, raw, ordinal, "
                                          "event_time, code, temperature, text, read_at, "
                                          "program) VALUES (%1, %2, 20, '', now(), 'tarn') "
                                          "ON CONFLICT DO NOTHING");
    QVERIFY2(db.Exec(insert.arg(*id).arg(u"FALSE, 'OK', 1, NULL, 5"_qs), errText),
             qPrintable(errText));
    QVERIFY(!db.Exec(insert.arg(*id).arg(row), errText));
    QVERIFY2(errText.contains(QLatin1String("check constraint")), qPrintable(errText));
}

/// An event lost to a damaged reply, found by the next run's reread: it takes its gap's place,
/// and the controller's count (kept in its row) counts it once.
void TestHistoryPostgres::gapReplaced()
{
    QTemporaryDir folder;
    const ControllerKey key{QStringLiteral("S11"), 2.07, QStringLiteral("COM1")};
    {
        HistoryArchive archive(kProgram);
        QVERIFY(archive.Open(folder.path(), m_cluster.address()));
        const auto id = archive.ControllerId(key);
        QVERIFY(id && archive.StoreEvent(*id, Event(QStringLiteral("A"), 0)) &&
                archive.StoreGap(*id, QDateTime::currentDateTimeUtc()) &&
                archive.StoreEvent(*id, Event(QStringLiteral("C"), 0)) && archive.MarkRewound(*id));
    }
    HistoryArchive archive(kProgram);
    QVERIFY(archive.Open(folder.path(), m_cluster.address()));
    const auto id = archive.ControllerId(key);
    QVERIFY(id);
    for (const QString& raw : {u"A"_qs, u"B"_qs, u"C"_qs})
        QVERIFY(archive.StoreEvent(*id, Event(raw, 0)));
    QCOMPARE(Raws(archive.Events(*id)).join(u' '), QStringLiteral("A1 B1 C1"));
    QCOMPARE(archive.FindController(key.serialNumber)->events, qint64(3));
}

QTEST_GUILESS_MAIN(TestHistoryPostgres)
#include "tst_historypostgres.moc"
