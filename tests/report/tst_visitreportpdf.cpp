#include "controller/VisitReport.h"
#include "report/VisitReportPdf.h"
#include "tests/controller/VisitFixture.h"

#include "PdfText.h"
#include "TestFiles.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

/// The visit report as a PDF: its text read back with pdftotext, its page size, its pages.
class tst_VisitReportPdf : public QObject
{
    Q_OBJECT

private slots:
    void pageSize_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<int>("size");
        // The United States and Germany: mediaBox.
        QTest::newRow("Canada") << QLocale(QLocale::French, QLocale::Canada)
                                << int(QPageSize::Letter);
        QTest::newRow("Mexico") << QLocale(QLocale::Spanish, QLocale::Mexico)
                                << int(QPageSize::Letter);
        QTest::newRow("United Kingdom")
            << QLocale(QLocale::English, QLocale::UnitedKingdom) << int(QPageSize::A4);
        QTest::newRow("C") << QLocale::c() << int(QPageSize::A4);
    }
    void pageSize()
    {
        QFETCH(QLocale, locale);
        QFETCH(int, size);
        QCOMPARE(int(VisitReportPdf::PageSizeFor(locale)), size);
    }

    void mediaBox_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("mediaBox");
        QTest::newRow("A4") << QLocale(QLocale::German, QLocale::Germany)
                            << u"0 0 595.000000 842.000000"_s;
        QTest::newRow("Letter") << QLocale(QLocale::English, QLocale::UnitedStates)
                                << u"0 0 612.000000 792.000000"_s;
    }
    void mediaBox()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, mediaBox);
        const QByteArray pdf = VisitReportPdf::Render(VisitReport::Build(KnownVisit()), locale);
        QVERIFY(pdf.startsWith("%PDF"));
        QVERIFY2(pdf.contains("/MediaBox [" + mediaBox.toLatin1() + "]"),
                 pdf.mid(pdf.indexOf("/MediaBox"), 40).constData());
    }

    void textInOrder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"123456_2026-12-07_report.pdf"_s);
        QString errText;
        QVERIFY2(
            VisitReportPdf::Write(VisitReport::Build(KnownVisit(3)), path, QLocale::c(), errText),
            qPrintable(errText));
        const QString text = PdfText(path);
        QVERIFY2(!text.isEmpty(), "pdftotext gave nothing (is poppler-utils installed?)");
        QString missing;
        // The pictures of the events (their lanes, curve and months) under the events' table.
        const QStringList expected =
            (u"Service visit report|Serial number|123456|Firmware|V 2.08|Port|COM1|"
             u"Manufacturing date|14 Mar 2019|Technician|Ann Smith|Company|Sprink & Co|"
             u"Status as read|Controller clock|2026-12-07 14:29:10|Temperature|21 °C / 69.8 °F|"
             u"Detector alarm delay|45 s|Zones|Profile|Cooling 30 s|Inputs|Manual release 3|on|"
             u"Universal I/O 1|off|Setup and changes|Detector alarm delay|30 s|"
             u"Detector alarm delay: 30 s → 45 s|Function tests|Pump|Detector 1|"
             u"Pump and Valve 1|1 min 5 s|Events|2026-11-01 08:00:00|Alarm detector 2|"
             u"2026-11-01 08:01:00|Pump fault, no pressure|2026-11-01 08:02:00|Alarm|Fault|"
             u"Temperature (°C)|Events per month|2026-11|Signatures|Technician:|Customer:"_s)
                .split(u'|');
        QVERIFY2(InOrder(text, expected, missing),
                 qPrintable(u"missing or out of order: "_s + missing + u"\n"_s + text));
    }

    void alignedEventRows()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"events.pdf"_s);
        QString errText;
        QVERIFY(
            VisitReportPdf::Write(VisitReport::Build(KnownVisit(12)), path, QLocale::c(), errText));
        const QStringList lines = PdfText(path).split(u'\n');
        // Every event's row: its time, code and text start in the same columns, on each page
        // (pdftotext lays out every page's characters by itself; a page begins with a form feed).
        QList<QList<qsizetype>> textColumns{{}};
        static const QRegularExpression row(u"^\\s*\\d+\\s+2026-11-01 08:\\d\\d:00\\s+\\d+\\s+"_s);
        for (QString line : lines) {
            if (line.startsWith(u'\f')) {
                textColumns.append(QList<qsizetype>());
                line.remove(0, 1);
            }
            const QRegularExpressionMatch match = row.match(line);
            if (match.hasMatch())
                textColumns.last() << match.capturedLength();
        }
        qsizetype rows = 0;
        for (const QList<qsizetype>& page : textColumns) {
            rows += page.size();
            for (qsizetype column : page)
                QCOMPARE(column, page.first());
        }
        QCOMPARE(rows, 12);
    }

    void everyPageHeaded()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"long.pdf"_s);
        QString errText;
        QVERIFY(VisitReportPdf::Write(VisitReport::Build(KnownVisit(300)), path, QLocale::c(),
                                      errText));
        const QStringList pages = PdfText(path).split(u'\f', Qt::SkipEmptyParts);
        QVERIFY2(pages.size() > 3, qPrintable(QString::number(pages.size())));
        for (qsizetype i = 0; i < pages.size(); ++i) {
            if (pages.at(i).trimmed().isEmpty())
                continue;
            QVERIFY2(pages.at(i).contains(u"Tarn serial 123456, V 2.08"_s),
                     qPrintable(pages.at(i)));
            QVERIFY(pages.at(i).contains(u"Page %1 of %2"_s.arg(i + 1).arg(pages.size())));
        }
        // Every event once, the last on the last pages.
        QVERIFY(pages.join(QString()).contains(u"\n 300 "_s) ||
                pages.join(QString()).contains(u"300   "_s));
    }

    void failedWriteKeepsOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"old.pdf"_s);
        QVERIFY(WriteAll(path, "old report"));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        QString errText;
        QVERIFY(
            !VisitReportPdf::Write(VisitReport::Build(KnownVisit()), path, QLocale::c(), errText));
        QVERIFY(!errText.isEmpty());
        QCOMPARE(ReadAll(path), QByteArray("old report"));
        QVERIFY(!VisitReportPdf::Write(VisitReport::Build(KnownVisit()),
                                       dir.filePath(u"no such folder/report.pdf"_s), QLocale::c(),
                                       errText));
    }
};

QTEST_MAIN(tst_VisitReportPdf)
#include "tst_visitreportpdf.moc"
