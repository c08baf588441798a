#include "link/FrameCodec.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <random>
#include <string>

using namespace std::string_literals;

namespace {
constexpr int kStartTimeoutMs = 5000;
constexpr int kReplyTimeoutMs = 2000;
/// Long enough to be sure that no reply is coming.
constexpr int kSilenceMs = 300;

/// Bytes that a cooked terminal would translate, swallow or act upon.
const std::string kControlBytes = "\x0D\x0A\x03\x11\x13\x1A\x7F\x04\x1C\x00"s;

QByteArray Bytes(const std::string& text)
{
    return QByteArray::fromStdString(text);
}

std::string RequestFrame(int command, const std::string& data)
{
    return BuildRequestFrame(kControllerAddress, kPcAddress, command, data);
}

/// The reply frame as the simulator builds it.
std::string ReplyFrame(int command, const std::string& data)
{
    return BuildRequestFrame(kPcAddress, kControllerAddress, command, data);
}

/// A pseudo-terminal slave opened the plain POSIX way, in raw mode.
class RawPort
{
public:
    explicit RawPort(const QString& path, bool makeRaw = true)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios settings{};
        if (m_fd >= 0 && makeRaw && tcgetattr(m_fd, &settings) == 0) {
            cfmakeraw(&settings);
            tcsetattr(m_fd, TCSANOW, &settings);
        }
    }
    ~RawPort()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    bool write(const std::string& bytes)
    {
        return ::write(m_fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    }

    /// Everything that arrives within `ms`, up to and including the first end byte.
    std::string readFrame(int ms = kReplyTimeoutMs)
    {
        std::string bytes;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            pollfd in{m_fd, POLLIN, 0};
            if (poll(&in, 1, int(ms - clock.elapsed())) <= 0)
                break;
            char byte = 0;
            while (::read(m_fd, &byte, 1) == 1) {
                bytes.push_back(byte);
                if (uint8_t(byte) == kFrameEndByte)
                    return bytes;
            }
        }
        return bytes;
    }

    std::string exchange(int command, const std::string& data)
    {
        if (!write(RequestFrame(command, data)))
            return {};
        return readFrame();
    }

private:
    int m_fd = -1;
};

bool IsSymLink(const QString& path)
{
    struct stat info
    {
    };
    return lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}
} // namespace

class tst_SimEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void answersVersionAndJournalsTheRequest();
    void controlBytesPassUnchangedBothWays();
    void serialPortKeepsTheLineRawAndThePortReopens();
    void badFramesAreJournaledAndNotAnswered();
    void survivesRandomBytes();
    void controlLinesAreAnswered_data();
    void controlLinesAreAnswered();
    void controlLinesChangeTheController();
    void refusesDropsCorruptsAndAddsNoise();
    void takesTheWireTimeAndTheReplyDelay();
    void quitAndSignalsEndItAndRemoveTheLink();

private:
    /// Starts the simulator; the slave's path, empty on failure.
    QString start(const QStringList& args);
    QString control(const QByteArray& line);
    QStringList journal() const;
    QString journalPath() const { return m_dir->filePath("journal.txt"); }
    QString linkPath() const { return m_dir->filePath("ttyTarn"); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_sim;
};

void tst_SimEndToEnd::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_sim = std::make_unique<QProcess>();
}

void tst_SimEndToEnd::cleanup()
{
    if (m_sim->state() != QProcess::NotRunning) {
        m_sim->terminate();
        if (!m_sim->waitForFinished(kStartTimeoutMs))
            m_sim->kill();
    }
    m_sim.reset();
    m_dir.reset();
}

QString tst_SimEndToEnd::start(const QStringList& args)
{
    const QString program = qEnvironmentVariable("TARN_SIM");
    if (program.isEmpty())
        return {};
    m_sim->setProgram(program);
    m_sim->setArguments(QStringList{"--journal", journalPath()} + args);
    m_sim->start();
    if (!m_sim->waitForStarted(kStartTimeoutMs))
        return {};
    QStringList lines;
    QElapsedTimer clock;
    clock.start();
    while (lines.size() < 2 && clock.elapsed() < kStartTimeoutMs) {
        if (!m_sim->canReadLine() && !m_sim->waitForReadyRead(kStartTimeoutMs))
            break;
        while (m_sim->canReadLine())
            lines << QString::fromLocal8Bit(m_sim->readLine()).trimmed();
    }
    if (lines.size() < 2 || lines[1] != "READY")
        return {};
    return lines[0];
}

QString tst_SimEndToEnd::control(const QByteArray& line)
{
    m_sim->write(line + "\n");
    m_sim->waitForBytesWritten(kReplyTimeoutMs);
    QElapsedTimer clock;
    clock.start();
    while (!m_sim->canReadLine() && clock.elapsed() < kReplyTimeoutMs)
        m_sim->waitForReadyRead(kReplyTimeoutMs);
    return QString::fromLatin1(m_sim->readLine()).trimmed();
}

QStringList tst_SimEndToEnd::journal() const
{
    QFile file(journalPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

void tst_SimEndToEnd::answersVersionAndJournalsTheRequest()
{
    const QString slave = start({});
    QVERIFY(!slave.isEmpty());
    RawPort port(slave);
    QVERIFY(port.isOpen());

    QVERIFY(port.write("\x8F\x00\x40\xCF\xFF"s));
    const CheckedFrame reply = CheckFrame(port.readFrame());
    QCOMPARE(int(reply.status), int(CheckedFrame::Status::Ok));
    QCOMPARE(reply.command, 64);
    QCOMPARE(Bytes(reply.data), QByteArray("V2.07"));

    const QStringList lines = journal();
    QCOMPARE(lines.size(), 1);
    QVERIFY2(QRegularExpression(R"(^\d+\.\d{3} 64 $)").match(lines[0]).hasMatch(),
             qPrintable(lines[0]));
}

void tst_SimEndToEnd::controlBytesPassUnchangedBothWays()
{
    // Opened without touching its settings: the simulator alone must have made the line raw.
    const QString slave = start({});
    RawPort port(slave, false);
    QVERIFY(port.isOpen());

    const std::string profile = "\x01\x00"s + kControlBytes;
    QCOMPARE(Bytes(port.exchange(102, profile)), Bytes(ReplyFrame(102, "ACK")));
    QVERIFY(journal().value(0).endsWith(" 102 01000D0A0311131A7F041C00"));

    // An unsolicited frame carrying the same bytes arrives as it was built.
    QCOMPARE(control("frame 64 0D0A0311131A7F041C00"), QString("OK"));
    QCOMPARE(Bytes(port.readFrame()), Bytes(ReplyFrame(64, kControlBytes)));
    QCOMPARE(control("raw 0D0A03FF"), QString("OK"));
    QCOMPARE(Bytes(port.readFrame()), QByteArray("\x0D\x0A\x03\xFF", 4));
    QCOMPARE(journal().size(), 1);
}

void tst_SimEndToEnd::serialPortKeepsTheLineRawAndThePortReopens()
{
    QVERIFY(!start({"--link", linkPath()}).isEmpty());
    QVERIFY(IsSymLink(linkPath()));

    {
        QSerialPort serial;
        serial.setPortName(linkPath());
        QVERIFY2(serial.open(QIODevice::ReadWrite), qPrintable(serial.errorString()));
        QVERIFY(serial.setBaudRate(QSerialPort::Baud9600));
        serial.setDataTerminalReady(true);
        serial.setRequestToSend(true);
        serial.write(Bytes(RequestFrame(102, "\x00\x00"s + kControlBytes)));
        QByteArray received;
        QElapsedTimer clock;
        clock.start();
        while (!received.endsWith('\xFF') && clock.elapsed() < kReplyTimeoutMs)
            if (serial.waitForReadyRead(kReplyTimeoutMs))
                received += serial.readAll();
        QCOMPARE(received, Bytes(ReplyFrame(102, "ACK")));
        serial.close();
    }
    QVERIFY(journal().value(0).endsWith(" 102 00000D0A0311131A7F041C00"));

    // What is sent while nobody holds the port is lost, as on a real line.
    QCOMPARE(control("frame 64 5632"), QString("OK"));

    // Reopened as it is, without setting anything: still raw, still served.
    RawPort port(linkPath(), false);
    QVERIFY(port.isOpen());
    QCOMPARE(Bytes(port.readFrame(kSilenceMs)), QByteArray());
    QCOMPARE(Bytes(port.exchange(102, "\x02\x00"s + kControlBytes)), Bytes(ReplyFrame(102, "ACK")));
    QVERIFY(journal().value(1).endsWith(" 102 02000D0A0311131A7F041C00"));
}

void tst_SimEndToEnd::badFramesAreJournaledAndNotAnswered()
{
    const QString slave = start({});
    RawPort port(slave);
    QVERIFY(port.isOpen());

    QVERIFY(port.write("\x8F\x00\x40\xCE\xFF"s));
    QCOMPARE(Bytes(port.readFrame(kSilenceMs)), QByteArray());
    QVERIFY(port.write("\xFF"s));
    QCOMPARE(Bytes(port.readFrame(kSilenceMs)), QByteArray());
    QVERIFY(port.write("\x8F\x00\xFF"s));
    QCOMPARE(Bytes(port.readFrame(kSilenceMs)), QByteArray());

    // A long run without an end byte is thrown away, then the line works again.
    QVERIFY(port.write(std::string(5000, '\x41')));
    QVERIFY(port.write("\xFF"s));
    QCOMPARE(Bytes(port.exchange(64, "")), Bytes(ReplyFrame(64, "V2.07")));

    const QStringList lines = journal();
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines[0].endsWith(" BAD 8F0040CEFF"), qPrintable(lines[0]));
    QVERIFY2(lines[1].endsWith(" BAD FF"), qPrintable(lines[1]));
    QVERIFY2(lines[2].endsWith(" BAD 8F00FF"), qPrintable(lines[2]));
    QVERIFY2(lines[3].endsWith(" 64 "), qPrintable(lines[3]));
}

void tst_SimEndToEnd::survivesRandomBytes()
{
    const QString slave = start({});
    RawPort port(slave);
    QVERIFY(port.isOpen());

    // Mostly short frames of any bytes, so that many get through the checksum by chance.
    std::mt19937 random(20261206);
    for (int burst = 0; burst < 40; ++burst) {
        std::string bytes;
        for (int i = 0; i < 2000; ++i)
            bytes.push_back(random() % 8 == 0 ? '\xFF' : char(random() % 256));
        QVERIFY(port.write(bytes));
        while (!port.readFrame(5).empty()) {
        }
    }
    QVERIFY(port.write("\xFF"s));
    while (!port.readFrame(kSilenceMs).empty()) {
    }
    QCOMPARE(m_sim->state(), QProcess::Running);
    QCOMPARE(Bytes(port.exchange(64, "")), Bytes(ReplyFrame(64, "V2.07")));
    QVERIFY(journal().size() > 1000);
}

void tst_SimEndToEnd::controlLinesAreAnswered_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("answer");
    QTest::newRow("inputs") << QByteArray("inputs 0F6014") << "OK";
    QTest::newRow("inputs too short") << QByteArray("inputs 0F601") << "ERR";
    QTest::newRow("delays") << QByteArray("delays 1E0A053C010203010204") << "OK";
    QTest::newRow("admin not hex") << QByteArray("admin " + QByteArray(40, 'X')) << "ERR";
    QTest::newRow("profile") << QByteArray("profile 2 12") << "OK";
    QTest::newRow("profile zone 3") << QByteArray("profile 3 12") << "ERR";
    QTest::newRow("profile without id") << QByteArray("profile 1") << "ERR";
    QTest::newRow("event") << QByteArray("event AC44C79E1114") << "OK";
    QTest::newRow("event too long") << QByteArray("event AC44C79E11140") << "ERR";
    QTest::newRow("ack 256") << QByteArray("ack 256 NAK") << "ERR";
    QTest::newRow("mute minus one") << QByteArray("mute -1") << "ERR";
    QTest::newRow("delay text") << QByteArray("delay soon") << "ERR";
    QTest::newRow("frame odd hex") << QByteArray("frame 64 0") << "ERR";
    QTest::newRow("raw nothing") << QByteArray("raw") << "ERR";
    QTest::newRow("unknown") << QByteArray("launch") << "ERR";
    QTest::newRow("very long") << QByteArray(100000, 'x') << "ERR";
}

void tst_SimEndToEnd::controlLinesAreAnswered()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, answer);
    QVERIFY(!start({}).isEmpty());
    const QString said = control(line);
    QVERIFY2(said == answer || said.startsWith(answer + " "), qPrintable(said));
}

void tst_SimEndToEnd::controlLinesChangeTheController()
{
    const QString slave = start({"--events", "2"});
    RawPort port(slave);
    QVERIFY(port.isOpen());

    QCOMPARE(control("inputs 0F6014"), QString("OK"));
    QCOMPARE(Bytes(port.exchange(52, "")), Bytes(ReplyFrame(52, "0F6014")));
    QCOMPARE(control("version V3.10"), QString("OK"));
    QCOMPARE(Bytes(port.exchange(64, "")), Bytes(ReplyFrame(64, "V3.10")));
    QCOMPARE(control("profile 1 26"), QString("OK"));
    QCOMPARE(Bytes(port.exchange(54, "\x01"s)), Bytes(ReplyFrame(54, "1A")));

    QCOMPARE(control("ack 105 NAK"), QString("OK"));
    QCOMPARE(Bytes(port.exchange(105, "")), Bytes(ReplyFrame(105, "NAK")));
    QCOMPARE(control("ack 105"), QString("OK"));
    QCOMPARE(Bytes(port.exchange(105, "")), Bytes(ReplyFrame(105, "ACK")));

    QCOMPARE(control("mute 1"), QString("OK"));
    QVERIFY(port.write(RequestFrame(64, "")));
    QCOMPARE(Bytes(port.readFrame(kSilenceMs)), QByteArray());
    QCOMPARE(Bytes(port.exchange(64, "")), Bytes(ReplyFrame(64, "V3.10")));

    // Two generated events, then the one added, then the end.
    QCOMPARE(control("event AC44C79E1114"), QString("OK"));
    QCOMPARE(CheckFrame(port.exchange(48, "")).data.size(), std::size_t(12));
    QCOMPARE(CheckFrame(port.exchange(48, "")).data.size(), std::size_t(12));
    QCOMPARE(Bytes(port.exchange(48, "")), Bytes(ReplyFrame(48, "AC44C79E1114")));
    QCOMPARE(Bytes(port.exchange(48, "")), Bytes(ReplyFrame(48, "END")));
    QCOMPARE(control("clear-events"), QString("OK"));
    QCOMPARE(Bytes(port.exchange(66, "\x01"s)), Bytes(ReplyFrame(66, "ACK")));
    QCOMPARE(Bytes(port.exchange(48, "")), Bytes(ReplyFrame(48, "END")));

    // Closing its input does not end the simulator.
    m_sim->closeWriteChannel();
    QTest::qWait(100);
    QCOMPARE(m_sim->state(), QProcess::Running);
    QCOMPARE(Bytes(port.exchange(64, "")), Bytes(ReplyFrame(64, "V3.10")));
}

void tst_SimEndToEnd::refusesDropsCorruptsAndAddsNoise()
{
    {
        const QString slave = start({"--nak", "98", "--nak", "100", "--drop-every", "3"});
        RawPort port(slave);
        QVERIFY(port.isOpen());
        QCOMPARE(Bytes(port.exchange(98, "1E053C5A01020301000F00")), Bytes(ReplyFrame(98, "NAK")));
        QCOMPARE(Bytes(port.exchange(100, "0100")), Bytes(ReplyFrame(100, "NAK")));
        QVERIFY(port.write(RequestFrame(105, "")));
        QCOMPARE(Bytes(port.readFrame(kSilenceMs)), QByteArray());
        QCOMPARE(Bytes(port.exchange(105, "")), Bytes(ReplyFrame(105, "ACK")));
        // The refused block changed nothing.
        QCOMPARE(Bytes(port.exchange(55, "")), Bytes(ReplyFrame(55, "1E0A053C010203010204")));
        cleanup();
        init();
    }
    {
        const QString slave = start({"--corrupt-every", "2"});
        RawPort port(slave);
        for (int request = 1; request <= 6; ++request) {
            const std::string reply = port.exchange(52, "");
            QCOMPARE(reply.size(), std::size_t(11));
            QCOMPARE(int(CheckFrame(reply).status),
                     int(request % 2 == 0 ? CheckedFrame::Status::BadChecksum
                                          : CheckedFrame::Status::Ok));
        }
        cleanup();
        init();
    }
    {
        const QString slave = start({"--noise-every", "1"});
        RawPort port(slave);
        for (int request = 0; request < 5; ++request) {
            const QByteArray received = Bytes(port.exchange(64, ""));
            QVERIFY(received.size() > 10);
            QVERIFY(received.endsWith(Bytes(ReplyFrame(64, "V2.07"))));
        }
    }
}

void tst_SimEndToEnd::takesTheWireTimeAndTheReplyDelay()
{
    {
        // 5 bytes out and 10 back at 1200 baud: 125 ms.
        const QString slave = start({"--line-rate", "1200"});
        RawPort port(slave);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(Bytes(port.exchange(64, "")), Bytes(ReplyFrame(64, "V2.07")));
        QVERIFY2(clock.elapsed() >= 120, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        cleanup();
        init();
    }
    {
        const QString slave = start({"--reply-delay", "150"});
        RawPort port(slave);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(Bytes(port.exchange(64, "")), Bytes(ReplyFrame(64, "V2.07")));
        QVERIFY2(clock.elapsed() >= 150, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(control("delay 0"), QString("OK"));
        clock.restart();
        QCOMPARE(Bytes(port.exchange(64, "")), Bytes(ReplyFrame(64, "V2.07")));
        QVERIFY2(clock.elapsed() < 150, qPrintable(QString::number(clock.elapsed())));
    }
}

void tst_SimEndToEnd::quitAndSignalsEndItAndRemoveTheLink()
{
    QVERIFY(!start({"--link", linkPath()}).isEmpty());
    QVERIFY(IsSymLink(linkPath()));
    m_sim->terminate();
    QVERIFY(m_sim->waitForFinished(kStartTimeoutMs));
    QCOMPARE(m_sim->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_sim->exitCode(), 0);
    QVERIFY(!IsSymLink(linkPath()));

    // A stale link from an earlier run is replaced.
    QVERIFY(QFile::link("/nonexistent", linkPath()));
    const QString slave = start({"--link", linkPath()});
    QCOMPARE(QFile::symLinkTarget(linkPath()), slave);
    QCOMPARE(control("quit"), QString("OK"));
    QVERIFY(m_sim->waitForFinished(kStartTimeoutMs));
    QCOMPARE(m_sim->exitCode(), 0);
    QVERIFY(!IsSymLink(linkPath()));
}

QTEST_GUILESS_MAIN(tst_SimEndToEnd)
#include "tst_SimEndToEnd.moc"
