// File > Service report... in the window against tarn-sim: who signs is asked once and kept,
// the PDF is named after the controller and holds what was read, and nothing is sent for it.

#include "RunningProgram.h"

#include "PdfText.h"
#include "data/DateCodec.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace {
QString EventHex(int minute, int code, int celsius)
{
    return QString::fromStdString(EncodePackedDate(
               TarnDateTime::FromParts(2026, 1, 1, 10, 0, 0).AddSeconds(60 * minute))) +
           u"%1%2"_s.arg(code, 2, 16, QChar(u'0')).arg(celsius & 0xFF, 2, 16, QChar(u'0'));
}
} // namespace

class tst_ServiceReport : public ProgramTest
{
    Q_OBJECT

    /// The program on the simulator holding `count` events, read into the event list.
    bool openWithEvents(int count)
    {
        QStringList lines;
        for (int i = 0; i < count; ++i)
            lines << u"event "_s + EventHex(i, 1 + i % 3, 20 - i);
        if (!startProgram({}, lines))
            return false;
        setTab(kEventLogTab);
        window()->picLog->cmdGetLogEvents->click();
        window()->updTimer->stop();
        return window()->picLog->lvLog->topLevelItemCount() == count;
    }

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
        QVERIFY(openWithEvents(3));
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
        QVERIFY2(InOrder(text,
                         {u"Tarn serial 123456, V 2.07"_s,
                          u"Page 1 of"_s,
                          u"Serial number"_s,
                          u"123456"_s,
                          u"Port"_s,
                          u"COM1"_s,
                          u"Technician"_s,
                          u"Ann Smith"_s,
                          u"Sprink & Co"_s,
                          u"Status as read"_s,
                          u"Controller clock"_s,
                          u"Temperature"_s,
                          u"Detector alarm delay"_s,
                          u"Zones"_s,
                          u"Inputs"_s,
                          u"Events"_s,
                          u"The events read during the visit: 3."_s,
                          u"2026-01-01 10:00:00"_s,
                          u"2026-01-01 10:01:00"_s,
                          u"2026-01-01 10:02:00"_s,
                          u"Signatures"_s},
                         missing),
                 qPrintable(missing + u"\n"_s + text));
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
