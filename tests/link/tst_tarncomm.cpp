// The link against the controller simulator on a real pseudo-terminal.

#include "link/FrameCodec.h"
#include "link/FrameCutter.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "link/Tarn_Comm.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <memory>
#include <vector>

using namespace std::chrono_literals;

namespace {

/// Long enough for a loaded machine, short enough to keep the suite quick.
constexpr auto kShortReplyTimeout = 600ms;
constexpr int kSimStartTimeoutMs = 10000;
constexpr int kSimAnswerTimeoutMs = 5000;

const QString kTimeoutText = QStringLiteral("Communication timeout error.");

/// A reply frame as the controller sends it.
std::string ReplyFrame(int command, const std::string& data)
{
    return BuildRequestFrame(kPcAddress, kControllerAddress, command, data);
}

/// tarn-sim as a child process, driven through its standard input.
class Sim
{
public:
    Sim(const QString& linkPath, const QString& journalPath, const QStringList& extra = {})
    {
        QStringList args{QStringLiteral("--link"), linkPath, QStringLiteral("--journal"),
                         journalPath};
        args += extra;
        m_journalPath = journalPath;
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // A crashed test must not leave simulators behind.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.start(qEnvironmentVariable("TARN_SIM"), args);
        if (!m_process.waitForStarted(kSimStartTimeoutMs))
            return;
        slavePath = readLine(kSimStartTimeoutMs);
        m_ready = readLine(kSimStartTimeoutMs) == QLatin1String("READY");
    }
    ~Sim() { stop(); }

    bool ready() const { return m_ready; }

    /// Sends a command without waiting for its answer (usable while a Send waits).
    void post(const QString& line)
    {
        m_process.write((line + QLatin1Char('\n')).toLatin1());
        ++m_pending;
    }

    /// Sends a command and waits until it and every posted one are answered with OK.
    bool command(const QString& line)
    {
        post(line);
        return drain();
    }

    bool drain()
    {
        m_process.waitForBytesWritten(kSimAnswerTimeoutMs);
        bool allOk = true;
        while (m_pending > 0) {
            const QString answer = readLine(kSimAnswerTimeoutMs);
            if (answer.isNull())
                return false;
            if (answer != QLatin1String("OK")) {
                qWarning("tarn-sim answered: %s", qPrintable(answer));
                allOk = false;
            }
            --m_pending;
        }
        return allOk;
    }

    /// "<command> <data hex>" of every frame received, the time stamps dropped.
    QStringList journal() const
    {
        QFile file(m_journalPath);
        QStringList lines;
        if (!file.open(QIODevice::ReadOnly))
            return lines;
        for (const QByteArray& raw : file.readAll().split('\n')) {
            const QString line = QString::fromLatin1(raw);
            const qsizetype blank = line.indexOf(QLatin1Char(' '));
            if (blank > 0)
                lines << line.mid(blank + 1);
        }
        return lines;
    }

    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(kSimStartTimeoutMs);
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(kSimStartTimeoutMs))
            kill();
    }

    QString slavePath;

private:
    QString readLine(int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (!m_process.canReadLine()) {
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0 || !m_process.waitForReadyRead(static_cast<int>(left)))
                return QString();
        }
        return QString::fromLatin1(m_process.readLine()).trimmed();
    }

    QProcess m_process;
    QString m_journalPath;
    int m_pending = 0;
    bool m_ready = false;
};

/// The link as the main window wires it up, its port 1 mapped to `device`.
class Link
{
public:
    Link(const QTemporaryDir& dir, const QString& device)
    {
        const QString iniPath = dir.filePath(QStringLiteral("Tarn.INI"));
        QFile ini(iniPath);
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[PORTS]\r\nCOM1=" + device.toLocal8Bit() + "\r\n");
        tarn.comm = &port;
        tarn.CommTimer = &timer;
        tarn.IniPath = iniPath;
        tarn.CommPort = 1;
        tarn.CommSettings = QStringLiteral("9600,n,8,1");
        tarn.MessageEndAscChar = 255;
        tarn.Address = 143;
        tarn.PCAddress = 0;
        tarn.replyTimeout = kShortReplyTimeout;
    }

    bool start()
    {
        QString errText;
        const bool ok = tarn.Start(errText);
        if (!ok)
            qWarning("Start failed: %s", qPrintable(errText));
        return ok;
    }

    QStringList errorTexts() const
    {
        QStringList texts;
        for (const QList<QVariant>& call : errors)
            texts << call.at(0).toString();
        return texts;
    }

    QList<int> received() const
    {
        QList<int> codes;
        for (const QList<QVariant>& call : frames)
            codes << call.at(0).toInt();
        return codes;
    }

    SerialPort port;
    QTimer timer;
    Tarn_Comm tarn;
    QSignalSpy errors{&tarn, &Tarn_Comm::ErrorMessage};
    QSignalSpy frames{&tarn, &Tarn_Comm::DataRecieved};
};

} // namespace

class TestTarnComm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void settingsText_data();
    void settingsText();
    void portDeviceName_data();
    void portDeviceName();

    void startFailure_data();
    void startFailure();
    void startOnDeviceWithoutPermission();
    void startOnDeviceInUse();
    void sendBeforeStart();

    void requestAndReply_data();
    void requestAndReply();
    void acknowledgement_data();
    void acknowledgement();
    void crcErrorThenTimeout();
    void unsolicitedBytes_data();
    void unsolicitedBytes();
    void endlessGarbageIsDroppedOnce();
    void twoFramesWhileWaiting_data();
    void twoFramesWhileWaiting();
    void lateReplyEndsNewWait();
    void nestedSendKeepsEachAnswer();
    void repliesAreReadWithoutWaitingForThePoll();

    void stopAndStartAgain();
    void simulatorRestartedUnderRunningLink();
    void portAndTimerDestroyedBeforeTheLink();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Sim> m_sim;
    std::unique_ptr<Link> m_link;

    QString linkPath() const { return m_dir->filePath(QStringLiteral("tty")); }
    QString journalPath() const { return m_dir->filePath(QStringLiteral("journal.txt")); }
    /// Starts the simulator and a started link to it.
    bool connectToSim(const QStringList& simOptions = {});
};

void TestTarnComm::initTestCase()
{
    const QString sim = qEnvironmentVariable("TARN_SIM");
    QVERIFY2(QFile::exists(sim), "TARN_SIM must name the tarn-sim executable");
}

void TestTarnComm::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestTarnComm::cleanup()
{
    m_link.reset();
    m_sim.reset();
    m_dir.reset();
}

bool TestTarnComm::connectToSim(const QStringList& simOptions)
{
    m_sim = std::make_unique<Sim>(linkPath(), journalPath(), simOptions);
    if (!m_sim->ready())
        return false;
    m_link = std::make_unique<Link>(*m_dir, linkPath());
    return m_link->start();
}

void TestTarnComm::settingsText_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<bool>("valid");

    QTest::newRow("the program's settings") << "9600,n,8,1" << true;
    QTest::newRow("upper case, two stop bits") << "19200,E,7,2" << true;
    QTest::newRow("one and a half stop bits") << "115200,o,8,1.5" << true;
    QTest::newRow("mark parity, five bits") << "1200,m,5,1" << true;
    QTest::newRow("space parity, blanks") << " 4800 , s , 6 , 1 " << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("baud rate only") << "9600" << false;
    QTest::newRow("no baud rate") << ",n,8,1" << false;
    QTest::newRow("baud rate zero") << "0,n,8,1" << false;
    QTest::newRow("negative baud rate") << "-9600,n,8,1" << false;
    QTest::newRow("baud rate not a number") << "fast,n,8,1" << false;
    QTest::newRow("unknown parity") << "9600,x,8,1" << false;
    QTest::newRow("four data bits") << "9600,n,4,1" << false;
    QTest::newRow("nine data bits") << "9600,n,9,1" << false;
    QTest::newRow("three stop bits") << "9600,n,8,3" << false;
    QTest::newRow("one field too many") << "9600,n,8,1,1" << false;
}

void TestTarnComm::settingsText()
{
    QFETCH(QString, settings);
    QFETCH(bool, valid);

    SerialPort port;
    QCOMPARE(port.setSettings(settings), valid);
    if (valid) {
        QCOMPARE(port.settings(), settings);
        QCOMPARE(port.errorNumber(), 0);
    } else {
        QCOMPARE(port.errorNumber(), int(QSerialPort::UnsupportedOperationError));
        QVERIFY2(port.errorDescription().contains(QLatin1Char('"') + settings + QLatin1Char('"')),
                 qPrintable(port.errorDescription()));
        QVERIFY(
            port.errorText().startsWith(QString::number(QSerialPort::UnsupportedOperationError) +
                                        QStringLiteral(" - Invalid port settings")));
    }
}

void TestTarnComm::portDeviceName_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");

    const QByteArray none;
    QTest::newRow("first USB adapter") << none << 1 << "/dev/ttyUSB0";
    QTest::newRow("last USB adapter") << none << 8 << "/dev/ttyUSB7";
    QTest::newRow("first ACM modem") << none << 9 << "/dev/ttyACM0";
    QTest::newRow("last ACM modem") << none << 12 << "/dev/ttyACM3";
    QTest::newRow("first built-in port") << none << 13 << "/dev/ttyS0";
    QTest::newRow("last built-in port") << none << 15 << "/dev/ttyS2";
    QTest::newRow("port 0") << none << 0 << "";
    QTest::newRow("port 16") << none << 16 << "";
    QTest::newRow("negative port") << none << -1 << "";

    const QByteArray ports("[Comm]\r\nPort=3\r\n[PORTS]\r\nCOM3=/dev/ttyAMA0\r\n"
                           "com4 = /tmp/my tty  \r\nCOM5=\r\n");
    QTest::newRow("mapped in [PORTS]") << ports << 3 << "/dev/ttyAMA0";
    QTest::newRow("key in lower case, blanks") << ports << 4 << "/tmp/my tty";
    QTest::newRow("empty value keeps the default") << ports << 5 << "/dev/ttyUSB4";
    QTest::newRow("missing key keeps the default") << ports << 13 << "/dev/ttyS0";
    QTest::newRow("out of range despite [PORTS]")
        << QByteArray("[PORTS]\r\nCOM16=/dev/x\r\n") << 16 << "";
}

void TestTarnComm::portDeviceName()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, port);
    QFETCH(QString, device);

    const QString iniPath = m_dir->filePath(QStringLiteral("Tarn.INI"));
    if (!ini.isNull()) {
        QFile file(iniPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini);
    }
    QCOMPARE(QString::fromStdString(PortDeviceName(port, iniPath.toStdString())), device);

    // Looking a port up never creates or changes the file.
    QFile file(iniPath);
    if (ini.isNull()) {
        QVERIFY(!file.exists());
    } else {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), ini);
    }
}

void TestTarnComm::startFailure_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("errText");

    QTest::newRow("device does not exist") << 1 << "9600,n,8,1"
                                           << "1 - Device /nonexistent/tty does not exist";
    QTest::newRow("port number outside 1..15")
        << 0 << "9600,n,8,1"
        << "1 - Port number 0 does not exist (ports are numbered 1 to 15)";
    QTest::newRow("settings cannot be parsed")
        << 1 << "9600;n;8;1"
        << QString::number(QSerialPort::UnsupportedOperationError) +
               " - Invalid port settings \"9600;n;8;1\": expected baud rate, parity (n, e, o, m "
               "or s), data bits (5 to 8) and stop bits (1, 1.5 or 2), for example 9600,n,8,1";
}

void TestTarnComm::startFailure()
{
    QFETCH(int, port);
    QFETCH(QString, settings);
    QFETCH(QString, errText);

    Link link(*m_dir, QStringLiteral("/nonexistent/tty"));
    link.tarn.CommPort = static_cast<int16_t>(port);
    link.tarn.CommSettings = settings;
    QString text;
    QVERIFY(!link.tarn.Start(text));
    QCOMPARE(text, errText);
    QVERIFY(!link.tarn.isStarted());
    QVERIFY(!link.port.isOpen());
    QVERIFY(!link.timer.isActive());

    // A link that did not start refuses to send, silently.
    QVERIFY(!link.tarn.Send(64));
    QCOMPARE(link.errors.count(), 0);
}

void TestTarnComm::startOnDeviceWithoutPermission()
{
    if (::geteuid() == 0)
        QSKIP("root may open any device");
    const QString device = m_dir->filePath(QStringLiteral("locked"));
    QFile file(device);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(file.setPermissions(QFileDevice::Permissions()));

    Link link(*m_dir, device);
    QString text;
    QVERIFY(!link.tarn.Start(text));
    QVERIFY2(text.startsWith(QStringLiteral("2 - Permission denied for device ") + device),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("dialout")) && text.contains(QStringLiteral("log in")),
             qPrintable(text));
}

void TestTarnComm::startOnDeviceInUse()
{
    QVERIFY(connectToSim());
    Link second(*m_dir, linkPath());
    QString text;
    QVERIFY(!second.tarn.Start(text));
    QVERIFY2(text.startsWith(QString::number(QSerialPort::PermissionError) +
                             QStringLiteral(" - Device ") + linkPath() +
                             QStringLiteral(" is in use by another program")),
             qPrintable(text));
    // The first link keeps its port.
    QVERIFY(m_link->tarn.Send(64));
}

void TestTarnComm::sendBeforeStart()
{
    m_sim = std::make_unique<Sim>(linkPath(), journalPath());
    QVERIFY(m_sim->ready());
    Link link(*m_dir, linkPath());

    QVERIFY(!link.tarn.Send(64));
    QVERIFY(!link.tarn.Send(100, "0000"));
    QCOMPARE(link.errors.count(), 0);
    QVERIFY(!link.port.isOpen());
    // Nothing reached the line: a frame written now is the first one journaled.
    QVERIFY(link.start());
    QVERIFY(link.tarn.Send(105));
    QTRY_COMPARE(m_sim->journal(), QStringList{QStringLiteral("105 ")});
}

void TestTarnComm::requestAndReply_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("journaled");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("version, no data")
        << "version V3.10" << 64 << QByteArray() << "64 " << QByteArray("V3.10");
    QTest::newRow("zone profile, raw byte 2")
        << "profile 2 42" << 54 << QByteArray(1, '\2') << "54 02" << QByteArray("2A");
    QTest::newRow("outputs, hex digits")
        << "" << 100 << QByteArray("0100") << "100 30313030" << QByteArray("ACK");
    QTest::newRow("test mode, no data") << "" << 105 << QByteArray() << "105 " << QByteArray("ACK");
    QTest::newRow("delete the log, raw byte 0")
        << "" << 66 << QByteArray(1, '\0') << "66 00" << QByteArray("ACK");
    QTest::newRow("profile definition, raw bytes")
        << "" << 102 << QByteArray("\x01\x00\x80", 3) << "102 010080" << QByteArray("ACK");
}

void TestTarnComm::requestAndReply()
{
    QFETCH(QString, setup);
    QFETCH(int, code);
    QFETCH(QByteArray, data);
    QFETCH(QString, journaled);
    QFETCH(QByteArray, reply);

    QVERIFY(connectToSim());
    if (!setup.isEmpty())
        QVERIFY(m_sim->command(setup));

    QVERIFY(m_link->tarn.Send(code, data.toStdString()));
    QCOMPARE(int(m_link->tarn.Command), code);
    if (code == 54) // zone profile: hex digits of the identifier, however wide
        QCOMPARE(QByteArray::fromStdString(m_link->tarn.TarnData).toInt(nullptr, 16),
                 reply.toInt(nullptr, 16));
    else
        QCOMPARE(QByteArray::fromStdString(m_link->tarn.TarnData), reply);
    QCOMPARE(m_link->tarn.lastError(), QString());
    QCOMPARE(m_link->errors.count(), 0);
    QCOMPARE(m_link->received(), QList<int>{code});
    QTRY_COMPARE(m_sim->journal(), QStringList{journaled});
}

void TestTarnComm::acknowledgement_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("replyText");
    QTest::addColumn<QString>("error");

    // (Not "ACKNOWLEDGED": that reply to 100 has the checksum 255, which ends its frame early.)
    QTest::newRow("ACK and more") << 100 << QByteArray("0000") << "ACKNOWLEDGE"
                                  << "";
    QTest::newRow("AC alone") << 100 << QByteArray("0000") << "AC"
                              << "Communication error. AC recieved. Command H64";
    QTest::newRow("refusal of 98") << 98 << QByteArray("1E0A053C01020301020400") << "NO"
                                   << "Communication error. NO recieved. Command H62";
    QTest::newRow("NAK of test mode") << 105 << QByteArray() << "NAK"
                                      << "Communication error. NAK recieved. Command H69";
    QTest::newRow("lower-case ack") << 65 << QByteArray("202612061530001") << "ack"
                                    << "Communication error. ack recieved. Command H41";
}

void TestTarnComm::acknowledgement()
{
    QFETCH(int, code);
    QFETCH(QByteArray, data);
    QFETCH(QString, replyText);
    QFETCH(QString, error);

    QVERIFY(connectToSim());
    QVERIFY(m_sim->command(QStringLiteral("ack %1 %2").arg(code).arg(replyText)));

    const bool ok = m_link->tarn.Send(code, data.toStdString());
    QCOMPARE(m_link->tarn.lastError(), error);
    QCOMPARE(ok, error.isEmpty());
    QCOMPARE(QString::fromStdString(m_link->tarn.TarnData), replyText);
    QCOMPARE(m_link->errorTexts(), error.isEmpty() ? QStringList() : QStringList{error});

    // A refusal is no lasting state: the next request goes through.
    QVERIFY(m_sim->command(QStringLiteral("ack %1").arg(code)));
    QVERIFY(m_link->tarn.Send(code, data.toStdString()));
    QCOMPARE(m_link->tarn.lastError(), QString());
}

void TestTarnComm::crcErrorThenTimeout()
{
    QVERIFY(connectToSim({QStringLiteral("--corrupt-every"), QStringLiteral("1")}));

    QElapsedTimer clock;
    clock.start();
    QVERIFY(!m_link->tarn.Send(64));
    QVERIFY(clock.elapsed() >= kShortReplyTimeout.count());

    const QStringList texts = m_link->errorTexts();
    QCOMPARE(texts.size(), 2);
    QVERIFY2(texts.at(0).startsWith(QStringLiteral("CRC Error. (")) &&
                 texts.at(0).endsWith(QLatin1Char(')')),
             qPrintable(texts.at(0)));
    bool isNumber = false;
    const int value = texts.at(0).mid(12, texts.at(0).size() - 13).toInt(&isNumber);
    QVERIFY(isNumber && value > 0 && value < 256);
    QCOMPARE(texts.at(1), kTimeoutText);
    QCOMPARE(m_link->tarn.lastError(), kTimeoutText);
    QVERIFY(m_link->received().isEmpty());
    QVERIFY(m_link->tarn.TarnData.empty());
}

void TestTarnComm::unsolicitedBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<QList<int>>("frames");

    const QString tooShort = QStringLiteral(
        "Unexpected communication error. Data=%1 Error=5 - Invalid procedure call or argument");
    const QString endByte(QChar(0xFF));

    QTest::newRow("lone end byte")
        << QByteArray("\xFF") << QStringList{tooShort.arg(endByte)} << QList<int>{};
    // 00 8F 40 30 XOR to 255: the checksum byte itself ends the frame early.
    QTest::newRow("reply whose checksum is 255")
        << QByteArray("\x00\x8F\x40\x30\xFF\xFF", 6)
        << QStringList{QStringLiteral("CRC Error. (255)"), tooShort.arg(endByte)} << QList<int>{};
    QTest::newRow("four bytes with a sound checksum")
        << QByteArray("\x01\x02\x03\xFF", 4)
        << QStringList{tooShort.arg(QStringLiteral("\x01\x02\x03") + endByte)} << QList<int>{};
    QTest::newRow("two frames in one piece")
        << QByteArray::fromStdString(ReplyFrame(64, "A") + ReplyFrame(55, "0102")) << QStringList{}
        << QList<int>{64, 55};
    QTest::newRow("bad frame between good ones")
        << QByteArray::fromStdString(ReplyFrame(50, "x") + std::string("\x00\x8F\x32\x01\xFF", 5) +
                                     ReplyFrame(52, "000000"))
        << QStringList{QStringLiteral("CRC Error. (188)")} << QList<int>{50, 52};
    QTest::newRow("five bytes: empty data")
        << QByteArray::fromStdString(ReplyFrame(48, "")) << QStringList{} << QList<int>{48};
}

void TestTarnComm::unsolicitedBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, errors);
    QFETCH(QList<int>, frames);

    QVERIFY(connectToSim());
    QVERIFY(m_sim->command(QStringLiteral("raw ") + QString::fromLatin1(bytes.toHex())));
    // Then a frame that is surely decoded, so everything before it has been handled.
    QVERIFY(m_sim->command(QStringLiteral("frame 53 454E44")));
    QTRY_COMPARE(m_link->received().value(frames.size(), -1), 53);
    QCOMPARE(m_link->received().mid(0, frames.size()), frames);
    QCOMPARE(m_link->errorTexts(), errors);
    QCOMPARE(QString::fromStdString(m_link->tarn.TarnData), QStringLiteral("END"));
}

void TestTarnComm::endlessGarbageIsDroppedOnce()
{
    QVERIFY(connectToSim());
    const QByteArray garbage(int(FrameCutter::kMaxBufferedBytes) * 2 + 10, 'A');
    // The end byte closes the dropped run; the frame after it is decoded.
    QVERIFY(m_sim->command(QStringLiteral("raw ") + QString::fromLatin1(garbage.toHex()) +
                           QStringLiteral("FF")));
    QVERIFY(m_sim->command(QStringLiteral("frame 64 5632") /* V2 */));
    QTRY_COMPARE(m_link->received(), QList<int>{64});
    QCOMPARE(m_link->errorTexts(), QStringList{QString::fromStdString(
                                       FrameCutter::overflowText(FrameCutter::kMaxBufferedBytes))});
    QVERIFY(m_link->tarn.Send(64));
}

void TestTarnComm::twoFramesWhileWaiting_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<int>>("frames");

    QTest::newRow("stray frame first")
        << QByteArray::fromStdString(ReplyFrame(64, "V9.99") + ReplyFrame(55, "DELAYS"))
        << QList<int>{64, 55};
    QTest::newRow("stray frame after the reply")
        << QByteArray::fromStdString(ReplyFrame(55, "DELAYS") + ReplyFrame(64, "V9.99"))
        << QList<int>{55, 64};
}

void TestTarnComm::twoFramesWhileWaiting()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<int>, frames);

    QVERIFY(connectToSim());
    QVERIFY(m_sim->command(QStringLiteral("mute 1")));
    QTimer::singleShot(100, [&] { m_sim->post(QStringLiteral("raw ") + bytes.toHex()); });

    QVERIFY(m_link->tarn.Send(55));
    QCOMPARE(m_link->received(), frames);
    // The answer is the reply to 55, whatever came with it.
    QCOMPARE(int(m_link->tarn.Command), 55);
    QCOMPARE(QString::fromStdString(m_link->tarn.TarnData), QStringLiteral("DELAYS"));
    QCOMPARE(m_link->errors.count(), 0);
    QVERIFY(m_sim->drain());
}

void TestTarnComm::lateReplyEndsNewWait()
{
    QVERIFY(connectToSim());
    const auto delay = kShortReplyTimeout + 300ms;
    QVERIFY(m_sim->command(QStringLiteral("delay %1").arg(delay.count())));

    QVERIFY(!m_link->tarn.Send(64));
    QCOMPARE(m_link->errorTexts(), QStringList{kTimeoutText});

    // The reply to the first request comes in while the second one waits, and ends it.
    QElapsedTimer clock;
    clock.start();
    QVERIFY(m_link->tarn.Send(64));
    QVERIFY2(clock.elapsed() < kShortReplyTimeout.count(), QByteArray::number(clock.elapsed()));
    QCOMPARE(m_link->tarn.TarnData, std::string("V2.07"));
    QCOMPARE(m_link->tarn.lastError(), QString());
    QCOMPARE(m_link->errors.count(), 1);
    QTRY_COMPARE(m_sim->journal(), (QStringList{QStringLiteral("64 "), QStringLiteral("64 ")}));
}

void TestTarnComm::nestedSendKeepsEachAnswer()
{
    QVERIFY(connectToSim());
    QVERIFY(m_sim->command(QStringLiteral("profile 1 77")));
    QVERIFY(m_link->tarn.Send(54, std::string(1, '\1')));
    const std::string profileReply = m_link->tarn.TarnData;
    QVERIFY(!profileReply.empty());

    // A click during the wait starts another request, as the user interface allows.
    QVERIFY(m_sim->command(QStringLiteral("delay 150")));
    bool innerOk = false;
    std::string innerData;
    QTimer::singleShot(40, [&] {
        innerOk = m_link->tarn.Send(64);
        innerData = m_link->tarn.TarnData;
    });
    QVERIFY(m_link->tarn.Send(54, std::string(1, '\1')));
    QVERIFY(innerOk);
    QCOMPARE(innerData, std::string("V2.07"));
    QCOMPARE(int(m_link->tarn.Command), 54);
    QCOMPARE(m_link->tarn.TarnData, profileReply);
    QCOMPARE(m_link->errors.count(), 0);
    QTRY_COMPARE(m_sim->journal(), (QStringList{QStringLiteral("54 01"), QStringLiteral("54 01"),
                                                QStringLiteral("64 ")}));
}

void TestTarnComm::repliesAreReadWithoutWaitingForThePoll()
{
    QVERIFY(connectToSim());
    // Left to the poll, a reply waits half a poll interval on average; the median of a
    // few round trips tells the two apart even on a busy machine.
    auto median = [&](int code) {
        std::vector<qint64> times;
        for (int i = 0; i < 9; ++i) {
            QElapsedTimer clock;
            clock.start();
            if (!m_link->tarn.Send(code))
                return qint64(-1);
            times.push_back(clock.elapsed());
        }
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    const qint64 pause = Tarn_Comm::kPostReplyPause.count();
    const qint64 margin = Tarn_Comm::kPollIntervalMs / 4;
    const qint64 dataReply = median(64);
    QVERIFY2(dataReply >= pause && dataReply < pause + margin, QByteArray::number(dataReply));
    const qint64 ack = median(105);
    QVERIFY2(ack >= 0 && ack < margin, QByteArray::number(ack));
}

void TestTarnComm::stopAndStartAgain()
{
    QVERIFY(connectToSim());
    Tarn_Comm& tarn = m_link->tarn;
    QVERIFY(tarn.Send(64));

    tarn.StopCom();
    QVERIFY(!m_link->port.isOpen());
    QVERIFY(!m_link->timer.isActive());
    QVERIFY(tarn.isStarted());
    QTest::qWait(2 * Tarn_Comm::kPollIntervalMs);
    QVERIFY(!m_link->timer.isActive());

    QVERIFY(m_link->start());
    QVERIFY(m_link->port.isOpen());
    QVERIFY(m_link->timer.isActive());
    QCOMPARE(m_link->timer.interval(), Tarn_Comm::kPollIntervalMs);
    QVERIFY(tarn.Send(105));
    // Start on a link that is already open reopens it and goes on working.
    QVERIFY(m_link->start());
    QVERIFY(tarn.Send(64));
    QCOMPARE(m_link->errors.count(), 0);
    QTRY_COMPARE(m_sim->journal(), (QStringList{QStringLiteral("64 "), QStringLiteral("105 "),
                                                QStringLiteral("64 ")}));
}

void TestTarnComm::simulatorRestartedUnderRunningLink()
{
    QVERIFY(connectToSim());
    Tarn_Comm& tarn = m_link->tarn;
    QVERIFY(tarn.Send(64));

    m_sim->kill();
    QVERIFY(!tarn.Send(64));
    QCOMPARE(tarn.lastError(), kTimeoutText);
    QVERIFY(!tarn.Send(100, "0000"));
    QCOMPARE(m_link->errorTexts(), (QStringList{kTimeoutText, kTimeoutText}));

    const QString secondJournal = m_dir->filePath(QStringLiteral("journal2.txt"));
    m_sim =
        std::make_unique<Sim>(linkPath(), secondJournal,
                              QStringList{QStringLiteral("--version"), QStringLiteral("V2.10")});
    QVERIFY(m_sim->ready());
    tarn.StopCom();
    QVERIFY(m_link->start());
    QVERIFY(tarn.Send(64));
    QCOMPARE(tarn.TarnData, std::string("V2.10"));
    QCOMPARE(m_link->errors.count(), 2);
    QTRY_COMPARE(m_sim->journal(), QStringList{QStringLiteral("64 ")});
}

void TestTarnComm::portAndTimerDestroyedBeforeTheLink()
{
    m_sim = std::make_unique<Sim>(linkPath(), journalPath());
    QVERIFY(m_sim->ready());
    const QString iniPath = m_dir->filePath(QStringLiteral("Tarn.INI"));
    QFile ini(iniPath);
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[PORTS]\r\nCOM1=" + linkPath().toLocal8Bit() + "\r\n");
    ini.close();

    // An owner whose children die in creation order: port and timer first, then the link.
    auto port = std::make_unique<SerialPort>();
    auto timer = std::make_unique<QTimer>();
    auto tarn = std::make_unique<Tarn_Comm>();
    tarn->comm = port.get();
    tarn->CommTimer = timer.get();
    tarn->IniPath = iniPath;
    tarn->CommPort = 1;
    tarn->CommSettings = QStringLiteral("9600,n,8,1");
    QString errText;
    QVERIFY2(tarn->Start(errText), qPrintable(errText));
    QVERIFY(tarn->Send(64));
    port.reset();
    timer.reset();
    tarn.reset();
    QTRY_COMPARE(m_sim->journal(), QStringList{QStringLiteral("64 ")});
}

QTEST_GUILESS_MAIN(TestTarnComm)
#include "tst_tarncomm.moc"
