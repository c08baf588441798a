#include "protocol/FrameCodec.h"
#include "protocol/FrameCutter.h"

#include <QtTest>

namespace {

using Kind = FrameCutter::Result::Kind;

std::string Bytes(const QByteArray& hex)
{
    return QByteArray::fromHex(hex).toStdString();
}

QByteArray Hex(const std::string& bytes)
{
    return QByteArray::fromStdString(bytes).toHex(' ').toUpper();
}

const QByteArray kTooShortHead = "Unexpected communication error. Data=";
const QByteArray kTooShortTail = " Error=5 - Invalid procedure call or argument";

/// Every frame the cutter hands out while the bytes are fed one at a time.
QStringList FeedAll(FrameCutter& cutter, const std::string& bytes)
{
    QStringList frames;
    for (const char byte : bytes) {
        const FrameCutter::Result result = cutter.feed(byte);
        if (result.kind == Kind::Frame)
            frames << QString::fromLatin1(Hex(result.frame));
    }
    return frames;
}

} // namespace

class TestCodec : public QObject
{
    Q_OBJECT

private slots:
    void buildRequestFrame_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("frame");

        QTest::newRow("54 zone byte 0") << 54 << QByteArray("00") << QByteArray("8F003600B9FF");
        QTest::newRow("checksum 255 before the end byte")
            << 112 << QByteArray() << QByteArray("8F0070FFFF");
        QTest::newRow("checksum stops at a data byte 255")
            << 100 << QByteArray("01FF02") << QByteArray("8F006401FF02EAFF");
    }

    void buildRequestFrame()
    {
        QFETCH(int, command);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, frame);
        QCOMPARE(Hex(BuildRequestFrame(kControllerAddress, kPcAddress, command, Bytes(data))),
                 Hex(Bytes(frame)));
    }

    void checkFrame_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("taken"); // status, command when there is one, data, checksum
        QTest::addColumn<QByteArray>("errorText");
        const auto row = [](const char* name, const char* frame, const char* taken,
                            const QByteArray& errorText = {}) {
            QTest::newRow(name) << QByteArray(frame) << QString::fromLatin1(taken) << errorText;
        };

        row("version reply", "008F4056322E303782FF", "ok 64 V2.07 0");
        row("five bytes, empty data", "008F40CFFF", "ok 64  0");
        row("addresses not checked", "8F006430313030EAFF", "ok 100 0100 0");
        row("checksum off by 37", "008F40EAFF", "bad  37", "CRC Error. (37)");
        row("lone end byte", "FF", "short  0", kTooShortHead + "\xFF" + kTooShortTail);
        row("four bytes", "414203FF", "short 3  0", kTooShortHead + "AB\x03\xFF" + kTooShortTail);
        row("four bytes, checksum checked first", "010204FF", "bad  7", "CRC Error. (7)");
        row("noise before a reply", "1200FE8F008F4056322E303782FF", "ok 64 V2.07 0");
        row("one noise byte before a reply", "12008F4056322E303782FF", "ok 64 V2.07 0");
        row("noise before a bad reply", "12008F40EAFF", "bad  55", "CRC Error. (55)");
    }

    void checkFrame()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, taken);
        QFETCH(QByteArray, errorText);

        using Status = CheckedFrame::Status;
        const std::string bytes = Bytes(frame);
        const CheckedFrame c = CheckFrame(SkipLeadingNoise(bytes, kPcAddress, kControllerAddress));
        QStringList parts{c.status == Status::Ok         ? "ok"
                          : c.status == Status::TooShort ? "short"
                                                         : "bad"};
        if (c.status != Status::BadChecksum && c.hasCommand)
            parts << QString::number(c.command);
        parts << QString::fromLatin1(c.data) << QString::number(c.checksum);
        QCOMPARE(parts.join(' '), taken);
        QCOMPARE(QByteArray::fromStdString(c.errorText), errorText);
    }

    void cutter_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<QByteArray>("left");

        // Two replies in one read: tarn_core_check's cutter and tst_tarncomm's incoming bytes.
        QTest::newRow("reply with checksum 255 cut in two")
            << QByteArray("008F70FFFF") << QStringList{"00 8F 70 FF", "FF"} << QByteArray();
        QTest::newRow("bytes after the last end byte stay")
            << QByteArray("008F40CFFF008F69") << QStringList{"00 8F 40 CF FF"}
            << QByteArray("008F69");
    }

    void cutter()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QStringList, frames);
        QFETCH(QByteArray, left);

        FrameCutter cutter;
        QCOMPARE(FeedAll(cutter, Bytes(stream)), frames);
        QCOMPARE(Hex(cutter.buffer()), Hex(Bytes(left)));
    }

    void cutterOverflow()
    {
        FrameCutter cutter;
        for (std::size_t i = 1; i < FrameCutter::kMaxBufferedBytes; ++i)
            QCOMPARE(cutter.feed('A').kind, Kind::None);

        // The longest frame still fits.
        FrameCutter longest = cutter;
        const FrameCutter::Result frame = longest.feed('\xFF');
        QCOMPARE(frame.kind, Kind::Frame);
        QCOMPARE(frame.frame.size(), FrameCutter::kMaxBufferedBytes);

        const FrameCutter::Result overflow = cutter.feed('A');
        QCOMPARE(overflow.kind, Kind::Overflow);
        QCOMPARE(overflow.discarded, FrameCutter::kMaxBufferedBytes);
        QVERIFY(cutter.buffer().empty());

        // Reported once: the rest up to the next end byte goes without a word, the end byte too.
        for (int i = 0; i < 3 * int(FrameCutter::kMaxBufferedBytes); ++i) {
            QCOMPARE(cutter.feed(static_cast<char>(i % 255)).kind, Kind::None);
            QVERIFY(cutter.buffer().empty());
        }
        QCOMPARE(cutter.feed(char(0xFF)).kind, Kind::None);
        QCOMPARE(FeedAll(cutter, Bytes("008F40CFFF")), QStringList{"00 8F 40 CF FF"});

        // clear() also ends discarding.
        for (std::size_t i = 0; i < FrameCutter::kMaxBufferedBytes; ++i)
            cutter.feed('B');
        cutter.clear();
        QCOMPARE(FeedAll(cutter, Bytes("008F40CFFF")), QStringList{"00 8F 40 CF FF"});
    }
};

QTEST_GUILESS_MAIN(TestCodec)
#include "tst_codec.moc"
