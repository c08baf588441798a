#include "JsonPut.h"

#include "controller/SetupDiff.h"
#include "controller/SetupFile.h"
#include "data/Tarn_Inputs.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const TarnDateTime kNow = TarnDateTime::FromParts(2026, 12, 7, 11, 30);

/// A setup as a 2.07 controller with every value set reports it.
SetupFile::Setup Sample()
{
    Tarn_Inputs inputs;
    inputs.CPUVersion = 2.07;
    inputs.ResolveDelays("1E0A053C010203010A0F");
    inputs.SetProfileID(0, 1);
    inputs.SetProfileID(1, 2);
    inputs.SetProfileID(2, 9);
    inputs.SerialNumber = "123456";
    inputs.Manufactured = TarnDateTime::FromParts(2024, 3, 14);
    inputs.Installed = TarnDateTime::FromParts(2024, 5, 2);
    inputs.LastService = TarnDateTime::FromParts(2026, 5, 4);
    inputs.LastService2 = TarnDateTime::FromParts(2025, 5, 6);
    KeyedCollection<Tarn_Profile> catalogue;
    catalogue.Add("1", {"1", "Standard", "T,0,F,30,T,200,S,260"});
    catalogue.Add("2", {"2", "Sch\xF6n", "T,0,F,30,S,45"});
    return SetupFile::FromController(inputs, 0, catalogue, kNow, "tarn 3.0.6");
}

} // namespace

class tst_SetupFile : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip()
    {
        const SetupFile::Setup setup = Sample();
        const std::string text = SetupFile::Write(setup);
        SetupFile::Setup read;
        std::string errText;
        QVERIFY2(SetupFile::Read(text, kNow, read, errText), errText.c_str());
        QCOMPARE(SetupFile::Write(read), text);
        // What it is comes first, for a person reading it.
        QVERIFY(text.starts_with("{\n    \"format\": \"tarn-setup\",\n    \"formatVersion\": 1,"));
        QVERIFY(text.find("\"outputs\": [2, 4]") != std::string::npos);
        QVERIFY(SetupDiff::Compare(setup, read).empty());
        // What the file keeps of the controller, in its own words.
        QCOMPARE(read.zones[1].outputs, (std::vector<int>{2, 4}));
        QCOMPARE(read.zones[1].profileName.value_or(""), std::string("Sch\xF6n"));
        QVERIFY(!read.zones[2].profileDefinition);
        QCOMPARE(SetupFile::DateText(*read.serviceBefore), std::string("2025-05-06"));
        QCOMPARE(*read.serialNumber, 123456u);
    }

    void oldFirmwareHasNoDates()
    {
        Tarn_Inputs inputs;
        inputs.CPUVersion = 2.06;
        inputs.ResolveDelays("1E0A053C010203010A0F");
        inputs.Installed = TarnDateTime::FromParts(2024, 5, 2);
        const SetupFile::Setup setup =
            SetupFile::FromController(inputs, 0, KeyedCollection<Tarn_Profile>(), kNow, "tarn");
        const QJsonObject root = QJsonDocument::fromJson(SetupFile::Write(setup).c_str()).object();
        QVERIFY(root.value(u"dates"_s).isNull());
        QVERIFY(root.value(u"factory"_s).isNull());
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("value"); // JSON put at `path`; empty removes the key
        QTest::addColumn<QString>("message");  // its start
        // The message is "path: reason", unless the reason names another key itself.
        static const char* const kRows[][3] = {
            {"format", "\"tarn-status\"", "not \"tarn-setup\""},
            {"formatVersion", "2", "version 2 is newer than this program reads (up to 1)"},
            {"zones[0].valves", "[1]", "unknown key"},
            {"clock", "\"2026-12-07\"", "unknown key"},
            {"source.user", "\"x\"", "unknown key"},
            {"delays.manualStop", "", "missing"},
            {"delays.detectorAlarm", "0", "0 is outside 1 to 250"},
            {"delays.manualStop", "251", "251 is outside 1 to 250"},
            {"delays.manualAlarm", "1.5", "must be a whole number"},
            {"delays.manualAlarm", "\"30\"", "must be a whole number"},
            {"delays.detectorReset", "256", "256 is outside 0 to 255"},
            {"zones[1].outputs", "[1,5]", "5 is outside 1 to 4"},
            {"zones[1].outputs", "[2,2]", "output 2 is listed twice"},
            {"zones", "[]", "must be a list of 3 zones"},
            {"zones[2].zone", "2", "2 is outside 3 to 3"},
            {"zones[0].message", "256", "256 is outside 0 to 255"},
            {"zones[0].profile.id", "-1", "-1 is outside 0 to 32767"},
            {"detectorVoltageSwitch", "256", "256 is outside 0 to 255"},
            {"factory.serialNumber", "\"0\"", "must be a text of digits, 1 to 999999999, or null"},
            {"factory.serialNumber", "\"1000000000\"", "must be a text"},
            {"dates.installed", "\"2025-02-29\"", "2025-02-29 is no date"},
            {"dates.lastService", "\"2026-12-08\"", "Incorrect value (Service date)! Can"},
            {"dates.installed", "\"2024-03-13\"",
             "Incorrect value (Installation date)! Must be later than the Manufacturing"},
            {"factory.manufactured", "\"1999-12-31\"", "Incorrect value (Manufacturing date)!"},
            {"dates.serviceBefore", "\"2026-05-05\"",
             "dates.lastService: Incorrect value (Service date)! Must be later than the last"},
            {"source.firmwareVersion", "2.06", "factory: firmware V 2.06 has no dates and no"}};
        for (const auto& [path, value, reason] : kRows) {
            const QString message = QString::fromUtf8(reason);
            QTest::addRow("%s %s", path, value)
                << QString::fromUtf8(path) << QByteArray(value)
                << (message.contains(u": "_s) ? message
                                              : QString::fromUtf8(path) + u": "_s + message);
        }
    }

    void refusals()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, value);
        QFETCH(QString, message);
        const QByteArray text = JsonPut(QByteArray::fromStdString(SetupFile::Write(Sample())),
                                        path + u'=' + QString::fromUtf8(value));
        SetupFile::Setup setup;
        std::string errText;
        QVERIFY(!SetupFile::Read(text.toStdString(), kNow, setup, errText));
        QVERIFY2(QString::fromStdString(errText).startsWith(message), errText.c_str());
    }

    void notJson()
    {
        SetupFile::Setup setup;
        std::string errText;
        QVERIFY(!SetupFile::Read("{\"format\": ", kNow, setup, errText));
        QVERIFY2(errText.starts_with("not a JSON document"), errText.c_str());
    }

    void differences()
    {
        const SetupFile::Setup controller = Sample();
        SetupFile::Setup file = controller;
        file.zones[1].outputs = {2};
        file.zones[0].profileId = 2;
        file.zones[0].profileName = "Fast";
        file.installed.reset();
        QStringList lines;
        for (const SetupDiff::Difference& d : SetupDiff::Compare(controller, file))
            lines << d.Line();
        // A date the file leaves out is not compared.
        QCOMPARE(lines, (QStringList{u"zone 2 outputs: 2,4 \u2192 2"_s,
                                     u"zone 1 profile: 1 Standard \u2192 2 Fast"_s}));
    }
};

QTEST_APPLESS_MAIN(tst_SetupFile)
#include "tst_setupfile.moc"
