#include <QTest>

#include "data/DateCodec.h"
#include "data/TarnDateTime.h"

namespace {

/// A PC year before the 2064 window and one inside it.
constexpr int kYearBeforeWindow = 2026;
constexpr int kYearInWindow = 2070;

struct Parts
{
    int year, month, day, hour, minute, second;
};

Parts PartsOf(const TarnDateTime& value)
{
    return {value.Year(), value.Month(), value.Day(), value.Hour(), value.Minute(), value.Second()};
}

QString Describe(const TarnDateTime& value)
{
    if (value.IsZero())
        return QStringLiteral("zero date");
    const Parts p = PartsOf(value);
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                             p.minute, p.second);
}

std::string Std(const QString& text)
{
    return text.toLatin1().toStdString();
}

} // namespace

class TestDates : public QObject
{
    Q_OBJECT

private slots:
    void validity_data();
    void validity();
    void fieldsRoundTrip_data();
    void fieldsRoundTrip();
    void zeroDateAndArithmetic();
    void dayOfWeek_data();
    void dayOfWeek();
    void now();

    void controllerClock_data();
    void controllerClock();
    void formatControllerClock();

    void decodePacked_data();
    void decodePacked();
    void encodePacked_data();
    void encodePacked();
    void packedRoundTripEveryHour();
    void centuryWindow();
};

void TestDates::validity_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("second");
    QTest::addColumn<bool>("valid");

    QTest::newRow("29 Feb 2024, leap year") << 2024 << 2 << 29 << 0 << 0 << 0 << true;
    QTest::newRow("29 Feb 2100, not a leap year") << 2100 << 2 << 29 << 0 << 0 << 0 << false;
    QTest::newRow("29 Feb 2000, leap by 400") << 2000 << 2 << 29 << 0 << 0 << 0 << true;
    QTest::newRow("29 Feb 2023") << 2023 << 2 << 29 << 0 << 0 << 0 << false;
    QTest::newRow("30 Feb 2024") << 2024 << 2 << 30 << 0 << 0 << 0 << false;
    QTest::newRow("31 Apr") << 2026 << 4 << 31 << 0 << 0 << 0 << false;
    QTest::newRow("31 Dec") << 2026 << 12 << 31 << 23 << 59 << 59 << true;
    QTest::newRow("month 0") << 2026 << 0 << 1 << 0 << 0 << 0 << false;
    QTest::newRow("month 13") << 2026 << 13 << 1 << 0 << 0 << 0 << false;
    QTest::newRow("day 0") << 2026 << 1 << 0 << 0 << 0 << 0 << false;
    QTest::newRow("hour 24") << 2026 << 1 << 1 << 24 << 0 << 0 << false;
    QTest::newRow("minute 60") << 2026 << 1 << 1 << 0 << 60 << 0 << false;
    QTest::newRow("second 60") << 2026 << 1 << 1 << 0 << 0 << 60 << false;
    QTest::newRow("negative second") << 2026 << 1 << 1 << 0 << 0 << -1 << false;
    QTest::newRow("year 0") << 0 << 1 << 1 << 0 << 0 << 0 << false;
    QTest::newRow("year 10000") << 10000 << 1 << 1 << 0 << 0 << 0 << false;
    QTest::newRow("1 Jan 1") << 1 << 1 << 1 << 0 << 0 << 0 << true;
}

void TestDates::validity()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(int, hour);
    QFETCH(int, minute);
    QFETCH(int, second);
    QFETCH(bool, valid);

    QCOMPARE(TarnDateTime::IsValid(year, month, day, hour, minute, second), valid);
    const TarnDateTime value = TarnDateTime::FromParts(year, month, day, hour, minute, second);
    QCOMPARE(value.IsZero(), !valid);
}

void TestDates::fieldsRoundTrip_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("second");

    QTest::newRow("zero date itself") << 1899 << 12 << 30 << 0 << 0 << 0;
    QTest::newRow("before the zero date") << 1899 << 12 << 29 << 23 << 59 << 59;
    QTest::newRow("1 Jan 1900") << 1900 << 1 << 1 << 12 << 0 << 0;
    QTest::newRow("leap day 2024") << 2024 << 2 << 29 << 6 << 30 << 15;
    QTest::newRow("1 Mar 2100") << 2100 << 3 << 1 << 0 << 0 << 1;
    QTest::newRow("4 Dec 2026") << 2026 << 12 << 4 << 14 << 7 << 30;
    QTest::newRow("last second of 9999") << 9999 << 12 << 31 << 23 << 59 << 59;
    QTest::newRow("year 1") << 1 << 1 << 1 << 0 << 0 << 0;
}

void TestDates::fieldsRoundTrip()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(int, hour);
    QFETCH(int, minute);
    QFETCH(int, second);

    const TarnDateTime value = TarnDateTime::FromParts(year, month, day, hour, minute, second);
    QCOMPARE(value.Year(), year);
    QCOMPARE(value.Month(), month);
    QCOMPARE(value.Day(), day);
    QCOMPARE(value.Hour(), hour);
    QCOMPARE(value.Minute(), minute);
    QCOMPARE(value.Second(), second);
    QCOMPARE(value.SecondsOfDay(), hour * 3600 + minute * 60 + second);

    const TarnDateTime date = value.DatePart();
    QCOMPARE(date.Year(), year);
    QCOMPARE(date.Month(), month);
    QCOMPARE(date.Day(), day);
    QVERIFY(!date.HasTime());
    QVERIFY(date <= value);
}

void TestDates::zeroDateAndArithmetic()
{
    const TarnDateTime zero;
    QVERIFY(zero.IsZero());
    QCOMPARE(zero, TarnDateTime::FromParts(1899, 12, 30));
    QCOMPARE(Describe(zero), QStringLiteral("zero date"));
    QCOMPARE(zero.Year(), 1899);
    QCOMPARE(zero.Month(), 12);
    QCOMPARE(zero.Day(), 30);

    const TarnDateTime firstDay = TarnDateTime::FromParts(1900, 1, 1);
    QCOMPARE(firstDay.SecondsSinceZero(), int64_t{2 * 86400});

    const TarnDateTime leapEve = TarnDateTime::FromParts(2024, 2, 28, 23, 59, 59);
    QCOMPARE(Describe(leapEve.AddSeconds(1)), QStringLiteral("2024-02-29 00:00:00"));
    QCOMPARE(Describe(leapEve.AddSeconds(86401)), QStringLiteral("2024-03-01 00:00:00"));
    const TarnDateTime notLeap = TarnDateTime::FromParts(2100, 2, 28, 12);
    QCOMPARE(Describe(notLeap.AddSeconds(86400)), QStringLiteral("2100-03-01 12:00:00"));

    // A time before the zero date still cuts down to its own day.
    const TarnDateTime before = TarnDateTime::FromSecondsSinceZero(-1);
    QCOMPARE(Describe(before), QStringLiteral("1899-12-29 23:59:59"));
    QCOMPARE(Describe(before.DatePart()), QStringLiteral("1899-12-29 00:00:00"));
}

void TestDates::dayOfWeek_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("dayOfWeek");

    QTest::newRow("zero date was a Saturday") << 1899 << 12 << 30 << 7;
    QTest::newRow("31 Dec 1899 Sunday") << 1899 << 12 << 31 << 1;
    QTest::newRow("1 Jan 2000 Saturday") << 2000 << 1 << 1 << 7;
    QTest::newRow("4 Dec 2026 Friday") << 2026 << 12 << 4 << 6;
    QTest::newRow("6 Dec 2026 Sunday") << 2026 << 12 << 6 << 1;
    QTest::newRow("29 Feb 2024 Thursday") << 2024 << 2 << 29 << 5;
    QTest::newRow("1 Jan 1800 Wednesday") << 1800 << 1 << 1 << 4;
}

void TestDates::dayOfWeek()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(int, dayOfWeek);
    QCOMPARE(TarnDateTime::FromParts(year, month, day, 18).DayOfWeek(), dayOfWeek);
}

void TestDates::now()
{
    const QDateTime before = QDateTime::currentDateTime();
    const TarnDateTime now = TarnDateTime::Now();
    const QDateTime after = QDateTime::currentDateTime();
    const QDateTime mine(QDate(now.Year(), now.Month(), now.Day()),
                         QTime(now.Hour(), now.Minute(), now.Second()));
    QVERIFY2(mine >= before.addSecs(-1) && mine <= after.addSecs(1),
             qPrintable(Describe(now) + " vs " + before.toString(Qt::ISODate)));
}

void TestDates::controllerClock_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << "20261204140730"
                           << "2026-12-04 14:07:30";
    QTest::newRow("weekday digit ignored") << "202612041407306"
                                           << "2026-12-04 14:07:30";
    QTest::newRow("month 13") << "20261304140730"
                              << "zero date";
    QTest::newRow("29 Feb 2024") << "20240229000000"
                                 << "2024-02-29 00:00:00";
    QTest::newRow("29 Feb 2100") << "21000229000000"
                                 << "zero date";
    QTest::newRow("hour 24") << "20261204240000"
                             << "zero date";
    QTest::newRow("second 60") << "20261204235960"
                               << "zero date";
    QTest::newRow("too short") << "2026120414073"
                               << "zero date";
    QTest::newRow("empty") << ""
                           << "zero date";
    QTest::newRow("letter in a field") << "2026120414O730"
                                       << "zero date";
    QTest::newRow("sign in a field") << "2026-2041407300"
                                     << "zero date";
    QTest::newRow("blank in a field") << "2026 204140730"
                                      << "zero date";
    QTest::newRow("END reply") << "END"
                               << "zero date";
}

void TestDates::controllerClock()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(Describe(ParseControllerClock(Std(text))), expected);
}

void TestDates::formatControllerClock()
{
    QCOMPARE(FormatControllerClock(TarnDateTime::FromParts(2026, 12, 4, 14, 7, 30)),
             std::string("202612041407306"));
    QCOMPARE(FormatControllerClock(TarnDateTime::FromParts(2027, 1, 3, 0, 0, 5)),
             std::string("202701030000051"));
    const TarnDateTime sample = TarnDateTime::FromParts(2031, 7, 9, 8, 5, 1);
    QCOMPARE(ParseControllerClock(FormatControllerClock(sample)), sample);
}

void TestDates::decodePacked_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("currentYear");
    QTest::addColumn<QString>("expected");

    QTest::newRow("worked example") << "AC44C79E" << kYearBeforeWindow << "2026-12-04 14:07:30";
    QTest::newRow("lower case") << "ac44c79e" << kYearBeforeWindow << "2026-12-04 14:07:30";
    QTest::newRow("first of 2000") << "01010000" << kYearBeforeWindow << "2000-01-01 00:00:00";
    QTest::newRow("last of 2063") << "FCFF7BFB" << kYearBeforeWindow << "2063-12-31 23:59:59";
    QTest::newRow("never stored") << "00000000" << kYearBeforeWindow << "zero date";
    QTest::newRow("9 characters") << "AC44C79E0" << kYearBeforeWindow << "zero date";
    QTest::newRow("empty") << "" << kYearBeforeWindow << "zero date";
    QTest::newRow("month 13") << "0D010000" << kYearBeforeWindow << "zero date";
    QTest::newRow("day 0") << "01000000" << kYearBeforeWindow << "zero date";
    // 2024 = yy 24: B0 = 8 << 4 | 2, B1 = 1 << 6 | 29.
    QTest::newRow("29 Feb 2024") << "825D0000" << kYearBeforeWindow << "2024-02-29 00:00:00";
    QTest::newRow("29 Feb 2023") << "725D0000" << kYearBeforeWindow << "zero date";
    QTest::newRow("31 Apr") << "A45F0000" << kYearBeforeWindow << "zero date";
    // Hour field 31 (B1 bit 5 and all hour bits of B2, B3).
    QTest::newRow("hour 31") << "A464C0C0" << kYearBeforeWindow << "zero date";
    QTest::newRow("minute 60") << "A4443C00" << kYearBeforeWindow << "zero date";
    QTest::newRow("second 60") << "A444003C" << kYearBeforeWindow << "zero date";
    QTest::newRow("hour 23 over three bytes")
        << "A46440C0" << kYearBeforeWindow << "2026-04-04 23:00:00";
    QTest::newRow("hour 16 only in B1") << "A4640000" << kYearBeforeWindow << "2026-04-04 16:00:00";
    // Missing pairs read as 0: B2 and B3 are 0, midnight.
    QTest::newRow("short text") << "AC44" << kYearBeforeWindow << "2026-12-04 00:00:00";
    // A pair that is not hex reads as 0: B3 "ZZ" -> second 0, hour bits 0.
    QTest::newRow("bad pair") << "AC44C7ZZ" << kYearBeforeWindow << "2026-12-04 12:07:00";
    QTest::newRow("in the window") << "AC44C79E" << kYearInWindow << "2090-12-04 14:07:30";
    // yy 36 + 64 = 100 is past the century.
    QTest::newRow("past the century") << "41810000" << kYearInWindow << "zero date";
    QTest::newRow("last in the window") << "3C9F0000" << kYearInWindow << "2099-12-31 00:00:00";
}

void TestDates::decodePacked()
{
    QFETCH(QString, text);
    QFETCH(int, currentYear);
    QFETCH(QString, expected);
    QCOMPARE(Describe(DecodePackedDate(Std(text), currentYear)), expected);
}

void TestDates::encodePacked_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("second");
    QTest::addColumn<QString>("expected");

    QTest::newRow("worked example") << 2026 << 12 << 4 << 14 << 7 << 30 << "AC44C79E";
    QTest::newRow("first of 2000") << 2000 << 1 << 1 << 0 << 0 << 0 << "01010000";
    QTest::newRow("last of 2063") << 2063 << 12 << 31 << 23 << 59 << 59 << "FCFF7BFB";
    QTest::newRow("29 Feb 2024") << 2024 << 2 << 29 << 0 << 0 << 0 << "825D0000";
    QTest::newRow("2064 wraps to 2000") << 2064 << 1 << 1 << 0 << 0 << 0 << "01010000";
    QTest::newRow("last accepted year") << 2255 << 6 << 15 << 12 << 0 << 0 << "F6CFC000";
    QTest::newRow("1999 refused") << 1999 << 12 << 31 << 23 << 59 << 59 << "";
    QTest::newRow("2256 refused") << 2256 << 1 << 1 << 0 << 0 << 0 << "";
    QTest::newRow("zero date refused") << 1899 << 12 << 30 << 0 << 0 << 0 << "";
}

void TestDates::encodePacked()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(int, hour);
    QFETCH(int, minute);
    QFETCH(int, second);
    QFETCH(QString, expected);
    const TarnDateTime value = TarnDateTime::FromParts(year, month, day, hour, minute, second);
    QCOMPARE(QString::fromStdString(EncodePackedDate(value)), expected);
}

void TestDates::packedRoundTripEveryHour()
{
    // Every hour of a day and a spread of minutes and seconds, across the 6-bit year range.
    for (int year : {2000, 2015, 2016, 2031, 2032, 2047, 2048, 2063}) {
        for (int hour = 0; hour < 24; ++hour) {
            const TarnDateTime value =
                TarnDateTime::FromParts(year, 1 + hour % 12, 1 + hour, hour, 59 - hour, hour * 2);
            const std::string packed = EncodePackedDate(value);
            QCOMPARE(packed.size(), std::size_t{8});
            QCOMPARE(Describe(DecodePackedDate(packed, kYearBeforeWindow)), Describe(value));
        }
    }
}

void TestDates::centuryWindow()
{
    // 2070 encodes as yy 6 and comes back as 2070 only from a PC year of 2064 on.
    const TarnDateTime value = TarnDateTime::FromParts(2070, 5, 6, 7, 8, 9);
    const std::string packed = EncodePackedDate(value);
    QCOMPARE(Describe(DecodePackedDate(packed, 2070)), Describe(value));
    QCOMPARE(DecodePackedDate(packed, 2063).Year(), 2006);
    QCOMPARE(DecodePackedDate(packed, 2064).Year(), 2070);
}

QTEST_APPLESS_MAIN(TestDates)
#include "tst_dates.moc"
