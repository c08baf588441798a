#include <QTest>

#include "data/Tarn_Inputs.h"
#include "data/Tarn_Outputs.h"
#include "data/TextNumbers.h"

#include "TestFiles.h"

namespace {

enum Fn
{
    Hex,
    HexPair, // the two digits at the 1-based position `text` of "1E0A7"
    Number,
    ProfileId,
    Version
};

/// "1" or "0" per element, index 0 first.
QString Flags(const Tarn_Inputs& inputs, bool (Tarn_Inputs::*get)(int16_t) const, int count)
{
    QString flags;
    for (int16_t i = 0; i < count; ++i)
        flags += (inputs.*get)(i) ? QLatin1Char('1') : QLatin1Char('0');
    return flags;
}

enum Decoder
{
    Inputs,
    Delays,
    Admin
};

/// Every field of one decoder, as the decoder tables write them.
QString Describe(const Tarn_Inputs& in, int decoder)
{
    QStringList parts;
    if (decoder == Inputs) {
        parts << Flags(in, &Tarn_Inputs::UniversalIO, 4) << Flags(in, &Tarn_Inputs::Detector, 4)
              << Flags(in, &Tarn_Inputs::ManualTrigger, 3) << QString::number(in.TemperatureCelsius)
              << QString::number(in.TemperatureFarenheit);
    } else if (decoder == Delays) {
        for (double delay : {in.DetectorAlarmDelay, in.DetectorResetDelay, in.ManualAlarmDelay,
                             in.ManualStopDelay})
            parts << QString::number(delay);
        for (int16_t zone = 0; zone < 3; ++zone)
            parts << QString::number(in.Messages(zone));
        for (int16_t zone = 0; zone < 3; ++zone)
            parts << QString::number(in.OutPuts(zone));
    } else {
        parts << QString::fromStdString(in.SerialNumber);
        for (const TarnDateTime* d :
             {&in.Manufactured, &in.Installed, &in.LastService, &in.LastService2})
            parts << (d->IsZero()
                          ? QStringLiteral("zero")
                          : QString::asprintf("%04d-%02d-%02d", d->Year(), d->Month(), d->Day()) +
                                (d->HasTime() ? "+time" : ""));
    }
    return parts.join(' ');
}

} // namespace

class TestInputs : public QObject
{
    Q_OBJECT

private slots:
    void textNumbers_data()
    {
        QTest::addColumn<int>("fn");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");

        QTest::newRow("hex stops at a letter beyond F") << int(Hex) << "3G" << 3.0;
        QTest::newRow("hex saturates") << int(Hex) << "123456789" << 4294967295.0;

        QTest::newRow("pair: last digit alone") << int(HexPair) << "5" << 7.0;
        QTest::newRow("pair: just past the end") << int(HexPair) << "6" << 0.0;

        QTest::newRow("number leading blanks") << int(Number) << "  2.5x" << 2.5;
        QTest::newRow("number comma is no point") << int(Number) << "2,5" << 2.0;

        QTest::newRow("id FFFF is -1") << int(ProfileId) << "FFFF" << -1.0;
        QTest::newRow("id low 16 bits") << int(ProfileId) << "12345" << double(0x2345);
        QTest::newRow("id stops at other text") << int(ProfileId) << "07ACK" << double(0x7AC);

        QTest::newRow("version 2.07") << int(Version) << " 2.07" << 2.07;
        QTest::newRow("version binary noise") << int(Version) << " 0.3" << (0.1 + 0.2);
    }

    void textNumbers()
    {
        QFETCH(int, fn);
        QFETCH(QString, text);
        QFETCH(double, value);

        const std::string t = Std(text);
        if (fn == Version)
            QCOMPARE(QString::fromStdString(FormatVersionNumber(value)), text);
        else
            QCOMPARE(fn == Hex       ? HexValue(t)
                     : fn == HexPair ? HexValueAt("1E0A7", text.toUInt(), 2)
                     : fn == Number  ? LeadingNumber(t)
                                     : ParseProfileId(t),
                     value);
    }

    /// Each decoder's fields from its reply data, over those of an earlier reply.
    void decoders_data()
    {
        QTest::addColumn<int>("decoder");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, Decoder decoder, const char* data,
                            const char* expected) {
            QTest::newRow(name) << int(decoder) << QString::fromLatin1(data)
                                << QString::fromLatin1(expected);
        };

        // Universal I/O, detectors, manual triggers, °C, °F.
        row("inputs worked example", Inputs, "0F6014", "0000 0000 001 20 68");
        row("inputs all zero: active", Inputs, "000000", "0000 1111 111 0 32");
        row("inputs bit order", Inputs, "9D1000", "1001 0100 111 0 32");
        row("inputs lower case, -1", Inputs, "0fe0ff", "0000 0000 000 -1 30.2");
        row("inputs NAK reply", Inputs, "NAK", "0000 1010 111 0 32");

        // Four delays, three messages, three output bytes.
        row("delays worked example", Delays, "1E0A05FF010203071F00", "30 10 5 255 1 2 3 7 31 0");
        row("delays short", Delays, "1e0a05", "30 10 5 0 0 0 0 0 0 0");
        row("delays bad pair ends early", Delays, "3X0A05FF010203071F00",
            "3 10 5 255 1 2 3 7 31 0");

        // Serial number, manufactured, installed, last service, the one before; no times.
        row("admin 123456", Admin, "0001E24001010000825D0000FCFF7BFB00000000",
            "123456 2000-01-01 2024-02-29 2063-12-31 zero");
        row("admin 16 characters", Admin, "00000001AC44C79E", "1 2026-12-04 zero zero zero");
    }

    void decoders()
    {
        QFETCH(int, decoder);
        QFETCH(QString, data);
        QFETCH(QString, expected);

        using Decode = void (Tarn_Inputs::*)(std::string_view);
        const Decode decode[] = {&Tarn_Inputs::ResolveInputs, &Tarn_Inputs::ResolveDelays,
                                 &Tarn_Inputs::ResolveAdminData};
        const char* const earlier[] = {"9D1000", "1E0A05FF010203071F00",
                                       "0001E24001010000825D0000FCFF7BFB00000000"};
        Tarn_Inputs inputs;
        (inputs.*decode[decoder])(earlier[decoder]);
        (inputs.*decode[decoder])(Std(data));
        QCOMPARE(Describe(inputs, decoder), expected);
    }

    void outputWord_data()
    {
        // Pump, valve 1, valve 2, buzzer, alarm relay, extra outputs 1 to 4.
        QTest::addColumn<QList<int>>("members");
        QTest::addColumn<QString>("word");

        QTest::newRow("pump, valve 2, extra 1") << QList<int>{1, 0, 1, 0, 0, 1, 0, 0, 0} << "1500";
        QTest::newRow("buzzer, extras 2 and 4") << QList<int>{0, 0, 0, 1, 0, 0, 1, 0, 1} << "A004";
        QTest::newRow("only 1 counts as on")
            << QList<int>{-1, -1, 2, -1, 255, -1, 2, 0, 0} << "0000";
    }

    void outputWord()
    {
        QFETCH(QList<int>, members);
        QFETCH(QString, word);

        // The word depends only on the current members, not on a previous state.
        Tarn_Outputs outputs;
        const auto set = [&outputs](const QList<int>& values) {
            int32_t* const named[] = {&outputs.Pump, &outputs.Valve1, &outputs.Valve2,
                                      &outputs.Buzzer, &outputs.AlarmRelay};
            for (int i = 0; i < 5; ++i)
                *named[i] = values[i];
            for (int16_t i = 0; i < 4; ++i)
                outputs.SetExtraOutPut(i, values[5 + i]);
        };
        set(QList<int>(9, 1));
        QCOMPARE(outputs.STU_Data(), std::string("FF04"));
        set(members);
        QCOMPARE(QString::fromStdString(outputs.STU_Data()), word);
        QCOMPARE(QString::fromStdString(outputs.STU_Data()), word);
    }
};

QTEST_APPLESS_MAIN(TestInputs)
#include "tst_inputs.moc"
