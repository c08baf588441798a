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
        // Without the day period, which this Qt would show as a "B": on the 24-hour clock.
        QTest::newRow("in square brackets, day period") << u"zh_TW"_s << u"H:mm:ss"_s;
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

    /// In every locale Qt knows, the clock shows its time whole and nothing of the zone, nor a
    /// stray letter of its format.
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
        // A format letter this Qt does not know is not shown as itself.
        if (locale.timeFormat(QLocale::LongFormat).contains(u'B'))
            QVERIFY2(!shown.contains(u'B') && shown.contains(locale.toString(8)),
                     qPrintable(shown));
        for (const QChar separator : u",\u060C\u3001\uFF0C"_s)
            QVERIFY2(!shown.endsWith(separator), qPrintable(shown));
    }

    /// A change in a box's line never wraps inside a value.
    void unbrokenChanges_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown"); ///< '_' for a non-breaking space
        QTest::newRow("after the name") << u"Detector alarm delay: 30 s \u2192 45 s"_s
                                        << u"Detector alarm delay: 30_s_\u2192_45_s"_s;
        QTest::newRow("no name") << u"Tarn A \u2192 file b c"_s << u"Tarn A_\u2192_file_b_c"_s;
        QTest::newRow("lines apart") << u"Set?\nZone 1 outputs: 1, 2 \u2192 none\nAs it is"_s
                                     << u"Set?\nZone 1 outputs: 1,_2_\u2192_none\nAs it is"_s;
        QTest::newRow("no change") << u"Delay: 30 s (unchanged)"_s << u"Delay: 30 s (unchanged)"_s;
    }

    void unbrokenChanges()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(DisplayFormat::UnbrokenChanges(text), shown.replace(u'_', QChar(0x00A0)));
    }
};

QTEST_GUILESS_MAIN(tst_DisplayFormat)
#include "tst_displayformat.moc"
