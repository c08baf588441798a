// moc cannot parse the C++20 library headers that these pull in.
#ifndef Q_MOC_RUN
#include "sim/ControllerState.h"
#endif

#include <QTest>

#include <string>

using namespace std::string_literals;

Q_DECLARE_METATYPE(std::string)
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

/// Serial 123456, manufactured 2024-03-14, installed 2024-05-02, serviced 2026-05-04 and
/// before that 2025-05-06.
const std::string kFactoryAdmin = "0001E240"s + "834E0000" + "85420000" + "A5440000" + "95460000";
} // namespace

class tst_ControllerState : public QObject
{
    Q_OBJECT

private slots:
    void readsFromFactoryState_data();
    void readsFromFactoryState();
    void clockRunsAtTheOffsetThatSetClockLeaves();
    void malformedClockIsRefusedAndKeepsTheClock_data();
    void malformedClockIsRefusedAndKeepsTheClock();
    void delaysBlockStoresTenFieldsAndTheSwitch();
    void delaysBlockOfAnotherLengthIsRefused_data();
    void delaysBlockOfAnotherLengthIsRefused();
    void adminBlockKeepsUnsetFields();
    void adminBlockOfAnotherLengthIsRefused_data();
    void adminBlockOfAnotherLengthIsRefused();
    void logWalksForwardAndEndsWithEnd();
    void logControlRewindsAndDeletes();
    void logControlRefusesOtherData_data();
    void logControlRefusesOtherData();
    void profileDefinitionIsDecodedPerZone_data();
    void profileDefinitionIsDecodedPerZone();
    void profileDefinitionOfWrongFormIsRefused_data();
    void profileDefinitionOfWrongFormIsRefused();
    void zoneProfileIsReadBackInHex();
    void zoneProfileOfWrongFormIsRefused_data();
    void zoneProfileOfWrongFormIsRefused();
    void outputWordAndTestMode();
    void overriddenReplies();
    void operatorValuesAreChecked();
};

void tst_ControllerState::readsFromFactoryState_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<std::string>("data");
    QTest::addColumn<std::string>("reply");

    QTest::newRow("version") << 64 << ""s
                             << "V2.07"s;
    QTest::newRow("clock") << 50 << ""s
                           << "20261204140730"s;
    QTest::newRow("inputs: nothing active, 20 degrees") << 52 << ""s
                                                        << "0FE014"s;
    QTest::newRow("delays") << 55 << ""s
                            << "1E0A053C010203010204"s;
    QTest::newRow("profile zone 0") << 54 << Zone(0) << "1"s;
    QTest::newRow("profile zone 2") << 54 << Zone(2) << "3"s;
    QTest::newRow("profile without zone") << 54 << ""s
                                          << "0"s;
    QTest::newRow("profile zone 3") << 54 << Zone(3) << "0"s;
    QTest::newRow("profile zone as digit") << 54 << "1"s
                                           << "0"s;
    QTest::newRow("profile two zone bytes") << 54 << Zone(0) + Zone(1) << "0"s;
    QTest::newRow("admin data") << 51 << ""s << kFactoryAdmin;
    QTest::newRow("no events") << 48 << ""s
                               << "END"s;
    QTest::newRow("test mode") << 105 << ""s
                               << "ACK"s;
    QTest::newRow("53 is not served") << 53 << ""s
                                      << "NAK"s;
    QTest::newRow("49 unknown") << 49 << ""s
                                << "NAK"s;
    QTest::newRow("0 unknown") << 0 << ""s
                               << "NAK"s;
    QTest::newRow("255 unknown") << 255 << "ACK"s
                                 << "NAK"s;
}

void tst_ControllerState::readsFromFactoryState()
{
    QFETCH(int, command);
    QFETCH(std::string, data);
    QFETCH(std::string, reply);
    ControllerState state;
    QCOMPARE(state.reply(command, data, SomeNow()), reply);
}

void tst_ControllerState::clockRunsAtTheOffsetThatSetClockLeaves()
{
    ControllerState state;
    QCOMPARE(state.reply(65, "202703010905032", SomeNow()), "ACK"s);
    QCOMPARE(state.reply(50, "", SomeNow()), "20270301090503"s);
    QCOMPARE(state.reply(50, "", SomeNow().AddSeconds(70)), "20270301090613"s);

    // Setting it back to the PC clock removes the offset.
    QCOMPARE(state.reply(65, "202612041407306", SomeNow()), "ACK"s);
    QCOMPARE(state.clockOffsetSeconds(), int64_t(0));
}

void tst_ControllerState::malformedClockIsRefusedAndKeepsTheClock_data()
{
    QTest::addColumn<std::string>("data");
    QTest::newRow("empty") << ""s;
    QTest::newRow("no weekday") << "20270301090503"s;
    QTest::newRow("one too many") << "2027030109050322"s;
    QTest::newRow("month 13") << "202713010905032"s;
    QTest::newRow("31 April") << "202704310905032"s;
    QTest::newRow("hour 24") << "202703012405032"s;
    QTest::newRow("letter in the date") << "2027030A0905032"s;
    QTest::newRow("blank in the date") << "2027 3010905032"s;
    QTest::newRow("weekday 0") << "202703010905030"s;
    QTest::newRow("weekday 8") << "202703010905038"s;
}

void tst_ControllerState::malformedClockIsRefusedAndKeepsTheClock()
{
    QFETCH(std::string, data);
    ControllerState state;
    QCOMPARE(state.reply(65, data, SomeNow()), "ERR"s);
    QCOMPARE(state.reply(50, "", SomeNow()), "20261204140730"s);
}

void tst_ControllerState::delaysBlockStoresTenFieldsAndTheSwitch()
{
    ControllerState state;
    QCOMPARE(state.reply(98, "1E053C5A01020301000F05"), "ACK"s);
    QCOMPARE(state.reply(55, ""), "1E053C5A01020301000F"s);
    QCOMPARE(state.detectorVoltageSwitch(), 5);

    QCOMPARE(state.reply(98, "fa0a0b0c01020301000fff"), "ACK"s);
    QCOMPARE(state.reply(55, ""), "FA0A0B0C01020301000F"s);
    QCOMPARE(state.detectorVoltageSwitch(), 255);
}

void tst_ControllerState::delaysBlockOfAnotherLengthIsRefused_data()
{
    QTest::addColumn<std::string>("data");
    QTest::newRow("empty") << ""s;
    QTest::newRow("delays only, 20") << "1E053C5A01020301000F"s;
    QTest::newRow("21") << "1E053C5A01020301000F0"s;
    QTest::newRow("a value of 256 makes 24") << "1E053C5A01020301000F0100"s;
    QTest::newRow("22 with a blank") << "1E053C5A01020301000F 0"s;
    QTest::newRow("22 with a letter G") << "1E053C5A0102030100G000"s;
}

void tst_ControllerState::delaysBlockOfAnotherLengthIsRefused()
{
    QFETCH(std::string, data);
    ControllerState state;
    QCOMPARE(state.reply(98, data), "ERR"s);
    QCOMPARE(state.reply(55, ""), "1E0A053C010203010204"s);
    QCOMPARE(state.detectorVoltageSwitch(), 0);
}

void tst_ControllerState::adminBlockKeepsUnsetFields()
{
    ControllerState state;
    const std::string unset = "00000000";
    QCOMPARE(state.reply(99, "075BCD15" + unset + unset + unset + unset), "ACK"s);
    QCOMPARE(state.reply(51, ""), "075BCD15"s + kFactoryAdmin.substr(8));

    // A new service date moves the last one to the previous field.
    QCOMPARE(state.reply(99, unset + unset + unset + "AC440000" + "A5440000"), "ACK"s);
    QCOMPARE(state.reply(51, ""), "075BCD15"s + "834E0000" + "85420000" + "AC440000" + "A5440000");

    QCOMPARE(state.reply(99, unset + "81010000" + unset + unset + unset), "ACK"s);
    QCOMPARE(state.reply(51, ""), "075BCD15"s + "81010000" + "85420000" + "AC440000" + "A5440000");
}

void tst_ControllerState::adminBlockOfAnotherLengthIsRefused_data()
{
    QTest::addColumn<std::string>("data");
    QTest::newRow("empty") << ""s;
    QTest::newRow("serial only") << "075BCD15"s;
    QTest::newRow("39") << std::string(39, '1');
    QTest::newRow("41") << std::string(41, '1');
    QTest::newRow("40, not hex") << std::string(39, '1') + "X";
}

void tst_ControllerState::adminBlockOfAnotherLengthIsRefused()
{
    QFETCH(std::string, data);
    ControllerState state;
    QCOMPARE(state.reply(99, data), "ERR"s);
    QCOMPARE(state.reply(51, ""), kFactoryAdmin);
}

void tst_ControllerState::logWalksForwardAndEndsWithEnd()
{
    ControllerState state;
    state.setEvents({"AC44C79E1114", "AC44C7A01EFF", "AC44C8000B80"});
    QCOMPARE(state.reply(48, ""), "AC44C79E1114"s);
    QCOMPARE(state.reply(48, ""), "AC44C7A01EFF"s);
    QCOMPARE(state.reply(48, ""), "AC44C8000B80"s);
    QCOMPARE(state.reply(48, ""), "END"s);
    QCOMPARE(state.reply(48, ""), "END"s);

    // An event stored after the end was reached is the next one read.
    std::string error;
    QVERIFY(state.appendEvent("ac44c9000c10", error));
    QCOMPARE(state.reply(48, ""), "AC44C9000C10"s);
    QCOMPARE(state.reply(48, ""), "END"s);
}

void tst_ControllerState::logControlRewindsAndDeletes()
{
    ControllerState state;
    state.setEvents({"AC44C79E1114", "AC44C7A01EFF"});
    QCOMPARE(state.reply(48, ""), "AC44C79E1114"s);
    QCOMPARE(state.reply(48, ""), "AC44C7A01EFF"s);

    QCOMPARE(state.reply(66, "\x01"s), "ACK"s);
    QCOMPARE(state.reply(48, ""), "AC44C79E1114"s);

    QCOMPARE(state.reply(66, "\x00"s), "ACK"s);
    QCOMPARE(state.eventCount(), std::size_t(0));
    QCOMPARE(state.reply(48, ""), "END"s);
    QCOMPARE(state.reply(66, "\x01"s), "ACK"s);
    QCOMPARE(state.reply(48, ""), "END"s);
}

void tst_ControllerState::logControlRefusesOtherData_data()
{
    QTest::addColumn<std::string>("data");
    QTest::newRow("none") << ""s;
    QTest::newRow("digit 0") << "0"s;
    QTest::newRow("byte 2") << "\x02"s;
    QTest::newRow("two bytes") << "\x00\x01"s;
}

void tst_ControllerState::logControlRefusesOtherData()
{
    QFETCH(std::string, data);
    ControllerState state;
    state.setEvents({"AC44C79E1114"});
    QCOMPARE(state.reply(66, data), "ERR"s);
    QCOMPARE(state.eventCount(), std::size_t(1));
    QCOMPARE(state.reply(48, ""), "AC44C79E1114"s);
}

void tst_ControllerState::profileDefinitionIsDecodedPerZone_data()
{
    using Step = ControllerState::ProfileStep;
    QTest::addColumn<int>("zone");
    QTest::addColumn<std::string>("compiled");
    QTest::addColumn<std::vector<Step>>("steps");

    // T,0,F,30,T,200,S,260
    QTest::newRow("timed and flow steps")
        << 1 << "\x9E\x78\x32\xBC"s
        << std::vector<Step>{{'T', 30}, {'F', 120}, {'F', 50}, {'T', 60}};
    QTest::newRow("durations of 1")
        << 2 << "\x9E\x01\x81"s << std::vector<Step>{{'T', 30}, {'F', 1}, {'T', 1}};
    QTest::newRow("stop byte") << 0 << "\xF8\xFD"s << std::vector<Step>{{'T', 120}, {'S', 125}};
    QTest::newRow("no steps") << 0 << ""s << std::vector<Step>{};
    QTest::newRow("32 bytes") << 2 << std::string(32, '\x05')
                              << std::vector<Step>(32, Step{'F', 5});
}

void tst_ControllerState::profileDefinitionIsDecodedPerZone()
{
    using Step = ControllerState::ProfileStep;
    QFETCH(int, zone);
    QFETCH(std::string, compiled);
    QFETCH(std::vector<Step>, steps);
    ControllerState state;
    const std::vector<Step> before = {{'F', 9}};
    for (int other = 0; other < ControllerState::kZones; ++other)
        QCOMPARE(state.reply(102, Zone(other) + '\0' + "\x09"s), "ACK"s);

    QCOMPARE(state.reply(102, Zone(zone) + '\0' + compiled), "ACK"s);
    for (int other = 0; other < ControllerState::kZones; ++other)
        QCOMPARE(state.profileSteps(other), other == zone ? steps : before);
}

void tst_ControllerState::profileDefinitionOfWrongFormIsRefused_data()
{
    QTest::addColumn<std::string>("data");
    QTest::newRow("empty") << ""s;
    QTest::newRow("zone only") << Zone(0);
    QTest::newRow("zone 3") << Zone(3) + '\0' + "\x9E"s;
    QTest::newRow("zone as digit") << "0"s + '\0' + "\x9E"s;
    QTest::newRow("second byte not 0") << Zone(1) + "\x01\x9E"s;
    QTest::newRow("33 step bytes") << Zone(1) + '\0' + std::string(33, '\x05');
}

void tst_ControllerState::profileDefinitionOfWrongFormIsRefused()
{
    QFETCH(std::string, data);
    ControllerState state;
    QCOMPARE(state.reply(102, Zone(1) + '\0' + "\x85"s), "ACK"s);
    QCOMPARE(state.reply(102, data), "ERR"s);
    QCOMPARE(state.profileSteps(1), (std::vector<ControllerState::ProfileStep>{{'T', 5}}));
}

void tst_ControllerState::zoneProfileIsReadBackInHex()
{
    ControllerState state;
    QCOMPARE(state.reply(104, Zone(1) + "0000000C"), "ACK"s);
    QCOMPARE(state.reply(54, Zone(1)), "C"s);
    QCOMPARE(state.reply(104, Zone(2) + "0001E240"), "ACK"s);
    QCOMPARE(state.reply(54, Zone(2)), "1E240"s);
    QCOMPARE(state.reply(104, Zone(0) + "00000000"), "ACK"s);
    QCOMPARE(state.reply(54, Zone(0)), "0"s);
    QCOMPARE(state.reply(54, Zone(1)), "C"s);
}

void tst_ControllerState::zoneProfileOfWrongFormIsRefused_data()
{
    QTest::addColumn<std::string>("data");
    QTest::newRow("empty") << ""s;
    QTest::newRow("zone only") << Zone(1);
    QTest::newRow("7 digits") << Zone(1) + "000000C";
    QTest::newRow("9 digits") << Zone(1) + "00000000C";
    QTest::newRow("zone 3") << Zone(3) + "0000000C";
    QTest::newRow("zone as digit") << "1"s + "0000000C";
    QTest::newRow("not hex") << Zone(1) + "0000000G";
}

void tst_ControllerState::zoneProfileOfWrongFormIsRefused()
{
    QFETCH(std::string, data);
    ControllerState state;
    QCOMPARE(state.reply(104, data), "ERR"s);
    QCOMPARE(state.reply(54, Zone(1)), "2"s);
}

void tst_ControllerState::outputWordAndTestMode()
{
    ControllerState state;
    QCOMPARE(state.outputWord(), "0000"s);
    QCOMPARE(state.reply(100, "0104"), "ACK"s);
    QCOMPARE(state.outputWord(), "0104"s);
    QCOMPARE(state.reply(100, "01"), "ERR"s);
    QCOMPARE(state.reply(100, "01040"), "ERR"s);
    QCOMPARE(state.reply(100, "01X4"), "ERR"s);
    QCOMPARE(state.outputWord(), "0104"s);

    QVERIFY(!state.testMode());
    QCOMPARE(state.reply(105, ""), "ACK"s);
    QVERIFY(state.testMode());
}

void tst_ControllerState::overriddenReplies()
{
    ControllerState state;
    // A refusal leaves the controller as it was.
    state.setReplyOverride(98, "NAK");
    QCOMPARE(state.reply(98, "1E053C5A01020301000F05"), "NAK"s);
    QCOMPARE(state.reply(55, ""), "1E0A053C010203010204"s);
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

void tst_ControllerState::operatorValuesAreChecked()
{
    ControllerState state;
    std::string error;
    QVERIFY(state.setInputs("0f6014", error));
    QCOMPARE(state.reply(52, ""), "0F6014"s);
    QVERIFY(!state.setInputs("0F601", error));
    QVERIFY(!error.empty());
    QVERIFY(!state.setInputs("0F60144", error));
    QVERIFY(!state.setInputs("0F60X4", error));
    QCOMPARE(state.reply(52, ""), "0F6014"s);

    QVERIFY(state.setDelays("0102030405060708090A", error));
    QCOMPARE(state.reply(55, ""), "0102030405060708090A"s);
    QVERIFY(!state.setDelays("0102030405060708090", error));

    QVERIFY(state.setAdminData(std::string(40, 'F'), error));
    QCOMPARE(state.reply(51, ""), std::string(40, 'F'));
    QVERIFY(!state.setAdminData(std::string(32, 'F'), error));

    QVERIFY(state.setProfileId(2, 4096, error));
    QCOMPARE(state.reply(54, Zone(2)), "1000"s);
    QVERIFY(!state.setProfileId(3, 1, error));
    QVERIFY(!state.setProfileId(-1, 1, error));

    QVERIFY(!state.appendEvent("AC44C79E111", error));
    QVERIFY(!state.appendEvent("AC44C79E11145", error));
    QVERIFY(!state.appendEvent("AC44C79E11G4", error));
    QCOMPARE(state.eventCount(), std::size_t(0));
}

QTEST_APPLESS_MAIN(tst_ControllerState)
#include "tst_ControllerState.moc"
