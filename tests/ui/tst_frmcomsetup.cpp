// The communication settings window on the program's link, against tarn-sim.

#include "RunningProgram.h"

#include "link/PortDevice.h"
#include "link/SerialPort.h"
#include "ui/comsetup/frmComSetup.h"

#include <QElapsedTimer>

namespace {
const QString kQuestion =
    u"This function will automatically try to find correct com-port using selected baud "
    u"rate.\nCheck that the communication cable is connected properly before continuing."_s;
} // namespace

class tst_frmComSetup : public ProgramTest
{
    Q_OBJECT
    QByteArray m_ini;
    Tarn_Comm* tarn() const { return window()->tarn; }
    QString iniPath() const { return m_program->home.filePath(u"Tarn.INI"_s); }

    /// Tarn.INI with every port number on a device that does not exist except `simPort` on
    /// the simulator, then the program loaded (it starts on COM1).
    bool load(int simPort, const QStringList& simLines = {})
    {
        if (!m_program->startSim({}, simLines))
            return false;
        QStringList ports;
        for (int port = 1; port <= 15; ++port)
            ports << (port == simPort ? sim().slavePath() : u"/nonexistent/tty%1"_s.arg(port));
        m_program->load(ports);
        m_ini = ReadAll(iniPath());
        return tarn() != nullptr;
    }
    /// Chooses the item of port number `port` in the port list.
    static void choosePort(frmComSetup& window, int port)
    {
        for (int i = 0; i < window.cboComPorts->count(); ++i)
            if (PortDevice::NumberOfItem(window.cboComPorts->itemText(i)) == port)
                window.cboComPorts->setCurrentIndex(i);
    }
    static int chosenPort(const frmComSetup& window)
    {
        return PortDevice::NumberOfItem(window.cboComPorts->currentText());
    }

private slots:
    /// The lists name each port's device and whether it is there, the ports present first and
    /// in bold, and open on the link's port and rate; a port or rate not in them leaves
    /// nothing chosen (buttons, "nothing chosen").
    void opening()
    {
        QVERIFY(load(2));
        tarn()->CommPort = 3;
        tarn()->CommSettings = u"19200,n,8,1"_s;
        frmComSetup window(tarn(), boxes());
        QCOMPARE(chosenPort(window), 3);
        QCOMPARE(window.cboBaudRates->currentText(), u"19200"_s);
        QCOMPARE(window.cboComPorts->itemText(0), u"COM2 - %1 (present)"_s.arg(sim().slavePath()));
        QVERIFY(window.cboComPorts->itemData(0, Qt::FontRole).value<QFont>().bold());
        QCOMPARE(window.cboComPorts->itemText(1), u"COM1 - /nonexistent/tty1 (not present)"_s);
        QVERIFY(!window.cboComPorts->itemData(1, Qt::FontRole).isValid());
        QCOMPARE(window.cboComPorts->itemText(2), u"COM3 - /nonexistent/tty3 (not present)"_s);
    }

    /// OK and Save with a port and rate chosen, and with none: the link runs on COM2.
    /// OK takes a working choice onto the link and closes; Save writes the two keys and nothing
    /// else, leaving the link alone.
    void buttons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("port"); ///< chosen in the window; 0: nothing chosen
        QTest::addColumn<int>("kind"); ///< -1: no box
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("writable");
        const auto row = [](const char* name, const char* button, int port, int kind,
                            const char* box, bool writable = true) {
            QTest::newRow(name) << button << port << kind << box << writable;
        };
        row("OK, working port", "OKButton", 2, -1, "");
        row("OK, failing port", "OKButton", 4, int(Kind::Plain),
            "1 - Device /nonexistent/tty4 does not exist\n\n/nonexistent/tty4 is not there: is the "
            "serial adapter plugged in and the controller's cable connected? Serial devices "
            "present now: *");
        row("Save", "cmdSave", 12, int(Kind::Info), "Communication settings saved to INI-file!");
        row("Save to a read-only file", "cmdSave", 12, int(Kind::Critical),
            "Could not save communication settings to INI-file!", false);
        row("OK, nothing chosen", "OKButton", 0, int(Kind::Info),
            "Please select a com port and a baud rate.");
        row("Auto detect, nothing chosen", "cmdAutoDetect", 0, int(Kind::Info),
            "Please select a baud rate.");
    }

    void buttons()
    {
        QFETCH(QString, button);
        QFETCH(int, port);
        QFETCH(int, kind);
        QFETCH(QString, box);
        QFETCH(bool, writable);
        QVERIFY(load(2));
        tarn()->CommPort = 2;
        QString errText;
        QVERIFY(tarn()->Start(errText));
        if (!port) {
            tarn()->CommPort = 0;
            tarn()->CommSettings = u"14400,n,8,1"_s;
        }
        const int oldPort = tarn()->CommPort;
        const QString oldSettings = tarn()->CommSettings;
        if (!writable)
            QVERIFY(QFile::setPermissions(iniPath(), QFile::ReadOwner | QFile::ReadGroup));
        frmComSetup window(tarn(), boxes());
        if (port) {
            choosePort(window, port);
            window.cboBaudRates->setCurrentText(u"38400"_s);
        }
        if (kind >= 0)
            boxes().expect(Kind(kind), box);
        const QStringList journal = sim().journal();
        window.findChild<QPushButton*>(button)->click();

        const bool taken = button == u"OKButton"_s && port;
        const bool saved = button == u"cmdSave"_s && writable;
        QCOMPARE(int(tarn()->CommPort), taken ? port : oldPort);
        QCOMPARE(tarn()->CommSettings, taken ? u"38400,n,8,1"_s : oldSettings);
        QByteArray expected = m_ini;
        if (saved)
            expected.replace("[COMMUNICATION]\r\nPort=1\r\nSettings=9600,n,8,1\r\n",
                             "[COMMUNICATION]\r\nPort=12\r\nSettings=38400,n,8,1\r\n");
        QCOMPARE(ReadAll(iniPath()), expected);
        // Success closes the window and lets go of the link; a failing port is left closed.
        const bool closed = taken && kind < 0;
        QCOMPARE(window.result(), closed ? QDialog::Accepted : QDialog::Rejected);
        QCOMPARE(window.tarn == nullptr, closed);
        const bool open = !taken || closed;
        QCOMPARE(tarn()->Send(64), open);
        QCOMPARE(sim().journal(), journal + (open ? QStringList{u"64"_s} : QStringList()));
    }

    /// The search tries the ports present first and shows the port it tries; Cancel stops it
    /// at once and says so on the status line. The port found is kept in Tarn.INI; when
    /// nothing answers, the box says what became of each port tried and what to do about it,
    /// and the link is back on the port it was on.
    void autoDetect_data()
    {
        QTest::addColumn<bool>("go");
        QTest::addColumn<QString>("simLine");
        QTest::addColumn<int>("simPort");
        QTest::addColumn<bool>("held");    ///< the simulator's device held open by another program
        QTest::addColumn<int>("cancelAt"); ///< Cancel pressed while this port is tried; 0: never
        QTest::addColumn<int>("found");    ///< 0: none
        QTest::addColumn<QString>("why");  ///< the last box's informative text; %1 the simulator
        QTest::addColumn<QString>("status"); ///< the status line's message
        const auto missing = [](int ports) {
            QString lines;
            for (int port = 1; port <= ports; ++port)
                lines += u"COM%1 - /nonexistent/tty%1: missing\n"_s.arg(port);
            return lines;
        };
        const QString notThere =
            u"\n\n/nonexistent/tty1 is not there: is the serial adapter plugged in and the "
            u"controller's cable connected? Serial devices present now: *"_s;
        const QString noAnswer = u"\nA port that opened did not answer as Tarn does: is Tarn "
                                 u"switched on, its cable connected, and 19200 baud its rate?"_s;
        QTest::newRow("found on the port present, tried first")
            << true << "version V2.07" << 15 << false << 0 << 15
            << "COM15 is saved in Tarn.INI for the next start."
            << "";
        QTest::newRow("Cancel at the question")
            << false << "version V2.07" << 15 << false << 0 << 0 << ""
            << "";
        QTest::newRow("a version that reads as 0")
            << true << "version V" << 15 << false << 0 << 0
            << u"COM15 - %1: answered without a version\n"_s + missing(14) + noAnswer + notThere
            << "";
        QTest::newRow("the port present busy")
            << true << "" << 15 << true << 0 << 0
            << u"COM15 - %1: busy\n"_s + missing(14) +
                   u"\nAnother program has %1 open (find it with: fuser -v %1). Close that "
                   u"program, then try again."_s +
                   notThere
            << "";
        QTest::newRow("Cancel while a port does not answer")
            << true << "mute 1" << 3 << false << 3 << 0 << ""
            << "Auto detect cancelled at COM3; COM1 is in use again, as before.";
    }

    void autoDetect()
    {
        QFETCH(bool, go);
        QFETCH(QString, simLine);
        QFETCH(int, simPort);
        QFETCH(bool, held);
        QFETCH(int, cancelAt);
        QFETCH(int, found);
        QFETCH(QString, why);
        QFETCH(QString, status);
        // The program started on COM1, which does not exist.
        QVERIFY(load(simPort, simLine.isEmpty() ? QStringList() : QStringList{simLine}));
        QVERIFY(!tarn()->isStarted());
        SerialPort other;
        other.setDevice(sim().slavePath());
        QVERIFY(!held || other.open());
        frmComSetup window(tarn(), boxes());
        QString statusLine;
        connect(&window, &frmComSetup::statusMessage, this,
                [&statusLine](const QString& msg) { statusLine = u"cleared"_s + msg; });
        window.cboBaudRates->setCurrentText(u"19200"_s);
        window.show();

        // While it searches the window refuses to close, and events run.
        bool checkedInSearch = false;
        QTimer::singleShot(150, &window, [&] {
            checkedInSearch = !window.close() && window.isVisible() &&
                              window.cmdAutoDetect->text() == u"Searching.."_s;
        });
        // Cancel, enabled all along, pressed while the port shown as the one being tried waits
        // for its reply.
        const QString trying = u"COM%1 of 15 \u2014 %2"_s.arg(cancelAt).arg(sim().slavePath());
        bool cancelled = false;
        QElapsedTimer sinceCancel;
        QTimer check;
        connect(&check, &QTimer::timeout, &window, [&] {
            // Once the request has reached the simulator, which does not answer it.
            if (window.lblDetectProgress->text() != trying || sim().journal().isEmpty())
                return;
            check.stop();
            // tools/screenshot.sh pictures the search here (dialogs do not render under Xvfb).
            if (const QString folder = qEnvironmentVariable("TARN_SCREENSHOT_DIR");
                !folder.isEmpty())
                window.grab().save(folder + u"/screenshot-autodetect.png"_s);
            cancelled = window.CancelButton->isEnabled();
            sinceCancel.start();
            window.CancelButton->click();
        });
        if (cancelAt)
            check.start(kCheckMs);
        boxes().expect(Kind::QuestionOkCancel, kQuestion, go);
        if (!cancelAt)
            boxes().expect(found ? Kind::Info : Kind::Critical,
                           found ? u"Auto detect has succesfully connected to Tarn using COM15."_s
                                 : u"Auto detect could not found a working com-port!"_s,
                           true, why.contains(u"%1"_s) ? why.arg(sim().slavePath()) : why);
        window.cmdAutoDetect->click();
        QCOMPARE(checkedInSearch, go);
        QCOMPARE(cancelled, cancelAt != 0);
        // The port being tried is closed: the search ends without waiting for the time-out.
        if (cancelAt)
            QVERIFY2(sinceCancel.elapsed() < 500,
                     qPrintable(u"%1 ms"_s.arg(sinceCancel.elapsed())));
        QCOMPARE(window.cmdAutoDetect->text(), u"Auto detect"_s);
        QVERIFY(!window.isBusy() && window.Frame1->isEnabled() && window.OKButton->isEnabled());
        QVERIFY(window.isVisible());
        QCOMPARE(window.lblDetectProgress->text(), status);
        QCOMPARE(statusLine, found || cancelAt ? u"cleared"_s + status : QString());
        // One request on the simulator's port where it opened.
        QCOMPARE(sim().journal(), go && !held ? QStringList{u"64"_s} : QStringList());
        // Found: the link runs on that port, also from the next start on. Not found: it is
        // back on the port it was on.
        QCOMPARE(int(tarn()->CommPort), found ? found : 1);
        QCOMPARE(tarn()->CommSettings, found ? u"19200,n,8,1"_s : u"9600,n,8,1"_s);
        QCOMPARE(chosenPort(window), found ? found : 1);
        QByteArray ini = m_ini;
        if (found)
            ini.replace("[COMMUNICATION]\r\nPort=1\r\nSettings=9600,n,8,1\r\n",
                        "[COMMUNICATION]\r\nPort=15\r\nSettings=19200,n,8,1\r\n");
        QCOMPARE(ReadAll(iniPath()), ini);
        QCOMPARE(tarn()->Send(64), found != 0);
    }
};

QTEST_MAIN(tst_frmComSetup)
#include "tst_frmcomsetup.moc"
