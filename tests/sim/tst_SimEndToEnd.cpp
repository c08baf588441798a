// tarn-sim as a program: what the link and window tests do not reach.

#include "SimProcess.h"

#include "link/FrameCodec.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <memory>

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

} // namespace

class tst_SimEndToEnd : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimProcess> m_sim;

private slots:
    void init() { m_sim = std::make_unique<SimProcess>(); }
    void cleanup() { m_sim.reset(); }

    /// Steps, each ending in "; ": "? LINE" a line on standard input answered "ERR";
    /// "CODE DATA = REPLY" a request (DATA as text, or "#" and hex for raw bytes) and its
    /// reply data ("-": none). What the link and window tests do not reach.
    void script_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("steps");
        // Refused with ERR, and nothing of the factory state changed.
        QTest::newRow("malformed requests")
            << ""
            << "65 20270301090503 = ERR; 65 202704310905032 = ERR; "
               "98 1E053C5A01020301000F = ERR; 99 " +
                   QString(39, u'1') +
                   " = ERR; 66 = ERR; 66 #02 = ERR; 102 #00 = ERR; 102 #03009E = ERR; "
                   "104 #0130303030303043 = ERR; 100 01 = ERR; 53 = NAK; 255 ACK = NAK; "
                   "55 = 1E0A053C010203010204; 51 = 0001E240834E000085420000A544000095460000; "
                   "54 #02 = 3; ";
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
    }

    void script()
    {
        QFETCH(QString, options);
        QFETCH(QString, steps);
        QVERIFY(m_sim->start(options.split(u' ', Qt::SkipEmptyParts)));
        RawPort port(m_sim->slavePath());
        QStringList journaled;
        for (const QString& step : steps.split(u"; "_s, Qt::SkipEmptyParts)) {
            if (step.startsWith(u'?')) {
                QCOMPARE(m_sim->answer(step.mid(2)).section(u' ', 0, 0), u"ERR"_s);
                continue;
            }
            const QString dataText = step.section(u" = "_s, 0, 0).section(u' ', 1);
            const QByteArray data = dataText.startsWith(u'#')
                                        ? QByteArray::fromHex(dataText.mid(1).toLatin1())
                                        : dataText.toLatin1();
            const int code = step.section(u' ', 0, 0).toInt();
            const QString expected = step.section(u" = "_s, 1);
            const std::string reply = port.exchange(
                code, data.toStdString(), expected == u"-" ? kSilenceMs : kReplyTimeoutMs);
            QCOMPARE(
                QByteArray::fromStdString(reply).toHex(),
                expected == u"-"
                    ? QByteArray()
                    : QByteArray::fromStdString(ReplyFrame(code, expected.toStdString())).toHex());
            journaled << (QString::number(code) + u' ' + data.toHex().toUpper()).trimmed();
        }
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
    }

    void quitRemovesTheLink()
    {
        const QString link = m_sim->filePath(u"tty"_s);
        QProcess& process = m_sim->process();
        // A stale link from an earlier run is replaced; "quit" ends the simulator and removes it.
        QVERIFY(QFile::link(u"/nonexistent"_s, link));
        QVERIFY(m_sim->start({u"--link"_s, link}));
        QCOMPARE(QFile::symLinkTarget(link), m_sim->slavePath());
        QCOMPARE(m_sim->answer(u"quit"_s), u"OK"_s);
        QVERIFY(process.waitForFinished(SimProcess::kAnswerTimeoutMs));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }
};

QTEST_GUILESS_MAIN(tst_SimEndToEnd)
#include "tst_SimEndToEnd.moc"
