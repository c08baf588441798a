#include <QTest>

#include "data/DateCodec.h"
#include "data/TarnDateTime.h"

#include "TestFiles.h"

#include <cstdio>

namespace {

/// A PC year before the 2064 window and one inside it.
constexpr int kYearBeforeWindow = 2026;
constexpr int kYearInWindow = 2070;

QString Format(const TarnDateTime& value)
{
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", value.Year(), value.Month(),
                             value.Day(), value.Hour(), value.Minute(), value.Second());
}

QString Describe(const TarnDateTime& value)
{
    return value.IsZero() ? QStringLiteral("zero date") : Format(value);
}

/// "yyyy-MM-dd HH:mm:ss" taken apart as it stands, out-of-range fields included.
TarnDateTime Parse(const QString& text, bool* valid = nullptr)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    std::sscanf(text.toLatin1().constData(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
    if (valid)
        *valid = TarnDateTime::IsValid(y, mo, d, h, mi, s);
    return TarnDateTime::FromParts(y, mo, d, h, mi, s);
}

} // namespace

class TestDates : public QObject
{
    Q_OBJECT

private slots:
    void parts_data()
    {
        QTest::addColumn<QString>("parts");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("dayOfWeek"); // 1 Sunday .. 7 Saturday

        QTest::newRow("29 Feb 2024, leap year") << "2024-02-29 06:30:15" << true << 5;
        QTest::newRow("29 Feb 2000, leap by 400") << "2000-02-29 00:00:00" << true << 3;
        QTest::newRow("zero date itself, a Saturday") << "1899-12-30 00:00:00" << true << 7;
        QTest::newRow("before the zero date") << "1899-12-29 23:59:59" << true << 6;
        QTest::newRow("29 Feb 2200, not a leap year") << "2200-02-29 00:00:00" << false << 0;
        QTest::newRow("29 Feb 2023") << "2023-02-29 00:00:00" << false << 0;
        QTest::newRow("31 Apr") << "2026-04-31 00:00:00" << false << 0;
        QTest::newRow("month 13") << "2026-13-01 00:00:00" << false << 0;
        QTest::newRow("hour 24") << "2026-01-01 24:00:00" << false << 0;
    }

    void parts()
    {
        QFETCH(QString, parts);
        QFETCH(bool, valid);
        QFETCH(int, dayOfWeek);

        bool isValid = false;
        const TarnDateTime value = Parse(parts, &isValid);
        QCOMPARE(isValid, valid);
        if (!valid) {
            QVERIFY(value.IsZero());
            return;
        }
        QCOMPARE(Format(value), parts);
        QCOMPARE(value.DayOfWeek(), dayOfWeek);
        const TarnDateTime date = value.DatePart();
        QCOMPARE(Format(date), parts.left(parts.size() - 8) + "00:00:00");
        QVERIFY(!date.HasTime());
    }

    void now()
    {
        const QDateTime before = QDateTime::currentDateTime();
        const TarnDateTime now = TarnDateTime::Now();
        const QDateTime after = QDateTime::currentDateTime();
        const QDateTime mine = QDateTime::fromString(Format(now), "yyyy-MM-dd HH:mm:ss");
        QVERIFY2(mine >= before.addSecs(-1) && mine <= after.addSecs(1),
                 qPrintable(Format(now) + " vs " + before.toString(Qt::ISODate)));
    }

    /// The controller's clock text (current year 0) and packed dates.
    void decode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("currentYear");
        QTest::addColumn<QString>("expected");

        QTest::newRow("clock: weekday digit ignored")
            << "202612041407306" << 0 << "2026-12-04 14:07:30";
        QTest::newRow("clock: month 13") << "20261304140730" << 0 << "zero date";
        QTest::newRow("clock: letter in a field") << "2026120414O730" << 0 << "zero date";
        QTest::newRow("clock: END reply, too short") << "END" << 0 << "zero date";

        const int now = kYearBeforeWindow;
        QTest::newRow("last of 2063") << "FCFF7BFB" << now << "2063-12-31 23:59:59";
        QTest::newRow("never stored") << "00000000" << now << "zero date";
        QTest::newRow("9 characters") << "AC44C79E0" << now << "zero date";
        QTest::newRow("month 13") << "0D010000" << now << "zero date";
        // 2024 = yy 24: B0 = 8 << 4 | 2, B1 = 1 << 6 | 29.
        QTest::newRow("29 Feb 2024") << "825D0000" << now << "2024-02-29 00:00:00";
        QTest::newRow("second 60") << "A444003C" << now << "zero date";
        // Missing pairs read as 0: B2 and B3 are 0, midnight.
        QTest::newRow("short text") << "AC44" << now << "2026-12-04 00:00:00";
        // A pair that is not hex reads as 0: B3 "ZZ" -> second 0, hour bits 0.
        QTest::newRow("bad pair") << "AC44C7ZZ" << now << "2026-12-04 12:07:00";
        QTest::newRow("last year before the window") << "AC44C79E" << 2063 << "2026-12-04 14:07:30";
        QTest::newRow("first year of the window") << "AC44C79E" << 2064 << "2090-12-04 14:07:30";
        // yy 36 + 64 = 100 is past the century.
        QTest::newRow("past the century") << "41810000" << kYearInWindow << "zero date";
        QTest::newRow("last in the window") << "3C9F0000" << kYearInWindow << "2099-12-31 00:00:00";
    }

    void decode()
    {
        QFETCH(QString, text);
        QFETCH(int, currentYear);
        QFETCH(QString, expected);
        QCOMPARE(Describe(currentYear ? DecodePackedDate(Std(text), currentYear)
                                      : ParseControllerClock(Std(text))),
                 expected);
    }

    void encodePacked_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");

        QTest::newRow("worked example") << "2026-12-04 14:07:30" << QString("AC44C79E");
        QTest::newRow("last of 2063") << "2063-12-31 23:59:59" << QString("FCFF7BFB");
        QTest::newRow("2064 wraps to 2000") << "2064-01-01 00:00:00" << QString("01010000");
        QTest::newRow("last accepted year") << "2255-06-15 12:00:00" << QString("F6CFC000");
        QTest::newRow("2256 refused") << "2256-01-01 00:00:00" << QString();
    }

    void encodePacked()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(EncodePackedDate(Parse(value))), expected);
    }
};

QTEST_APPLESS_MAIN(TestDates)
#include "tst_dates.moc"
