// moc cannot parse the C++20 library headers that these pull in.
#ifndef Q_MOC_RUN
#include "sim/EventGenerator.h"

#include "data/DateCodec.h"
#include "data/TextNumbers.h"
#endif

#include <QTest>

#include <algorithm>
#include <string>
#include <vector>

namespace {
TarnDateTime SomeNow()
{
    return TarnDateTime::FromParts(2026, 12, 4, 14, 7, 30);
}
} // namespace

class tst_EventGenerator : public QObject
{
    Q_OBJECT

private slots:
    void logIsBelievable_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<uint>("seed");
        QTest::newRow("none") << 0 << 1u;
        QTest::newRow("one") << 1 << 1u;
        QTest::newRow("a season") << 600 << 1u;
        QTest::newRow("another seed") << 600 << 4242u;
    }

    void logIsBelievable()
    {
        QFETCH(int, count);
        QFETCH(uint, seed);
        const std::vector<std::string> log = EventGenerator::Generate(count, seed, SomeNow());
        QCOMPARE(int(log.size()), count);

        const TarnDateTime oldest = SomeNow().AddSeconds(-EventGenerator::kSpanSeconds);
        TarnDateTime previous = oldest;
        int frost = 0;
        int mild = 0;
        std::vector<int> codes;
        for (const std::string& event : log) {
            QCOMPARE(event.size(), std::size_t(12));
            QVERIFY2(event.find_first_not_of("0123456789ABCDEF") == std::string::npos,
                     event.c_str());
            const TarnDateTime time = DecodePackedDate(event.substr(0, 8), SomeNow().Year());
            QVERIFY2(!time.IsZero(), event.c_str());
            QVERIFY2(time >= previous, event.c_str());
            QVERIFY2(time < SomeNow(), event.c_str());
            previous = time;

            const int code = static_cast<int>(HexValueAt(event, 9, 2));
            QVERIFY2(code >= 1 && code <= 40, event.c_str());
            codes.push_back(code);
            const int celsius = static_cast<int8_t>(HexValueAt(event, 11, 2));
            if (code == 22) // high temperature alarm
                QVERIFY2(celsius >= 40 && celsius <= 60, event.c_str());
            else if (code == 23) // frost alarm
                QVERIFY2(celsius < 0 && celsius >= -20, event.c_str());
            else
                QVERIFY2(celsius >= -20 && celsius <= 35, event.c_str());
            (celsius < 0 ? frost : mild) += 1;
        }
        if (count >= 600) {
            // Mostly mild weather, some frost, and a real mix of codes.
            QVERIFY(frost > 0);
            QVERIFY(mild > 10 * frost);
            std::sort(codes.begin(), codes.end());
            codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
            QVERIFY(codes.size() >= 30);
            QVERIFY(previous > oldest.AddSeconds(EventGenerator::kSpanSeconds / 2));
        }
    }

    void sameSeedSameLog()
    {
        const auto first = EventGenerator::Generate(50, 7, SomeNow());
        QCOMPARE(EventGenerator::Generate(50, 7, SomeNow()), first);
        QVERIFY(EventGenerator::Generate(50, 8, SomeNow()) != first);
    }
};

QTEST_APPLESS_MAIN(tst_EventGenerator)
#include "tst_EventGenerator.moc"
