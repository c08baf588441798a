#include "ArchiveRecords.h"
#include "PostgresCluster.h"
#include "SchemaVersion2.h"

#include "history/HistorySchema.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <map>
#include <string>

using namespace ArchiveRecords;

namespace {
/// The rows of each table SQLite reads for the archive's connections (its authorizer).
struct TableReads
{
    std::map<std::string, int> reads;

    static int Authorize(void* self, int action, const char* table, const char*, const char*,
                         const char*)
    {
        if (action == SQLITE_READ && table)
            ++static_cast<TableReads*>(self)->reads[table];
        return SQLITE_OK;
    }
    void Watch(bool on)
    {
        for (const QString& name : QSqlDatabase::connectionNames()) {
            const QVariant handle = QSqlDatabase::database(name, false).driver()->handle();
            if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
                continue;
            sqlite3* db = *static_cast<sqlite3* const*>(handle.data());
            if (!db)
                continue;
            sqlite3_set_authorizer(db, on ? &TableReads::Authorize : nullptr, this);
        }
    }
};
} // namespace

/// The archive's schema, on its file and on a server's database: version 2 brought to the
/// current one with every record kept, the counts and fleet kept per controller, a gap replaced
/// when its event comes again.
class TestHistorySchema : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fromVersion2_data();
    void fromVersion2();
    void counts_data();
    void counts();
    void gapReplaced_data();
    void gapReplaced();
    void visits_data();
    void visits();
    void listingReadsNoEvent();

private:
    /// The row on the archive's file, and on a server's database when there is a server.
    template <class... Values> void bothRows(const char* name, const Values&... values)
    {
        for (const QString& backend : {u"file"_qs, u"server"_qs})
            if (backend == u"file" || m_server)
                (QTest::addRow("%s: %s", qPrintable(backend), name) << backend << ... << values);
    }
    /// Where the row's archive is: "" for the file, else a new database of the cluster.
    bool where(QString& address, QString& errText);

    PostgresCluster m_cluster;
    bool m_server = false;
    int m_databases = 0;
};

void TestHistorySchema::initTestCase()
{
    QString errText = m_cluster.missing();
    m_server = errText.isEmpty() && m_cluster.ready(errText);
    if (!m_server)
        qInfo("No server rows: %s", qPrintable(errText));
}

bool TestHistorySchema::where(QString& address, QString& errText)
{
    QFETCH(QString, backend);
    address.clear();
    return backend == u"file" ||
           CreateDatabase(m_cluster.address(), u"archive%1"_qs.arg(++m_databases), address,
                          errText);
}

void TestHistorySchema::fromVersion2_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<bool>("forReading");
    bothRows("opened", false);
    // tarn history reads without writing: an older archive is brought up to date first.
    QTest::newRow("file: opened for reading") << u"file"_qs << true;
}

/// Version 2's archive (made with that version's statements, its records as it wrote them):
/// brought to the current version, on a server with the columns of their own types and the
/// queue's tables gone, and every record kept and read as written.
void TestHistorySchema::fromVersion2()
{
    QFETCH(bool, forReading);
    QString address, errText;
    QVERIFY2(where(address, errText), qPrintable(errText));
    QTemporaryDir dir;
    const QString file = dir.filePath(QLatin1String(HistoryArchive::kFileName));
    {
        ArchiveConnection db;
        QVERIFY2(Connect(db, file, address, errText), qPrintable(errText));
        QVERIFY2(SchemaVersion2::Write(db, errText), qPrintable(errText));
    }
    HistoryArchive archive(kProgram);
    if (forReading) {
        QVERIFY2(archive.OpenForReading(dir.path()), qPrintable(archive.fault()));
        SchemaVersion2::Verify(archive);
        archive.Close();
    }
    QVERIFY2(archive.Open(dir.path(), address), qPrintable(archive.fault()));
    QVERIFY(!archive.isQueueing());
    SchemaVersion2::Verify(archive);
    ArchiveConnection db;
    QVERIFY2(Connect(db, file, address, errText), qPrintable(errText));
    QCOMPARE(Count(db, u"SELECT MAX(version) FROM schema_version"_qs),
             qint64(HistoryArchive::kSchemaVersion));
    // The reading stands where it stood: the rewind's second "A" is the one stored.
    bool duplicate = false;
    const qint64 s1 = archive.Controllers().at(0).id;
    QVERIFY(archive.StoreEvent(s1, Event(QStringLiteral("A")), &duplicate));
    QVERIFY(duplicate);
    if (address.isEmpty()) {
        // The file keeps the queue's tables, for a server away.
        QCOMPARE(Count(db, u"SELECT COUNT(*) FROM sqlite_master WHERE name LIKE 'queue_%' AND "
                           "type = 'table'"_qs),
                 qint64(4));
        return;
    }
    QCOMPARE(Count(db, u"SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = "
                       "current_schema() AND table_name LIKE 'queue%'"_qs),
             qint64(0));
    QCOMPARE(Count(db, u"SELECT firmware FROM controllers WHERE id = 1"_qs), qint64(206));
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
    // The columns that are not plain text, by table.
    const QStringList expected =
        (u"changes.after_json jsonb|changes.before_json jsonb|changes.command integer|"
         u"changes.data bytea|"
         u"changes.written_at timestamp with time zone|controllers.events_stored bigint|"
         u"controllers.firmware integer|controllers.first_seen timestamp with time zone|"
         u"controllers.last_seen timestamp with time zone|"
         u"controllers.last_service timestamp without time zone|"
         u"controllers.visit_alarms integer|controllers.visit_faults integer|"
         u"controllers.visit_start timestamp with time zone|events.code integer|"
         u"events.event_time timestamp without time zone|events.gap boolean|"
         u"events.ordinal integer|events.read_at timestamp with time zone|"
         u"events.temperature double precision|readings.cleared_after bigint|"
         u"readings.reread_after bigint|readings.rewound boolean|readings.rewound_at bigint|"
         u"rereads.seen integer|statuses.read_at timestamp with time zone|"
         u"statuses.values_json jsonb"_qs)
            .split(u'|');
    QCOMPARE(columns, expected);
}

void TestHistorySchema::counts_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second"); ///< after a rewind
    QTest::addColumn<qint64>("expected");
    bothRows("gaps not counted", u"A - B -"_qs, QString(), qint64(2));
    bothRows("the same reply twice", u"A A"_qs, QString(), qint64(2));
    bothRows("read again after a rewind", u"A B"_qs, u"A B C"_qs, qint64(3));
    bothRows("a gap's event found", u"A - C"_qs, u"A B C"_qs, qint64(3));
}

void TestHistorySchema::counts()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(qint64, expected);
    QString address, errText;
    QVERIFY2(where(address, errText), qPrintable(errText));
    OpenArchive opened;
    QVERIFY2(opened.open(address), qPrintable(opened.archive.fault()));
    HistoryArchive& archive = opened.archive;
    Store(archive, opened.id, first);
    if (!second.isEmpty()) {
        QVERIFY(archive.MarkRewound(opened.id));
        Store(archive, opened.id, second);
    }
    QCOMPARE(archive.Controllers().at(0).events, expected);
    QCOMPARE(archive.FindController(QStringLiteral("S1"))->events, expected);
    ArchiveConnection db;
    QVERIFY2(Connect(db, opened.file(), address, errText), qPrintable(errText));
    QCOMPARE(Count(db, u"SELECT COUNT(*) FROM events WHERE %EVENT"_qs), expected);
    // Merged, the record counts the events of both, one both hold once.
    const auto other = archive.ControllerId({QString(), 2.07, QStringLiteral("COM1")});
    QVERIFY(other);
    Store(archive, *other, u"A Z"_qs);
    QVERIFY2(archive.Merge(opened.id, *other, errText), qPrintable(errText));
    QCOMPARE(archive.ControllerById(opened.id)->events, expected + 1);
}

void TestHistorySchema::gapReplaced_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("reread"); ///< after a rewind
    QTest::addColumn<QString>("expected");
    bothRows("lost between", u"A - C"_qs, u"A B C"_qs, u"A1 B1 C1"_qs);
    bothRows("lost first", u"- B"_qs, u"A B"_qs, u"A1 B1"_qs);
    bothRows("two lost", u"A - - D"_qs, u"A B C D"_qs, u"A1 B1 C1 D1"_qs);
    bothRows("lost last, then a new one", u"A -"_qs, u"A B N"_qs, u"A1 B1 N1"_qs);
    // A gap of the reread itself stands for an event not read yet: it stays.
    bothRows("lost again", u"A - C"_qs, u"A - C"_qs, u"A1 - C1 -"_qs);
    bothRows("new events, no gap", u"A B"_qs, u"A B C"_qs, u"A1 B1 C1"_qs);
}

/// An event lost to a damaged reply, found by the next run's reread: it takes its gap's place,
/// and the controller's count (kept in its row) counts it once.
void TestHistorySchema::gapReplaced()
{
    QFETCH(QString, first);
    QFETCH(QString, reread);
    QFETCH(QString, expected);
    QString address, errText;
    QVERIFY2(where(address, errText), qPrintable(errText));
    OpenArchive opened;
    QVERIFY(opened.open(address));
    Store(opened.archive, opened.id, first);
    QVERIFY(opened.archive.MarkRewound(opened.id));
    opened.archive.Close();
    // Another run reads the log again.
    HistoryArchive archive(kProgram);
    QVERIFY(archive.Open(opened.dir.path(), address));
    const auto id = archive.ControllerId(kS1);
    QVERIFY(id);
    Store(archive, *id, reread);
    QCOMPARE(Raws(archive.Events(*id)), expected);
    QCOMPARE(archive.Controllers().at(0).events, qint64(expected.count(u'1')));
}

void TestHistorySchema::visits_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QList<int>>("hours"); ///< read times, from the contact
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("alarms");
    QTest::addColumn<int>("faults");
    bothRows("an earlier visit's not counted", QList<int>{-720, -1},
             QStringList{u"Alarm detector 1"_qs, u"Battery fault"_qs}, 0, 1);
    bothRows("read up to 12 h before the contact", QList<int>{-11, 0},
             QStringList{u"Alarm detector 1"_qs, u"Pump fault"_qs}, 1, 1);
    bothRows("read over 12 h later: a visit of its own", QList<int>{1, 13},
             QStringList{u"Alarm detector 1"_qs, u"Battery fault"_qs}, 0, 1);
    bothRows("a reset is no alarm", QList<int>{0, 0},
             QStringList{u"Alarm reset"_qs, u"Alarm detector 2"_qs}, 1, 0);
}

/// The alarms and faults of the last visit, counted in the controller's row as events come.
void TestHistorySchema::visits()
{
    QFETCH(QList<int>, hours);
    QFETCH(QStringList, texts);
    QFETCH(int, alarms);
    QFETCH(int, faults);
    QString address, errText;
    QVERIFY2(where(address, errText), qPrintable(errText));
    OpenArchive opened;
    QVERIFY(opened.open(address));
    const QDateTime contact = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < hours.size(); ++i) {
        ArchivedEvent event = Event(QString(QChar(u'A' + i)), 1);
        event.text = texts[i];
        event.readAt = contact.addSecs(qint64(hours[i]) * 3600);
        QVERIFY(opened.archive.StoreEvent(opened.id, event));
    }
    const std::vector<FleetEntry> fleet = opened.archive.Fleet();
    QCOMPARE(fleet.at(0).alarms, alarms);
    QCOMPARE(fleet.at(0).faults, faults);
}

/// The controllers list and the fleet read no event row and no status, however many there are.
void TestHistorySchema::listingReadsNoEvent()
{
    QTemporaryDir dir;
    HistoryArchive archive(kProgram);
    QVERIFY(archive.Open(dir.path()));
    for (int c = 0; c < 3; ++c) {
        const auto id =
            archive.ControllerId({QStringLiteral("S%1").arg(c), 2.07, QStringLiteral("COM1")});
        QVERIFY(id);
        Store(archive, *id, u"A B - C"_qs);
        QVERIFY(archive.StoreStatus(*id, SchemaVersion2::kStatus));
    }
    TableReads watched;
    watched.Watch(true);
    const std::vector<FleetEntry> fleet = archive.Fleet();
    const std::vector<ArchivedController> controllers = archive.Controllers();
    watched.Watch(false);
    QCOMPARE(fleet.size(), std::size_t(3));
    QCOMPARE(fleet[2].alarms, 3);
    QCOMPARE(controllers.at(1).events, qint64(3));
    QVERIFY(watched.reads["controllers"] > 0);
    QCOMPARE(watched.reads.count("events"), std::size_t(0));
    QCOMPARE(watched.reads.count("statuses"), std::size_t(0));
}

QTEST_GUILESS_MAIN(TestHistorySchema)
#include "tst_historyschema.moc"
