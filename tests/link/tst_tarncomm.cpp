// The link against the controller simulator on a real pseudo-terminal.

#include "ProgramHome.h"
#include "SimProcess.h"
#include "TestFiles.h"

#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "link/Tarn_Comm.h"
#include "protocol/FrameCodec.h"
#include "protocol/FrameCutter.h"

#include <QCoreApplication>
#include <QFile>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <unistd.h>

#include <map>
#include <memory>

using namespace std::chrono_literals;
using namespace std::string_literals;
using namespace Qt::StringLiterals;

namespace {

/// Long enough for a loaded machine, short enough to keep the suite quick.
constexpr auto kShortReplyTimeout = 600ms;

const QString kTimeoutText = u"Communication timeout error."_s;

/// A reply frame as the controller sends it.
QByteArray ReplyFrame(int command, const std::string& data)
{
    return QByteArray::fromStdString(
        BuildRequestFrame(kPcAddress, kControllerAddress, command, data));
}

template <typename T> QList<T> FirstArguments(const QSignalSpy& spy)
{
    QList<T> values;
    for (const QList<QVariant>& call : spy)
        values << call.at(0).value<T>();
    return values;
}

/// The link as the main window wires it up, with the port numbers of `iniPath`.
struct Link
{
    explicit Link(const QString& iniPath)
    {
        tarn.comm = port.get();
        tarn.CommTimer = timer.get();
        tarn.IniPath = iniPath;
        tarn.CommPort = 1;
        tarn.CommSettings = u"9600,n,8,1"_s;
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

    QStringList errorTexts() const { return FirstArguments<QString>(errors); }
    QList<int> received() const { return FirstArguments<int>(frames); }

    std::unique_ptr<SerialPort> port = std::make_unique<SerialPort>();
    std::unique_ptr<QTimer> timer = std::make_unique<QTimer>();
    Tarn_Comm tarn;
    QSignalSpy errors{&tarn, &Tarn_Comm::ErrorMessage};
    QSignalSpy frames{&tarn, &Tarn_Comm::DataRecieved};
};

} // namespace

class TestTarnComm : public QObject
{
    Q_OBJECT

private:
    /// Starts the simulator behind the symlink and a started link to it.
    bool connectToSim(const QStringList& simOptions = {})
    {
        if (!m_sim->start(QStringList{u"--link"_s, linkPath()} + simOptions))
            return false;
        m_link = std::make_unique<Link>(iniPath());
        return m_link->start();
    }
    QString linkPath() const { return m_home->filePath(u"tty"_s); }
    QString iniPath() const { return m_home->filePath(u"Tarn.INI"_s); }

    std::unique_ptr<ProgramHome> m_home;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<Link> m_link;

private slots:
    void init()
    {
        m_home = std::make_unique<ProgramHome>();
        QVERIFY(m_home->installIni(linkPath()));
        m_sim = std::make_unique<SimProcess>();
    }

    void cleanup()
    {
        m_link.reset();
        m_sim.reset();
        m_home.reset();
    }

    void portDeviceName_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        QTest::newRow("last USB adapter") << QByteArray() << 8 << "/dev/ttyUSB7";
        QTest::newRow("first ACM adapter") << QByteArray() << 9 << "/dev/ttyACM0";
        QTest::newRow("last ACM adapter") << QByteArray() << 12 << "/dev/ttyACM3";
        QTest::newRow("first built-in port") << QByteArray() << 13 << "/dev/ttyS0";
        QTest::newRow("last built-in port") << QByteArray() << 15 << "/dev/ttyS2";
        QTest::newRow("port 16") << QByteArray() << 16 << "";

        // Mapped ports: tst_frmcomsetup and tst_connectionadvice.
        QTest::newRow("empty value keeps the default")
            << QByteArray("[PORTS]\r\ncom4 = /tmp/my tty  \r\nCOM5=\r\n") << 5 << "/dev/ttyUSB4";
    }

    void portDeviceName()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, port);
        QFETCH(QString, device);
        const QString path = m_home->filePath(u"ports.ini"_s);
        QVERIFY(ini.isNull() || WriteAll(path, ini));
        QCOMPARE(QString::fromStdString(PortDeviceName(port, path.toStdString())), device);
        // Looking a port up never creates or changes the file.
        QCOMPARE(QFile::exists(path), !ini.isNull());
        QCOMPARE(ReadAll(path), ini);
    }

    void startFailure_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("errText");

        const QString settings = u"9600,n,8,1"_s;
        QTest::newRow("device without permission") << 1 << settings << "locked"
                                                   << "2 - Permission denied for device %1";
        QTest::newRow("port number outside 1..15")
            << 0 << settings << "/nonexistent/tty"
            << "1 - Port number 0 does not exist (ports are numbered 1 to 15)";
        QTest::newRow("settings cannot be parsed")
            << 1 << "9600;n;8;1"
            << "/nonexistent/tty"
            << u"%1 - Invalid port settings \"9600;n;8;1\": expected baud rate, parity (n, e, o, "
               u"m or s), data bits (5 to 8) and stop bits (1, 1.5 or 2), for example 9600,n,8,1"_s
                   .arg(QSerialPort::UnsupportedOperationError);
    }

    void startFailure()
    {
        QFETCH(int, port);
        QFETCH(QString, settings);
        QFETCH(QString, device);
        QFETCH(QString, errText);
        if (device == u"locked"_s) {
            if (::geteuid() == 0)
                QSKIP("root may open any device");
            device = m_home->filePath(device);
            QFile file(device);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setPermissions(QFileDevice::Permissions()));
            errText = errText.arg(device);
        }
        QVERIFY(m_home->installIni(device));
        Link link(iniPath());
        link.tarn.CommPort = static_cast<int16_t>(port);
        link.tarn.CommSettings = settings;
        QString text;
        QVERIFY(!link.tarn.Start(text));
        QCOMPARE(text, errText);
        QVERIFY(!link.tarn.isStarted());
        QVERIFY(!link.port->isOpen());
        QVERIFY(!link.timer->isActive());
    }

    /// A link that has not started refuses to send, silently, and nothing of it reaches the
    /// line later.
    void sendBeforeStart()
    {
        QVERIFY(m_sim->start({u"--link"_s, linkPath()}));
        Link link(iniPath());
        QVERIFY(!link.tarn.Send(100, "0000"));
        QCOMPARE(link.errors.count(), 0);
        QVERIFY(!link.port->isOpen());
        // Nothing reached the line: a frame written now is the first one journaled.
        QVERIFY(link.start());
        QVERIFY(link.tarn.Send(105));
        QTRY_COMPARE(m_sim->journal(), QStringList{u"105"_s});
    }

    void reply_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("error");
        const auto row = [](const char* name, const char* setup, int code, const QByteArray& data,
                            const char* reply, const QString& error = {}) {
            QTest::newRow(name) << QString::fromLatin1(setup) << code << data
                                << QString::fromLatin1(reply) << error;
        };
        row("zone profile, raw byte 2", "profile 2 42", 54, QByteArray(1, '\2'), "2A");
        // Bytes that a cooked terminal would translate, swallow or act upon pass unchanged.
        row("profile definition, control bytes", "", 102,
            QByteArray("\x01\x00\x80\x0D\x0A\x03\x11\x13\x1A\x7F\x04\x1C", 12), "ACK");
        // (Not "ACKNOWLEDGED": that reply to 100 has the checksum 255, which ends its frame early.)
        row("ACK and more", "ack 100 ACKNOWLEDGE", 100, "0000", "ACKNOWLEDGE");
        row("AC alone", "ack 100 AC", 100, "0000", "AC",
            u"Communication error. AC recieved. Command H64"_s);
    }

    void reply()
    {
        QFETCH(QString, setup);
        QFETCH(int, code);
        QFETCH(QByteArray, data);
        QFETCH(QString, reply);
        QFETCH(QString, error);
        QVERIFY(connectToSim());
        QVERIFY(setup.isEmpty() || m_sim->command(setup));
        QCOMPARE(m_link->tarn.Send(code, data.toStdString()), error.isEmpty());
        QCOMPARE(int(m_link->tarn.Command), code);
        QCOMPARE(Latin1(m_link->tarn.TarnData), reply);
        QCOMPARE(m_link->tarn.lastError(), error);
        QCOMPARE(m_link->errorTexts(), error.isEmpty() ? QStringList() : QStringList{error});
        QCOMPARE(m_link->received(), QList<int>{code});
        // The data goes on the line as it is.
        const QString journaled = (QString::number(code) + u' ' + data.toHex().toUpper()).trimmed();
        QTRY_COMPARE(m_sim->journal(), QStringList{journaled});
        if (!error.isEmpty()) {
            // A refusal is no lasting state: the next request goes through.
            QVERIFY(m_sim->command(u"ack %1"_s.arg(code)));
            QVERIFY(m_link->tarn.Send(code, data.toStdString()));
            QCOMPARE(m_link->tarn.lastError(), QString());
        }
    }

    /// The byte-level cutting and checking is tabled in tst_codec; here what the line and a
    /// waiting request add to it.
    void incomingBytes_data()
    {
        QTest::addColumn<bool>("waiting"); ///< the bytes come while a request for 55 waits
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<int>>("frames");
        QTest::addColumn<QStringList>("errors");
        const QByteArray delays = ReplyFrame(55, "DELAYS");
        QByteArray corrupted = delays;
        corrupted[corrupted.size() - 2] = char(corrupted[corrupted.size() - 2] ^ 0x21);

        QTest::newRow("bad frame between good ones")
            << false
            << ReplyFrame(50, "x") + QByteArray("\x00\x8F\x32\x01\xFF", 5) +
                   ReplyFrame(52, "000000")
            << QList<int>{50, 52} << QStringList{u"CRC Error. (188)"_s};
        QTest::newRow("control bytes in a frame")
            << false << ReplyFrame(55, "\x0D\x0A\x03\x11\x13\x1A\x7F\x04\x1C") << QList<int>{55}
            << QStringList{};
        // The end byte closes the dropped run; the frame after it is decoded.
        QTest::newRow("endless garbage dropped once")
            << false << QByteArray(int(FrameCutter::kMaxBufferedBytes) * 2 + 10, 'A') + '\xFF'
            << QList<int>{}
            << QStringList{QString::fromStdString(
                   FrameCutter::overflowText(FrameCutter::kMaxBufferedBytes))};
        QTest::newRow("stray frame before the reply")
            << true << ReplyFrame(64, "V9.99") + delays << QList<int>{64, 55} << QStringList{};
        QTest::newRow("stray frame after the reply")
            << true << delays + ReplyFrame(64, "V9.99") << QList<int>{55, 64} << QStringList{};
        QTest::newRow("reply with a wrong checksum, then the time-out")
            << true << corrupted << QList<int>{} << QStringList{u"CRC Error. (33)"_s, kTimeoutText};
    }

    void incomingBytes()
    {
        QFETCH(bool, waiting);
        QFETCH(QByteArray, bytes);
        QFETCH(QList<int>, frames);
        QFETCH(QStringList, errors);
        QVERIFY(connectToSim());
        const QString raw = u"raw "_s + QString::fromLatin1(bytes.toHex());
        bool answered = false;
        if (waiting) {
            QVERIFY(m_sim->command(u"mute 1"_s));
            QTimer::singleShot(100, [&] { m_sim->post(raw); });
            answered = m_link->tarn.Send(55);
            QCOMPARE(answered, frames.contains(55));
            QCOMPARE(m_link->tarn.lastError(), errors.value(errors.size() - 1));
            QVERIFY(m_sim->drain());
        } else {
            // Then a frame that is surely decoded, so everything before it has been handled.
            QVERIFY(m_sim->command(raw));
            QVERIFY(m_sim->command(u"frame 53 454E44"_s));
            QTRY_COMPARE(m_link->received().value(frames.size(), -1), 53);
            frames << 53;
        }
        QCOMPARE(m_link->received(), frames);
        QCOMPARE(m_link->errorTexts(), errors);
        // A waiting request answers with its own reply, whatever came with it.
        QCOMPARE(Latin1(m_link->tarn.TarnData),
                 waiting ? (answered ? u"DELAYS"_s : QString()) : u"END"_s);
        QCOMPARE(int(m_link->tarn.Command), waiting ? (answered ? 55 : 0) : 53);
    }

    void logRepliesKept_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        /// What the link keeps for the next reading; "!" marks a damaged reply.
        QTest::addColumn<QStringList>("kept");
        const auto damaged = [](const std::string& data) {
            QByteArray frame = ReplyFrame(48, data);
            frame[frame.size() - 2] = char(frame[frame.size() - 2] ^ 0x21);
            return frame;
        };
        QTest::newRow("log replies, nobody reading, in order")
            << ReplyFrame(48, "0A0B0C0D0101") + ReplyFrame(48, "0A0B0C0D0202")
            << QStringList{u"0A0B0C0D0101"_s, u"0A0B0C0D0202"_s};
        QTest::newRow("other replies not kept") << ReplyFrame(64, "V2.07") << QStringList{};
        QTest::newRow("damaged log reply: an event lost")
            << damaged("0A0B0C0D0303") << QStringList{u"!0A0B0C0D0303"_s};
        QTest::newRow("damaged, after noise")
            << QByteArray("\x11\x8F\x30", 3) + damaged("0A0B") << QStringList{u"!0A0B"_s};
        // END moves the controller past nothing.
        QTest::newRow("damaged END") << damaged("END") << QStringList{};
    }

    void logRepliesKept()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, kept);
        QVERIFY(connectToSim());
        QVERIFY(m_sim->command(u"raw "_s + QString::fromLatin1(bytes.toHex())));
        // Then a frame that is surely decoded, so everything before it has been handled.
        QVERIFY(m_sim->command(u"frame 53 454E44"_s));
        QTRY_VERIFY(m_link->received().contains(53));
        QStringList taken;
        while (m_link->tarn.hasLogReply()) {
            const Tarn_Comm::LogReply reply = m_link->tarn.takeLogReply();
            taken << (reply.damaged ? u"!"_s : QString()) + Latin1(reply.data);
        }
        QCOMPARE(taken, kept);
    }

    /// One request at a time: a request asked for inside another one's wait (while the reply
    /// is awaited, or in the pause after it) is refused and sends nothing; the outer request
    /// returns its own answer.
    void requestDuringAWait_data()
    {
        QTest::addColumn<int>("replyDelay");
        QTest::addColumn<int>("innerAfter"); ///< ms into the outer request
        QTest::addColumn<int>("outer");
        QTest::newRow("awaiting the reply") << 150 << 40 << 54;
        QTest::newRow("pause after the reply")
            << 0 << int(Tarn_Comm::kPostReplyPause.count() / 2) << 64;
    }

    void requestDuringAWait()
    {
        QFETCH(int, replyDelay);
        QFETCH(int, innerAfter);
        QFETCH(int, outer);
        QVERIFY(connectToSim());
        QVERIFY(m_sim->command(u"profile 1 77"_s));
        QVERIFY(m_sim->command(u"delay %1"_s.arg(replyDelay)));
        const std::map<int, std::string> answers{{54, "4D"}, {64, "V2.07"}};
        const auto send = [this](int code) {
            return m_link->tarn.Send(code, code == 54 ? "\1" : "") ? m_link->tarn.TarnData : "-";
        };
        const int inner = outer == 54 ? 64 : 54;
        std::string innerAnswer;
        QTimer::singleShot(innerAfter, [&] { innerAnswer = send(inner); });
        QCOMPARE(send(outer), answers.at(outer));
        QCOMPARE(innerAnswer, "-"s);
        QCOMPARE(int(m_link->tarn.Command), outer);
        QCOMPARE(m_link->errors.count(), 0);
        QVERIFY(m_sim->command(u"delay 0"_s));
        QCOMPARE(m_sim->codes(), (QList<int>{outer}));
        // Afterwards the link takes requests again.
        QCOMPARE(send(inner), answers.at(inner));
    }

    /// A reply that comes after its request timed out answers the earlier request, not the
    /// next of its command, whether it is still unread when that goes out or comes during its
    /// wait: an ACK of an earlier outputs command must not pass for the ACK of an outputs-off
    /// that was lost, nor one zone's profile for the next zone's.
    void lateReplyNotTaken_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<int>("pauseMs");
        const int unread = int(kShortReplyTimeout.count()) + 600;
        QTest::newRow("ACK, unread when the next goes out") << 100 << "0100"_ba
                                                            << "0000"_ba << unread;
        QTest::newRow("ACK, during the next wait") << 100 << "0100"_ba
                                                   << "0000"_ba << 0;
        QTest::newRow("zone profile, during the next wait") << 54 << "00"_ba
                                                            << "01"_ba << 0;
    }
    void lateReplyNotTaken()
    {
        QFETCH(int, command);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(int, pauseMs);
        // Every second request is lost: the second request gets no reply of its own.
        QVERIFY(connectToSim({u"--drop-every"_s, u"2"_s}));
        QVERIFY(m_sim->command(u"delay %1"_s.arg(kShortReplyTimeout.count() + 200)));
        QVERIFY(!m_link->tarn.Send(command, first.toStdString()));
        // Nothing reads the port meanwhile.
        QThread::msleep(pauseMs);
        QVERIFY(!m_link->tarn.Send(command, second.toStdString()));
        QVERIFY(!m_link->tarn.answered());
        QCOMPARE(m_sim->journal(), (QStringList{u"%1 %2"_s.arg(command).arg(first.toHex()),
                                                u"%1 %2"_s.arg(command).arg(second.toHex())}));
    }

    void quittingEndsTheWait()
    {
        QVERIFY(connectToSim());
        QVERIFY(m_sim->command(u"mute 1"_s));
        // Once the program has been told to quit, no local event loop runs any more: the wait
        // ends at once. Waiting out (or spinning through) this time-out would outlast the test's.
        m_link->tarn.replyTimeout = std::chrono::hours(1);
        QTimer::singleShot(100, [] { QCoreApplication::exit(0); });
        const bool answered = m_link->tarn.Send(64);
        // Lets the test's own event loops run again.
        QTimer::singleShot(0, [] { QCoreApplication::quit(); });
        QCoreApplication::exec();
        QVERIFY(!answered);
    }

    /// The port closed during a wait (Cancel of a search): the wait ends at once, and the
    /// wait's start and end are told.
    void closingEndsTheWait()
    {
        QVERIFY(connectToSim());
        QVERIFY(m_sim->command(u"mute 1"_s));
        m_link->tarn.replyTimeout = std::chrono::hours(1);
        QSignalSpy awaited(&m_link->tarn, &Tarn_Comm::replyAwaited);
        QSignalSpy ended(&m_link->tarn, &Tarn_Comm::replyWaitEnded);
        QTimer::singleShot(100, &m_link->tarn, [this] { m_link->tarn.StopCom(); });
        QVERIFY(!m_link->tarn.Send(64));
        QCOMPARE(FirstArguments<int>(awaited), QList<int>{64});
        QCOMPARE(ended.count(), 1);
    }

    void hungUpDeviceCostsNothing()
    {
        QVERIFY(connectToSim());
        QVERIFY(m_link->tarn.Send(64));
        // The controller goes away while the link waits for nothing; a hung-up terminal reads
        // as ready for ever, each read failing, which must not keep the program busy: the port
        // closes at the first failing read, not only at the link's next poll.
        m_link->timer->stop();
        m_sim->stop();
        QTRY_VERIFY(m_link->port->deviceLost() && !m_link->port->isOpen());
    }

    void stopStartAndSecondLink()
    {
        QVERIFY(connectToSim());
        Tarn_Comm& tarn = m_link->tarn;
        QVERIFY(tarn.Send(64));
        // A second link finds the device taken; the first keeps it.
        Link second(iniPath());
        QString text;
        QVERIFY(!second.tarn.Start(text));
        QVERIFY2(text.startsWith(u"%1 - Device %2 is in use by another program"_s
                                     .arg(QSerialPort::PermissionError)
                                     .arg(linkPath())),
                 qPrintable(text));

        tarn.StopCom();
        QVERIFY(!m_link->port->isOpen());
        QVERIFY(tarn.isStarted());
        QTest::qWait(2 * Tarn_Comm::kPollIntervalMs);
        QVERIFY(!m_link->timer->isActive());
        QVERIFY(m_link->start());
        QVERIFY(m_link->timer->isActive());
        QVERIFY(tarn.Send(105));
        // Start on a link that is already open reopens it and goes on working.
        QVERIFY(m_link->start());
        QVERIFY(tarn.Send(64));
        QCOMPARE(m_link->errors.count(), 0);
        QTRY_COMPARE(m_sim->journal(), (QStringList{u"64"_s, u"105"_s, u"64"_s}));

        // An owner whose children die in creation order: port and timer first, then the link.
        m_link->port.reset();
        m_link->timer.reset();
        m_link.reset();
    }
};

QTEST_GUILESS_MAIN(TestTarnComm)
#include "tst_tarncomm.moc"
