#include <QTest>

#include "data/DateCodec.h"
#include "data/Tarn_Inputs.h"
#include "data/Tarn_Outputs.h"
#include "data/TextNumbers.h"

#include <stdexcept>

namespace {

std::string Std(const QString& text)
{
    return text.toLatin1().toStdString();
}

/// "1" or "0" per element, index 0 first.
QString Flags(const Tarn_Inputs& inputs, bool (Tarn_Inputs::*get)(int16_t) const, int count)
{
    QString flags;
    for (int16_t i = 0; i < count; ++i)
        flags += (inputs.*get)(i) ? QLatin1Char('1') : QLatin1Char('0');
    return flags;
}

} // namespace

class TestInputs : public QObject
{
    Q_OBJECT

private slots:
    void hexValue_data();
    void hexValue();
    void hexValueAt_data();
    void hexValueAt();
    void leadingNumber_data();
    void leadingNumber();
    void profileId_data();
    void profileId();
    void versionNumber_data();
    void versionNumber();

    void resolveInputs_data();
    void resolveInputs();
    void resolveDelays_data();
    void resolveDelays();
    void resolveAdminData_data();
    void resolveAdminData();
    void decodersKeepOtherFields();
    void indexedPropertiesRefuseOutOfRange();

    void outputWord_data();
    void outputWord();
    void outputWordClearsOnlyTheSwitchedMember();
    void extraOutputRefusesOutOfRange();
};

void TestInputs::hexValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("value");

    QTest::newRow("empty") << "" << 0u;
    QTest::newRow("two digits") << "FF" << 255u;
    QTest::newRow("lower case") << "1e" << 30u;
    QTest::newRow("stops at a letter beyond F") << "3G" << 3u;
    QTest::newRow("starts with another character") << "G3" << 0u;
    QTest::newRow("blank first") << " 3" << 0u;
    QTest::newRow("eight digits") << "FFFFFFFF" << 4294967295u;
    QTest::newRow("saturates") << "123456789" << 4294967295u;
}

void TestInputs::hexValue()
{
    QFETCH(QString, text);
    QFETCH(uint, value);
    QCOMPARE(HexValue(Std(text)), value);
}

void TestInputs::hexValueAt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("count");
    QTest::addColumn<uint>("value");

    QTest::newRow("first pair") << "1E0A" << 1 << 2 << 30u;
    QTest::newRow("second pair") << "1E0A" << 3 << 2 << 10u;
    QTest::newRow("half a pair at the end") << "1E0" << 3 << 2 << 0u;
    QTest::newRow("last digit alone") << "1E7" << 3 << 2 << 7u;
    QTest::newRow("just past the end") << "1E0A" << 5 << 2 << 0u;
    QTest::newRow("far beyond the end") << "1E0A" << 99 << 2 << 0u;
    QTest::newRow("position 0 is nothing") << "1E0A" << 0 << 2 << 0u;
}

void TestInputs::hexValueAt()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(int, count);
    QFETCH(uint, value);
    QCOMPARE(HexValueAt(Std(text), std::size_t(position), std::size_t(count)), value);
}

void TestInputs::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("whole") << "30" << 30.0;
    QTest::newRow("decimal point") << "2.07" << 2.07;
    QTest::newRow("leading blanks") << "  2.5x" << 2.5;
    QTest::newRow("range low end") << "2.00-2.06" << 2.0;
    QTest::newRow("negative") << "-1.5" << -1.5;
    QTest::newRow("plus sign") << "+4" << 4.0;
    QTest::newRow("no integer part") << ".5" << 0.5;
    QTest::newRow("comma is no decimal point") << "2,5" << 2.0;
    QTest::newRow("letter first") << "T" << 0.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("point alone") << "." << 0.0;
    QTest::newRow("second point ends it") << "1.2.3" << 1.2;
    QTest::newRow("blank inside ends it") << "1 2" << 1.0;
}

void TestInputs::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(LeadingNumber(Std(text)), value);
}

void TestInputs::profileId_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("id");

    QTest::newRow("small") << "0003" << 3;
    QTest::newRow("hex") << "001A" << 26;
    QTest::newRow("FFFF is -1") << "FFFF" << -1;
    QTest::newRow("8000 is the lowest") << "8000" << -32768;
    QTest::newRow("low 16 bits of a longer number") << "12345" << 0x2345;
    QTest::newRow("stops at other text") << "07ACK" << 0x7AC;
    QTest::newRow("nothing") << "" << 0;
    QTest::newRow("garbage") << "xyz" << 0;
}

void TestInputs::profileId()
{
    QFETCH(QString, text);
    QFETCH(int, id);
    QCOMPARE(int(ParseProfileId(Std(text))), id);
}

void TestInputs::versionNumber_data()
{
    QTest::addColumn<double>("version");
    QTest::addColumn<QString>("text");

    QTest::newRow("2.07") << 2.07 << " 2.07";
    QTest::newRow("whole") << 2.0 << " 2";
    QTest::newRow("negative") << -1.5 << "-1.5";
    QTest::newRow("zero") << 0.0 << " 0";
    QTest::newRow("2.1") << 2.1 << " 2.1";
    QTest::newRow("sum with binary noise") << (0.1 + 0.2) << " 0.3";
    QTest::newRow("two digits before the point") << 10.25 << " 10.25";
}

void TestInputs::versionNumber()
{
    QFETCH(double, version);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(FormatVersionNumber(version)), text);
}

void TestInputs::resolveInputs_data()
{
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("universal");
    QTest::addColumn<QString>("detectors");
    QTest::addColumn<QString>("triggers");
    QTest::addColumn<double>("celsius");
    QTest::addColumn<double>("fahrenheit");

    QTest::newRow("worked example") << "0F6014"
                                    << "0000"
                                    << "0000"
                                    << "001" << 20.0 << 68.0;
    QTest::newRow("all zero: inputs active") << "000000"
                                             << "0000"
                                             << "1111"
                                             << "111" << 0.0 << 32.0;
    QTest::newRow("universal 0 and 3") << "9F0000"
                                       << "1001"
                                       << "0000"
                                       << "111" << 0.0 << 32.0;
    QTest::newRow("detector 1 active") << "0D0000"
                                       << "0000"
                                       << "0100"
                                       << "111" << 0.0 << 32.0;
    QTest::newRow("trigger bit 0 unused") << "0F1000"
                                          << "0000"
                                          << "0000"
                                          << "111" << 0.0 << 32.0;
    QTest::newRow("lower case") << "0fe01e"
                                << "0000"
                                << "0000"
                                << "000" << 30.0 << 86.0;
    QTest::newRow("minus one") << "0FE0FF"
                               << "0000"
                               << "0000"
                               << "000" << -1.0 << 30.2;
    QTest::newRow("lowest temperature") << "0FE080"
                                        << "0000"
                                        << "0000"
                                        << "000" << -128.0 << -198.4;
    QTest::newRow("highest temperature") << "0FE07F"
                                         << "0000"
                                         << "0000"
                                         << "000" << 127.0 << 260.6;
    QTest::newRow("three characters") << "0F6"
                                      << "0000"
                                      << "0000"
                                      << "001" << 0.0 << 32.0;
    QTest::newRow("empty") << ""
                           << "0000"
                           << "1111"
                           << "111" << 0.0 << 32.0;
    QTest::newRow("longer: first six") << "0F601499"
                                       << "0000"
                                       << "0000"
                                       << "001" << 20.0 << 68.0;
    QTest::newRow("garbage reads 0") << "G?Z#QQ"
                                     << "0000"
                                     << "1111"
                                     << "111" << 0.0 << 32.0;
    QTest::newRow("NAK reply") << "NAK"
                               << "0000"
                               << "1010"
                               << "111" << 0.0 << 32.0;
}

void TestInputs::resolveInputs()
{
    QFETCH(QString, data);
    QFETCH(QString, universal);
    QFETCH(QString, detectors);
    QFETCH(QString, triggers);
    QFETCH(double, celsius);
    QFETCH(double, fahrenheit);

    Tarn_Inputs inputs;
    // Start from the opposite so that every field is seen to be written.
    for (int16_t i = 0; i < 4; ++i) {
        inputs.SetUniversalIO(i, universal[i] == QLatin1Char('0'));
        inputs.SetDetector(i, detectors[i] == QLatin1Char('0'));
    }
    for (int16_t i = 0; i < 3; ++i)
        inputs.SetManualTrigger(i, triggers[i] == QLatin1Char('0'));
    inputs.TemperatureCelsius = 99;
    inputs.TemperatureFarenheit = 99;

    inputs.ResolveInputs(Std(data));
    QCOMPARE(Flags(inputs, &Tarn_Inputs::UniversalIO, 4), universal);
    QCOMPARE(Flags(inputs, &Tarn_Inputs::Detector, 4), detectors);
    QCOMPARE(Flags(inputs, &Tarn_Inputs::ManualTrigger, 3), triggers);
    QCOMPARE(inputs.TemperatureCelsius, celsius);
    QCOMPARE(inputs.TemperatureFarenheit, fahrenheit);
}

void TestInputs::resolveDelays_data()
{
    QTest::addColumn<QString>("data");
    QTest::addColumn<QList<int>>("expected"); // four delays, three messages, three outputs

    QTest::newRow("worked example")
        << "1E0A05FF010203071F00" << QList<int>{30, 10, 5, 255, 1, 2, 3, 7, 31, 0};
    QTest::newRow("lower case") << "1e0a05ff010203071f00"
                                << QList<int>{30, 10, 5, 255, 1, 2, 3, 7, 31, 0};
    QTest::newRow("short: missing pairs are 0")
        << "1E0A05" << QList<int>{30, 10, 5, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("odd length: last digit alone")
        << "1E0A0" << QList<int>{30, 10, 0, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("bad pair ends early")
        << "3X0A05FF010203071F00" << QList<int>{3, 10, 5, 255, 1, 2, 3, 7, 31, 0};
    QTest::newRow("empty") << "" << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

void TestInputs::resolveDelays()
{
    QFETCH(QString, data);
    QFETCH(QList<int>, expected);

    Tarn_Inputs inputs;
    inputs.DetectorAlarmDelay = inputs.DetectorResetDelay = 77;
    inputs.ManualAlarmDelay = inputs.ManualStopDelay = 77;
    for (int16_t zone = 0; zone < 3; ++zone) {
        inputs.SetMessages(zone, 77);
        inputs.SetOutPuts(zone, 77);
    }

    inputs.ResolveDelays(Std(data));
    const QList<int> actual{int(inputs.DetectorAlarmDelay),
                            int(inputs.DetectorResetDelay),
                            int(inputs.ManualAlarmDelay),
                            int(inputs.ManualStopDelay),
                            inputs.Messages(0),
                            inputs.Messages(1),
                            inputs.Messages(2),
                            inputs.OutPuts(0),
                            inputs.OutPuts(1),
                            inputs.OutPuts(2)};
    QCOMPARE(actual, expected);
}

void TestInputs::resolveAdminData_data()
{
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QStringList>("dates"); // manufactured, installed, last service, the one before

    const QString z = QStringLiteral("zero");
    QTest::newRow("highest serial number")
        << "FFFFFFFF" + QString("AC44C79E").repeated(4) << "4294967295"
        << QStringList{"2026-12-04", "2026-12-04", "2026-12-04", "2026-12-04"};
    QTest::newRow("123456") << "0001E240"
                               "01010000"
                               "825D0000"
                               "FCFF7BFB"
                               "00000000"
                            << "123456" << QStringList{"2000-01-01", "2024-02-29", "2063-12-31", z};
    QTest::newRow("zero serial") << QString(40, QLatin1Char('0')) << "0" << QStringList{z, z, z, z};
    QTest::newRow("16 characters") << "00000001AC44C79E"
                                   << "1" << QStringList{"2026-12-04", z, z, z};
    QTest::newRow("empty") << ""
                           << "0" << QStringList{z, z, z, z};
    QTest::newRow("invalid date field") << "000000FF0D010000AC44C79E"
                                        << "255" << QStringList{z, "2026-12-04", z, z};
}

void TestInputs::resolveAdminData()
{
    QFETCH(QString, data);
    QFETCH(QString, serial);
    QFETCH(QStringList, dates);

    Tarn_Inputs inputs;
    const TarnDateTime stale = TarnDateTime::FromParts(2010, 10, 10, 10, 10, 10);
    inputs.Manufactured = inputs.Installed = inputs.LastService = inputs.LastService2 = stale;
    inputs.SerialNumber = "stale";

    inputs.ResolveAdminData(Std(data));
    QCOMPARE(QString::fromStdString(inputs.SerialNumber), serial);
    QStringList actual;
    for (const TarnDateTime* date :
         {&inputs.Manufactured, &inputs.Installed, &inputs.LastService, &inputs.LastService2}) {
        QVERIFY2(!date->HasTime(), "the time of day is dropped");
        actual << (date->IsZero() ? QStringLiteral("zero")
                                  : QString::asprintf("%04d-%02d-%02d", date->Year(), date->Month(),
                                                      date->Day()));
    }
    QCOMPARE(actual, dates);
}

void TestInputs::decodersKeepOtherFields()
{
    Tarn_Inputs inputs;
    inputs.CPUVersion = 2.07;
    inputs.SetProfileID(1, 5);
    inputs.SetProfileName(1, "Alpha");
    inputs.SerialNumber = "42";
    inputs.ResolveInputs("0F6014");
    inputs.ResolveDelays("1E0A05FF010203071F00");
    QCOMPARE(inputs.CPUVersion, 2.07);
    QCOMPARE(inputs.ProfileID(1), int16_t(5));
    QCOMPARE(inputs.ProfileName(1), std::string("Alpha"));
    QCOMPARE(inputs.SerialNumber, std::string("42"));
    QCOMPARE(inputs.TemperatureCelsius, 20.0);
}

void TestInputs::indexedPropertiesRefuseOutOfRange()
{
    Tarn_Inputs inputs;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, inputs.ProfileName(3));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, inputs.ProfileName(-1));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, inputs.SetProfileName(3, "x"));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, inputs.ProfileID(3));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, inputs.SetProfileID(-1, 1));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, inputs.Messages(3));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, inputs.SetMessages(3, 1));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, inputs.OutPuts(3));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, inputs.SetOutPuts(-32768, 1));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, inputs.UniversalIO(4));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, inputs.SetUniversalIO(4, true));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, inputs.Detector(4));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, inputs.SetDetector(-1, true));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, inputs.ManualTrigger(3));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, inputs.SetManualTrigger(3, true));

    // The last valid index of each works and keeps its value.
    inputs.SetProfileName(2, "Beta");
    inputs.SetUniversalIO(3, true);
    inputs.SetDetector(3, true);
    inputs.SetManualTrigger(2, true);
    QCOMPARE(inputs.ProfileName(2), std::string("Beta"));
    QVERIFY(inputs.UniversalIO(3));
    QVERIFY(inputs.Detector(3));
    QVERIFY(inputs.ManualTrigger(2));
}

void TestInputs::outputWord_data()
{
    QTest::addColumn<int>("pump");
    QTest::addColumn<int>("valve1");
    QTest::addColumn<int>("valve2");
    QTest::addColumn<int>("buzzer");
    QTest::addColumn<int>("alarmRelay");
    QTest::addColumn<QList<int>>("extra");
    QTest::addColumn<QString>("word");

    const QList<int> none{0, 0, 0, 0};
    QTest::newRow("everything off") << 0 << 0 << 0 << 0 << 0 << none << "0000";
    QTest::newRow("pump") << 1 << 0 << 0 << 0 << 0 << none << "0100";
    QTest::newRow("buzzer") << 0 << 0 << 0 << 1 << 0 << none << "0004";
    QTest::newRow("buzzer and pump") << 1 << 0 << 0 << 1 << 0 << none << "0104";
    QTest::newRow("valve 1 and extra 4")
        << 0 << 1 << 0 << 0 << 0 << QList<int>{0, 0, 0, 1} << "8200";
    QTest::newRow("valve 2") << 0 << 0 << 1 << 0 << 0 << none << "0400";
    QTest::newRow("alarm relay") << 0 << 0 << 0 << 0 << 1 << none << "0800";
    QTest::newRow("extras 1 to 3") << 0 << 0 << 0 << 0 << 0 << QList<int>{1, 1, 1, 0} << "7000";
    QTest::newRow("everything on") << 1 << 1 << 1 << 1 << 1 << QList<int>{1, 1, 1, 1} << "FF04";
    QTest::newRow("-1 counts as off")
        << -1 << -1 << 2 << -1 << 255 << QList<int>{-1, 2, 0, 0} << "0000";
}

void TestInputs::outputWord()
{
    QFETCH(int, pump);
    QFETCH(int, valve1);
    QFETCH(int, valve2);
    QFETCH(int, buzzer);
    QFETCH(int, alarmRelay);
    QFETCH(QList<int>, extra);
    QFETCH(QString, word);

    // The word depends only on the current members, not on a previous state.
    Tarn_Outputs outputs;
    outputs.Pump = outputs.Valve1 = outputs.Valve2 = outputs.Buzzer = outputs.AlarmRelay = 1;
    for (int16_t i = 0; i < 4; ++i)
        outputs.SetExtraOutPut(i, 1);
    QCOMPARE(outputs.STU_Data(), std::string("FF04"));

    outputs.Pump = pump;
    outputs.Valve1 = valve1;
    outputs.Valve2 = valve2;
    outputs.Buzzer = buzzer;
    outputs.AlarmRelay = alarmRelay;
    for (int16_t i = 0; i < 4; ++i)
        outputs.SetExtraOutPut(i, extra[i]);
    QCOMPARE(QString::fromStdString(outputs.STU_Data()), word);
    QCOMPARE(QString::fromStdString(outputs.STU_Data()), word);
}

void TestInputs::outputWordClearsOnlyTheSwitchedMember()
{
    Tarn_Outputs outputs;
    QCOMPARE(outputs.STU_Data(), std::string("0000"));
    outputs.Pump = 1;
    outputs.Valve1 = 1;
    outputs.Buzzer = 1;
    outputs.SetExtraOutPut(2, 1);
    QCOMPARE(outputs.STU_Data(), std::string("4304"));
    outputs.Valve1 = 0;
    QCOMPARE(outputs.STU_Data(), std::string("4104"));
    outputs.Buzzer = 0;
    QCOMPARE(outputs.STU_Data(), std::string("4100"));
    outputs.SetExtraOutPut(2, 0);
    QCOMPARE(outputs.STU_Data(), std::string("0100"));
    QCOMPARE(outputs.Pump, 1);
}

void TestInputs::extraOutputRefusesOutOfRange()
{
    Tarn_Outputs outputs;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, outputs.ExtraOutPut(4));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, outputs.ExtraOutPut(-1));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, outputs.SetExtraOutPut(4, 1));
    QCOMPARE(outputs.STU_Data(), std::string("0000"));
}

QTEST_APPLESS_MAIN(TestInputs)
#include "tst_inputs.moc"
