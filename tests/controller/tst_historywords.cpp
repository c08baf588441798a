#include "controller/FunctionTest.h"
#include "controller/HistoryWords.h"
#include "controller/SetupChange.h"
#include "controller/SetupUndo.h"
#include "data/Catalogues.h"
#include "protocol/CommandCodes.h"

#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const std::string kIni = "[EVENT_CODES_1]\nVersion=1.00-9.99\n2=Alarm detector 2\n"
                         "45=Pump fault, no pressure\n\n[PROFILES]\n"
                         "1=Continuous 10 min|T,0,F,600,S,600\n5=Cooling 30 s|T,0,F,30,S,30\n\n";

ArchivedChange Change(int command, const char* before, const char* after)
{
    ArchivedChange change;
    change.command = command;
    change.beforeJson = QString::fromUtf8(before);
    change.afterJson = QString::fromUtf8(after);
    return change;
}

void ChangeRow(const char* name, int command, const char* before, const char* after,
               const QStringList& lines)
{
    QTest::newRow(name) << command << QByteArray(before) << QByteArray(after) << lines;
}

QJsonObject Object(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}
} // namespace

/// The history told as the setup window and the status page tell it.
class tst_HistoryWords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        std::string errText;
        QVERIFY(LoadCatalogueText(kIni, errText));
        QVERIFY(LoadEventCodesText(2.07, kIni, errText));
    }

    void changeLines_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QStringList>("lines");
        ChangeRow(
            "delays and outputs", int(TarnCommand::SetDelays),
            R"({"detectorAlarm":30,"manualStop":60,"zone2Outputs":2})",
            R"({"detectorAlarm":45,"manualStop":60,"zone2Outputs":10})",
            {u"Detector alarm delay: 30 s \u2192 45 s"_s, u"Zone 2 outputs: 2 \u2192 2, 4"_s});
        ChangeRow("nothing changed", int(TarnCommand::SetDelays), R"({"detectorAlarm":30})",
                  R"({"detectorAlarm":30})", {});
        ChangeRow("profile by name", int(TarnCommand::SetZoneProfile),
                  R"({"zone":1,"profileId":1})", R"({"zone":1,"profileId":5})",
                  {u"Zone 1 profile: Continuous 10 min \u2192 Cooling 30 s"_s});
        ChangeRow("profile unknown to Tarn.INI", int(TarnCommand::SetZoneProfile),
                  R"({"zone":3,"profileId":1})", R"({"zone":3,"profileId":8})",
                  {u"Zone 3 profile: Continuous 10 min \u2192 profile 8"_s});
        ChangeRow("profile unchanged", int(TarnCommand::SetZoneProfile),
                  R"({"zone":1,"profileId":5})", R"({"zone":1,"profileId":5})", {});
        ChangeRow("clock, the same day", int(TarnCommand::SetClock),
                  R"({"clock":"2026-12-07T16:17:40"})", R"({"clock":"202612071618061"})",
                  {u"Clock set to 7 Dec 2026 16:18:06 (was 16:17:40)"_s});
        ChangeRow("clock, another day", int(TarnCommand::SetClock),
                  R"({"clock":"2026-12-06T23:59:50"})", R"({"clock":"202612070000101"})",
                  {u"Clock set to 7 Dec 2026 00:00:10 (was 6 Dec 2026 23:59:50)"_s});
        ChangeRow("clock of an older record", int(TarnCommand::SetClock), R"({"clock":"as read"})",
                  R"({"clock":"202612071618061"})", {u"Clock set to 7 Dec 2026 16:18:06"_s});
        ChangeRow("dates and serial number", int(TarnCommand::SetAdminData),
                  R"({"serialNumber":"123456","installed":""})",
                  R"({"serialNumber":"654321","installed":"2024-05-02"})",
                  {u"Installation date: not set \u2192 2 May 2024"_s,
                   u"Serial number: 123456 \u2192 654321"_s});
        ChangeRow("log deleted", int(TarnCommand::LogControl), "{}", R"({"log":"deleted"})",
                  {u"Event log deleted"_s});
        ChangeRow("function test", ArchivedChange::kFunctionTest, "{}",
                  R"({"outputs":["Pump"],"milliseconds":5020,)"
                  R"("inputsSeen":["Detector 1"],"inputsRead":true})",
                  {u"Function test: Pump on for 5 s; inputs seen: Detector 1"_s});
        ChangeRow(
            "function test, inputs not read", ArchivedChange::kFunctionTest, "{}",
            R"({"outputs":["Pump","Valve 2"],"milliseconds":400})",
            {u"Function test: Pump and Valve 2 on for 0.4 s; inputs seen: none (inputs not read)"_s});
    }

    void changeLines()
    {
        QFETCH(int, command);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(QStringList, lines);
        QCOMPARE(HistoryWords::ChangeLines(Change(command, before.constData(), after.constData())),
                 lines);
    }

    /// A function test is never undone, and leaves the zones' definitions as they were.
    void functionTestIsNoSetupChange()
    {
        const ArchivedChange test =
            FunctionTest::Make({u"Pump"_s}, QDateTime::currentDateTimeUtc(), 1000, {}, true);
        QVERIFY(test.isFunctionTest());
        QVERIFY(!SetupUndo::WhyNot(test, true).isEmpty());
        ArchivedChange definition = Change(int(TarnCommand::SetProfileDefinition), "{}",
                                           R"({"zone":1,"definition":"0102"})");
        const std::vector<ArchivedChange> changes{definition, test};
        QVERIFY(!SetupChange::UnconfirmedDefinitions(changes)[0]);
        QCOMPARE(SetupChange::LastDefinition(changes, 1).definition, u"0102"_s);
    }

    /// A snapshot lists what changed since the one before, the clock left out; the first lists
    /// every value.
    void statusRows()
    {
        const QJsonObject first =
            Object(R"({"version":2.07,"clock":"2026-12-07T10:00:00","temperatureCelsius":20.5,)"
                   R"("delays":{"detectorAlarm":30},"zones":[{"profileId":5,"profileName":"",)"
                   R"("message":1,"outputs":3}],"inputs":{"detectors":[false,false]}})");
        QJsonObject second = first;
        second.insert(u"clock"_s, u"2026-12-07T10:05:00"_s);
        second.insert(u"temperatureCelsius"_s, 21);
        second.insert(u"inputs"_s, Object(R"({"detectors":[false,true]})"));
        QStringList rows;
        for (const HistoryWords::Row& row : HistoryWords::StatusRows(first, second))
            rows << row.name + u": "_s + row.before + u" \u2192 "_s + row.after;
        QCOMPARE(rows, (QStringList{u"Temperature: 20.5 \u00b0C \u2192 21 \u00b0C"_s,
                                    u"Detector 2: off \u2192 on"_s}));
        QStringList firstRows;
        for (const HistoryWords::Row& row : HistoryWords::StatusRows({}, first))
            if (row.before.isEmpty())
                firstRows << row.name + u": "_s + row.after;
        QCOMPARE(firstRows,
                 (QStringList{u"Firmware: V 2.07"_s, u"Temperature: 20.5 \u00b0C"_s,
                              u"Detector alarm delay: 30 s"_s, u"Zone 1 profile: Cooling 30 s"_s,
                              u"Zone 1 message: 1"_s, u"Zone 1 outputs: 1, 2"_s,
                              u"Detector 1: off"_s, u"Detector 2: off"_s}));
    }

    void eventCode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code"); // -1: none
        QTest::newRow("number") << u" 45 "_s << 45;
        QTest::newRow("a choice") << HistoryWords::EventChoices().value(0) << 2;
        QTest::newRow("the text, another case") << u"pump fault, NO pressure"_s << 45;
        QTest::newRow("neither") << u"x"_s << -1;
    }

    void eventCode()
    {
        QFETCH(QString, text);
        QFETCH(int, code);
        QCOMPARE(HistoryWords::EventCode(text).value_or(-1), code);
    }

    void dataText_data()
    {
        QTest::addColumn<QString>("data"); // Latin-1, as sent
        QTest::addColumn<QString>("text");
        // Digits, and a zone's NUL byte: tst_tarnhistory's changes.
        QTest::newRow("a definition's bytes above 127") << u"\u0001\u0003\u00f8"_s << u"01 03 F8"_s;
        QTest::newRow("none") << QString() << QString();
    }

    /// A command's data printed or shown: binary data as hex, never as raw bytes.
    void dataText()
    {
        QFETCH(QString, data);
        QFETCH(QString, text);
        QCOMPARE(HistoryWords::DataText(data), text);
    }
};

QTEST_GUILESS_MAIN(tst_HistoryWords)
#include "tst_historywords.moc"
