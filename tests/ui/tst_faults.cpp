// The program on a bad line: tarn-sim dropping requests, corrupting replies and sending noise
// between frames, or going away and coming back.

#include "RunningProgram.h"

namespace {
const QStringList kFaults = u"--drop-every 100 --corrupt-every 100 --noise-every 50"_s.split(u' ');
/// Long enough for any reply of the simulator without line timing; short enough for the run.
constexpr std::chrono::milliseconds kFaultReplyTimeout{600};
constexpr int kStatusReads = 30;
constexpr int kEvents = 300;
/// Clicks on "Continue" at most; a read ends by its last event, not by giving up.
constexpr int kMaxLogClicks = 5;

constexpr int kRestarts = 3;
/// Long enough for the program to try the line while the controller is away.
constexpr int kAwayMs = 1000;
/// Polling while the controller is away and comes back, faster than the status page's.
constexpr int kPollMs = 200;
constexpr int kBackTimeoutMs = 8000;

TarnDateTime EventTime(int i)
{
    return TarnDateTime::FromParts(2026, 1, 1, 10, 0, 0).AddSeconds(60 * i);
}
} // namespace

class tst_Faults : public ProgramTest
{
    Q_OBJECT

    bool startFaulty(const QStringList& lines = {})
    {
        if (!startProgram(kFaults, lines))
            return false;
        window()->updTimer->stop();
        window()->tarn->replyTimeout = kFaultReplyTimeout;
        return true;
    }

private slots:
    /// Every read that met no fault shows the controller's values of that moment in full.
    void statusReads()
    {
        QVERIFY(startFaulty());
        int errors = 0;
        connect(window()->tarn, &Tarn_Comm::ErrorMessage, this, [&] { ++errors; });
        int clean = 0;
        const StatusPage* page = window()->picSts;
        for (int i = 1; i <= kStatusReads; ++i) {
            const int serial = 1000 + i;
            QVERIFY(
                sim().command(u"delays %1"_s.arg(i, 2, 16, QChar(u'0')) + u"0A05FF010203050F00"_s));
            QVERIFY(
                sim().command(u"admin %1"_s.arg(serial, 8, 16, QChar(u'0')) + QString(32, u'0')));
            errors = 0;
            window()->AutoUpdate = true;
            window()->UpdateStatusPage();
            if (errors > 0)
                continue;
            ++clean;
            QCOMPARE(page->lblSoftwareVersion_sts->text(), u"V 2.07"_s);
            QCOMPARE(page->lblDetectorADelay_sts->text(), u"%1 s"_s.arg(i));
            QCOMPARE(page->lblManualADelay_sts->text(), u"5 s"_s);
            QCOMPARE(page->lblSerialNo_sts->text(), QString::number(serial));
        }
        // 8 requests a read: about 5 of 30 reads meet a fault.
        QVERIFY2(clean > 0 && clean < kStatusReads, qPrintable(QString::number(clean)));
    }

    /// No event doubled; an event is lost only where its reply was lost after the controller
    /// had moved past it.
    void eventLog()
    {
        QStringList store;
        QStringList lines;
        for (int i = 0; i < kEvents; ++i) {
            lines << u"event "_s + QString::fromStdString(EncodePackedDate(EventTime(i))) +
                         u"0114"_s;
            store << DisplayFormat::GeneralDateTime(EventTime(i));
        }
        QVERIFY(startFaulty(lines));
        setTab(kEventLogTab);
        EventLogPage* page = window()->picLog;
        const int before = sim().journal().size();
        page->cmdGetLogEvents->click();
        for (int click = 1; click < kMaxLogClicks && page->cmdGetLogEvents->text() == u"Continue"_s;
             ++click)
            page->cmdGetLogEvents->click();
        QCOMPARE(page->cmdGetLogEvents->text(), u"Get new events"_s);

        QStringList rows;
        for (int i = 0; i < page->lvLog->topLevelItemCount(); ++i)
            rows << page->lvLog->topLevelItem(i)->text(1);
        QCOMPARE(QSet<QString>(rows.begin(), rows.end()).size(), rows.size());
        QStringList lost;
        for (const QString& time : store)
            if (!rows.contains(time))
                lost << time;
        const int requests = int(sim().codes().mid(before).count(48));
        qInfo("%d events listed of %d, %d requests; lost: %s", int(rows.size()), kEvents, requests,
              qPrintable(lost.mid(0, 10).join(u", "_s)));
        QCOMPARE(rows.size() + lost.size(), kEvents);
        // Only a corrupted reply loses its event: one in 100 replies.
        QVERIFY(lost.size() <= requests / 100 + 1);
    }

    /// The controller goes away and comes back on the same device; an output left on when it
    /// went is switched off once it is back.
    void restarts_data()
    {
        QTest::addColumn<bool>("holdPump");
        QTest::newRow("status polling") << false;
        QTest::newRow("held output test") << true;
    }

    void restarts()
    {
        QFETCH(bool, holdPump);
        const QString link = m_program->home.filePath(u"line"_s);
        const QStringList options{u"--link"_s, link};
        QVERIFY(m_program->startSim(options) && m_program->load({link}));
        window()->tarn->replyTimeout = kFaultReplyTimeout;
        if (holdPump) {
            window()->show();
            window()->activateWindow();
            setTab(kTestTab);
            QVERIFY(QTest::qWaitForWindowActive(window()));
            QTest::mousePress(window()->picTest->cmdPump_test, Qt::LeftButton);
            QTRY_VERIFY(sim().journal().contains(u"100 30313030"_s));
        }
        window()->updTimer->setInterval(kPollMs);
        for (int i = 0; i < (holdPump ? 1 : kRestarts); ++i) {
            sim().kill();
            QFile::remove(link);
            if (holdPump)
                QTest::mouseRelease(window()->picTest->cmdPump_test, Qt::LeftButton);
            QTest::qWait(kAwayMs);
            QVERIFY(sim().start(options));
            // Back: the program's requests reach the new controller.
            QTRY_VERIFY_WITH_TIMEOUT(!sim().codes().isEmpty(), kBackTimeoutMs);
        }
        if (holdPump) {
            // The output word "0000": the pump off.
            QTRY_VERIFY_WITH_TIMEOUT(sim().journal().contains(u"100 30303030"_s), kBackTimeoutMs);
            QCOMPARE(window()->tarn->OutPuts.Pump, 0);
        }
    }
};

QTEST_MAIN(tst_Faults)
#include "tst_faults.moc"
