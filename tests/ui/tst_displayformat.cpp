// Qt first: moc cannot parse <compare> when a core header brings it in before any Qt header.
#include <QTest>

#include "data/TarnDateTime.h"
#include "ui/main/DisplayFormat.h"

Q_DECLARE_METATYPE(TarnDateTime)

class tst_DisplayFormat : public QObject
{
    Q_OBJECT

private slots:
    void generalDateTime_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<TarnDateTime>("value");
        QTest::addColumn<QString>("expected");
        const QLocale german(QLocale::German, QLocale::Germany);
        const TarnDateTime afternoon = TarnDateTime::FromParts(2024, 3, 5, 14, 7, 9);
        QTest::newRow("de date and time") << german << afternoon << "05.03.24 14:07:09";
        QTest::newRow("de midnight: date only")
            << german << TarnDateTime::FromParts(2024, 3, 5) << "05.03.24";
        QTest::newRow("de one second past midnight")
            << german << TarnDateTime::FromParts(2024, 3, 5, 0, 0, 1) << "05.03.24 00:00:01";
        QTest::newRow("de zero date: time only")
            << german << TarnDateTime::FromSecondsSinceZero(12 * 3600 + 34 * 60 + 56) << "12:34:56";
        QTest::newRow("us twelve-hour clock, no zone name")
            << QLocale(QLocale::English, QLocale::UnitedStates) << afternoon << "3/5/24 2:07:09 PM";
        QTest::newRow("c") << QLocale::c() << afternoon << "5 Mar 2024 14:07:09";
    }

    void generalDateTime()
    {
        QFETCH(QLocale, locale);
        QFETCH(TarnDateTime, value);
        QFETCH(QString, expected);
        QCOMPARE(DisplayFormat::GeneralDateTime(value, locale), expected);
    }

    void number_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        const QLocale german(QLocale::German, QLocale::Germany);
        QTest::newRow("de decimal comma") << german << 21.5 << "21,5";
        QTest::newRow("no grouping")
            << QLocale(QLocale::English, QLocale::UnitedStates) << 1234.0 << "1234";
    }

    void number()
    {
        QFETCH(QLocale, locale);
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(DisplayFormat::Number(value, locale), expected);
    }
};

QTEST_MAIN(tst_DisplayFormat)
#include "tst_displayformat.moc"
