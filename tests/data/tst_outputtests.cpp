#include <QTest>

#include "data/HeldOutput.h"
#include "data/OutputTests.h"
#include "data/Tarn_Outputs.h"

namespace {
const char* const kNames[] = {"Pump",   "Valve1", "Valve2", "AlarmRelay", "Buzzer",
                              "Extra1", "Extra2", "Extra3", "Extra4"};
} // namespace

class tst_OutputTests : public QObject
{
    Q_OBJECT
private slots:
    void items_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("pumpAndValves");
        const char* const texts[] = {"Pump",     "Valve 1",  "Valve 2",  "Alarm relay", "Buzzer",
                                     "Output 1", "Output 2", "Output 3", "Output 4"};
        const char* const words[] = {"0100", "0200", "0400", "0800", "0004",
                                     "1000", "2000", "4000", "8000"};
        for (int i = 0; i < 9; ++i)
            QTest::newRow(kNames[i])
                << i << QStringLiteral("Testing %1...").arg(texts[i]) << words[i] << (i < 3);
    }

    void items()
    {
        QFETCH(int, item);
        QFETCH(QString, text);
        QFETCH(QString, word);
        QFETCH(bool, pumpAndValves);
        const auto output = static_cast<OutputItem>(item);
        QCOMPARE(QString::fromStdString(HoldText(output)), text);
        QCOMPARE(ReleasesPumpAndValves(output), pumpAndValves);
        Tarn_Outputs outputs;
        outputs.Buzzer = output == OutputItem::Buzzer ? 0 : 1;
        SetOutputItem(outputs, output, 1);
        const int buzzerBit = output == OutputItem::Buzzer ? 0 : 4;
        QCOMPARE(QString::fromStdString(outputs.STU_Data()).toInt(nullptr, 16),
                 word.toInt(nullptr, 16) | buzzerBit);
        SetOutputItem(outputs, output, 0);
        QCOMPARE(QString::fromStdString(outputs.STU_Data()), buzzerBit ? u"0004" : u"0000");
    }

    void timedTest_data()
    {
        QTest::addColumn<bool>("valve1");
        QTest::addColumn<bool>("pump");
        QTest::addColumn<QString>("word");
        QTest::newRow("valve 1") << true << false << "0200";
        QTest::newRow("valve 2") << false << false << "0400";
        QTest::newRow("valve 1 and pump") << true << true << "0300";
        QTest::newRow("valve 2 and pump") << false << true << "0500";
    }

    void timedTest()
    {
        QFETCH(bool, valve1);
        QFETCH(bool, pump);
        QFETCH(QString, word);
        Tarn_Outputs outputs;
        outputs.Valve1 = 1;
        outputs.Valve2 = 1;
        SetTimedTestOutputs(outputs, valve1, pump);
        QCOMPARE(QString::fromStdString(outputs.STU_Data()), word);
    }

    /// P and B press pump and buzzer, r releases, e ends; d runs every switching asked for,
    /// o begins switching on and O ends it. The switchings made are recorded.
    void heldOutput_data()
    {
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("switched");
        QTest::newRow("press, release") << "Pd rd"
                                        << "+Pump -Pump";
        QTest::newRow("later releases switch nothing") << "Pd rd rd rd"
                                                       << "+Pump -Pump";
        QTest::newRow("second press while held ignored") << "Pd Bd rd"
                                                         << "+Pump -Pump";
        QTest::newRow("release before switching") << "Pr d"
                                                  << "";
        QTest::newRow("release while switching on") << "Po rO d"
                                                    << "+Pump -Pump";
        QTest::newRow("next hold after a release") << "Pd rB d rd"
                                                   << "+Pump -Pump +Buzzer -Buzzer";
        QTest::newRow("end switches off once") << "Bd ed ed"
                                               << "+Buzzer -Buzzer";
        QTest::newRow("nothing on after the end") << "Pe d Bd"
                                                  << "";
        QTest::newRow("release of nothing") << "rd"
                                            << "";
    }

    void heldOutput()
    {
        QFETCH(QString, events);
        QFETCH(QString, switched);
        HeldOutput hold;
        QStringList made;
        OutputItem item{};
        for (const QChar event : events) {
            switch (event.toLatin1()) {
            case 'P':
            case 'B':
                hold.Press(event == u'P' ? OutputItem::Pump : OutputItem::Buzzer);
                break;
            case 'r':
                hold.Release();
                break;
            case 'e':
                hold.End();
                break;
            case 'o':
                QCOMPARE(hold.Next(item), HeldOutput::Action::SwitchOn);
                break;
            case 'O':
                hold.SwitchedOn(item);
                made << u'+' + QLatin1String(kNames[int(item)]);
                break;
            case 'd':
                for (auto action = hold.Next(item); action != HeldOutput::Action::None;
                     action = hold.Next(item)) {
                    const bool on = action == HeldOutput::Action::SwitchOn;
                    on ? hold.SwitchedOn(item) : hold.SwitchedOff();
                    made << (on ? u'+' : u'-') + QLatin1String(kNames[int(item)]);
                }
                break;
            }
        }
        QCOMPARE(made.join(u' '), switched);
        QVERIFY(!hold.Active());
    }
};

QTEST_APPLESS_MAIN(tst_OutputTests)
#include "tst_outputtests.moc"
