// The user's view of the controller's clock: the locale's long time form without a time zone.

#include "controller/DisplayFormat.h"
#include "data/TarnDateTime.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_DisplayFormat : public QObject
{
    Q_OBJECT

private slots:
    /// The zone goes with the brackets around it and the comma or blank that set it off.
    void longTimeFormat_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("format");
        QTest::newRow("blank before") << u"C"_s << u"HH:mm:ss"_s;
        QTest::newRow("in brackets") << u"ca_ES"_s << u"H:mm:ss"_s;
        QTest::newRow("in square brackets") << u"zh_TW"_s << u"Bh:mm:ss"_s;
        QTest::newRow("after a comma") << u"sq_AL"_s << u"h:mm:ss AP"_s;
        QTest::newRow("first") << u"my_MM"_s << u"HH:mm:ss"_s;
        QTest::newRow("quoted text before") << u"nds_DE"_s << u"'Klock' H.mm:ss"_s;
        QTest::newRow("quoted text and a point before") << u"bg_BG"_s << u"H:mm:ss '\u0447'."_s;
    }

    void longTimeFormat()
    {
        QFETCH(QString, locale);
        QFETCH(QString, format);
        QCOMPARE(DisplayFormat::LongTimeFormat(QLocale(locale)), format);
    }

    /// In every locale Qt knows, the clock shows its time whole and nothing of the zone.
    void everyLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        for (const QLocale& locale : QLocale::matchingLocales(
                 QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory))
            QTest::newRow(qPrintable(locale.name())) << locale;
    }

    void everyLocale()
    {
        QFETCH(QLocale, locale);
        const QString shown =
            DisplayFormat::GeneralDateTime(TarnDateTime::FromParts(2026, 12, 7, 8, 46, 37), locale);
        QVERIFY2(shown.startsWith(locale.toString(QDate(2026, 12, 7), QLocale::ShortFormat)),
                 qPrintable(shown));
        QVERIFY2(shown.contains(locale.toString(46)) && shown.contains(locale.toString(37)),
                 qPrintable(shown));
        QString squeezed = shown;
        squeezed.remove(u' ');
        for (const QString& stray : {u"()"_s, u"[]"_s, u"\uFF08\uFF09"_s, u"\uFF3B\uFF3D"_s})
            QVERIFY2(!squeezed.contains(stray), qPrintable(shown));
        QVERIFY2(shown == shown.trimmed(), qPrintable(shown));
        for (const QChar separator : u",\u060C\u3001\uFF0C"_s)
            QVERIFY2(!shown.endsWith(separator), qPrintable(shown));
    }
};

QTEST_GUILESS_MAIN(tst_DisplayFormat)
#include "tst_displayformat.moc"
