#include "CsvReadBack.h"
#include "data/EventKinds.h"
#include "history/FleetModel.h"
#include "history/HistoryArchive.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
constexpr int kInterval = 365;

ArchivedEvent Event(const QString& text, const QDateTime& readAt, int n)
{
    ArchivedEvent event;
    event.raw = u"AC44C79E%1"_s.arg(n, 4, 16, QChar(u'0'));
    event.ordinal = 0;
    event.eventTime = QDateTime(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC).addSecs(n * 60);
    event.code = 1;
    event.temperatureCelsius = 20;
    event.text = text;
    event.readAt = readAt;
    event.program = u"tarnconf"_s;
    return event;
}

QString Status(const QString& lastService)
{
    return uR"({"admin":{"serialNumber":"x","lastService":%1},"version":2.07})"_s.arg(
        lastService.isEmpty() ? u"null"_s : u"\""_s + lastService + u"\""_s);
}
} // namespace

/// The fleet from an archive of known events: last service and days since it, due for service,
/// the alarms and faults of the last visit only; the table sorted, filtered and as CSV.
class tst_Fleet : public QObject
{
    Q_OBJECT

private slots:
    void kinds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        using K = EventKinds::Kind;
        QTest::newRow("detector alarm") << u"Alarm detector 1"_s << int(K::Alarm);
        QTest::newRow("temperature alarm") << u"High temperature alarm"_s << int(K::Alarm);
        QTest::newRow("line fault") << u"Detector 2 line fault"_s << int(K::Fault);
        QTest::newRow("battery fault before power") << u"Battery fault"_s << int(K::Fault);
        QTest::newRow("mains") << u"Mains power failure"_s << int(K::Power);
        QTest::newRow("service") << u"Service started"_s << int(K::Service);
        QTest::newRow("test mode") << u"Test mode entered"_s << int(K::Service);
        QTest::newRow("pump") << u"Pump started"_s << int(K::Other);
    }
    void kinds()
    {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QCOMPARE(int(EventKinds::Of(text.toLatin1().toStdString())), kind);
    }

    void fleet()
    {
        QTemporaryDir dir;
        HistoryArchive archive(u"tarnconf"_s);
        QVERIFY2(archive.Open(dir.path()), qPrintable(archive.fault()));
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QDate today = QDate::currentDate();
        // S1: serviced 400 days ago; an earlier visit's alarms, and the last visit's.
        const auto s1 = archive.ControllerId({u"S1"_s, 2.07, u"COM1"_s});
        QVERIFY(s1);
        int n = 0;
        for (const QString& text :
             {u"Alarm detector 1"_s, u"Alarm detector 2"_s, u"Battery fault"_s})
            QVERIFY(archive.StoreEvent(*s1, Event(text, now.addDays(-30), ++n)));
        for (const QString& text : {u"Alarm detector 3"_s, u"Alarm reset"_s, u"Battery fault"_s,
                                    u"Detector 1 line fault"_s, u"Pump started"_s})
            QVERIFY(archive.StoreEvent(*s1, Event(text, now.addSecs(-3600), ++n)));
        QVERIFY(archive.StoreGap(*s1, now.addSecs(-3600)));
        QVERIFY(archive.StoreStatus(
            *s1, Status(QDateTime(today.addDays(-400), QTime(9, 0)).toString(Qt::ISODate))));
        // S2: serviced 10 days ago, its last status overriding an older one.
        const auto s2 = archive.ControllerId({u"S2"_s, 3.06, u"COM2"_s});
        QVERIFY(s2);
        QVERIFY(archive.StoreStatus(*s2, Status(u"2001-01-01T00:00:00"_s)));
        QVERIFY(archive.StoreStatus(
            *s2, Status(QDateTime(today.addDays(-10), QTime(0, 0)).toString(Qt::ISODate))));
        // No serial number, no admin data: its service is not known, and it is not due.
        const auto old = archive.ControllerId({QString(), 2.06, u"COM3"_s});
        QVERIFY(old);
        QVERIFY(archive.StoreStatus(*old, Status(u"1899-12-30T00:00:00"_s)));

        const std::vector<FleetEntry> fleet = archive.Fleet();
        QCOMPARE(fleet.size(), std::size_t(3));
        QCOMPARE(fleet[0].controller.key.serialNumber, u"S1"_s);
        QCOMPARE(fleet[0].alarms, 1);
        QCOMPARE(fleet[0].faults, 2);
        QCOMPARE(fleet[0].lastService.date(), today.addDays(-400));
        QCOMPARE(fleet[1].lastService.date(), today.addDays(-10));
        QCOMPARE(fleet[1].alarms + fleet[1].faults, 0);
        QVERIFY(!fleet[2].lastService.isValid());

        FleetModel model;
        model.setEntries(fleet, today, kInterval);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.dueCount(), 1);
        model.sort(FleetModel::ColumnDaysSince, Qt::DescendingOrder);
        QCOMPARE(model.index(0, FleetModel::ColumnSerial).data().toString(), u"S1"_s);
        QCOMPARE(model.index(0, FleetModel::ColumnDaysSince).data().toString(), u"400"_s);
        QVERIFY(model.index(0, FleetModel::ColumnDaysSince).data(FleetModel::DueRole).toBool());
        QVERIFY(!model.index(1, FleetModel::ColumnDaysSince).data(FleetModel::DueRole).toBool());
        QCOMPARE(model.index(2, FleetModel::ColumnDaysSince).data().toString(), QString());
        model.setDueOnly(true);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.index(0, FleetModel::ColumnSerial).data().toString(), u"S1"_s);
        model.setDueOnly(false);
        model.sort(FleetModel::ColumnFirmware, Qt::AscendingOrder);

        const QList<QStringList> rows = CsvReadBack(QByteArray::fromStdString(model.Csv()));
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0].join(u','), u"serial,firmware,port,last_contact,last_service,"
                                     u"days_since_service,alarms,faults"_s);
        QCOMPARE(rows[1], (QStringList{QString(), u"2.06"_s, u"COM3"_s, rows[1][3], QString(),
                                       QString(), u"0"_s, u"0"_s}));
        QVERIFY(QDateTime::fromString(rows[1][3], Qt::ISODate).isValid());
        QCOMPARE(rows[2].mid(4),
                 (QStringList{
                     QDateTime(today.addDays(-400), QTime(9, 0)).toString(u"yyyy-MM-ddTHH:mm:ss"_s),
                     u"400"_s, u"1"_s, u"2"_s}));
        QCOMPARE(rows[3].mid(0, 3), (QStringList{u"S2"_s, u"3.06"_s, u"COM2"_s}));
        QCOMPARE(rows[3][5], u"10"_s);
    }
};

QTEST_GUILESS_MAIN(tst_Fleet)
#include "tst_fleet.moc"
