#include <QTest>

#include "data/DateCodec.h"

#include "data/SetupBlocks.h"
#include "data/SetupFields.h"
#include "data/SetupFollow.h"
#include "data/Tarn_Inputs.h"

using namespace Qt::StringLiterals;

namespace {
TarnDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return TarnDateTime::FromParts(year, month, day, hour, minute, second);
}
const TarnDateTime kNow = At(2026, 12, 4, 13, 53, 8);
} // namespace

Q_DECLARE_METATYPE(TarnDateTime)

/// The setup window's field checks and command data.
class TestSetupData : public QObject
{
    Q_OBJECT

private slots:
    void numbers_data()
    {
        QTest::addColumn<bool>("serial"); // else a delay
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qlonglong>("value"); // -1: refused
        const struct
        {
            bool serial;
            const char* text;
            qlonglong value;
        } rows[] = {{false, "250", 250},      {false, "  7 ", 7}, {false, "0", -1},
                    {false, "251", -1},       {false, "1.5", -1}, {true, "123456789", 123456789},
                    {true, "1000000000", -1}, {true, "12a", -1},  {true, "0", -1}};
        for (const auto& row : rows)
            QTest::addRow("%s '%s'", row.serial ? "serial" : "delay", row.text)
                << row.serial << QByteArray(row.text) << row.value;
        QTest::newRow("delay longer than 255") << false << QByteArray(254, '0') + "12" << -1LL;
    }

    void numbers()
    {
        QFETCH(bool, serial);
        QFETCH(QByteArray, text);
        QFETCH(qlonglong, value);
        int delay = -1;
        uint32_t number = 0;
        std::string errText;
        QCOMPARE(serial ? SetupFields::SerialNumber(text.toStdString(), number, errText)
                        : SetupFields::Delay(text.toStdString(), delay),
                 value >= 0);
        QCOMPARE(serial ? qlonglong(number) : qlonglong(delay), value >= 0 ? value : serial - 1);
        // 0 would go out as 00000000, which Tarn reads as "keep": it has its own box.
        if (serial && value < 0)
            QVERIFY(errText ==
                        "Incorrect value (Serial number)\rPossible values are 0-999999999." ||
                    (text == "0" &&
                     errText.find("Serial number 0 cannot be set") != std::string::npos));
    }

    void dates_data()
    {
        QTest::addColumn<int>("field"); // 0 manufacturing, 1 installation, 2 service
        QTest::addColumn<TarnDateTime>("d");
        QTest::addColumn<QByteArray>("error");
        const auto row = [](const char* name, int field, TarnDateTime d,
                            const QByteArray& error = {}) {
            QTest::newRow(name) << field << d << error;
        };
        const QByteArray future = "! Can\xB4t set to future date";
        row("now", 0, kNow);
        row("later", 0, kNow.AddSeconds(1), "Incorrect value (Manufacturing date)" + future);
        row("31 Dec 1999", 0, At(1999, 12, 31), "Incorrect value (Manufacturing date)!");
        row("1 Jan 2000", 0, At(2000, 1, 1));
        row("installed before manufactured", 1, At(2024, 3, 13, 23, 59, 59),
            "Incorrect value (Installation date)! Must be later than the Manufacturing date.");
        row("installed when manufactured", 1, At(2024, 3, 14));
        row("service before installation", 2, At(2024, 5, 1),
            "Incorrect value (Service date)! Must be later than the Installation date.");
        row("service equal to the last", 2, At(2026, 5, 4, 10, 0, 0));
        row("a second before the last", 2, At(2026, 5, 4, 9, 59, 59),
            "Incorrect value (Service date)! Must be later than the last Service date.");
    }

    void dates()
    {
        QFETCH(int, field);
        QFETCH(TarnDateTime, d);
        QFETCH(QByteArray, error);
        const std::string got =
            field == 0 ? SetupFields::ManufacturingDateError(d, kNow)
            : field == 1
                ? SetupFields::InstallationDateError(d, kNow, At(2024, 3, 14))
                : SetupFields::ServiceDateError(d, kNow, At(2024, 5, 2), At(2026, 5, 4, 10));
        QCOMPARE(QByteArray::fromStdString(got), error);
        // Beyond what Tarn stores, with a PC clock that far on and a record without dates.
        QCOMPARE(SetupFields::InstallationDateError(At(2256, 1, 1), At(2300, 1, 1), {}),
                 "Incorrect value (Installation date)!\rTarn stores dates up to 31 December 2255.");
    }

    void delaysBlock_data()
    {
        QTest::addColumn<double>("detectorAlarm");
        QTest::addColumn<int>("voltageSwitch");
        QTest::addColumn<QByteArray>("block");
        QTest::newRow("worked example") << 30.0 << 0 << QByteArray("1E053C5A01020301000F00");
        QTest::newRow("256 lengthens") << 256.0 << 0 << QByteArray("0100053C5A01020301000F00");
        QTest::newRow("halves to even") << 30.5 << 0 << QByteArray("1E053C5A01020301000F00");
        QTest::newRow("switch -1") << 31.5 << -1 << QByteArray("20053C5A01020301000FFF");
    }

    void delaysBlock()
    {
        QFETCH(double, detectorAlarm);
        QFETCH(int, voltageSwitch);
        QFETCH(QByteArray, block);
        const SetupBlocks::Delays delays{
            detectorAlarm, 5, 60, 90, {1, 2, 3}, {1, 0, 15}, static_cast<int16_t>(voltageSwitch)};
        QCOMPARE(QByteArray::fromStdString(SetupBlocks::DelaysBlock(delays)), block);
    }

    /// A date Tarn cannot store, or a serial number of 0, builds no block (the blocks of
    /// accepted values: tst_frmsetup's buttons). A last service date not later than 1 January
    /// 2000 does not move (a later one moves: tst_frmsetup).
    void adminBlock()
    {
        std::string block = "untouched";
        QVERIFY(!SetupBlocks::AdminBlock({{}, {std::nullopt, At(1999, 12, 31)}}, block));
        QVERIFY(!SetupBlocks::AdminBlock(
            {{}, {std::nullopt, std::nullopt, std::nullopt, TarnDateTime()}}, block));
        QVERIFY(!SetupBlocks::AdminBlock({0, {}}, block));
        QVERIFY(block == "untouched");
        QVERIFY(SetupBlocks::AdminBlock(SetupBlocks::ServiceDates(At(2000, 1, 2), At(2000, 1, 1)),
                                        block));
        QCOMPARE(QByteArray::fromStdString(block),
                 QByteArray(24, '0') + "01020000" + QByteArray(8, '0'));
    }

    void clockText_data()
    {
        QTest::addColumn<TarnDateTime>("now");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("endsEarly");
        QTest::newRow("Friday") << kNow << QByteArray("202612041353086") << false;
        QTest::newRow("checksum 255")
            << At(2026, 12, 4, 13, 53, 2) << QByteArray("202612041353026") << true;
    }

    void clockText()
    {
        QFETCH(TarnDateTime, now);
        QFETCH(QByteArray, text);
        QFETCH(bool, endsEarly);
        QCOMPARE(QByteArray::fromStdString(SetupBlocks::ClockText(now)), text);
        QCOMPARE(SetupBlocks::EndsEarly(143, 0, 65, text.toStdString()), endsEarly);
    }

    void zoneSettings_data()
    {
        QTest::addColumn<QList<int>>("chosen");   // profile per zone, 0 for none
        QTest::addColumn<QByteArray>("commands"); // "<code> <data hex>;..."; empty: refused
        QTest::addColumn<QByteArray>("errText");
        const QByteArray block = "98 " + QByteArray("1E0A053C010203000F0800").toHex().toUpper();
        QTest::newRow("zone 1 profile 13, all 32 bytes")
            << QList<int>{0, 13, 0}
            << block + ";104 01" + QByteArray("0000000D").toHex().toUpper() + ";102 0100" +
                   QByteArray(32, 'x').toHex()
            << QByteArray();
        // Cut to 32 bytes, the zone would run the first 3840 s of it and never stop.
        QTest::newRow("40 bytes: refused, nothing sent")
            << QList<int>{0, 13, 12} << QByteArray()
            << QByteArray("Profile 12 (Twelve) compiles to 40 bytes; Tarn holds at most 32.");
        QTest::newRow("not in the catalogue")
            << QList<int>{8, 14, 0} << QByteArray() << QByteArray("Profile 14 is not in Tarn.INI.");
    }

    void zoneSettings()
    {
        QFETCH(QList<int>, chosen);
        QFETCH(QByteArray, commands);
        QFETCH(QByteArray, errText);
        // 12 runs T 0 s then F for 4800 s: forty bytes F|120 ('x'); 13 for 3840 s, 32 bytes.
        KeyedCollection<Tarn_Profile> catalogue;
        catalogue.Add("8", {"8", "Eight", "T,0,F,30,S,60"});
        catalogue.Add("12", {"12", "Twelve", "T,0,F,0,S,4800"});
        catalogue.Add("13", {"13", "Thirteen", "T,0,F,0,S,3840"});
        Tarn_Inputs inputs;
        inputs.ResolveDelays("1E0A053C010203000000");
        SetupBlocks::Delays delays = SetupBlocks::DelaysOf(inputs, 0);
        delays.outputs = {0, 15, 8};
        std::array<std::optional<int32_t>, SetupBlocks::kZones> profiles;
        for (int zone = 0; zone < SetupBlocks::kZones; ++zone)
            if (chosen[zone])
                profiles[zone] = chosen[zone];
        std::vector<SetupBlocks::Command> got;
        std::string refusal;
        QCOMPARE(SetupBlocks::ZoneSettingsCommands(delays, profiles, catalogue, got, refusal),
                 !commands.isEmpty());
        QByteArrayList lines;
        for (const SetupBlocks::Command& command : got)
            lines << QByteArray::number(command.code) + ' ' +
                         QByteArray::fromStdString(command.data).toHex().toUpper();
        QCOMPARE(lines.join(';'), commands);
        QCOMPARE(QByteArray::fromStdString(refusal), errText);
    }

    /// After an acknowledged write the record holds what was written, and nothing else moves.
    void followsWrite_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("record");
        const QString before = u"30 10 5 60|1 2 3|1 0 15|7 8 9|123456|2024-03-14 2024-05-02 "
                               "2026-05-04 2025-05-06|2026-12-04 13:53:08"_s;
        QTest::newRow("nothing written") << 0 << QByteArray() << before;
        QTest::newRow("delays block with a long switch")
            << 98 << QByteArray("2D0A0578040506020408FFFF")
            << u"45 10 5 120|4 5 6|2 4 8|7 8 9|123456|2024-03-14 2024-05-02 2026-05-04 "
               "2025-05-06|2026-12-04 13:53:08"_s;
        QTest::newRow("zone 3 profile")
            << 104
            << QByteArray("\x02"
                          "0000000C")
            << u"30 10 5 60|1 2 3|1 0 15|7 8 12|123456|2024-03-14 2024-05-02 2026-05-04 "
               "2025-05-06|2026-12-04 13:53:08"_s;
        QTest::newRow("serial number, dates unset")
            << 99 << QByteArray("075BCD15") + QByteArray("00000000").repeated(4)
            << u"30 10 5 60|1 2 3|1 0 15|7 8 9|123456789|2024-03-14 2024-05-02 2026-05-04 "
               "2025-05-06|2026-12-04 13:53:08"_s;
        QTest::newRow("service dates")
            << 99
            << QByteArray("00000000").repeated(3) +
                   QByteArray::fromStdString(EncodePackedDate(At(2026, 12, 1))) +
                   QByteArray::fromStdString(EncodePackedDate(At(2026, 5, 4)))
            << u"30 10 5 60|1 2 3|1 0 15|7 8 9|123456|2024-03-14 2024-05-02 2026-12-01 "
               "2026-05-04|2026-12-04 13:53:08"_s;
        QTest::newRow("clock") << 65 << QByteArray("202612071618062")
                               << u"30 10 5 60|1 2 3|1 0 15|7 8 9|123456|2024-03-14 2024-05-02 "
                                  "2026-05-04 2025-05-06|2026-12-07 16:18:06"_s;
        QTest::newRow("profile definition, log deletion: nothing in the record")
            << 102
            << QByteArray("\x01\x00"
                          "ABC")
            << before;
    }

    void followsWrite()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, data);
        QFETCH(QString, record);
        Tarn_Inputs in;
        in.ResolveDelays("1E0A053C01020301000F");
        in.ResolveAdminData("0001E240" + EncodePackedDate(At(2024, 3, 14)) +
                            EncodePackedDate(At(2024, 5, 2)) + EncodePackedDate(At(2026, 5, 4)) +
                            EncodePackedDate(At(2025, 5, 6)));
        for (int16_t zone = 0; zone < 3; ++zone)
            in.SetProfileID(zone, static_cast<int16_t>(7 + zone));
        in.CPUDateTime = kNow;
        SetupFollow::Written(in, {code, data.toStdString()});
        const auto date = [](const TarnDateTime& d) {
            return QString::asprintf("%04d-%02d-%02d", d.Year(), d.Month(), d.Day());
        };
        const QString got =
            QString::asprintf("%g %g %g %g|%d %d %d|%d %d %d|%d %d %d|", in.DetectorAlarmDelay,
                              in.DetectorResetDelay, in.ManualAlarmDelay, in.ManualStopDelay,
                              in.Messages(0), in.Messages(1), in.Messages(2), in.OutPuts(0),
                              in.OutPuts(1), in.OutPuts(2), in.ProfileID(0), in.ProfileID(1),
                              in.ProfileID(2)) +
            QString::fromStdString(in.SerialNumber) + u'|' +
            QStringList{date(in.Manufactured), date(in.Installed), date(in.LastService),
                        date(in.LastService2)}
                .join(u' ') +
            u'|' + date(in.CPUDateTime) +
            QString::asprintf(" %02d:%02d:%02d", in.CPUDateTime.Hour(), in.CPUDateTime.Minute(),
                              in.CPUDateTime.Second());
        QCOMPARE(got, record);
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
        // Which entry a zone's profile selects: tst_frmsetup's fill.
        QCOMPARE(shown, (QStringList{"3=P3", "-2=P-2", "1=P1"}));
    }
};

QTEST_APPLESS_MAIN(TestSetupData)
#include "tst_setupdata.moc"
