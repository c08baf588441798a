// Qt first: moc cannot parse <compare> when a core header brings it in before any Qt header.
#include <QTest>

#include "data/TarnDateTime.h"
#include "ui/main/DisplayFormat.h"

Q_DECLARE_METATYPE(TarnDateTime)

class tst_DisplayFormat : public QObject
{
    Q_OBJECT

private slots:
    /// Times in the general date form of the locale; numbers without grouping.
    void format_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QVariant>("value"); ///< a TarnDateTime or a double
        QTest::addColumn<QString>("expected");
        const QLocale german(QLocale::German, QLocale::Germany);
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const auto at = [](int h, int m, int s, int day = 5) {
            return QVariant::fromValue(TarnDateTime::FromParts(2024, 3, day, h, m, s));
        };
        QTest::newRow("de date and time") << german << at(14, 7, 9) << "05.03.24 14:07:09";
        QTest::newRow("de midnight: date only") << german << at(0, 0, 0) << "05.03.24";
        QTest::newRow("de one second past midnight")
            << german << at(0, 0, 1) << "05.03.24 00:00:01";
        QTest::newRow("de zero date: time only")
            << german
            << QVariant::fromValue(TarnDateTime::FromSecondsSinceZero(12 * 3600 + 34 * 60 + 56))
            << "12:34:56";
        QTest::newRow("us twelve-hour clock, no zone name")
            << us << at(14, 7, 9) << "3/5/24 2:07:09 PM";
        QTest::newRow("c") << QLocale::c() << at(14, 7, 9) << "5 Mar 2024 14:07:09";
        QTest::newRow("de decimal comma") << german << QVariant(21.5) << "21,5";
        QTest::newRow("no grouping") << us << QVariant(1234.0) << "1234";
    }

    void format()
    {
        QFETCH(QLocale, locale);
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        QCOMPARE(value.metaType() == QMetaType::fromType<double>()
                     ? DisplayFormat::Number(value.toDouble(), locale)
                     : DisplayFormat::GeneralDateTime(value.value<TarnDateTime>(), locale),
                 expected);
    }
};

QTEST_MAIN(tst_DisplayFormat)
#include "tst_displayformat.moc"
