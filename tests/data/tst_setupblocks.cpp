#include <QTest>

#include "data/SetupBlocks.h"
#include "data/Tarn_Inputs.h"

namespace {
QByteArray Bytes(const std::string& data)
{
    return QByteArray::fromStdString(data);
}

TarnDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return TarnDateTime::FromParts(year, month, day, hour, minute, second);
}

/// Delays 30, 5, 60, 90, messages 1, 2, 3, outputs 1, 0, 15, switch 0.
SetupBlocks::Delays Example()
{
    return {30, 5, 60, 90, {1, 2, 3}, {1, 0, 15}, 0};
}
} // namespace

Q_DECLARE_METATYPE(TarnDateTime)

class TestSetupBlocks : public QObject
{
    Q_OBJECT

private slots:
    void delaysBlock_data()
    {
        QTest::addColumn<double>("detectorAlarm");
        QTest::addColumn<int>("voltageSwitch");
        QTest::addColumn<QByteArray>("block");
        QTest::newRow("worked example") << 30.0 << 0 << QByteArray("1E053C5A01020301000F00");
        QTest::newRow("255 as FF") << 255.0 << 0 << QByteArray("FF053C5A01020301000F00");
        QTest::newRow("256 lengthens") << 256.0 << 0 << QByteArray("0100053C5A01020301000F00");
        QTest::newRow("half to even") << 30.5 << 0 << QByteArray("1E053C5A01020301000F00");
        QTest::newRow("other half") << 31.5 << 0 << QByteArray("20053C5A01020301000F00");
        QTest::newRow("switch 300") << 30.0 << 300 << QByteArray("1E053C5A01020301000F012C");
        QTest::newRow("switch -1") << 30.0 << -1 << QByteArray("1E053C5A01020301000FFF");
    }

    void delaysBlock()
    {
        QFETCH(double, detectorAlarm);
        QFETCH(int, voltageSwitch);
        QFETCH(QByteArray, block);
        SetupBlocks::Delays delays = Example();
        delays.detectorAlarm = detectorAlarm;
        delays.voltageSwitch = static_cast<int16_t>(voltageSwitch);
        QCOMPARE(Bytes(SetupBlocks::DelaysBlock(delays)), block);
    }

    void delaysOfRecordAndOutputs()
    {
        Tarn_Inputs inputs;
        inputs.ResolveDelays("1E0A053C010203010204");
        SetupBlocks::Delays delays = SetupBlocks::DelaysOf(inputs, 7);
        QCOMPARE(Bytes(SetupBlocks::DelaysBlock(delays)), QByteArray("1E0A053C01020301020407"));
        // Only the box of index 11 ticked: 08 in field 10, 00 in fields 8 and 9.
        delays.outputs = {0, 0, SetupBlocks::OutputsByte({false, false, false, true})};
        QCOMPARE(Bytes(SetupBlocks::DelaysBlock(delays)).mid(14), QByteArray("00000807"));
        QCOMPARE(SetupBlocks::OutputsByte({true, false, true, false}), uint8_t(5));
    }

    void adminBlock_data()
    {
        QTest::addColumn<int>("field"); // 0 serial number, 1..4 the dates
        QTest::addColumn<TarnDateTime>("date");
        QTest::addColumn<QByteArray>("block"); // empty: refused
        const QByteArray unset(8, '0');
        QTest::newRow("serial 123456789") << 0 << At(2000, 1, 1) << "075BCD15" + unset.repeated(4);
        QTest::newRow("serial 0 reads as unset") << 0 << TarnDateTime() << QByteArray();
        QTest::newRow("manufactured 4 Dec 2026 14:07:30")
            << 1 << At(2026, 12, 4, 14, 7, 30) << unset + "AC44C79E" + unset.repeated(3);
        QTest::newRow("installed 1 Jan 2000")
            << 2 << At(2000, 1, 1) << unset.repeated(2) + "01010000" + unset.repeated(2);
        QTest::newRow("1999 refused") << 2 << At(1999, 12, 31) << QByteArray();
        QTest::newRow("2256 refused") << 3 << At(2256, 1, 1) << QByteArray();
        QTest::newRow("no date refused") << 4 << TarnDateTime() << QByteArray();
    }

    void adminBlock()
    {
        QFETCH(int, field);
        QFETCH(TarnDateTime, date);
        QFETCH(QByteArray, block);
        SetupBlocks::Admin admin;
        if (field == 0)
            admin.serialNumber = date.IsZero() ? 0 : 123456789;
        else
            admin.dates[field - 1] = date;
        std::string got = "untouched";
        QCOMPARE(SetupBlocks::AdminBlock(admin, got), !block.isEmpty());
        QCOMPARE(Bytes(got), block.isEmpty() ? QByteArray("untouched") : block);
    }

    void serviceDates_data()
    {
        QTest::addColumn<TarnDateTime>("lastService");
        QTest::addColumn<QByteArray>("field5");
        QTest::newRow("last service moves") << At(2026, 12, 4, 14, 7, 30) << QByteArray("AC44C79E");
        QTest::newRow("no last service") << TarnDateTime() << QByteArray("00000000");
        QTest::newRow("1 Jan 2000 is not later") << At(2000, 1, 1) << QByteArray("00000000");
    }

    void serviceDates()
    {
        QFETCH(TarnDateTime, lastService);
        QFETCH(QByteArray, field5);
        std::string block;
        QVERIFY(
            SetupBlocks::AdminBlock(SetupBlocks::ServiceDates(At(2000, 1, 1), lastService), block));
        QCOMPARE(Bytes(block), QByteArray(24, '0') + "01010000" + field5);
    }

    void clockText_data()
    {
        QTest::addColumn<TarnDateTime>("now");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("endsEarly");
        QTest::newRow("Friday") << At(2026, 12, 4, 13, 53, 8) << QByteArray("202612041353086")
                                << false;
        QTest::newRow("Monday") << At(2027, 3, 1, 9, 5, 3) << QByteArray("202703010905032")
                                << false;
        QTest::newRow("Sunday") << At(2026, 12, 6, 23, 59, 59) << QByteArray("202612062359591")
                                << false;
        QTest::newRow("checksum 255")
            << At(2026, 12, 4, 13, 53, 2) << QByteArray("202612041353026") << true;
    }

    void clockText()
    {
        QFETCH(TarnDateTime, now);
        QFETCH(QByteArray, text);
        QFETCH(bool, endsEarly);
        QCOMPARE(Bytes(SetupBlocks::ClockText(now)), text);
        QCOMPARE(SetupBlocks::EndsEarly(143, 0, 65, text.toStdString()), endsEarly);
    }

    void commandData()
    {
        QCOMPARE(Bytes(SetupBlocks::ZoneProfileData(1, 12)), QByteArray("\x01"
                                                                        "0000000C"));
        QCOMPARE(Bytes(SetupBlocks::ZoneProfileData(0, 70000)), QByteArray("\x00"
                                                                           "00011170",
                                                                           9));
        QCOMPARE(Bytes(SetupBlocks::ClearLogData()), QByteArray(1, '\0'));
        QCOMPARE(Bytes(SetupBlocks::ZoneDefinitionData(2, std::string(40, '\x85'))),
                 QByteArray("\x02\x00", 2) + QByteArray(32, '\x85'));
        QCOMPARE(Bytes(SetupBlocks::ZoneDefinitionData(0, "\x9E")), QByteArray("\x00\x00\x9E", 3));
    }

    void zoneSettings_data()
    {
        QTest::addColumn<QList<int>>("chosen");    // profile per zone, 0 for none
        QTest::addColumn<QStringList>("commands"); // "<code> <data hex>"; empty: refused
        const QString block = "98 " + QByteArray("1E053C5A01020301000F00").toHex().toUpper();
        QTest::newRow("no profile") << QList<int>{0, 0, 0} << QStringList{block};
        QTest::newRow("zones 0 and 2")
            << QList<int>{12, 0, 8}
            << QStringList{block, "104 00" + QByteArray("0000000C").toHex().toUpper(), "102 00009E",
                           "104 02" + QByteArray("00000008").toHex().toUpper(), "102 02009E1E"};
        QTest::newRow("profile not in the catalogue") << QList<int>{12, 13, 0} << QStringList{};
        QTest::newRow("definition that does not compile") << QList<int>{0, 0, 5} << QStringList{};
    }

    void zoneSettings()
    {
        QFETCH(QList<int>, chosen);
        QFETCH(QStringList, commands);
        // T is 0x80: 12 is 30 s T, 8 is 30 s T then 30 s F; 5 does not start with T.
        KeyedCollection<Tarn_Profile> catalogue;
        catalogue.Add("12", {"12", "Twelve", "T,0,S,30,S,30"});
        catalogue.Add("8", {"8", "Eight", "T,0,F,30,S,60"});
        catalogue.Add("5", {"5", "Broken", "F,0,T,30,S,60"});
        std::array<std::optional<int32_t>, SetupBlocks::kZones> profiles;
        for (int zone = 0; zone < SetupBlocks::kZones; ++zone)
            if (chosen[zone])
                profiles[zone] = chosen[zone];
        std::vector<SetupBlocks::Command> got{{1, "untouched"}};
        std::string errText;
        QCOMPARE(SetupBlocks::ZoneSettingsCommands(Example(), profiles, catalogue, got, errText),
                 !commands.isEmpty());
        QStringList lines;
        for (const SetupBlocks::Command& command : got)
            lines << QString::number(command.code) + u' ' + Bytes(command.data).toHex().toUpper();
        QCOMPARE(lines, commands.isEmpty()
                            ? QStringList{"1 " + Bytes("untouched").toHex().toUpper()}
                            : commands);
        QCOMPARE(errText.empty(), !commands.isEmpty());
    }

    void profileChoices()
    {
        KeyedCollection<Tarn_Profile> catalogue;
        for (const char* id : {"3", "abc", "07", "-2", "4 ", "99999999999", "1"})
            catalogue.Add(id, {id, std::string("P") + id, "T"});
        const std::vector<SetupBlocks::ProfileChoice> choices =
            SetupBlocks::ProfileChoices(catalogue);
        QStringList shown;
        for (const auto& choice : choices)
            shown << QString::number(choice.id) + u'=' + QString::fromStdString(choice.name);
        QCOMPARE(shown, (QStringList{"3=P3", "-2=P-2", "1=P1"}));
        QCOMPARE(SetupBlocks::ChoiceIndex(choices, 1), 2);
        QCOMPARE(SetupBlocks::ChoiceIndex(choices, 7), -1);
        QVERIFY(SetupBlocks::ProfileChoices({}).empty());
    }
};

QTEST_APPLESS_MAIN(TestSetupBlocks)
#include "tst_setupblocks.moc"
