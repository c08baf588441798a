// tarn-sim as a program: its line, its standard input, its faults and its end.

#include "SimProcess.h"

#include "link/FrameCodec.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <memory>
#include <random>

using namespace Qt::StringLiterals;
using namespace std::string_literals;

namespace {
constexpr int kReplyTimeoutMs = 2000;
/// Long enough to be sure that no reply is coming.
constexpr int kSilenceMs = 300;

std::string ReplyFrame(int command, const std::string& data)
{
    return BuildRequestFrame(kPcAddress, kControllerAddress, command, data);
}

/// The slave opened the plain POSIX way, its settings untouched: the simulator must have made
/// the line raw.
class RawPort
{
public:
    explicit RawPort(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
    }
    ~RawPort()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool write(const std::string& bytes)
    {
        return ::write(m_fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    }
    /// Everything that arrives within `ms`, up to and including the first end byte.
    std::string readFrame(int ms = kReplyTimeoutMs)
    {
        std::string bytes;
        const QDeadlineTimer deadline(ms);
        for (char byte = 0; bytes.empty() || uint8_t(bytes.back()) != kFrameEndByte;) {
            pollfd in{m_fd, POLLIN, 0};
            if (::read(m_fd, &byte, 1) == 1)
                bytes.push_back(byte);
            else if (poll(&in, 1, int(deadline.remainingTime())) <= 0)
                break;
        }
        return bytes;
    }
    std::string exchange(int command, const std::string& data, int ms = kReplyTimeoutMs)
    {
        return write(BuildRequestFrame(kControllerAddress, kPcAddress, command, data))
                   ? readFrame(ms)
                   : std::string();
    }

private:
    int m_fd = -1;
};

/// Whether `reply` answers `code` as `expected` says: "-" nothing, "!" a wrong checksum,
/// "~TEXT" a burst of noise and then TEXT, else TEXT; "?" in TEXT stands for any byte.
bool ReplyMatches(const std::string& reply, int code, QString expected)
{
    if (expected == u"-" || expected == u"!")
        return expected == u"-" ? reply.empty()
                                : CheckFrame(reply).status == CheckedFrame::Status::BadChecksum;
    const bool noise = expected.startsWith(u'~');
    std::string data = expected.remove(0, noise ? 1 : 0).toStdString();
    const std::size_t size = data.size() + 5;
    if (reply.size() < size || (reply.size() > size) != noise)
        return false;
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = data[i] == '?' ? reply[reply.size() - size + 3 + i] : data[i];
    return reply.substr(reply.size() - size) == ReplyFrame(code, data);
}
} // namespace

class tst_SimEndToEnd : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimProcess> m_sim;

private slots:
    void init() { m_sim = std::make_unique<SimProcess>(); }
    void cleanup() { m_sim.reset(); }

    /// Steps, each ending in "; ": "> LINE" a line on standard input answered "OK", "? LINE"
    /// one answered "ERR"; "CODE DATA = REPLY" a request (DATA as text, or "#" and hex for raw
    /// bytes) and its reply as ReplyMatches reads it; "< HEX" bytes arriving unasked (none when
    /// HEX is empty); "close" and "open" the line; "@MIN-MAX" the milliseconds that the
    /// requests since the last such step took together.
    void script_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("steps");
        QTest::newRow("standard input changes the replies")
            << ""
            << "64 = V2.07; > inputs 0F6014; 52 = 0F6014; > version V3.10; 64 = V3.10; "
               "> profile 1 26; 54 #01 = 1A; > ack 105 NAK; 105 = NAK; > ack 105; "
               "105 = ACK; > mute 1; 64 = -; 64 = V3.10; ";
        // Bytes that a cooked terminal would translate, swallow or act upon pass unchanged;
        // what is sent while nobody holds the line is lost.
        QTest::newRow("raw line both ways, reopened")
            << ""
            << "102 #01000D0A0311131A7F041C00 = ACK; > frame 64 0D0A0311131A7F041C00; "
               "< 008F400D0A0311131A7F041C00B4FF; > raw 0D0A03FF; < 0D0A03FF; close; "
               "> frame 64 5632; open; < ; 102 #02000D0A0311131A7F041C00 = ACK; ";
        QTest::newRow("events") << "--events 2"
                                << "> event AC44C79E1114; 48 = ????????????; 48 = ????????????; "
                                   "48 = AC44C79E1114; 48 = END; > clear-events; 66 #01 = ACK; "
                                   "48 = END; ";
        QTest::newRow("bad lines on standard input")
            << ""
            << "? inputs 0F601; ? admin " + QString(40, u'X') +
                   "; ? profile 3 12; ? profile 1; ? event AC44C79E11140; ? ack 256 NAK; "
                   "? mute -1; ? delay soon; ? frame 64 0; ? raw; ? launch; ? " +
                   QString(100000, u'x') + "; 64 = V2.07; ";
        // The refused block changes nothing.
        QTest::newRow("refused and dropped")
            << "--nak 98 --nak 100 --drop-every 3"
            << "98 1E053C5A01020301000F00 = NAK; 100 0100 = NAK; 105 = -; 105 = ACK; "
               "55 = 1E0A053C010203010204; ";
        QTest::newRow("every second reply corrupted")
            << "--corrupt-every 2"
            << "> inputs 0F6014; 52 = 0F6014; 52 = !; 52 = 0F6014; 52 = !; ";
        QTest::newRow("noise before every reply") << "--noise-every 1"
                                                  << "64 = ~V2.07; 64 = ~V2.07; ";
        // 5 bytes out and 10 back at 1200 baud: 125 ms.
        QTest::newRow("line rate") << "--line-rate 1200"
                                   << "64 = V2.07; @120-1000; ";
        QTest::newRow("reply delay, taken back")
            << "--reply-delay 150"
            << "64 = V2.07; @150-2000; > delay 0; 64 = V2.07; @0-150; ";
    }

    void script()
    {
        QFETCH(QString, options);
        QFETCH(QString, steps);
        QVERIFY(m_sim->start(options.split(u' ', Qt::SkipEmptyParts)));
        auto port = std::make_unique<RawPort>(m_sim->slavePath());
        QStringList journaled;
        QElapsedTimer clock;
        qint64 elapsed = 0;
        for (const QString& step : steps.split(u"; "_s, Qt::SkipEmptyParts)) {
            if (step.startsWith(u'@')) {
                QVERIFY2(elapsed >= step.mid(1).section(u'-', 0, 0).toInt() &&
                             elapsed < step.section(u'-', 1).toInt(),
                         qPrintable(step + u": "_s + QString::number(elapsed)));
                elapsed = 0;
            } else if (step == u"close" || step == u"open") {
                port.reset(step == u"open" ? new RawPort(m_sim->slavePath()) : nullptr);
            } else if (step.startsWith(u'<')) {
                const int ms = step.size() > 2 ? kReplyTimeoutMs : kSilenceMs;
                QCOMPARE(QByteArray::fromStdString(port->readFrame(ms)).toHex().toUpper(),
                         step.mid(2).toLatin1());
            } else if (step.startsWith(u'>') || step.startsWith(u'?')) {
                QCOMPARE(m_sim->answer(step.mid(2)).section(u' ', 0, 0),
                         step.startsWith(u'>') ? u"OK"_s : u"ERR"_s);
            } else {
                const QString dataText = step.section(u" = "_s, 0, 0).section(u' ', 1);
                const QByteArray data = dataText.startsWith(u'#')
                                            ? QByteArray::fromHex(dataText.mid(1).toLatin1())
                                            : dataText.toLatin1();
                const int code = step.section(u' ', 0, 0).toInt();
                const QString expected = step.section(u" = "_s, 1);
                const bool silence = expected == u"-";
                clock.start();
                const std::string reply = port->exchange(code, data.toStdString(),
                                                         silence ? kSilenceMs : kReplyTimeoutMs);
                elapsed += silence ? 0 : clock.elapsed();
                QVERIFY2(ReplyMatches(reply, code, expected),
                         qPrintable(step + u" got "_s + QByteArray::fromStdString(reply).toHex()));
                journaled << (QString::number(code) + u' ' + data.toHex().toUpper()).trimmed();
            }
        }
        QVERIFY(!journaled.isEmpty());
        QTRY_COMPARE(m_sim->journal(), journaled);
        QFile journal(m_sim->journalPath());
        QVERIFY(journal.open(QIODevice::ReadOnly));
        const QString first = QString::fromLatin1(journal.readLine());
        QVERIFY2(QRegularExpression(u"^\\d+\\.\\d{3} \\d+ "_s).match(first).hasMatch(),
                 qPrintable(first));
    }

    void badInputIsNotAnswered()
    {
        QVERIFY(m_sim->start());
        RawPort port(m_sim->slavePath());
        for (const std::string& bad : {"\x8F\x00\x40\xCE\xFF"s, "\xFF"s, "\x8F\x00\xFF"s}) {
            QVERIFY(port.write(bad));
            QCOMPARE(port.readFrame(kSilenceMs), std::string());
        }
        QCOMPARE(m_sim->journal(),
                 (QStringList{u"BAD 8F0040CEFF"_s, u"BAD FF"_s, u"BAD 8F00FF"_s}));
        // A long run without an end byte is thrown away, not journaled.
        QVERIFY(port.write(std::string(5000, '\x41') + "\xFF"s));
        QCOMPARE(port.exchange(64, ""), ReplyFrame(64, "V2.07"));
        QCOMPARE(m_sim->journal().size(), 4);
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
        while (port.write("\xFF"s) && !port.readFrame(kSilenceMs).empty()) {
        }
        QCOMPARE(port.exchange(64, ""), ReplyFrame(64, "V2.07"));
        QVERIFY(m_sim->journal().size() > 1000);
    }

    void quitAndSignalsRemoveTheLink()
    {
        const QString link = m_sim->filePath(u"tty"_s);
        QProcess& process = m_sim->process();
        // A stale link from an earlier run is replaced; "quit" ends the simulator cleanly.
        QVERIFY(QFile::link(u"/nonexistent"_s, link));
        QVERIFY(m_sim->start({u"--link"_s, link}));
        QCOMPARE(QFile::symLinkTarget(link), m_sim->slavePath());
        QCOMPARE(m_sim->answer(u"quit"_s), u"OK"_s);
        QVERIFY(process.waitForFinished(SimProcess::kAnswerTimeoutMs));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
        // Closing its input does not end it; SIGTERM does, as cleanly.
        QVERIFY(m_sim->start({u"--link"_s, link}));
        process.closeWriteChannel();
        QTest::qWait(100);
        QCOMPARE(process.state(), QProcess::Running);
        QVERIFY(QFileInfo(link).isSymLink());
        process.terminate();
        QVERIFY(process.waitForFinished(SimProcess::kAnswerTimeoutMs));
        QCOMPARE(process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }
};

QTEST_GUILESS_MAIN(tst_SimEndToEnd)
#include "tst_SimEndToEnd.moc"
