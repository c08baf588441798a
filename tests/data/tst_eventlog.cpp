#include <QTest>

#include "IniFixture.h"
#include "data/Catalogues.h"
#include "data/EventLog.h"

namespace {

constexpr int kCurrentYear = 2026;

const QByteArray kTwoRanges = "[COMMUNICATION]\nPort=1\n\n"
                              "[EVENT_CODES_1]\nVersion=1.00-1.99\n1=old one\n2=old two\n\n"
                              "[EVENT_CODES_2]\nVersion=2.00-2.99\n1=new one\n17=Pump on\n\n"
                              "[PROFILES]\n1=P|T,0,F,30,S,60\n";

} // namespace

class TestEventLog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void decode_data()
    {
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("expected"); // time | text | °C | °F

        const QString stamp = QStringLiteral("2026-12-04 14:07:30|");
        QTest::newRow("worked example") << "AC44C79E1114" << stamp + "Pump on|20|68";
        QTest::newRow("unknown code 7, key text exact")
            << "AC44C79E0714" << stamp + "Unknown log event (7).|20|68";
        QTest::newRow("code 255, minus one degree")
            << "AC44C79EFFFF" << stamp + "Unknown log event (255).|-1|30.2";
        QTest::newRow("no stored time") << "000000001114" << QString("zero date|Pump on|20|68");
        QTest::newRow("short: half a time")
            << "AC44C7" << QString("2026-12-04 12:07:00|Unknown log event (0).|0|32");
        QTest::newRow("bad pair ends early") << "AC44C79E1X14" << stamp + "Pump on on one|20|68";
        QTest::newRow("END reply") << "END" << QString("zero date|Unknown log event (0).|0|32");
    }

    void decode()
    {
        QFETCH(QString, data);
        QFETCH(QString, expected);

        EventCodeCatalogue.Clear();
        EventCodeCatalogue.Add("17", {"17", "Pump on"});
        EventCodeCatalogue.Add("1", {"1", "Pump on on one"});
        EventCodeCatalogue.Add("07", {"07", "not under 7"});

        const Tarn_Inputs event = DecodeLogEvent(data.toLatin1().toStdString(), kCurrentYear);
        const TarnDateTime& t = event.LogTime;
        const QString time =
            t.IsZero() ? QStringLiteral("zero date")
                       : QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", t.Year(), t.Month(),
                                           t.Day(), t.Hour(), t.Minute(), t.Second());
        QCOMPARE(
            QStringList({time, Latin1(event.LogText), QString::number(event.LogTemperatureCelsius),
                         QString::number(event.LogTemperatureFarenheit)})
                .join('|'),
            expected);
    }

    void loadEventCodes_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<double>("version");
        QTest::addColumn<QStringList>("codes");

        const QStringList first{"E 1=old one", "E 2=old two"};
        const QStringList second{"E 1=new one", "E 17=Pump on"};
        QTest::newRow("low end belongs to the range") << kTwoRanges << 2.00 << second;
        QTest::newRow("high end belongs to the range") << kTwoRanges << 1.99 << first;
        QTest::newRow("between ranges loads nothing") << kTwoRanges << 1.995 << QStringList{};
        QTest::newRow("first matching section wins")
            << QByteArray("[EVENT_CODES_1]\nVersion=2.00-2.99\n1=first\n\n"
                          "[EVENT_CODES_2]\nVersion=2.00-2.06\n1=second\n")
            << 2.05 << QStringList{"E 1=first"};
        QTest::newRow("missing section 2 ends the search")
            << QByteArray("[EVENT_CODES_1]\nVersion=1.00-1.99\n1=one\n\n"
                          "[EVENT_CODES_3]\nVersion=3.00-3.99\n1=three\n")
            << 3.5 << QStringList{};
        QTest::newRow("blanks around the range")
            << QByteArray("[EVENT_CODES_1]\nVersion= 2.00 - 2.99 \n1=one\n") << 2.99
            << QStringList{"E 1=one"};
        QTest::newRow("section 1 is not section 10")
            << QByteArray("[EVENT_CODES_10]\nVersion=5.00-5.99\n1=ten\n\n"
                          "[ EVENT_CODES_1 ]\nVersion=2.00-2.99\n1=one\n")
            << 2.5 << QStringList{"E 1=one"};
    }

    void loadEventCodes()
    {
        QFETCH(QByteArray, content);
        QFETCH(double, version);
        QFETCH(QStringList, codes);

        const QString path = WriteIni(m_dir, content);
        QVERIFY(!path.isEmpty());
        EventCodeCatalogue.Clear();
        EventCodeCatalogue.Add("99", {"99", "stale"});
        std::string errText;
        QVERIFY2(LoadEventCodes(version, path.toStdString(), errText), errText.c_str());
        QCOMPARE(Loaded(), codes);
    }

    void loadReplacesPreviousCodes()
    {
        const std::string path = WriteIni(m_dir, kTwoRanges).toStdString();
        std::string errText;
        QVERIFY(LoadEventCodes(2.5, path, errText));
        const Tarn_Inputs decoded = DecodeLogEvent("AC44C79E1114");
        QCOMPARE(decoded.LogTime.Year(), 2026);
        QVERIFY(LoadEventCodes(1.5, path, errText));
        QCOMPARE(Latin1(DecodeLogEvent("AC44C79E1114", kCurrentYear).LogText),
                 QStringLiteral("Unknown log event (17)."));
        // A text once decoded does not follow the catalogue.
        QCOMPARE(Latin1(decoded.LogText), QStringLiteral("Pump on"));
        // A missing file matches no section and leaves the catalogue empty.
        QVERIFY(LoadEventCodes(2.5, m_dir.filePath("absent.INI").toStdString(), errText));
        QVERIFY(EventCodeCatalogue.Empty());
    }
};

QTEST_APPLESS_MAIN(TestEventLog)
#include "tst_eventlog.moc"
