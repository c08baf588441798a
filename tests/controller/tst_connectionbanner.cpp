// The banner's sentence and the connection's state line for each way the link does or does
// not work.

#include "ProgramHome.h"
#include "SimProcess.h"

#include "controller/ConnectionBanner.h"
#include "controller/ConnectionState.h"
#include "link/SerialPort.h"
#include "link/Tarn_Comm.h"

#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class tst_ConnectionBanner : public QObject
{
    Q_OBJECT

private slots:
    void sentence_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("text"); ///< %1 the device; ends in * for "starts with"
        QTest::addColumn<QString>("line"); ///< the state line after "COM1 %1, 9600 baud — "
        QTest::newRow("working") << u"answered"_s << QString() << u"Connected"_s;
        // Open, but the controller has never been asked: not connected yet.
        QTest::newRow("not asked yet") << u"opened"_s << QString() << u"No answer yet"_s;
        QTest::newRow("not answering")
            << u"mute"_s
            << u"Tarn does not answer on COM1 (%1): is it switched on, its cable plugged in and "
               u"the baud rate (9600) the controller's?"_s
            << u"No answer yet"_s;
        QTest::newRow("device missing") << u"missing"_s << u"COM1 (%1) does not exist. *"_s
                                        << u"Not open: Device %1 does not exist"_s;
        QTest::newRow("device gone")
            << u"gone"_s << u"COM1 (%1) has gone: is the adapter unplugged? *"_s
            << u"Device gone: %1"_s;
    }

    void sentence()
    {
        QFETCH(QString, state);
        QFETCH(QString, text);
        QFETCH(QString, line);
        ProgramHome home;
        SimProcess sim;
        const QString device = home.filePath(u"tty"_s);
        QVERIFY(home.installIni(device));
        QVERIFY(state == u"missing"_s || sim.start({u"--link"_s, device}));
        SerialPort port;
        QTimer timer;
        Tarn_Comm link;
        link.comm = &port;
        link.CommTimer = &timer;
        link.IniPath = home.filePath(u"Tarn.INI"_s);
        link.CommPort = 1;
        link.CommSettings = u"9600,n,8,1"_s;
        link.replyTimeout = std::chrono::milliseconds(300);
        QString errText;
        QCOMPARE(link.Start(errText), state != u"missing"_s);
        if (state == u"mute"_s)
            QVERIFY(sim.command(u"mute 1"_s));
        if (state == u"gone"_s) {
            sim.stop();
            QTRY_VERIFY(port.deviceLost());
        }
        if (state != u"missing"_s && state != u"opened"_s)
            QCOMPARE(link.Send(64), state == u"answered"_s);
        const QString shown = ConnectionBanner::Text(link);
        const QString expected = text.contains(u"%1"_s) ? text.arg(device) : text;
        if (expected.endsWith(u'*'))
            QVERIFY2(shown.startsWith(expected.chopped(1)), qPrintable(shown));
        else
            QCOMPARE(shown, expected);
        QCOMPARE(ConnectionBanner::Of(link) == ConnectionBanner::Problem::None, text.isEmpty());
        const QString where = u"COM1 %1, 9600 baud \u2014 "_s.arg(device);
        QCOMPARE(ConnectionState::Text(link),
                 where + (line.contains(u"%1"_s) ? line.arg(device) : line));
    }
};

QTEST_GUILESS_MAIN(tst_ConnectionBanner)
#include "tst_connectionbanner.moc"
