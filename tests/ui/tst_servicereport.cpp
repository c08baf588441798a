// File > Service report... in the window against tarn-sim: who signs is asked once and kept,
// the PDF is named after the controller and holds what was read, and nothing is sent for it.

#include "HistoryProgramTest.h"
#include "PdfText.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

class tst_ServiceReport : public HistoryProgramTest
{
    Q_OBJECT

private slots:
    void initTestCase() override
    {
        ProgramTest::initTestCase();
        QStandardPaths::setTestModeEnabled(true);
    }
    void init() override
    {
        ProgramTest::init();
        QSettings().remove(u"report"_s);
    }

    void reportOfTheVisit()
    {
        QVERIFY(open(3));
        setTab(kEventLogTab);
        window()->picLog->cmdGetLogEvents->click();
        window()->updTimer->stop();
        QCOMPARE(window()->picLog->lvLog->topLevelItemCount(), 3);
        const int sent = sim().journal().size();
        const QString path = m_program->home.filePath(u"visit.pdf"_s);
        boxes().expectInput(u"The technician's name, for the service reports:"_s, u"Ann Smith"_s);
        boxes().expectInput(u"The technician's company, for the service reports:"_s,
                            u"Sprink & Co"_s);
        boxes().expectChoice(u"Which events go into the service report?"_s, 0);
        boxes().expectSaveFile(path);
        window()->mnuServiceReport->trigger();
        QTRY_VERIFY(QFile::exists(path));
        QCOMPARE(boxes().suggested(),
                 QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                     .filePath(u"123456_"_s + QDate::currentDate().toString(Qt::ISODate) +
                               u"_report.pdf"_s));
        // Made of what was read: no request of its own.
        QCOMPARE(sim().journal().size(), sent);

        const QString text = PdfText(path);
        QString missing;
        const QStringList expected =
            (u"Tarn serial 123456, V 2.07|Page 1 of|Serial number|123456|Port|COM1|Technician|"
             u"Ann Smith|Sprink & Co|Status as read|Controller clock|Temperature|"
             u"Detector alarm delay|Zones|Inputs|Events|The events read during the visit: 3.|"
             u"2026-01-01 10:00:00|2026-01-01 10:01:00|2026-01-01 10:02:00|Signatures"_s)
                .split(u'|');
        QVERIFY2(InOrder(text, expected, missing), qPrintable(missing + u"\n"_s + text));
        QVERIFY(!text.contains(u"not read"_s));

        // Asked once: the next report knows who signs it, and asks again when told to.
        // Cancelled, nothing is written.
        QCOMPARE(QSettings().value(u"report/technician"_s).toString(), u"Ann Smith"_s);
        boxes().expectChoice(u"Which events go into the service report?"_s, 2,
                             u"The report is signed by Ann Smith, Sprink & Co."_s);
        boxes().expectInput(u"The technician's name*"_s, u"Bo Lund"_s);
        boxes().expectInput(u"The technician's company*"_s, u""_s);
        boxes().expectChoice(u"Which events go into the service report?"_s, 1,
                             u"The report is signed by Bo Lund."_s);
        boxes().expectSaveFile(QString());
        window()->mnuServiceReport->trigger();
        QTRY_COMPARE(boxes().pending(), 0);
        QCOMPARE(QSettings().value(u"report/technician"_s).toString(), u"Bo Lund"_s);
        QVERIFY(QSettings().contains(u"report/company"_s));
    }

    /// Nothing read, nothing to report: no question is asked.
    void nothingRead()
    {
        QVERIFY(m_program->load({u"/nonexistent/tty"_s}));
        boxes().expect(Kind::Critical, u"No controller has been read yet."_s);
        window()->mnuServiceReport->trigger();
        QTRY_COMPARE(boxes().pending(), 0);
    }

    void failedWriteTold()
    {
        QVERIFY(startProgram());
        window()->updTimer->stop();
        QSettings().setValue(u"report/technician"_s, u"Ann Smith"_s);
        QSettings().setValue(u"report/company"_s, QString());
        boxes().expectChoice(u"Which events go into the service report?"_s, 0);
        boxes().expectSaveFile(m_program->home.filePath(u"no folder/visit.pdf"_s));
        boxes().expect(Kind::Critical, u"The service report could not be saved."_s, true, u"*"_s);
        window()->mnuServiceReport->trigger();
        QTRY_COMPARE(boxes().pending(), 0);
    }
};

QTEST_MAIN(tst_ServiceReport)
#include "tst_servicereport.moc"
