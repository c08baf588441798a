#include "ChaosChecks.h"
#include "ChaosPlan.h"

#include <QStringList>
#include <QTest>

#include <ctime>

using namespace Qt::StringLiterals;
using namespace ChaosChecks;

namespace {

const std::string kEventA = "A1B2C3D40114";
const std::string kEventB = "A1B2C3E00114";

/// Seconds since 1970 of a time on the PC's clock.
double LocalEpoch(int year, int month, int day, int hour, int minute, int second)
{
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    time.tm_isdst = -1;
    return double(std::mktime(&time));
}

/// A round from a script, one item a line:
///   "r AT CODE DATA[ muted|corrupted|noise]"  a request (DATA as text, "-" none, "\0" and "\1"
///   bytes) "k AT" killed, "s AT RUNTIME" hold or test started, "e AT" ended, "i FROM UNTIL SERIAL"
///   identity, "a AT SERIAL CODE FIELD VALUE" write asked, "f FROM TO" field fault, "st RAW" stored
///   before, "ap AT RAW" appended, "h SERIAL RAW" in the history, "d SECONDS" duration,
///   "w AT TOOK" a wait ended and the window took a key TOOK s later, "c EPOCH" the PC's clock
///   when the round began.
Round Script(const QStringList& lines)
{
    Round round;
    round.delaysBefore = "1E0A053C010203010204";
    for (const QString& line : lines) {
        const QStringList w = line.split(u' ');
        const auto n = [&](int i) { return w.value(i).toDouble(); };
        const auto s = [&](int i) { return w.value(i).toStdString(); };
        if (w[0] == u"r") {
            Request request{n(1), int(n(2)), s(3), true, true};
            if (request.data == "-")
                request.data.clear();
            else if (request.data == "\\0")
                request.data = std::string(1, '\0');
            else if (request.data == "\\1")
                request.data = std::string(1, '\1');
            request.answered = w.value(4) != u"muted";
            request.clean = w.size() < 5;
            request.damaged = !request.clean && w.value(4) != u"noise";
            round.requests.push_back(request);
        } else if (w[0] == u"k") {
            round.kills.push_back(n(1));
        } else if (w[0] == u"s") {
            round.starts.push_back({n(1), n(2)});
        } else if (w[0] == u"e") {
            round.ends.push_back(n(1));
        } else if (w[0] == u"i") {
            round.identities.push_back({n(1), n(2), s(3)});
        } else if (w[0] == u"a") {
            round.asks.push_back({n(1), s(2), int(n(3)), int(n(4)), int(n(5))});
        } else if (w[0] == u"f") {
            round.faultSpans.push_back({n(1), n(2)});
        } else if (w[0] == u"st") {
            round.storedBefore.push_back(s(1));
        } else if (w[0] == u"ap") {
            round.appended.push_back({n(1), s(2)});
        } else if (w[0] == u"h") {
            round.history.push_back({s(1), s(2)});
        } else if (w[0] == u"c") {
            round.wallStart = n(1);
        } else if (w[0] == u"w") {
            round.keyAnswers.push_back({n(1), n(2)});
        } else if (w[0] == u"d") {
            round.duration = n(1);
        }
    }
    return round;
}

} // namespace

class tst_ChaosChecks : public QObject
{
    Q_OBJECT

private slots:
    /// Each journal with a known fault gives the failure that names it; a sound one none.
    void checks_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("failure"); // a part of the one failure; empty: none
        const QStringList pumpOn{u"i 0 0 123"_s, u"s 0.5 0"_s, u"r 1.0 100 0100"_s, u"e 1.2"_s};
        const QString late = u"off only at"_s;
        QTest::newRow("output off in time") << pumpOn + QStringList{u"r 1.7 100 0000"_s} << "";
        QTest::newRow("output off late") << pumpOn + QStringList{u"r 2.8 100 0000"_s} << late;
        QTest::newRow("output never off") << pumpOn << u"never switched off"_s;
        QTest::newRow("quick click: its end came before its on word")
            << QStringList{u"s 0.5 0"_s, u"e 0.5"_s, u"r 1.0 100 0100"_s, u"r 2.3 100 0000"_s,
                           u"e 5"_s}
            << late;
        QTest::newRow("hold never ended")
            << QStringList{u"r 1.0 100 0100"_s, u"r 1.7 100 0000"_s} << u"never ended"_s;
        QTest::newRow("power lost counts as off") << pumpOn + QStringList{u"k 1.5"_s} << "";
        QTest::newRow("off word muted, sent again")
            << pumpOn + QStringList{u"r 1.7 100 0000 muted"_s, u"r 3.3 100 0000"_s} << "";
        QTest::newRow("off word muted twice, late")
            << pumpOn + QStringList{u"r 1.7 100 0000 muted"_s, u"r 3.7 100 0000 muted"_s,
                                    u"r 6.8 100 0000"_s}
            << late;
        QTest::newRow("off word muted, never again")
            << pumpOn + QStringList{u"r 1.7 100 0000 muted"_s} << u"never switched off"_s;
        QTest::newRow("timed test runs out")
            << QStringList{u"s 0.9 1"_s, u"r 1.0 100 0500"_s, u"r 2.6 100 0000"_s, u"e 9"_s} << "";
        QTest::newRow("timed test's word at its start, rounded to before it")
            << QStringList{u"s 0.5 0"_s,          u"e 0.6"_s,          u"s 0.9004 1"_s,
                           u"r 0.900 100 0400"_s, u"r 2.4 100 0000"_s, u"e 9"_s}
            << "";
        QTest::newRow("timed test overruns")
            << QStringList{u"s 0.9 1"_s, u"r 1.0 100 0400"_s, u"r 4.0 100 0000"_s, u"e 9"_s}
            << late;
        const QStringList asked{u"i 0 0 123"_s, u"a 1.0 123 98 0 45"_s};
        const QString identified = u"r 1.2 51 -"_s;
        const QString write = u"r 1.5 98 2D0A053C01020301020400"_s;
        QTest::newRow("write to the controller shown")
            << asked + QStringList{identified, write} << "";
        QTest::newRow("another controller at the question")
            << asked + QStringList{u"i 1.1 1.15 456"_s, identified, write}
            << u"reached serial 456, the window showed serial 123"_s;
        QTest::newRow("controller swapped while identified")
            << asked + QStringList{u"i 1.15 1.25 456"_s, identified, write} << "";
        QTest::newRow("controller swapped after its identification")
            << asked + QStringList{identified, u"i 1.3 1.35 456"_s, write} << "";
        QTest::newRow("identified before the question only")
            << QStringList{u"i 0 0 123"_s, u"r 0.9 51 -"_s, u"a 1.0 123 98 0 45"_s, write}
            << u"without identifying"_s;
        QTest::newRow("identification with a damaged reply")
            << asked + QStringList{u"r 1.2 51 - corrupted"_s, write} << u"without identifying"_s;
        QTest::newRow("identification with noise before its reply")
            << asked + QStringList{u"r 1.2 51 - noise"_s, write} << "";
        QTest::newRow("write nobody asked for")
            << QStringList{u"i 0 0 123"_s, u"r 1.5 65 260101120000"_s} << u"nobody asked"_s;
        QTest::newRow("log deletion nobody asked for")
            << QStringList{u"i 0 0 123"_s, u"r 1.5 66 \\0"_s} << u"nobody asked"_s;
        QTest::newRow("a rewind is no write") << QStringList{u"r 1.5 66 \\1"_s} << "";
        QTest::newRow("a value neither typed nor held")
            << asked + QStringList{identified, u"r 1.5 98 2D0A053D01020301020400"_s}
            << u"field 3 sent 3D, neither typed nor held (3C)"_s;
        QTest::newRow("typed value not sent")
            << asked + QStringList{identified, u"r 1.5 98 2E0A053C01020301020400"_s}
            << u"field 0 sent 2E"_s;
        // 2026-01-01 12:00:00 on the PC's clock, when the round began.
        const QString wall = u"c "_s + QString::number(qint64(LocalEpoch(2026, 1, 1, 12, 0, 0)));
        const QStringList clockAsked{u"i 0 0 123"_s, wall, u"a 1.0 123 65 -1 0"_s, identified};
        QTest::newRow("clock as the PC's")
            << clockAsked + QStringList{u"r 1.5 65 202601011200014"_s} << "";
        QTest::newRow("clock a minute off")
            << clockAsked + QStringList{u"r 1.5 65 202601011201014"_s}
            << u"59.5 s from the PC's clock"_s;
        QTest::newRow("clock asked for as the delays went out")
            << asked + QStringList{wall, identified, u"a 1.49 123 65 -1 0"_s, write} << "";
        QTest::newRow("clock unreadable")
            << clockAsked + QStringList{u"r 1.5 65 20260101"_s} << u"clock sent as"_s;
        const QString eventA = QString::fromStdString(kEventA);
        const QString eventB = QString::fromStdString(kEventB);
        const QStringList read{u"i 0 0 123"_s, u"st "_s + eventA,     u"r 1 51 -"_s,
                               u"r 2 48 -"_s,  u"ap 2.5 "_s + eventB, u"r 3 48 -"_s};
        const QString a = u"h 123 "_s + eventA;
        const QString b = u"h 123 "_s + eventB;
        QTest::newRow("events once") << read + QStringList{a, b} << "";
        QTest::newRow("event twice") << read + QStringList{a, b, b} << u"2 times"_s;
        QTest::newRow("event read again after a rewind, once")
            << read + QStringList{u"r 4 66 \\1"_s, u"r 5 48 -"_s, a, b} << "";
        QTest::newRow("event missing") << read + QStringList{a} << u"not in the history"_s;
        QTest::newRow("event lost to a fault") << read + QStringList{u"f 2.9 3.1"_s, a} << "";
        QTest::newRow("event under another controller")
            << read + QStringList{a, u"h 456 "_s + eventB, b} << u"never handed it out"_s;
        QTest::newRow("event under an unknown controller")
            << read + QStringList{a, u"h  "_s + eventB} << "";
        QTest::newRow("event the controller never stored")
            << read + QStringList{a, b, u"h 123 FFFFFFFF0114"_s} << u"never stored it"_s;
        QTest::newRow("key taken soon after a wait") << QStringList{u"w 2 0.02"_s} << "";
        QTest::newRow("key taken late after a wait")
            << QStringList{u"w 2 0.02"_s, u"w 3 1.4"_s} << u"only 1.400 s after a wait"_s;
        QTest::newRow("a round over its limit") << QStringList{u"d 61"_s} << u"over its limit"_s;
    }

    void checks()
    {
        QFETCH(QStringList, script);
        QFETCH(QString, failure);
        Figures figures;
        const std::vector<std::string> failures = CheckAll(Script(script), figures);
        QStringList got;
        for (const std::string& f : failures)
            got << QString::fromStdString(f);
        if (failure.isEmpty()) {
            QVERIFY2(got.isEmpty(), qPrintable(got.join(u'\n')));
        } else {
            QCOMPARE(got.size(), 1);
            QVERIFY2(got[0].contains(failure), qPrintable(got[0]));
        }
    }

    /// The simulator's fault journal marks its requests: muted and dropped ones changed nothing.
    void journal()
    {
        const std::vector<Request> requests =
            ParseJournal({"0.100 64 ", "0.250 100 30313030", "0.300 BAD 0102", "0.400 51 "},
                         {"0.250 100 30313030 muted", "0.400 51  noise"}, 10);
        QCOMPARE(requests.size(), std::size_t(3));
        QCOMPARE(requests[1].at, 10.25);
        QCOMPARE(requests[1].data, std::string("0100"));
        QVERIFY(!requests[1].answered && !requests[1].clean);
        QVERIFY(requests[2].answered && !requests[2].clean);
        QVERIFY(requests[0].answered && requests[0].clean);
    }

    /// A seed gives its plan again; the text names what the plan does.
    void plan()
    {
        const ChaosPlan plan = ChaosPlan::Draw(7);
        QCOMPARE(ChaosPlan::Draw(7).text(), plan.text());
        QVERIFY(ChaosPlan::Draw(8).text() != plan.text());
        QVERIFY(plan.steps.size() >= 3 && plan.steps.size() <= 12);
        // The second draw only adds steps: the first draw's plan of a seed stays as it was.
        std::vector<ChaosPlan::Desk> firstDraw;
        for (const ChaosPlan::Step& step : ChaosPlan::Draw(4).steps)
            if (step.desk != ChaosPlan::Desk::Key && step.desk != ChaosPlan::Desk::Save &&
                step.desk != ChaosPlan::Desk::Undo)
                firstDraw.push_back(step.desk);
        using D = ChaosPlan::Desk;
        QCOMPARE(firstDraw, (std::vector<D>{D::Hold, D::History, D::Hold, D::Tab, D::Hold}));
    }
};

QTEST_GUILESS_MAIN(tst_ChaosChecks)
#include "tst_chaoschecks.moc"
