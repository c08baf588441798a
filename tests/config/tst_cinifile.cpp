#include "config/CIniFile.h"
#include "config/IniFile.h"

#include "TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(IniVariant)

namespace {

/// The variant as "kind:value" for the kinds a read gives, so that a table can name the kind.
QString Describe(const IniVariant& value)
{
    if (const auto* text = std::get_if<std::string>(&value))
        return "text:" + QString::fromLatin1(text->data(), qsizetype(text->size()));
    if (const auto* number = std::get_if<int64_t>(&value))
        return "int:" + QString::number(*number);
    if (const auto* flag = std::get_if<bool>(&value))
        return *flag ? "bool:true" : "bool:false";
    return std::holds_alternative<std::monostate>(value) ? "empty" : "other";
}

/// 252 characters, three blanks, then more: the cut at 254 leaves two blanks at the end.
const QByteArray kLongWithBlanks = QByteArray(252, 'x') + "   " + QByteArray(45, 'y');
const QByteArray kLong300 = QByteArray("abcdefghijklmnopqrstuvwxyz").repeated(12).left(300);

const QByteArray kSample = "[COMMUNICATION]\r\nPort=3\r\nSettings=9600,n,8,1\r\nEmpty=\r\n\r\n"
                           "[Flags]\r\nTrue=tRUE\r\nYes=yes\r\nNumber=3.5\r\nLong=" +
                           kLong300 + "\r\nLongBlanks=" + kLongWithBlanks + "\r\n";

const QString kNone = QStringLiteral("<none>");

} // namespace

class TestCIniFile : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    CIniFile m_ini;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath("Tarn.INI");
        QVERIFY(WriteAll(m_path, kSample));
    }

    void read_data()
    {
        QTest::addColumn<QString>("where"); // section|key|type
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* where, const QString& expected) {
            QTest::newRow(name) << QString::fromLatin1(where) << expected;
        };

        row("IN gives the text unconverted", "COMMUNICATION|Port|IN", "text:3");
        row("IN of a missing key gives int 0", "COMMUNICATION|Nothing|IN", "int:0");
        row("LO gives the text", "COMMUNICATION|Port|Long", "text:3");
        row("SI gives the text", "Flags|Number|SI", "text:3.5");
        row("DO of an empty value gives int 0", "COMMUNICATION|Empty|DO", "int:0");
        row("CU gives the text", "Flags|Number|CU", "text:3.5");
        row("CU of an empty value gives the empty text", "COMMUNICATION|Empty|CU", "text:");
        row("BO in any case", "Flags|True|bo", "bool:true");
        row("BO of another word", "Flags|Yes|BO", "bool:false");
        row("BO missing", "Flags|Nothing|BO", "bool:false");
        row("DA and the other write-only types give nothing", "Flags|Number|DA", "empty");
        row("ST", "communication|SETTINGS|ST", "text:9600,n,8,1");
        row("ST missing", "COMMUNICATION|Nothing|String", "text:");
        row("300 characters cut to 254", "Flags|Long|ST",
            "text:" + QString::fromLatin1(kLong300.left(254)));
        row("cut, then blanks removed", "Flags|LongBlanks|ST", "text:" + QString(252, u'x'));
    }

    void read()
    {
        QFETCH(QString, where);
        QFETCH(QString, expected);
        QCOMPARE(
            Describe(m_ini.UT_IniRead(Std(where.section('|', 0, 0)), Std(where.section('|', 1, 1)),
                                      Std(where.section('|', 2)), Std(m_path))),
            expected);
    }

    /// The program writes IN and ST only.
    void write_data()
    {
        QTest::addColumn<IniVariant>("value");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("stored"); // what the file holds after the write

        using S = std::string;
        QTest::newRow("IN int") << IniVariant(int64_t{3}) << "IN" << QString("3");
        QTest::newRow("IN empty") << IniVariant() << "IN" << QString("");
        QTest::newRow("ST trimmed")
            << IniVariant(S("  two blanks  ")) << "ST" << QString("two blanks");
        QTest::newRow("ST line break refused") << IniVariant(S("1\r\n[X]")) << "ST" << kNone;
    }

    void write()
    {
        QFETCH(IniVariant, value);
        QFETCH(QString, type);
        QFETCH(QString, stored);

        const bool ok =
            m_ini.UT_IniWrite("Written", "Key", value, type.toStdString(), m_path.toStdString());
        QCOMPARE(ok, stored != kNone);
        std::string raw;
        const bool present = IniFile::Read(m_path.toStdString(), "Written", "Key", raw);
        QCOMPARE(present ? QString::fromLatin1(raw.data(), qsizetype(raw.size())) : kNone, stored);
        // The rest of the file is untouched.
        QVERIFY(ok ? ReadAll(m_path).startsWith(kSample) : ReadAll(m_path) == kSample);
    }

    void toInt16_data()
    {
        QTest::addColumn<IniVariant>("value");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("ok");

        using S = std::string;
        QTest::newRow("text with blanks and sign") << IniVariant(S(" -12 ")) << -12 << true;
        QTest::newRow("smallest") << IniVariant(int64_t{-32768}) << -32768 << true;
        QTest::newRow("too large") << IniVariant(int64_t{32768}) << 0 << false;
        QTest::newRow("hexadecimal -1") << IniVariant(S("&HFFFFFFFF")) << -1 << true;
        QTest::newRow("empty text") << IniVariant(S()) << 0 << false;
    }

    void toInt16()
    {
        QFETCH(IniVariant, value);
        QFETCH(int, expected);
        QFETCH(bool, ok);

        bool gotOk = !ok;
        QCOMPARE(static_cast<int>(IniVariantToInt16(value, &gotOk)), expected);
        QCOMPARE(gotOk, ok);
    }
};

QTEST_GUILESS_MAIN(TestCIniFile)
#include "tst_cinifile.moc"
