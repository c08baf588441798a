#include <QTest>

#include "data/ProfileCompiler.h"
#include "data/SetupBlocks.h"
#include "data/Tarn_Inputs.h"

#include <optional>

namespace {
QString Q(const std::string& text)
{
    return QString::fromLatin1(text);
}

QByteArray Bytes(const std::string& data)
{
    return QByteArray(data.data(), static_cast<qsizetype>(data.size()));
}

TarnDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return TarnDateTime::FromParts(year, month, day, hour, minute, second);
}

/// Delays 30, 5, 60, 90, messages 1, 2, 3, outputs 1, 0, 15, switch 0.
SetupBlocks::Delays Example()
{
    SetupBlocks::Delays delays;
    delays.detectorAlarm = 30;
    delays.detectorReset = 5;
    delays.manualAlarm = 60;
    delays.manualStop = 90;
    delays.messages = {1, 2, 3};
    delays.outputs = {1, 0, 15};
    return delays;
}

KeyedCollection<Tarn_Profile> Catalogue(const QList<QStringList>& lines)
{
    KeyedCollection<Tarn_Profile> catalogue;
    for (const QStringList& line : lines) {
        const std::string id = line[0].toStdString();
        catalogue.Add(id, {id, line[1].toStdString(), line[2].toStdString()});
    }
    return catalogue;
}
} // namespace

Q_DECLARE_METATYPE(TarnDateTime)

using Profiles = std::array<std::optional<int32_t>, SetupBlocks::kZones>;

class TestSetupBlocks : public QObject
{
    Q_OBJECT

private slots:
    void delaysBlock_data()
    {
        QTest::addColumn<double>("detectorAlarm");
        QTest::addColumn<int>("voltageSwitch");
        QTest::addColumn<QString>("block");
        QTest::newRow("worked example") << 30.0 << 0 << "1E053C5A01020301000F00";
        QTest::newRow("255 as FF") << 255.0 << 0 << "FF053C5A01020301000F00";
        QTest::newRow("256 lengthens the block") << 256.0 << 0 << "0100053C5A01020301000F00";
        QTest::newRow("half rounds to even") << 30.5 << 0 << "1E053C5A01020301000F00";
        QTest::newRow("other half too") << 31.5 << 0 << "20053C5A01020301000F00";
        QTest::newRow("switch 300") << 30.0 << 300 << "1E053C5A01020301000F012C";
        QTest::newRow("negative switch") << 30.0 << -1 << "1E053C5A01020301000FFF";
    }

    void delaysBlock()
    {
        QFETCH(double, detectorAlarm);
        QFETCH(int, voltageSwitch);
        QFETCH(QString, block);
        SetupBlocks::Delays delays = Example();
        delays.detectorAlarm = detectorAlarm;
        delays.voltageSwitch = static_cast<int16_t>(voltageSwitch);
        QCOMPARE(Q(SetupBlocks::DelaysBlock(delays)), block);
    }

    void delaysFromRecord()
    {
        Tarn_Inputs inputs;
        inputs.ResolveDelays("1E0A053C010203010204");
        QCOMPARE(Q(SetupBlocks::DelaysBlock(SetupBlocks::DelaysOf(inputs, 7))),
                 QStringLiteral("1E0A053C01020301020407"));
    }

    /// Ticking only the fourth output of the third zone.
    void outputsInTheBlock()
    {
        SetupBlocks::Delays delays = Example();
        delays.outputs = {SetupBlocks::OutputsByte({false, false, false, false}),
                          SetupBlocks::OutputsByte({false, false, false, false}),
                          SetupBlocks::OutputsByte({false, false, false, true})};
        QCOMPARE(Q(SetupBlocks::DelaysBlock(delays)).mid(14, 6), QStringLiteral("000008"));
        QCOMPARE(SetupBlocks::OutputsByte({true, false, true, false}), uint8_t(5));
    }

    void adminBlock_data()
    {
        QTest::addColumn<int>("field"); // 0 serial number, 1..4 the dates
        QTest::addColumn<qlonglong>("serial");
        QTest::addColumn<TarnDateTime>("date");
        QTest::addColumn<QString>("block"); // empty: refused
        const QString unset(8, u'0');
        QTest::newRow("serial 123456789")
            << 0 << 123456789LL << TarnDateTime() << "075BCD15" + unset.repeated(4);
        QTest::newRow("serial 0 would read as unset") << 0 << 0LL << TarnDateTime() << "";
        QTest::newRow("manufactured 4 Dec 2026 14:07:30")
            << 1 << 0LL << At(2026, 12, 4, 14, 7, 30) << unset + "AC44C79E" + unset.repeated(3);
        QTest::newRow("installed 1 Jan 2000")
            << 2 << 0LL << At(2000, 1, 1) << unset.repeated(2) + "01010000" + unset.repeated(2);
        QTest::newRow("1999 refused") << 2 << 0LL << At(1999, 12, 31) << "";
        QTest::newRow("2256 refused") << 3 << 0LL << At(2256, 1, 1) << "";
        QTest::newRow("no date refused") << 4 << 0LL << TarnDateTime() << "";
    }

    void adminBlock()
    {
        QFETCH(int, field);
        QFETCH(qlonglong, serial);
        QFETCH(TarnDateTime, date);
        QFETCH(QString, block);
        SetupBlocks::Admin admin;
        if (field == 0)
            admin.serialNumber = static_cast<uint32_t>(serial);
        else
            admin.dates[field - 1] = date;
        std::string got = "untouched";
        QCOMPARE(SetupBlocks::AdminBlock(admin, got), !block.isEmpty());
        QCOMPARE(Q(got), block.isEmpty() ? QStringLiteral("untouched") : block);
    }

    void serviceDates_data()
    {
        QTest::addColumn<TarnDateTime>("lastService");
        QTest::addColumn<QString>("tail");
        QTest::newRow("previous date moves to field 5") << At(2026, 12, 4, 14, 7, 30) << "AC44C79E";
        QTest::newRow("no previous date") << TarnDateTime() << "00000000";
        QTest::newRow("1 Jan 2000 exactly is not later") << At(2000, 1, 1) << "00000000";
    }

    void serviceDates()
    {
        QFETCH(TarnDateTime, lastService);
        QFETCH(QString, tail);
        std::string block;
        QVERIFY(
            SetupBlocks::AdminBlock(SetupBlocks::ServiceDates(At(2000, 1, 1), lastService), block));
        QCOMPARE(Q(block), QString(24, u'0') + "01010000" + tail);
    }

    void clockText_data()
    {
        QTest::addColumn<TarnDateTime>("now");
        QTest::addColumn<QString>("text");
        QTest::newRow("Friday 4 Dec 2026") << At(2026, 12, 4, 13, 53, 8) << "202612041353086";
        QTest::newRow("Monday 1 Mar 2027") << At(2027, 3, 1, 9, 5, 3) << "202703010905032";
        QTest::newRow("Sunday, hour 23") << At(2026, 12, 6, 23, 59, 59) << "202612062359591";
        QTest::newRow("Saturday") << At(2026, 12, 5) << "202612050000007";
    }

    void clockText()
    {
        QFETCH(TarnDateTime, now);
        QFETCH(QString, text);
        QCOMPARE(Q(SetupBlocks::ClockText(now)), text);
    }

    void endsEarly()
    {
        // 13:53:02 makes the checksum 255; a second later it does not.
        const std::string early = SetupBlocks::ClockText(At(2026, 12, 4, 13, 53, 2));
        QVERIFY(SetupBlocks::EndsEarly(143, 0, 65, early));
        QVERIFY(!SetupBlocks::EndsEarly(143, 0, 65,
                                        SetupBlocks::ClockText(At(2026, 12, 4, 13, 53, 3))));
        QVERIFY(SetupBlocks::EndsEarly(143, 0, 102, std::string("\x00\x00\xFF\x01", 4)));
    }

    void commandData()
    {
        QCOMPARE(Bytes(SetupBlocks::ZoneProfileData(1, 12)), QByteArray("\x01"
                                                                        "0000000C"));
        QCOMPARE(Bytes(SetupBlocks::ZoneProfileData(0, 70000)), QByteArray("\x00"
                                                                           "00011170",
                                                                           9));
        QCOMPARE(Bytes(SetupBlocks::ClearLogData()), QByteArray(1, '\0'));
        const std::string compiled(40, '\x85');
        QCOMPARE(Bytes(SetupBlocks::ZoneDefinitionData(2, compiled)),
                 QByteArray("\x02\x00", 2) + QByteArray(32, '\x85'));
        QCOMPARE(Bytes(SetupBlocks::ZoneDefinitionData(0, "\x9E")), QByteArray("\x00\x00\x9E", 3));
    }

    void zoneSettings_data()
    {
        QTest::addColumn<QList<int>>("chosen");    // profile per zone, 0 for none
        QTest::addColumn<QStringList>("commands"); // "<code> <data hex>"; empty: refused
        const QString block =
            QStringLiteral("98 ") + QByteArray("1E053C5A01020301000F00").toHex().toUpper();
        const QString twelve = QByteArray("0000000C").toHex().toUpper();
        const QString eight = QByteArray("00000008").toHex().toUpper();
        QTest::newRow("no profile") << QList<int>{0, 0, 0} << QStringList{block};
        QTest::newRow("zones 0 and 2")
            << QList<int>{12, 0, 8}
            << QStringList{block, "104 00" + twelve, "102 0000" + QString("9E").repeated(1),
                           "104 02" + eight, "102 0200" + QStringLiteral("9E1E")};
        QTest::newRow("profile not in the catalogue") << QList<int>{12, 13, 0} << QStringList{};
        QTest::newRow("definition that does not compile") << QList<int>{0, 0, 5} << QStringList{};
    }

    void zoneSettings()
    {
        QFETCH(QList<int>, chosen);
        QFETCH(QStringList, commands);
        // T is 0x80: 12 runs 30 s timed; 8 runs 30 s timed then 30 s flow.
        const auto catalogue = Catalogue({{"12", "Twelve", "T,0,S,30,S,30"},
                                          {"8", "Eight", "T,0,F,30,S,60"},
                                          {"5", "Broken", "F,0,T,30,S,60"}});
        Profiles profiles;
        for (int zone = 0; zone < SetupBlocks::kZones; ++zone)
            if (chosen[zone])
                profiles[zone] = chosen[zone];
        std::vector<SetupBlocks::Command> got{{1, "untouched"}};
        std::string errText;
        QCOMPARE(SetupBlocks::ZoneSettingsCommands(Example(), profiles, catalogue, got, errText),
                 !commands.isEmpty());
        if (commands.isEmpty()) {
            QCOMPARE(got.size(), std::size_t(1));
            QVERIFY(!errText.empty());
            return;
        }
        QStringList lines;
        for (const SetupBlocks::Command& command : got)
            lines << QString::number(command.code) + u' ' + Bytes(command.data).toHex().toUpper();
        QCOMPARE(lines, commands);
    }

    void profileChoices()
    {
        const auto catalogue = Catalogue({{"3", "Three", "T"},
                                          {"abc", "Letters", "T"},
                                          {"07", "Leading zero", "T"},
                                          {"-2", "Negative", "T"},
                                          {"4 ", "Trailing blank", "T"},
                                          {"99999999999", "Too large", "T"},
                                          {"1", "One", "T"}});
        const std::vector<SetupBlocks::ProfileChoice> choices =
            SetupBlocks::ProfileChoices(catalogue);
        QStringList shown;
        for (const auto& choice : choices)
            shown << QString::number(choice.id) + u'=' + Q(choice.name);
        QCOMPARE(shown, (QStringList{"3=Three", "-2=Negative", "1=One"}));
        QCOMPARE(SetupBlocks::ChoiceIndex(choices, 1), 2);
        QCOMPARE(SetupBlocks::ChoiceIndex(choices, 7), -1);
        QVERIFY(SetupBlocks::ProfileChoices(KeyedCollection<Tarn_Profile>()).empty());
    }
};

QTEST_APPLESS_MAIN(TestSetupBlocks)
#include "tst_setupblocks.moc"
