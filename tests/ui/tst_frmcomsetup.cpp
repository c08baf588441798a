// The communication settings window on the program's link, against tarn-sim.

#include "RunningProgram.h"

#include "link/PortDevice.h"
#include "link/SerialPort.h"
#include "ui/comsetup/frmComSetup.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using Kind = ScriptedMessageBoxes::Kind;
using namespace Qt::StringLiterals;

namespace {
const QString kNotFound = u"Auto detect could not found a working com-port!"_s;
const QString kQuestion =
    u"This function will automatically try to find correct com-port using selected baud "
    u"rate.\nCheck that the communication cable is connected properly before continuing."_s;
} // namespace

class tst_frmComSetup : public QObject
{
    Q_OBJECT
    std::unique_ptr<RunningProgram> m_program;
    QByteArray m_ini;

    SimProcess& sim() const { return m_program->sim; }
    ScriptedMessageBoxes& boxes() const { return m_program->boxes; }
    Tarn_Comm* tarn() const { return m_program->window->tarn; }
    QString iniPath() const { return m_program->home.filePath(u"Tarn.INI"_s); }
    QByteArray iniBytes() const
    {
        QFile file(iniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    /// The shipped Tarn.INI with every port number on a device that does not exist except
    /// `simPort` on the simulator, then the program loaded (it starts on COM1).
    bool load(int simPort, const QStringList& simLines = {})
    {
        QFile shipped(qEnvironmentVariable("TARN_BIN") + u"/Tarn.INI"_s);
        if (!m_program->startSim({}, simLines) || !shipped.open(QIODevice::ReadOnly))
            return false;
        m_ini = shipped.readAll() + "\r\n[PORTS]\r\n";
        for (int port = 1; port <= 15; ++port)
            m_ini +=
                u"COM%1=%2\r\n"_s.arg(port)
                    .arg(port == simPort ? sim().slavePath() : u"/nonexistent/tty%1"_s.arg(port))
                    .toLocal8Bit();
        QFile ini(iniPath());
        if (!ini.open(QIODevice::WriteOnly) || ini.write(m_ini) != m_ini.size())
            return false;
        ini.close();
        m_program->window = std::make_unique<frmMain>(boxes());
        if (m_program->window->Load())
            tarn()->replyTimeout = RunningProgram::kShortReplyTimeout;
        return tarn() != nullptr;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init() { m_program = std::make_unique<RunningProgram>(); }
    void cleanup()
    {
        QCOMPARE(boxes().pending(), 0);
        m_program.reset();
    }

    void opening_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("portIndex");
        QTest::addColumn<QString>("baudRate");
        QTest::newRow("19200 found") << 3 << "19200,n,8,1" << 2 << "19200";
        QTest::newRow("a rate not in the list") << 15 << "14400,n,8,1" << 14 << "";
        QTest::newRow("a port not in the list") << 16 << "115200,n,8,1" << -1 << "115200";
    }

    void opening()
    {
        QFETCH(int, port);
        QFETCH(QString, settings);
        QFETCH(int, portIndex);
        QFETCH(QString, baudRate);
        QVERIFY(load(2));
        tarn()->CommPort = static_cast<int16_t>(port);
        tarn()->CommSettings = settings;
        frmComSetup window(tarn(), boxes());
        QCOMPARE(window.cboComPorts->currentIndex(), portIndex);
        QCOMPARE(window.cboBaudRates->currentText(), baudRate);
        for (int i = 0; i < 15; ++i)
            QCOMPARE(PortDevice::NumberOfItem(window.cboComPorts->itemText(i)), i + 1);
        QCOMPARE(window.cboComPorts->itemText(1), u"COM2 - %1 (present)"_s.arg(sim().slavePath()));
        QCOMPARE(window.cboComPorts->itemText(2), u"COM3 - /nonexistent/tty3 (not present)"_s);
    }

    void ok_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("box"); ///< empty: none
        QTest::newRow("working port") << 2 << "";
        QTest::newRow("failing port")
            << 4
            << "1 - Device /nonexistent/tty4 does not exist\n\n/nonexistent/tty4 is not there: "
               "is the serial adapter plugged in and the controller's cable connected? Serial "
               "devices present now: *";
    }

    void ok()
    {
        QFETCH(int, port);
        QFETCH(QString, box);
        QVERIFY(load(2));
        tarn()->CommPort = 2;
        QString errText;
        QVERIFY(tarn()->Start(errText));
        frmComSetup window(tarn(), boxes());
        window.cboComPorts->setCurrentIndex(port - 1);
        window.cboBaudRates->setCurrentText(u"38400"_s);
        if (!box.isEmpty())
            boxes().expect(Kind::Plain, box);
        window.OKButton->click();
        QCOMPARE(boxes().pending(), 0);
        QCOMPARE(int(tarn()->CommPort), port);
        QCOMPARE(tarn()->CommSettings, u"38400,n,8,1"_s);
        // Success closes the window and lets go of the link; failure keeps both.
        QCOMPARE(window.result(), box.isEmpty() ? QDialog::Accepted : QDialog::Rejected);
        QCOMPARE(window.tarn == nullptr, box.isEmpty());
        QCOMPARE(tarn()->comm->isOpen(), box.isEmpty());
        QCOMPARE(tarn()->Send(64), box.isEmpty());
        QCOMPARE(sim().journal(), box.isEmpty() ? QStringList{u"64"_s} : QStringList());
    }

    void save_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::newRow("the two keys and nothing else") << true;
        QTest::newRow("a read-only file") << false;
    }

    void save()
    {
        QFETCH(bool, writable);
        QVERIFY(load(1));
        const QStringList journal = sim().journal();
        if (!writable)
            QVERIFY(QFile::setPermissions(iniPath(), QFile::ReadOwner | QFile::ReadGroup));
        frmComSetup window(tarn(), boxes());
        window.cboComPorts->setCurrentIndex(11);
        window.cboBaudRates->setCurrentText(u"115200"_s);
        if (writable)
            boxes().expect(Kind::Info, u"Communication settings saved to INI-file!"_s);
        else
            boxes().expect(Kind::Critical, u"Could not save communication settings to INI-file!"_s);
        window.cmdSave->click();
        QByteArray expected = m_ini;
        if (writable)
            expected.replace("[COMMUNICATION]\r\nPort=1\r\nSettings=9600,n,8,1\r\n",
                             "[COMMUNICATION]\r\nPort=12\r\nSettings=115200,n,8,1\r\n");
        QCOMPARE(iniBytes(), expected);
        // The live link is not touched.
        QCOMPARE(int(tarn()->CommPort), 1);
        QVERIFY(tarn()->comm->isOpen());
        QCOMPARE(sim().journal(), journal);
    }

    void autoDetect_data()
    {
        QTest::addColumn<bool>("go");
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("found"); ///< 0: none
        QTest::newRow("found on a mapped port") << true << "V2.07" << 3;
        QTest::newRow("Cancel at the question") << false << "V2.07" << 0;
        QTest::newRow("a version that reads as 0") << true << "V" << 0;
    }

    void autoDetect()
    {
        QFETCH(bool, go);
        QFETCH(QString, version);
        QFETCH(int, found);
        // The program started on COM1, which does not exist; the simulator is on COM3.
        QVERIFY(load(3, {u"version "_s + version}));
        QVERIFY(!tarn()->isStarted());
        frmComSetup window(tarn(), boxes());
        QString statusLine;
        connect(&window, &frmComSetup::statusMessage, this,
                [&statusLine](const QString& msg) { statusLine = u"cleared"_s + msg; });
        window.cboBaudRates->setCurrentText(u"19200"_s);
        window.show();

        // While it searches the window takes no input and refuses to close, and events run.
        bool checkedInSearch = false;
        QTimer::singleShot(150, &window, [&] {
            checkedInSearch = window.isBusy() && !window.Frame1->isEnabled() &&
                              !window.OKButton->isEnabled() && !window.close() &&
                              window.isVisible() &&
                              window.cmdAutoDetect->text() == u"Searching.."_s;
        });
        boxes().expect(Kind::QuestionOkCancel, kQuestion, go);
        boxes().expect(found ? Kind::Info : Kind::Critical,
                       found ? u"Auto detect has succesfully connected to Tarn using COM3."_s
                             : kNotFound);
        window.cmdAutoDetect->click();
        QCOMPARE(boxes().pending(), 0);
        QCOMPARE(checkedInSearch, go);
        QCOMPARE(window.cmdAutoDetect->text(), u"Auto detect"_s);
        QVERIFY(!window.isBusy() && window.Frame1->isEnabled() && window.OKButton->isEnabled());
        QCOMPARE(statusLine, found ? u"cleared"_s : QString());
        QCOMPARE(sim().journal(), go ? QStringList{u"64"_s} : QStringList());
        // Found: the link runs on that port. Not found: it is back on the port it was on.
        QCOMPARE(int(tarn()->CommPort), found ? found : 1);
        QCOMPARE(tarn()->CommSettings, found ? u"19200,n,8,1"_s : u"9600,n,8,1"_s);
        QCOMPARE(window.cboComPorts->currentIndex(), (found ? found : 1) - 1);
        QCOMPARE(tarn()->Send(64), found != 0);
    }

    void noSelection_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("box");
        QTest::newRow("OK") << "OKButton"
                            << "Please select a com port and a baud rate.";
        QTest::newRow("Auto detect") << "cmdAutoDetect"
                                     << "Please select a baud rate.";
    }

    void noSelection()
    {
        QFETCH(QString, button);
        QFETCH(QString, box);
        QVERIFY(load(1));
        const QStringList journal = sim().journal();
        tarn()->CommPort = 0;
        tarn()->CommSettings = u"14400,n,8,1"_s;
        frmComSetup window(tarn(), boxes());
        boxes().expect(Kind::Info, box);
        window.findChild<QPushButton*>(button)->click();
        QCOMPARE(boxes().pending(), 0);
        QCOMPARE(sim().journal(), journal);
        QCOMPARE(iniBytes(), m_ini);
        QVERIFY(tarn()->comm->isOpen());
        QCOMPARE(window.result(), QDialog::Rejected);
        QVERIFY(window.tarn);
    }
};

QTEST_MAIN(tst_frmComSetup)
#include "tst_frmcomsetup.moc"
