// moc cannot parse the C++20 library headers that these pull in.
#ifndef Q_MOC_RUN
#include "sim/ControllerState.h"
#endif

#include <QTest>

#include <string>

using namespace std::string_literals;
using Step = ControllerState::ProfileStep;

Q_DECLARE_METATYPE(std::vector<ControllerState::ProfileStep>)

namespace QTest {
template <> inline char* toString(const std::string& text)
{
    return toString(QByteArray::fromStdString(text));
}
} // namespace QTest

namespace {
/// Friday 4 December 2026, 14:07:30.
TarnDateTime SomeNow()
{
    return TarnDateTime::FromParts(2026, 12, 4, 14, 7, 30);
}

std::string Zone(int zone)
{
    return std::string(1, static_cast<char>(zone));
}

std::string Std(const QByteArray& bytes)
{
    return bytes.toStdString();
}

/// Serial 123456, manufactured 2024-03-14, installed 2024-05-02, serviced 2026-05-04 and
/// before that 2025-05-06.
const std::string kFactoryAdmin = "0001E240"s + "834E0000" + "85420000" + "A5440000" + "95460000";
const std::string kFactoryDelays = "1E0A053C010203010204";
const std::string kUnset = "00000000";

/// Everything the controller stores, as one text.
std::string Snapshot(const ControllerState& state)
{
    std::string text = state.inputs() + "|" + state.delays() + "|" +
                       std::to_string(state.detectorVoltageSwitch()) + "|" + state.adminData() +
                       "|" + state.outputWord() + "|" + std::to_string(state.clockOffsetSeconds()) +
                       "|" + std::to_string(state.testMode()) + "|" +
                       std::to_string(state.eventCount()) + "/" +
                       std::to_string(state.readPointer());
    for (int zone = 0; zone < ControllerState::kZones; ++zone) {
        text += "|" + std::to_string(state.profileId(zone)) + ":";
        for (const Step& step : state.profileSteps(zone))
            text += step.type + std::to_string(step.duration);
    }
    return text;
}
} // namespace

class tst_ControllerState : public QObject
{
    Q_OBJECT

private slots:
    void readsFromFactoryState_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("reply");

        const QByteArray none;
        QTest::newRow("version") << 64 << none << QByteArray("V2.07");
        QTest::newRow("clock") << 50 << none << QByteArray("20261204140730");
        QTest::newRow("inputs: nothing active, 20 degrees") << 52 << none << QByteArray("0FE014");
        QTest::newRow("delays") << 55 << none << QByteArray::fromStdString(kFactoryDelays);
        QTest::newRow("admin data") << 51 << none << QByteArray::fromStdString(kFactoryAdmin);
        QTest::newRow("profile zone 2") << 54 << QByteArray(1, 2) << QByteArray("3");
        QTest::newRow("profile zone 3") << 54 << QByteArray(1, 3) << QByteArray("0");
        QTest::newRow("no events") << 48 << none << QByteArray("END");
        QTest::newRow("test mode") << 105 << none << QByteArray("ACK");
        QTest::newRow("53 is not served") << 53 << none << QByteArray("NAK");
        QTest::newRow("255 unknown") << 255 << QByteArray("ACK") << QByteArray("NAK");
    }

    void readsFromFactoryState()
    {
        QFETCH(int, command);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, reply);
        ControllerState state;
        QCOMPARE(state.reply(command, Std(data), SomeNow()), Std(reply));
    }

    /// Every malformed request is refused and leaves the controller exactly as it was.
    void refusedRequestsChangeNothing_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("data");

        QTest::newRow("clock without weekday") << 65 << QByteArray("20270301090503");
        QTest::newRow("clock 31 April") << 65 << QByteArray("202704310905032");
        QTest::newRow("clock weekday 8") << 65 << QByteArray("202703010905038");
        QTest::newRow("delays only, 20") << 98 << QByteArray("1E053C5A01020301000F");
        QTest::newRow("delays 22 with a G") << 98 << QByteArray("1E053C5A0102030100G000");
        QTest::newRow("admin 39") << 99 << QByteArray(39, '1');
        QTest::newRow("log control none") << 66 << QByteArray();
        QTest::newRow("log control byte 2") << 66 << QByteArray(1, 2);
        QTest::newRow("definition zone only") << 102 << QByteArray(1, 0);
        QTest::newRow("definition zone 3") << 102 << QByteArray("\3\0\x9E", 3);
        QTest::newRow("definition 33 steps") << 102 << QByteArray("\1\0", 2) + QByteArray(33, 5);
        QTest::newRow("zone profile 7 digits") << 104 << QByteArray("\001000000C");
        QTest::newRow("zone profile zone 3") << 104 << QByteArray("\0030000000C");
        QTest::newRow("outputs 2") << 100 << QByteArray("01");
    }

    void refusedRequestsChangeNothing()
    {
        QFETCH(int, command);
        QFETCH(QByteArray, data);

        ControllerState state;
        state.setEvents({"AC44C79E1114", "AC44C7A01EFF"});
        QCOMPARE(state.reply(48, ""), "AC44C79E1114"s);
        QCOMPARE(state.reply(102, Zone(1) + '\0' + "\x85"s), "ACK"s);
        const std::string before = Snapshot(state);
        QCOMPARE(state.reply(command, Std(data), SomeNow()), "ERR"s);
        QCOMPARE(Snapshot(state), before);
    }

    void clockRunsAtTheOffsetThatSetClockLeaves()
    {
        ControllerState state;
        QCOMPARE(state.reply(65, "202703010905032", SomeNow()), "ACK"s);
        QCOMPARE(state.reply(50, "", SomeNow()), "20270301090503"s);
        QCOMPARE(state.reply(50, "", SomeNow().AddSeconds(70)), "20270301090613"s);

        // Setting it back to the PC clock removes the offset.
        QCOMPARE(state.reply(65, "202612041407306", SomeNow()), "ACK"s);
        QCOMPARE(state.clockOffsetSeconds(), int64_t(0));
    }

    void delaysBlockStoresTenFieldsAndTheSwitch()
    {
        ControllerState state;
        QCOMPARE(state.reply(98, "1E053C5A01020301000F05"), "ACK"s);
        QCOMPARE(state.reply(55, ""), "1E053C5A01020301000F"s);
        QCOMPARE(state.detectorVoltageSwitch(), 5);
        QCOMPARE(state.reply(98, "fa0a0b0c01020301000fff"), "ACK"s);
        QCOMPARE(state.reply(55, ""), "FA0A0B0C01020301000F"s);
        QCOMPARE(state.detectorVoltageSwitch(), 255);
    }

    void adminBlockKeepsUnsetFields()
    {
        ControllerState state;
        QCOMPARE(state.reply(99, "075BCD15" + kUnset + kUnset + kUnset + kUnset), "ACK"s);
        QCOMPARE(state.reply(51, ""), "075BCD15"s + kFactoryAdmin.substr(8));

        // A new service date moves the last one to the previous field.
        QCOMPARE(state.reply(99, kUnset + kUnset + kUnset + "AC440000" + "A5440000"), "ACK"s);
        QCOMPARE(state.reply(51, ""),
                 "075BCD15"s + "834E0000" + "85420000" + "AC440000" + "A5440000");
        QCOMPARE(state.reply(99, kUnset + "81010000" + kUnset + kUnset + kUnset), "ACK"s);
        QCOMPARE(state.reply(51, ""),
                 "075BCD15"s + "81010000" + "85420000" + "AC440000" + "A5440000");
    }

    void logWalksForwardRewindsAndDeletes()
    {
        ControllerState state;
        state.setEvents({"AC44C79E1114", "AC44C7A01EFF"});
        QCOMPARE(state.reply(48, ""), "AC44C79E1114"s);
        QCOMPARE(state.reply(48, ""), "AC44C7A01EFF"s);
        QCOMPARE(state.reply(48, ""), "END"s);
        QCOMPARE(state.reply(48, ""), "END"s);

        // An event stored after the end was reached is the next one read.
        std::string error;
        QVERIFY(state.appendEvent("ac44c9000c10", error));
        QCOMPARE(state.reply(48, ""), "AC44C9000C10"s);

        QCOMPARE(state.reply(66, "\x01"s), "ACK"s);
        QCOMPARE(state.reply(48, ""), "AC44C79E1114"s);
        QCOMPARE(state.reply(66, "\x00"s), "ACK"s);
        QCOMPARE(state.eventCount(), std::size_t(0));
        QCOMPARE(state.reply(66, "\x01"s), "ACK"s);
        QCOMPARE(state.reply(48, ""), "END"s);
    }

    void profileDefinitionIsDecodedPerZone_data()
    {
        QTest::addColumn<int>("zone");
        QTest::addColumn<QByteArray>("compiled");
        QTest::addColumn<std::vector<Step>>("steps");

        // T,0,F,30,T,200,S,260
        QTest::newRow("timed and flow steps")
            << 1 << QByteArray("\x9E\x78\x32\xBC")
            << std::vector<Step>{{'T', 30}, {'F', 120}, {'F', 50}, {'T', 60}};
        QTest::newRow("durations of 1")
            << 2 << QByteArray("\x9E\x01\x81") << std::vector<Step>{{'T', 30}, {'F', 1}, {'T', 1}};
        QTest::newRow("stop byte")
            << 0 << QByteArray("\xF8\xFD") << std::vector<Step>{{'T', 120}, {'S', 125}};
        QTest::newRow("no steps") << 0 << QByteArray() << std::vector<Step>{};
        QTest::newRow("32 bytes") << 2 << QByteArray(32, 5) << std::vector<Step>(32, Step{'F', 5});
    }

    void profileDefinitionIsDecodedPerZone()
    {
        QFETCH(int, zone);
        QFETCH(QByteArray, compiled);
        QFETCH(std::vector<Step>, steps);

        ControllerState state;
        const std::vector<Step> before = {{'F', 9}};
        for (int other = 0; other < ControllerState::kZones; ++other)
            QCOMPARE(state.reply(102, Zone(other) + '\0' + "\x09"s), "ACK"s);
        QCOMPARE(state.reply(102, Zone(zone) + '\0' + Std(compiled)), "ACK"s);
        for (int other = 0; other < ControllerState::kZones; ++other)
            QCOMPARE(state.profileSteps(other), other == zone ? steps : before);
    }

    void zoneProfileIsReadBackInHex()
    {
        ControllerState state;
        QCOMPARE(state.reply(104, Zone(1) + "0000000C"), "ACK"s);
        QCOMPARE(state.reply(104, Zone(2) + "0001E240"), "ACK"s);
        QCOMPARE(state.reply(104, Zone(0) + "00000000"), "ACK"s);
        QCOMPARE(state.reply(54, Zone(0)) + " " + state.reply(54, Zone(1)) + " " +
                     state.reply(54, Zone(2)),
                 "0 C 1E240"s);
    }

    void outputWordAndTestMode()
    {
        ControllerState state;
        QCOMPARE(state.outputWord(), "0000"s);
        QCOMPARE(state.reply(100, "0104"), "ACK"s);
        QCOMPARE(state.outputWord(), "0104"s);
        QVERIFY(!state.testMode());
        QCOMPARE(state.reply(105, ""), "ACK"s);
        QVERIFY(state.testMode());
    }

    void overriddenReplies()
    {
        ControllerState state;
        // A refusal leaves the controller as it was.
        state.setReplyOverride(98, "NAK");
        QCOMPARE(state.reply(98, "1E053C5A01020301000F05"), "NAK"s);
        QCOMPARE(state.reply(55, ""), kFactoryDelays);
        state.clearReplyOverride(98);
        QCOMPARE(state.reply(98, "1E053C5A01020301000F05"), "ACK"s);

        // Another acknowledgement text still carries the command out; a malformed one stays ERR.
        state.setReplyOverride(100, "ACK, but slowly");
        QCOMPARE(state.reply(100, "0100"), "ACK, but slowly"s);
        QCOMPARE(state.outputWord(), "0100"s);
        QCOMPARE(state.reply(100, "01"), "ERR"s);

        // A refused read does not move the log on.
        state.setEvents({"AC44C79E1114"});
        state.setReplyOverride(48, "NAK");
        QCOMPARE(state.reply(48, ""), "NAK"s);
        state.clearReplyOverride(48);
        QCOMPARE(state.reply(48, ""), "AC44C79E1114"s);
    }

    void operatorValuesAreChecked()
    {
        ControllerState state;
        std::string error;
        QVERIFY(state.setInputs("0f6014", error));
        QVERIFY(state.setDelays("0102030405060708090A", error));
        QVERIFY(state.setProfileId(2, 4096, error));
        QVERIFY(state.setAdminData(std::string(40, 'f'), error));
        QCOMPARE(state.reply(52, "") + state.reply(55, "") + state.reply(54, Zone(2)),
                 "0F6014"s + "0102030405060708090A" + "1000");
        QCOMPARE(state.reply(51, ""), std::string(40, 'F'));
        const std::string before = Snapshot(state);

        QVERIFY(!state.setInputs("0F601", error));
        QVERIFY(!error.empty());
        QVERIFY(!state.setInputs("0F60X4", error));
        QVERIFY(!state.setDelays("0102030405060708090", error));
        QVERIFY(!state.setAdminData(std::string(32, 'F'), error));
        QVERIFY(!state.setProfileId(3, 1, error));
        QVERIFY(!state.setProfileId(-1, 1, error));
        QVERIFY(!state.appendEvent("AC44C79E11145", error));
        QVERIFY(!state.appendEvent("AC44C79E11G4", error));
        QCOMPARE(Snapshot(state), before);
    }
};

QTEST_APPLESS_MAIN(tst_ControllerState)
#include "tst_ControllerState.moc"
