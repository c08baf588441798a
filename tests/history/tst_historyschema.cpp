#include "SchemaVersion2.h"

#include "history/ArchiveConnection.h"
#include "history/HistoryArchive.h"
#include "history/HistorySchema.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <map>
#include <string>

namespace {
const QString kProgram = QStringLiteral("tarn");

ArchivedEvent Event(const QString& raw, int ordinal = 0)
{
    ArchivedEvent event;
    event.raw = raw;
    event.ordinal = ordinal;
    event.code = 3;
    event.eventTime = QDateTime(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC);
    event.text = QStringLiteral("Alarm detector ") + raw;
    return event;
}

/// Stores "A B - C": an event per letter (its ordinal given by the archive), a gap per "-".
void Store(HistoryArchive& archive, qint64 id, const QString& sequence)
{
    for (const QString& token : sequence.split(u' ', Qt::SkipEmptyParts))
        QVERIFY(token == u'-' ? archive.StoreGap(id, QDateTime::currentDateTimeUtc())
                              : archive.StoreEvent(id, Event(token)));
}

QString Read(HistoryArchive& archive, qint64 id)
{
    QStringList got;
    for (const ArchivedEvent& e : archive.Events(id))
        got << (e.gap ? QStringLiteral("-") : e.raw + QString::number(e.ordinal));
    return got.join(u' ');
}

qint64 Count(const QString& file, const QString& sql)
{
    ArchiveConnection db;
    QString errText;
    if (!db.OpenSqlite(file, HistoryArchive::kBusyTimeout, errText))
        return -1;
    QSqlQuery* query = db.Run(sql, {}, errText);
    return query && query->next() ? query->value(0).toLongLong() : -1;
}

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

/// The archive's schema: version 2 brought to the current one with every record kept, the
/// counts and fleet kept per controller, a gap replaced when its event comes again.
class TestHistorySchema : public QObject
{
    Q_OBJECT

private slots:
    void fromVersion2_data();
    void fromVersion2();
    void counts_data();
    void counts();
    void gapReplaced_data();
    void gapReplaced();
    void visits_data();
    void visits();
    void listingReadsNoEvent();
};

void TestHistorySchema::fromVersion2_data()
{
    QTest::addColumn<bool>("forReading");
    QTest::newRow("opened") << false;
    // tarn history reads without writing: an older archive is brought up to date first.
    QTest::newRow("opened for reading") << true;
}

void TestHistorySchema::fromVersion2()
{
    QFETCH(bool, forReading);
    QTemporaryDir dir;
    const QString file = dir.filePath(QLatin1String(HistoryArchive::kFileName));
    {
        ArchiveConnection db;
        QString errText;
        QVERIFY(db.OpenSqlite(file, HistoryArchive::kBusyTimeout, errText));
        QVERIFY2(SchemaVersion2::Write(db, errText), qPrintable(errText));
    }
    HistoryArchive archive(kProgram);
    if (forReading) {
        QVERIFY2(archive.OpenForReading(dir.path()), qPrintable(archive.fault()));
        SchemaVersion2::Verify(archive);
        archive.Close();
    }
    QVERIFY2(archive.Open(dir.path()), qPrintable(archive.fault()));
    SchemaVersion2::Verify(archive);
    QCOMPARE(Count(file, QStringLiteral("SELECT MAX(version) FROM schema_version")),
             qint64(HistoryArchive::kSchemaVersion));
    // The reading stands where it stood: the rewind's second "A" is the one stored.
    bool duplicate = false;
    const qint64 s1 = archive.Controllers().at(0).id;
    QVERIFY(archive.StoreEvent(s1, Event(QStringLiteral("A")), &duplicate));
    QVERIFY(duplicate);
    // The file keeps the queue's tables, for a server away.
    QCOMPARE(Count(file, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name LIKE "
                                        "'queue_%' AND type = 'table'")),
             qint64(3));
}

void TestHistorySchema::counts_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second"); ///< after a rewind
    QTest::addColumn<qint64>("expected");
    QTest::newRow("gaps not counted") << u"A - B -"_qs << QString() << qint64(2);
    QTest::newRow("the same reply twice") << u"A A"_qs << QString() << qint64(2);
    QTest::newRow("read again after a rewind") << u"A B"_qs << u"A B C"_qs << qint64(3);
    QTest::newRow("a gap's event found") << u"A - C"_qs << u"A B C"_qs << qint64(3);
}

void TestHistorySchema::counts()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(qint64, expected);
    QTemporaryDir dir;
    HistoryArchive archive(kProgram);
    QVERIFY(archive.Open(dir.path()));
    const auto id = archive.ControllerId({QStringLiteral("S1"), 2.07, QStringLiteral("COM1")});
    QVERIFY(id);
    Store(archive, *id, first);
    if (!second.isEmpty()) {
        QVERIFY(archive.MarkRewound(*id));
        Store(archive, *id, second);
    }
    QCOMPARE(archive.Controllers().at(0).events, expected);
    QCOMPARE(archive.FindController(QStringLiteral("S1"))->events, expected);
    const QString file = dir.filePath(QLatin1String(HistoryArchive::kFileName));
    QCOMPARE(Count(file, QStringLiteral("SELECT COUNT(*) FROM events WHERE gap = 0")), expected);
    // Merged, the record counts the events of both, one both hold once.
    const auto other = archive.ControllerId({QString(), 2.07, QStringLiteral("COM1")});
    QVERIFY(other);
    Store(archive, *other, u"A Z"_qs);
    QString errText;
    QVERIFY2(archive.Merge(*id, *other, errText), qPrintable(errText));
    QCOMPARE(archive.ControllerById(*id)->events, expected + 1);
}

void TestHistorySchema::gapReplaced_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("reread"); ///< after a rewind
    QTest::addColumn<QString>("expected");
    QTest::newRow("lost between") << u"A - C"_qs << u"A B C"_qs << u"A1 B1 C1"_qs;
    QTest::newRow("lost first") << u"- B"_qs << u"A B"_qs << u"A1 B1"_qs;
    QTest::newRow("two lost") << u"A - - D"_qs << u"A B C D"_qs << u"A1 B1 C1 D1"_qs;
    QTest::newRow("lost last, then a new one") << u"A -"_qs << u"A B N"_qs << u"A1 B1 N1"_qs;
    // A gap of the reread itself stands for an event not read yet: it stays.
    QTest::newRow("lost again") << u"A - C"_qs << u"A - C"_qs << u"A1 - C1 -"_qs;
    QTest::newRow("new events, no gap") << u"A B"_qs << u"A B C"_qs << u"A1 B1 C1"_qs;
}

void TestHistorySchema::gapReplaced()
{
    QFETCH(QString, first);
    QFETCH(QString, reread);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    {
        HistoryArchive archive(kProgram);
        QVERIFY(archive.Open(dir.path()));
        const auto id = archive.ControllerId({QStringLiteral("S1"), 2.07, QStringLiteral("COM1")});
        QVERIFY(id);
        Store(archive, *id, first);
        QVERIFY(archive.MarkRewound(*id));
    }
    // Another run reads the log again.
    HistoryArchive archive(kProgram);
    QVERIFY(archive.Open(dir.path()));
    const auto id = archive.ControllerId({QStringLiteral("S1"), 2.07, QStringLiteral("COM1")});
    QVERIFY(id);
    Store(archive, *id, reread);
    QCOMPARE(Read(archive, *id), expected);
    QCOMPARE(archive.Controllers().at(0).events, qint64(expected.count(u'1')));
}

void TestHistorySchema::visits_data()
{
    QTest::addColumn<QList<int>>("hours"); ///< read times, from the contact
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("alarms");
    QTest::addColumn<int>("faults");
    QTest::newRow("an earlier visit's not counted")
        << QList<int>{-720, -1} << QStringList{u"Alarm detector 1"_qs, u"Battery fault"_qs} << 0
        << 1;
    QTest::newRow("read up to 12 h before the contact")
        << QList<int>{-11, 0} << QStringList{u"Alarm detector 1"_qs, u"Pump fault"_qs} << 1 << 1;
    QTest::newRow("read over 12 h later: a visit of its own")
        << QList<int>{1, 13} << QStringList{u"Alarm detector 1"_qs, u"Battery fault"_qs} << 0 << 1;
    QTest::newRow("a reset is no alarm")
        << QList<int>{0, 0} << QStringList{u"Alarm reset"_qs, u"Alarm detector 2"_qs} << 1 << 0;
}

/// The alarms and faults of the last visit, counted in the controller's row as events come.
void TestHistorySchema::visits()
{
    QFETCH(QList<int>, hours);
    QFETCH(QStringList, texts);
    QFETCH(int, alarms);
    QFETCH(int, faults);
    QTemporaryDir dir;
    HistoryArchive archive(kProgram);
    QVERIFY(archive.Open(dir.path()));
    const QDateTime contact = QDateTime::currentDateTimeUtc();
    const auto id = archive.ControllerId({QStringLiteral("S1"), 2.07, QStringLiteral("COM1")});
    QVERIFY(id);
    for (int i = 0; i < hours.size(); ++i) {
        ArchivedEvent event = Event(QString(QChar(u'A' + i)), 1);
        event.text = texts[i];
        event.readAt = contact.addSecs(qint64(hours[i]) * 3600);
        QVERIFY(archive.StoreEvent(*id, event));
    }
    const std::vector<FleetEntry> fleet = archive.Fleet();
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
