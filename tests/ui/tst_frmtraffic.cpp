#include "RunningProgram.h"

#include "link/TrafficRecord.h"
#include "ui/main/frmTraffic.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

/// The traffic window of the main window, against tarn-sim.
class tst_frmTraffic : public QObject
{
    Q_OBJECT

    std::unique_ptr<RunningProgram> m_program;

    frmTraffic* open()
    {
        m_program->window->mnuViewTraffic->trigger();
        return m_program->window->TrafficWindow;
    }
    QStringList lines(const frmTraffic* window) const
    {
        return window->txtTraffic->toPlainText().split(u'\n', Qt::SkipEmptyParts);
    }

private slots:
    void init()
    {
        qputenv("TARN_EDITOR", "/bin/true");
        m_program = std::make_unique<RunningProgram>();
    }
    void cleanup() { m_program.reset(); }

    void counters_data()
    {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QStringList>("simLines");
        QTest::addColumn<QString>("counters"); ///< requests replies time-outs CRC errors
        QTest::addColumn<QString>("failed");
        QTest::addColumn<QString>("someLine");
        QTest::newRow("all answered") << QStringList() << QStringList() << u"8 8 0 0"_s
                                      << u"Failed: 0.0 %"_s << u"<  51 '3' data=* reply"_s;
        // The version request times out and the read gives up.
        QTest::newRow("time-out") << QStringList() << QStringList{u"mute 1"_s} << u"1 0 1 0"_s
                                  << u"Failed: 100.0 %"_s << u"!  64 '@' time-out"_s;
        // Load read eight replies: the tenth is the clock's of the read under test.
        QTest::newRow("CRC error")
            << QStringList{u"--corrupt-every"_s, u"10"_s} << QStringList() << u"8 7 1 1"_s
            << u"Failed: 12.5 %"_s << u"<  50 '2' data=* CRC error (*)"_s;
    }

    void counters()
    {
        QFETCH(QStringList, simOptions);
        QFETCH(QStringList, simLines);
        QFETCH(QString, counters);
        QFETCH(QString, failed);
        QFETCH(QString, someLine);
        QVERIFY(m_program->startSim(simOptions));
        QVERIFY(m_program->load());
        frmTraffic* window = open();
        QVERIFY(window && window->isVisible() && window->isFollowing());
        for (const QString& line : simLines)
            QVERIFY(m_program->sim.command(line));
        m_program->window->UpdateStatusPage();

        const TrafficCounters& c = window->counters();
        QCOMPARE(u"%1 %2 %3 %4"_s.arg(c.requests).arg(c.replies).arg(c.timeOuts).arg(c.crcErrors),
                 counters);
        QCOMPARE(window->lblFailed->text(), failed);
        QCOMPARE(window->lblRequests->text(), u"Requests: %1"_s.arg(c.requests));
        const QStringList shown = lines(window);
        QVERIFY(shown.first().contains(u">  64 '@' data=- text=\"\" sent"_s));
        const QRegularExpression wanted = QRegularExpression::fromWildcard(
            u"*"_s + someLine, Qt::CaseSensitive, QRegularExpression::UnanchoredWildcardConversion);
        QVERIFY2(!shown.filter(wanted).isEmpty(), qPrintable(shown.join(u'\n')));
    }

    /// TARN_TRACE: the window program writes the same lines to the file, window or not.
    void traceFile()
    {
        const QString file = m_program->home.filePath(u"trace.txt"_s);
        qputenv("TARN_TRACE", QFile::encodeName(file));
        QVERIFY(m_program->startSim());
        const bool loaded = m_program->load();
        qunsetenv("TARN_TRACE");
        QVERIFY(loaded);
        QFile trace(file);
        QVERIFY(trace.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(trace.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 16);
        QVERIFY(lines[1].endsWith(u"<  64 '@' data=56322E3037 text=\"V2.07\" reply"_s));
    }

    /// Pause holds the lines back (the counters go on), Resume shows them, Clear empties all,
    /// Save writes what is shown, and a closed window no longer follows the link.
    void pauseClearSaveClose()
    {
        QVERIFY(m_program->startSim());
        QVERIFY(m_program->load());
        frmTraffic* window = open();
        window->cmdPause->click();
        m_program->window->UpdateStatusPage();
        QVERIFY(lines(window).isEmpty());
        QCOMPARE(window->counters().requests, 8);
        window->cmdPause->click();
        QCOMPARE(lines(window).size(), 16);

        window->cmdSave->click();
        QFile saved(m_program->home.filePath(QString::fromLatin1(frmTraffic::kFileName)));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()).split(u'\n', Qt::SkipEmptyParts),
                 lines(window));

        window->cmdClear->click();
        QVERIFY(lines(window).isEmpty());
        QCOMPARE(window->counters().requests, 0);

        window->close();
        QVERIFY(!window->isFollowing());
        m_program->window->UpdateStatusPage();
        QCOMPARE(window->counters().requests, 0);
        QVERIFY(lines(window).isEmpty());
        QCOMPARE(m_program->boxes.pending(), 0);
    }
};

QTEST_MAIN(tst_frmTraffic)
#include "tst_frmtraffic.moc"
