// Qt first: moc cannot parse <compare> when a core header brings it in before any Qt header.
#include <QTest>

#include "data/TarnDateTime.h"
#include "ui/main/DisplayFormat.h"

Q_DECLARE_METATYPE(TarnDateTime)

class tst_DisplayFormat : public QObject
{
    Q_OBJECT

private slots:
    void generalDateTime_data();
    void generalDateTime();
    void number_data();
    void number();
    void version_data();
    void version();
    void versionIgnoresLocale();
    void latin1Text();
};

void tst_DisplayFormat::generalDateTime_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<TarnDateTime>("value");
    QTest::addColumn<QString>("expected");

    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale uk(QLocale::English, QLocale::UnitedKingdom);
    const TarnDateTime afternoon = TarnDateTime::FromParts(2024, 3, 5, 14, 7, 9);
    const TarnDateTime midnight = TarnDateTime::FromParts(2024, 3, 5);

    QTest::newRow("de date and time") << german << afternoon << "05.03.24 14:07:09";
    QTest::newRow("de midnight: date only") << german << midnight << "05.03.24";
    QTest::newRow("de one second past midnight")
        << german << TarnDateTime::FromParts(2024, 3, 5, 0, 0, 1) << "05.03.24 00:00:01";
    QTest::newRow("de zero date: time only")
        << german << TarnDateTime::FromSecondsSinceZero(12 * 3600 + 34 * 60 + 56) << "12:34:56";
    QTest::newRow("de the zero date itself") << german << TarnDateTime() << "00:00:00";
    QTest::newRow("us twelve-hour clock, no zone name") << us << afternoon << "3/5/24 2:07:09 PM";
    QTest::newRow("uk") << uk << afternoon << "05/03/2024 14:07:09";
    QTest::newRow("c") << QLocale::c() << afternoon << "5 Mar 2024 14:07:09";
    QTest::newRow("leap day") << german << TarnDateTime::FromParts(2028, 2, 29, 23, 59, 59)
                              << "29.02.28 23:59:59";
}

void tst_DisplayFormat::generalDateTime()
{
    QFETCH(QLocale, locale);
    QFETCH(TarnDateTime, value);
    QFETCH(QString, expected);
    QCOMPARE(DisplayFormat::GeneralDateTime(value, locale), expected);
}

void tst_DisplayFormat::number_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    const QLocale german(QLocale::German, QLocale::Germany);
    QTest::newRow("de decimal comma") << german << 21.5 << "21,5";
    QTest::newRow("de Fahrenheit of 21.5") << german << (21.5 * 1.8 + 32) << "70,7";
    QTest::newRow("c Fahrenheit of -1") << QLocale::c() << (-1 * 1.8 + 32) << "30.2";
    QTest::newRow("whole number") << german << 255.0 << "255";
    QTest::newRow("no grouping") << QLocale(QLocale::English, QLocale::UnitedStates) << 1234.0
                                 << "1234";
    QTest::newRow("below zero") << german << -128.0 << "-128";
    QTest::newRow("zero") << german << 0.0 << "0";
}

void tst_DisplayFormat::number()
{
    QFETCH(QLocale, locale);
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(DisplayFormat::Number(value, locale), expected);
}

void tst_DisplayFormat::version_data()
{
    QTest::addColumn<double>("version");
    QTest::addColumn<QString>("expected");
    QTest::newRow("2.07") << 2.07 << "V 2.07";
    QTest::newRow("whole") << 2.0 << "V 2";
    QTest::newRow("trailing zero dropped") << 2.10 << "V 2.1";
    QTest::newRow("unknown") << 0.0 << "V 0";
    QTest::newRow("negative") << -1.5 << "V-1.5";
}

void tst_DisplayFormat::version()
{
    QFETCH(double, version);
    QFETCH(QString, expected);
    QCOMPARE(DisplayFormat::Version(version), expected);
}

void tst_DisplayFormat::versionIgnoresLocale()
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString text = DisplayFormat::Version(2.07);
    QLocale::setDefault(previous);
    QCOMPARE(text, QStringLiteral("V 2.07"));
}

void tst_DisplayFormat::latin1Text()
{
    const std::string bytes("Zone \xB0\xE9\xFF", 8);
    const QString text = DisplayFormat::Text(bytes);
    QCOMPARE(text.size(), 8);
    QCOMPARE(text.at(5), QChar(0xB0));
    QCOMPARE(text.at(7), QChar(0xFF));
    QCOMPARE(text.toLatin1(), QByteArray(bytes.data(), 8));
}

QTEST_MAIN(tst_DisplayFormat)
#include "tst_displayformat.moc"
