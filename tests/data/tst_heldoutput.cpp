#include <QTest>

#include "data/HeldOutput.h"

using namespace Qt::StringLiterals;

namespace {
const char* const kNames[] = {"Pump", "Valve1", "Valve2", "AlarmRelay", "Buzzer"};
} // namespace

class tst_HeldOutput : public QObject
{
    Q_OBJECT
private slots:
    /// P and B press pump and buzzer, r releases, e ends; d runs every switching asked for,
    /// o begins switching on and O ends it. The switchings made are recorded.
    void heldOutput_data()
    {
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("switched");
        QTest::newRow("press, release") << u"Pd rd"_s << u"+Pump -Pump"_s;
        QTest::newRow("later releases switch nothing") << u"Pd rd rd rd"_s << u"+Pump -Pump"_s;
        QTest::newRow("second press while held ignored") << u"Pd Bd rd"_s << u"+Pump -Pump"_s;
        // A click whose release comes before the switching on still gets its pulse.
        QTest::newRow("release before switching") << u"Pr d"_s << u"+Pump -Pump"_s;
        QTest::newRow("press before the pulse ran ignored") << u"Pr Br d"_s << u"+Pump -Pump"_s;
        QTest::newRow("release while switching on") << u"Po rO d"_s << u"+Pump -Pump"_s;
        QTest::newRow("next hold after a release")
            << u"Pd rB d rd"_s << u"+Pump -Pump +Buzzer -Buzzer"_s;
        QTest::newRow("end switches off once") << u"Bd ed ed"_s << u"+Buzzer -Buzzer"_s;
        QTest::newRow("nothing on after the end") << u"Pe d Bd"_s << u""_s;
    }

    void heldOutput()
    {
        QFETCH(QString, events);
        QFETCH(QString, switched);
        HeldOutput hold;
        QStringList made;
        OutputItem item{};
        for (const QChar event : events) {
            if (event == u'P' || event == u'B') {
                hold.Press(event == u'P' ? OutputItem::Pump : OutputItem::Buzzer);
            } else if (event == u'r') {
                hold.Release();
            } else if (event == u'e') {
                hold.End();
            } else if (event == u'o') {
                QCOMPARE(hold.Next(item), HeldOutput::Action::SwitchOn);
            } else if (event == u'O') {
                hold.SwitchedOn(item);
                made << u'+' + QLatin1String(kNames[int(item)]);
            } else if (event == u'd') {
                for (auto action = hold.Next(item); action != HeldOutput::Action::None;
                     action = hold.Next(item)) {
                    const bool on = action == HeldOutput::Action::SwitchOn;
                    on ? hold.SwitchedOn(item) : hold.SwitchedOff();
                    made << (on ? u'+' : u'-') + QLatin1String(kNames[int(item)]);
                }
            }
        }
        QCOMPARE(made.join(u' '), switched);
        QVERIFY(!hold.Active());
    }
};

QTEST_APPLESS_MAIN(tst_HeldOutput)
#include "tst_heldoutput.moc"
