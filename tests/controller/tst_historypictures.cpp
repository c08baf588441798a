#include "controller/HistoryPictures.h"

#include <QTest>

#include <numeric>

using namespace Qt::StringLiterals;

namespace {
using Kind = EventKinds::Kind;

QDateTime At(int month, int day, int hour)
{
    return QDateTime(QDate(2026, month, day), QTime(hour, 0), Qt::UTC);
}

ArchivedEvent Event(const QDateTime& time, int code, const QString& text, double celsius)
{
    ArchivedEvent event;
    event.eventTime = time;
    event.code = code;
    event.text = text;
    event.temperatureCelsius = celsius;
    return event;
}

ArchivedEvent Gap()
{
    ArchivedEvent event;
    event.gap = true;
    return event;
}

/// A controller's events as the archive gives them (in reading order, not by time): February
/// with an alarm, its reset and a pump fault, nothing in March, a service visit and a mains
/// failure in April; a gap among them.
std::vector<ArchivedEvent> Known()
{
    return {Event(At(2, 10, 8), 2, u"Alarm detector 2"_s, 21.5),
            Event(At(2, 1, 12), 45, u"Pump fault, no pressure"_s, 18),
            Gap(),
            Event(At(4, 30, 23), 7, u"MAINS FAILURE"_s, -3),
            Event(At(2, 10, 9), 3, u"Alarm reset"_s, 22),
            Event(At(4, 2, 10), 9, u"Service visit"_s, 12.5)};
}
} // namespace

/// The series behind the pictures of the History window and the report.
class tst_HistoryPictures : public QObject
{
    Q_OBJECT

private slots:
    void timeline_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("code");
        QTest::newRow("fault first") << 0 << At(2, 1, 12) << int(Kind::Fault) << 45;
        QTest::newRow("alarm") << 1 << At(2, 10, 8) << int(Kind::Alarm) << 2;
        QTest::newRow("its reset is another event") << 2 << At(2, 10, 9) << int(Kind::Other) << 3;
        QTest::newRow("service") << 3 << At(4, 2, 10) << int(Kind::Service) << 9;
        QTest::newRow("power, any case") << 4 << At(4, 30, 23) << int(Kind::Power) << 7;
    }

    void timeline()
    {
        QFETCH(int, index);
        QFETCH(QDateTime, time);
        QFETCH(int, kind);
        QFETCH(int, code);
        const std::vector<HistoryPictures::Mark> marks = HistoryPictures::Timeline(Known());
        QCOMPARE(marks.size(), 5u); // the gap has no mark
        QCOMPARE(marks[index].time, time);
        QCOMPARE(int(marks[index].kind), kind);
        QCOMPARE(marks[index].code, code);
    }

    void temperatures()
    {
        QList<double> celsius;
        QList<QDateTime> times;
        for (const HistoryPictures::TemperaturePoint& point :
             HistoryPictures::Temperatures(Known())) {
            celsius << point.celsius;
            times << point.time;
        }
        QCOMPARE(celsius, (QList<double>{18, 21.5, 22, 12.5, -3}));
        QCOMPARE(times.front(), At(2, 1, 12));
        QCOMPARE(times.back(), At(4, 30, 23));
    }

    void months_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QDate>("month");
        QTest::addColumn<QList<int>>("counts"); // alarm, fault, service, power, other
        QTest::newRow("February") << 0 << QDate(2026, 2, 1) << QList<int>{1, 1, 0, 0, 1};
        QTest::newRow("March, without events")
            << 1 << QDate(2026, 3, 1) << QList<int>{0, 0, 0, 0, 0};
        QTest::newRow("April") << 2 << QDate(2026, 4, 1) << QList<int>{0, 0, 1, 1, 0};
    }

    void months()
    {
        QFETCH(int, index);
        QFETCH(QDate, month);
        QFETCH(QList<int>, counts);
        const std::vector<HistoryPictures::MonthCount> months =
            HistoryPictures::Months(HistoryPictures::Timeline(Known()));
        QCOMPARE(months.size(), 3u);
        QCOMPARE(months[index].month, month);
        QCOMPARE(QList<int>(months[index].counts.begin(), months[index].counts.end()), counts);
        QCOMPARE(months[index].Total(), std::accumulate(counts.begin(), counts.end(), 0));
    }

    /// A year's turn counts on; no events, no months.
    void monthsAcrossTheYear()
    {
        std::vector<ArchivedEvent> events{
            Event(QDateTime(QDate(2025, 12, 31), QTime(23, 59), Qt::UTC), 2, u"Alarm"_s, 20),
            Event(QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC), 45, u"Fault"_s, 20)};
        const auto months = HistoryPictures::Months(HistoryPictures::Timeline(events));
        QCOMPARE(months.size(), 2u);
        QCOMPARE(months[1].month, QDate(2026, 1, 1));
        QCOMPARE(months[1].Count(Kind::Fault), 1);
        QVERIFY(HistoryPictures::Months({}).empty());
    }
};

QTEST_GUILESS_MAIN(tst_HistoryPictures)
#include "tst_historypictures.moc"
