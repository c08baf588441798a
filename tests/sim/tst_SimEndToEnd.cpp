// tarn-sim as a program: what the link and window tests that drive it do not reach.

#include "SimProcess.h"

#include "link/FrameCodec.h"

#include <QFile>
#include <QSerialPort>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {
constexpr int kReplyTimeoutMs = 2000;
/// Long enough to be sure that no reply is coming.
constexpr int kSilenceMs = 300;

/// Writes `bytes` and returns what comes back up to a frame end, or within `ms`.
QByteArray Exchange(QSerialPort& port, const QByteArray& bytes, int ms = kReplyTimeoutMs)
{
    QByteArray reply;
    if (port.write(bytes) != bytes.size() || !port.waitForBytesWritten(ms))
        return "not written";
    while (!reply.endsWith(char(kFrameEndByte)) && port.waitForReadyRead(ms))
        reply += port.readAll();
    return reply;
}

QByteArray Frame(int code, const QByteArray& data, bool request)
{
    return QByteArray::fromStdString(
        request ? BuildRequestFrame(kControllerAddress, kPcAddress, code, data.toStdString())
                : BuildRequestFrame(kPcAddress, kControllerAddress, code, data.toStdString()));
}
} // namespace

class tst_SimEndToEnd : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<QSerialPort> m_port;

    bool start(const QStringList& options = {})
    {
        if (!m_sim->start(options))
            return false;
        m_port->setPortName(m_sim->slavePath());
        return m_port->open(QIODevice::ReadWrite);
    }

private slots:
    void init()
    {
        m_sim = std::make_unique<SimProcess>();
        m_port = std::make_unique<QSerialPort>();
    }
    void cleanup()
    {
        m_port.reset();
        m_sim.reset();
    }

    /// Steps, each ending in "; ": "? LINE" a line on standard input answered "ERR";
    /// "CODE DATA = REPLY" a request (DATA as text, or "#" and hex for raw bytes) and its
    /// reply data ("-": none).
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
                   "104 #0130303030303043 = ERR; 100 01 = ERR; 53 = NAK; "
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
        QVERIFY(start(options.split(u' ', Qt::SkipEmptyParts)));
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
            const QByteArray expected = step.section(u" = "_s, 1).toLatin1();
            const bool silent = expected == "-";
            QCOMPARE(
                Exchange(*m_port, Frame(code, data, true), silent ? kSilenceMs : kReplyTimeoutMs)
                    .toHex(),
                silent ? QByteArray() : Frame(code, expected, false).toHex());
            journaled << (QString::number(code) + u' ' + data.toHex().toUpper()).trimmed();
        }
        QTRY_COMPARE(m_sim->journal(), journaled);
    }

    void badInputIsNotAnswered()
    {
        QVERIFY(start());
        for (const QByteArray hex : {"8F0040CEFF", "FF", "8F00FF"})
            QCOMPARE(Exchange(*m_port, QByteArray::fromHex(hex), kSilenceMs), QByteArray());
        QCOMPARE(m_sim->journal(),
                 (QStringList{u"BAD 8F0040CEFF"_s, u"BAD FF"_s, u"BAD 8F00FF"_s}));
        // A long run without an end byte is thrown away, not journaled.
        QCOMPARE(Exchange(*m_port, QByteArray(5000, 'A') + '\xFF', kSilenceMs), QByteArray());
        QCOMPARE(Exchange(*m_port, Frame(64, {}, true)), Frame(64, "V2.07", false));
        QCOMPARE(m_sim->journal().size(), 4);
    }

    void quitRemovesTheLink()
    {
        const QString link = m_sim->filePath(u"tty"_s);
        // A stale link from an earlier run is replaced; "quit" ends the simulator and removes it.
        QVERIFY(QFile::link(u"/nonexistent"_s, link));
        QVERIFY(m_sim->start({u"--link"_s, link}));
        QCOMPARE(QFile::symLinkTarget(link), m_sim->slavePath());
        QCOMPARE(m_sim->answer(u"quit"_s), u"OK"_s);
        QVERIFY(m_sim->process().waitForFinished(SimProcess::kAnswerTimeoutMs));
        QCOMPARE(m_sim->process().exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }
};

QTEST_GUILESS_MAIN(tst_SimEndToEnd)
#include "tst_SimEndToEnd.moc"
