#include "PdfText.h"
#include "ProgramHome.h"
#include "SimProcess.h"
#include "TarnRun.h"
#include "TestFiles.h"
#include "data/DateCodec.h"
#include "data/TarnDateTime.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QString EventHex(int minute, int code, int celsius)
{
    return QString::fromStdString(EncodePackedDate(
               TarnDateTime::FromParts(2026, 1, 1, 10, 0, 0).AddSeconds(60 * minute))) +
           u"%1%2"_s.arg(code, 2, 16, QChar(u'0')).arg(celsius & 0xFF, 2, 16, QChar(u'0'));
}
} // namespace

/// `tarn report`: the PDF from the controller on tarn-sim and from the history alone, who signs
/// kept between runs, and the exit codes.
class tst_TarnReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The user's settings of the runs below stay in a folder of the test's own.
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    }

    void fromControllerThenHistory()
    {
        ProgramHome home;
        SimProcess sim;
        QVERIFY(sim.start({}) && home.installIni(sim.slavePath()));
        for (int i = 0; i < 3; ++i)
            QVERIFY(sim.command(u"event "_s + EventHex(i, 1 + i % 3, 20 - i)));
        // The visit: the status read, a delay changed.
        QCOMPARE(TarnRun::Run({u"status"_s}).exitCode, 0);
        QCOMPARE(TarnRun::Run({u"set-delays"_s, u"45"_s, u"5"_s, u"60"_s}).exitCode, 0);
        const int sent = sim.journal().size();
        const QString visit = home.filePath(u"123456_report.pdf"_s);
        const TarnRun run = TarnRun::Run({u"report"_s, u"--technician"_s, u"Ann Smith"_s,
                                          u"--company"_s, u"Sprink & Co"_s, u"--output"_s, visit});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        // The status read, then the events the controller had not given before.
        const QStringList journal = sim.journal().mid(sent);
        for (const QString& frame : SimProcess::kStatusRead)
            QVERIFY2(journal.contains(frame), qPrintable(journal.join(u' ')));
        QCOMPARE(journal.mid(journal.size() - 4), QStringList(4, u"48"_s));
        QString missing;
        const QString text = PdfText(visit);
        QVERIFY2(InOrder(text,
                         {u"Tarn serial 123456, V 2.07"_s,
                          u"Serial number"_s,
                          u"123456"_s,
                          u"Ann Smith"_s,
                          u"Sprink & Co"_s,
                          u"Status as read"_s,
                          u"Controller clock"_s,
                          u"Detector alarm delay"_s,
                          u"45 s"_s,
                          u"Zones"_s,
                          u"Inputs"_s,
                          u"Setup and changes"_s,
                          u"Detector alarm delay"_s,
                          u"30 s"_s,
                          u"Changes written during the visit"_s,
                          u"Detector alarm delay: 30 s → 45 s"_s,
                          u"The events read during the visit: 3."_s,
                          u"2026-01-01 10:00:00"_s,
                          u"2026-01-01 10:02:00"_s,
                          u"Signatures"_s},
                         missing),
                 qPrintable(missing + u"\n"_s + text));
        QVERIFY(!text.contains(u"not read"_s));

        // From the history alone, the controller gone: who signs is kept.
        sim.stop();
        const QString again = home.filePath(u"again.pdf"_s);
        const TarnRun history =
            TarnRun::Run({u"report"_s, u"--serial"_s, u"123456"_s, u"--all"_s, u"-o"_s, again});
        QVERIFY2(history.exitCode == 0, qPrintable(history.err));
        QVERIFY2(InOrder(PdfText(again),
                         {u"Ann Smith"_s, u"Sprink & Co"_s, u"Status as read"_s,
                          u"Every event the history holds: 3."_s, u"2026-01-01 10:01:00"_s},
                         missing),
                 qPrintable(missing));
    }

    /// A part of the status the controller refused is "not read" in the report, which is
    /// still written; the exit code says that not everything was read.
    void partNotGiven()
    {
        ProgramHome home;
        SimProcess sim;
        QVERIFY(sim.start({u"--nak"_s, u"55"_s}) && home.installIni(sim.slavePath()));
        const QString path = home.filePath(u"r.pdf"_s);
        const TarnRun run = TarnRun::Run({u"report"_s, u"--output"_s, path});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(u"not read"_s), qPrintable(run.err));
        QString missing;
        const QString text = PdfText(path);
        QVERIFY2(InOrder(text,
                         {u"Status as read"_s, u"Controller clock"_s, u"2026-"_s,
                          u"Detector alarm delay"_s, u"not read"_s, u"Manual release stop delay"_s,
                          u"not read"_s, u"Zones"_s, u"Continuous"_s, u"not read"_s, u"Inputs"_s,
                          u"Detector 1"_s, u"off"_s},
                         missing),
                 qPrintable(missing + u"\n"_s + text));
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("no output") << QStringList{u"report"_s} << 2 << u"--output"_s;
        QTest::newRow("serial number unknown to the history")
            << QStringList{u"report"_s, u"--serial"_s, u"999"_s, u"--output"_s, u"r.pdf"_s} << 1
            << u"no controller with the serial number 999"_s;
        QTest::newRow("no controller answers")
            << QStringList{u"report"_s, u"--output"_s, u"r.pdf"_s} << 1 << QString();
        QTest::newRow("an old file that cannot be replaced")
            << QStringList{u"report"_s, u"--serial"_s, u"999"_s, u"--output"_s, u"old.pdf"_s} << 2
            << u"old.pdf cannot be written"_s;
        QTest::newRow("a command's option elsewhere")
            << QStringList{u"status"_s, u"--serial"_s, u"1"_s} << 2 << u"--serial"_s;
    }
    void refused()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        ProgramHome home;
        // A device that never answers.
        QVERIFY(home.installIni(u"/dev/null"_s));
        for (QString& arg : args)
            if (arg.endsWith(u".pdf"_s))
                arg = home.filePath(arg);
        const QString old = home.filePath(u"old.pdf"_s);
        QVERIFY(WriteAll(old, "old report"));
        QVERIFY(QFile::setPermissions(old, QFileDevice::ReadOwner));
        const TarnRun run = TarnRun::Run(args);
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFile::exists(home.filePath(u"r.pdf"_s)));
        QCOMPARE(ReadAll(old), QByteArray("old report"));
    }

private:
    QTemporaryDir m_config;
};

QTEST_GUILESS_MAIN(tst_TarnReport)
#include "tst_tarnreport.moc"
