#include "link/CommandCodes.h"
#include "link/FrameCodec.h"
#include "link/FrameCutter.h"
#include "link/WireEncoding.h"

#include <QByteArray>
#include <QtTest>

#include <random>

namespace {

std::string Bytes(const char* hex)
{
    return QByteArray::fromHex(hex).toStdString();
}

QByteArray Hex(const std::string& bytes)
{
    return QByteArray::fromStdString(bytes).toHex(' ').toUpper();
}

QByteArray Text(const std::string& bytes)
{
    return QByteArray::fromStdString(bytes);
}

const QByteArray kTooShortTail = " Error=5 - Invalid procedure call or argument";

/// Every frame the cutter hands out while the bytes are fed one at a time.
QStringList FeedAll(FrameCutter& cutter, const std::string& bytes)
{
    QStringList frames;
    for (const char byte : bytes) {
        const FrameCutter::Result result = cutter.feed(byte);
        if (result.kind == FrameCutter::Result::Kind::Frame)
            frames << QString::fromLatin1(Hex(result.frame));
    }
    return frames;
}

} // namespace

class TestCodec : public QObject
{
    Q_OBJECT

private slots:
    void buildRequestFrame_data();
    void buildRequestFrame();
    void checkFrame_data();
    void checkFrame();

    void cutter_data();
    void cutter();
    void cutterFrameOverSeveralPolls();
    void cutterOverflow();
    void cutterLongestFrameFits();
    void cutterOtherEndByte();
    void cutterFuzz();

    void dataReplyCodes();

    void byteToHex_data();
    void byteToHex();
    void intToHex_data();
    void intToHex();
    void longToHex8_data();
    void longToHex8();
    void bits_data();
    void bits();
    void bitsRoundTripAndSingleBits();
};

void TestCodec::buildRequestFrame_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("105 enter test mode") << 105 << QByteArray() << QByteArray("8F0069E6FF");
    QTest::newRow("64 read version") << 64 << QByteArray() << QByteArray("8F0040CFFF");
    QTest::newRow("54 zone byte 0") << 54 << QByteArray("00") << QByteArray("8F003600B9FF");
    QTest::newRow("100 output word 0100")
        << 100 << QByteArray("30313030") << QByteArray("8F00643031 3030EAFF");
    QTest::newRow("66 rewind log") << 66 << QByteArray("01") << QByteArray("8F004201CCFF");
    QTest::newRow("66 delete log") << 66 << QByteArray("00") << QByteArray("8F004200CDFF");
    QTest::newRow("104 zone 2 profile 3")
        << 104 << QByteArray("023030303030303033") << QByteArray("8F0068023030303030303033E6FF");
    QTest::newRow("checksum 255 before the end byte")
        << 112 << QByteArray() << QByteArray("8F0070FFFF");
    QTest::newRow("checksum stops at a data byte 255")
        << 100 << QByteArray("01FF02") << QByteArray("8F006401FF02EAFF");
    QTest::newRow("command taken as one byte") << 0 << QByteArray() << QByteArray("8F00008FFF");
}

void TestCodec::buildRequestFrame()
{
    QFETCH(int, command);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, frame);

    const std::string built = BuildRequestFrame(kControllerAddress, kPcAddress, command,
                                                QByteArray::fromHex(data).toStdString());
    QCOMPARE(Hex(built), QByteArray::fromHex(frame).toHex(' ').toUpper());
}

void TestCodec::checkFrame_data()
{
    using Status = CheckedFrame::Status;
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("hasCommand");
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("checksum");
    QTest::addColumn<QByteArray>("errorText");

    QTest::newRow("version reply") << QByteArray("008F4056322E303782FF") << int(Status::Ok) << true
                                   << 64 << QByteArray("V2.07") << 0 << QByteArray();
    QTest::newRow("ACK with more bytes") << QByteArray("008F6941434B2B84FF") << int(Status::Ok)
                                         << true << 105 << QByteArray("ACK+") << 0 << QByteArray();
    QTest::newRow("END of the log") << QByteArray("008F30454E44F0FF") << int(Status::Ok) << true
                                    << 48 << QByteArray("END") << 0 << QByteArray();
    QTest::newRow("five bytes, empty data") << QByteArray("008F40CFFF") << int(Status::Ok) << true
                                            << 64 << QByteArray() << 0 << QByteArray();
    QTest::newRow("addresses not inspected")
        << QByteArray("8F006430313030EAFF") << int(Status::Ok) << true << 100 << QByteArray("0100")
        << 0 << QByteArray();
    QTest::newRow("checksum off by 1")
        << QByteArray("008F40CEFF") << int(Status::BadChecksum) << false << 0 << QByteArray() << 1
        << QByteArray("CRC Error. (1)");
    QTest::newRow("checksum off by 37")
        << QByteArray("008F40EAFF") << int(Status::BadChecksum) << false << 0 << QByteArray() << 37
        << QByteArray("CRC Error. (37)");
    QTest::newRow("first piece of a reply with checksum 255")
        << QByteArray("008F70FF") << int(Status::BadChecksum) << false << 0 << QByteArray() << 255
        << QByteArray("CRC Error. (255)");
    QTest::newRow("lone end byte")
        << QByteArray("FF") << int(Status::TooShort) << false << 0 << QByteArray() << 0
        << QByteArray("Unexpected communication error. Data=\xFF") + kTooShortTail;
    QTest::newRow("two bytes") << QByteArray("00FF") << int(Status::TooShort) << false << 0
                               << QByteArray() << 0
                               << QByteArray("Unexpected communication error. Data=") +
                                      QByteArray(1, '\0') + "\xFF" + kTooShortTail;
    QTest::newRow("three bytes")
        << QByteArray("8F8FFF") << int(Status::TooShort) << true << 255 << QByteArray() << 0
        << QByteArray("Unexpected communication error. Data=\x8F\x8F\xFF") + kTooShortTail;
    QTest::newRow("four bytes") << QByteArray("414203FF") << int(Status::TooShort) << true << 3
                                << QByteArray() << 0
                                << QByteArray("Unexpected communication error. Data=AB\x03\xFF") +
                                       kTooShortTail;
    QTest::newRow("four bytes, checksum checked first")
        << QByteArray("010204FF") << int(Status::BadChecksum) << false << 0 << QByteArray() << 7
        << QByteArray("CRC Error. (7)");
}

void TestCodec::checkFrame()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, status);
    QFETCH(bool, hasCommand);
    QFETCH(int, command);
    QFETCH(QByteArray, data);
    QFETCH(int, checksum);
    QFETCH(QByteArray, errorText);

    const CheckedFrame checked = CheckFrame(QByteArray::fromHex(frame).toStdString());
    QCOMPARE(int(checked.status), status);
    QCOMPARE(checked.checksum, checksum);
    QCOMPARE(Text(checked.errorText), errorText);
    if (status != int(CheckedFrame::Status::BadChecksum)) {
        QCOMPARE(checked.hasCommand, hasCommand);
        if (hasCommand)
            QCOMPARE(checked.command, command);
    }
    QCOMPARE(Text(checked.data), data);
}

void TestCodec::cutter_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QByteArray>("left");

    QTest::newRow("one reply") << QByteArray("008F40CFFF") << QStringList{"00 8F 40 CF FF"}
                               << QByteArray();
    QTest::newRow("two replies in one read")
        << QByteArray("008F40CFFF008F30454E44F0FF")
        << QStringList{"00 8F 40 CF FF", "00 8F 30 45 4E 44 F0 FF"} << QByteArray();
    QTest::newRow("reply with checksum 255 cut in two")
        << QByteArray("008F70FFFF") << QStringList{"00 8F 70 FF", "FF"} << QByteArray();
    QTest::newRow("bytes after the last end byte stay")
        << QByteArray("008F40CFFF008F69") << QStringList{"00 8F 40 CF FF"} << QByteArray("008F69");
    QTest::newRow("lone end bytes")
        << QByteArray("FFFF") << QStringList{"FF", "FF"} << QByteArray();
    QTest::newRow("no end byte") << QByteArray("008F40CF") << QStringList{}
                                 << QByteArray("008F40CF");
}

void TestCodec::cutter()
{
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, frames);
    QFETCH(QByteArray, left);

    FrameCutter cutter;
    QCOMPARE(FeedAll(cutter, QByteArray::fromHex(stream).toStdString()), frames);
    QCOMPARE(Hex(cutter.buffer()), QByteArray::fromHex(left).toHex(' ').toUpper());
}

void TestCodec::cutterFrameOverSeveralPolls()
{
    // The reply with checksum 255 arriving in three polls: the receiver sees the checksum
    // byte as an end byte, so the reply becomes a bad frame and a too-short one.
    FrameCutter cutter;
    QVERIFY(FeedAll(cutter, Bytes("00")).isEmpty());
    QCOMPARE(Hex(cutter.buffer()), QByteArray("00"));
    QVERIFY(FeedAll(cutter, Bytes("8F70")).isEmpty());
    QCOMPARE(Hex(cutter.buffer()), QByteArray("00 8F 70"));

    std::vector<CheckedFrame> checked;
    for (const char byte : Bytes("FFFF")) {
        const auto result = cutter.feed(byte);
        if (result.kind == FrameCutter::Result::Kind::Frame)
            checked.push_back(CheckFrame(result.frame));
    }
    QCOMPARE(checked.size(), std::size_t{2});
    QCOMPARE(Text(checked[0].errorText), QByteArray("CRC Error. (255)"));
    QCOMPARE(checked[1].status, CheckedFrame::Status::TooShort);
    QCOMPARE(Text(checked[1].errorText),
             QByteArray("Unexpected communication error. Data=\xFF") + kTooShortTail);
    QVERIFY(cutter.buffer().empty());

    // A sound reply after that goes through whole.
    const QStringList frames = FeedAll(cutter, Bytes("008F4056322E303782FF"));
    QCOMPARE(frames, QStringList{"00 8F 40 56 32 2E 30 37 82 FF"});
}

void TestCodec::cutterOverflow()
{
    using Kind = FrameCutter::Result::Kind;
    FrameCutter cutter;
    for (std::size_t i = 1; i < FrameCutter::kMaxBufferedBytes; ++i)
        QCOMPARE(cutter.feed('A').kind, Kind::None);
    QCOMPARE(cutter.buffer().size(), FrameCutter::kMaxBufferedBytes - 1);

    const FrameCutter::Result overflow = cutter.feed('A');
    QCOMPARE(overflow.kind, Kind::Overflow);
    QCOMPARE(overflow.discarded, FrameCutter::kMaxBufferedBytes);
    QVERIFY(cutter.buffer().empty());
    QVERIFY(FrameCutter::overflowText(overflow.discarded).find("4096") != std::string::npos);

    // Reported once: the rest up to the next end byte goes without a word, the end byte too.
    int reports = 0;
    for (int i = 0; i < 3 * int(FrameCutter::kMaxBufferedBytes); ++i) {
        const auto result = cutter.feed(static_cast<char>(i % 255));
        reports += result.kind != Kind::None;
        QVERIFY(cutter.buffer().empty());
    }
    QCOMPARE(reports, 0);
    QCOMPARE(cutter.feed(char(0xFF)).kind, Kind::None);

    // Then frames come through again.
    QCOMPARE(FeedAll(cutter, Bytes("008F40CFFF")), QStringList{"00 8F 40 CF FF"});

    // clear() also ends discarding.
    for (std::size_t i = 0; i < FrameCutter::kMaxBufferedBytes; ++i)
        cutter.feed('B');
    cutter.clear();
    QCOMPARE(FeedAll(cutter, Bytes("008F40CFFF")), QStringList{"00 8F 40 CF FF"});
}

void TestCodec::cutterLongestFrameFits()
{
    FrameCutter cutter;
    const std::string longest = std::string(FrameCutter::kMaxBufferedBytes - 1, 'A') + '\xFF';
    std::size_t frames = 0;
    for (const char byte : longest) {
        const auto result = cutter.feed(byte);
        QVERIFY(result.kind != FrameCutter::Result::Kind::Overflow);
        if (result.kind == FrameCutter::Result::Kind::Frame) {
            QCOMPARE(result.frame, longest);
            ++frames;
        }
    }
    QCOMPARE(frames, std::size_t{1});
}

void TestCodec::cutterOtherEndByte()
{
    FrameCutter cutter(0x0D);
    QCOMPARE(FeedAll(cutter, Bytes("41FF0D42")), QStringList{"41 FF 0D"});
    cutter.setEndByte(0xFF);
    QCOMPARE(FeedAll(cutter, Bytes("0DFF")), QStringList{"42 0D FF"});
}

void TestCodec::cutterFuzz()
{
    // Pseudo-random bytes with end bytes now and then and stretches long enough to overflow.
    constexpr int kBytes = 400000;
    constexpr char kEnd = '\xFF';
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> byteValue(0, 255);
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> stretch(0, 3 * int(FrameCutter::kMaxBufferedBytes));

    FrameCutter cutter;
    std::string sinceEnd; // what came after the last end byte, as long as nothing overflowed
    bool overflowSinceEnd = false;
    int frames = 0, overflows = 0, sound = 0, badChecksums = 0, tooShort = 0;
    int fed = 0;
    while (fed < kBytes) {
        // Mostly short runs; now and then a long run without end byte.
        const int run = percent(random) < 2 ? stretch(random) : percent(random) % 40;
        std::string bytes;
        for (int i = 0; i < run; ++i) {
            char byte = static_cast<char>(byteValue(random));
            if (byte == kEnd)
                byte = 'x';
            bytes.push_back(byte);
        }
        bytes.push_back(kEnd);
        if (percent(random) < 30) {
            // A well-formed reply now and then, so that sound frames occur too.
            bytes += BuildRequestFrame(0, kControllerAddress, TarnCommand::ReadVersion, "V2.07");
        }

        for (const char byte : bytes) {
            ++fed;
            const FrameCutter::Result result = cutter.feed(byte);
            QVERIFY(cutter.buffer().size() < FrameCutter::kMaxBufferedBytes);
            if (!overflowSinceEnd)
                sinceEnd.push_back(byte);

            switch (result.kind) {
            case FrameCutter::Result::Kind::None:
                if (byte == kEnd) {
                    // Only the end byte that closes an overflowed run is swallowed.
                    QVERIFY(overflowSinceEnd);
                    overflowSinceEnd = false;
                    sinceEnd.clear();
                }
                break;
            case FrameCutter::Result::Kind::Overflow:
                ++overflows;
                QVERIFY(!overflowSinceEnd);
                QVERIFY(byte != kEnd);
                QCOMPARE(result.discarded, sinceEnd.size());
                QCOMPARE(result.discarded, FrameCutter::kMaxBufferedBytes);
                overflowSinceEnd = true;
                sinceEnd.clear();
                break;
            case FrameCutter::Result::Kind::Frame: {
                ++frames;
                QVERIFY(!overflowSinceEnd);
                QCOMPARE(byte, kEnd);
                QCOMPARE(result.frame, sinceEnd);
                QVERIFY(result.frame.find(kEnd) == result.frame.size() - 1);
                sinceEnd.clear();

                const CheckedFrame checked = CheckFrame(result.frame);
                switch (checked.status) {
                case CheckedFrame::Status::Ok:
                    ++sound;
                    QVERIFY(result.frame.size() >= 5);
                    QCOMPARE(checked.checksum, 0);
                    QVERIFY(checked.errorText.empty());
                    QCOMPARE(checked.command, int(static_cast<uint8_t>(result.frame[2])));
                    QCOMPARE(checked.data, result.frame.substr(3, result.frame.size() - 5));
                    break;
                case CheckedFrame::Status::BadChecksum:
                    ++badChecksums;
                    QVERIFY(checked.checksum > 0 && checked.checksum <= 255);
                    QCOMPARE(checked.errorText,
                             "CRC Error. (" + std::to_string(checked.checksum) + ")");
                    break;
                case CheckedFrame::Status::TooShort:
                    ++tooShort;
                    QVERIFY(result.frame.size() < 5);
                    QCOMPARE(checked.checksum, 0);
                    QVERIFY(checked.errorText.rfind("Unexpected communication error. Data=", 0) ==
                            0);
                    break;
                }
                break;
            }
            }
        }
    }
    qInfo("%d frames (%d sound, %d bad checksum, %d too short), %d overflows", frames, sound,
          badChecksums, tooShort, overflows);
    // The stream did exercise every path.
    QVERIFY(overflows > 5);
    QVERIFY(sound > 100);
    QVERIFY(badChecksums > 100);
    QVERIFY(tooShort > 10);
    QVERIFY(frames == sound + badChecksums + tooShort);
}

void TestCodec::dataReplyCodes()
{
    const QList<int> dataCodes{48, 50, 51, 52, 53, 54, 55, 64};
    for (int code = 0; code <= 255; ++code)
        QVERIFY2(TarnCommand::IsDataReply(code) == dataCodes.contains(code),
                 qPrintable(QString::number(code)));
    static_assert(TarnCommand::IsDataReply(TarnCommand::ReadVersion));
    static_assert(!TarnCommand::IsDataReply(TarnCommand::EnterTestMode));
}

void TestCodec::byteToHex_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("hex");
    QTest::newRow("0") << 0 << QByteArray("00");
    QTest::newRow("10") << 10 << QByteArray("0A");
    QTest::newRow("171") << 171 << QByteArray("AB");
    QTest::newRow("255") << 255 << QByteArray("FF");
}

void TestCodec::byteToHex()
{
    QFETCH(int, value);
    QFETCH(QByteArray, hex);
    QCOMPARE(Text(ByteToHex(value)), hex);
}

void TestCodec::intToHex_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("hex");
    QTest::newRow("5") << 5 << QByteArray("05");
    QTest::newRow("250") << 250 << QByteArray("FA");
    QTest::newRow("255 two digits") << 255 << QByteArray("FF");
    QTest::newRow("256 four digits") << 256 << QByteArray("0100");
    QTest::newRow("4660") << 4660 << QByteArray("1234");
    QTest::newRow("32767") << 32767 << QByteArray("7FFF");
    QTest::newRow("-1") << -1 << QByteArray("FF");
    QTest::newRow("-2") << -2 << QByteArray("FE");
    QTest::newRow("-256 low two digits") << -256 << QByteArray("00");
    QTest::newRow("-32768") << -32768 << QByteArray("00");
}

void TestCodec::intToHex()
{
    QFETCH(int, value);
    QFETCH(QByteArray, hex);
    QCOMPARE(Text(IntToHex(static_cast<int16_t>(value))), hex);
}

void TestCodec::longToHex8_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("hex");
    QTest::newRow("0") << 0 << QByteArray("00000000");
    QTest::newRow("255") << 255 << QByteArray("000000FF");
    QTest::newRow("123456") << 123456 << QByteArray("0001E240");
    QTest::newRow("999999999") << 999999999 << QByteArray("3B9AC9FF");
    QTest::newRow("-1") << -1 << QByteArray("FFFFFFFF");
    QTest::newRow("largest") << 2147483647 << QByteArray("7FFFFFFF");
    QTest::newRow("smallest") << int(-2147483647 - 1) << QByteArray("80000000");
}

void TestCodec::longToHex8()
{
    QFETCH(int, value);
    QFETCH(QByteArray, hex);
    QCOMPARE(Text(LongToHex8(value)), hex);
}

void TestCodec::bits_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("bits");
    QTest::newRow("0") << 0 << QByteArray("00000000");
    QTest::newRow("5") << 5 << QByteArray("00000101");
    QTest::newRow("128") << 128 << QByteArray("10000000");
    QTest::newRow("255") << 255 << QByteArray("11111111");
    QTest::newRow("0x96") << 0x96 << QByteArray("10010110");
}

void TestCodec::bits()
{
    QFETCH(int, value);
    QFETCH(QByteArray, bits);
    QCOMPARE(Text(ByteToBits(static_cast<uint8_t>(value))), bits);
    QCOMPARE(int(BitsToByte(bits.toStdString())), value);
}

void TestCodec::bitsRoundTripAndSingleBits()
{
    for (int value = 0; value <= 255; ++value) {
        const auto byte = static_cast<uint8_t>(value);
        QCOMPARE(int(BitsToByte(ByteToBits(byte))), value);
        for (int bit = 0; bit < 8; ++bit) {
            const int mask = 1 << bit;
            QCOMPARE(IsBitSet(byte, bit), (value & mask) != 0);
            QCOMPARE(int(SetBit(byte, bit)), value | mask);
            QCOMPARE(int(ClearBit(byte, bit)), value & ~mask);
        }
    }
}

QTEST_GUILESS_MAIN(TestCodec)
#include "tst_codec.moc"
