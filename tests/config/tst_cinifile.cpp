#include "config/CIniFile.h"
#include "config/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(IniVariant)

namespace {

/// The variant as "kind:value", so that a table can name the kind it expects.
QString Describe(const IniVariant& value)
{
    struct Visitor
    {
        QString operator()(std::monostate) const { return "empty"; }
        QString operator()(const std::string& s) const
        {
            return "text:" + QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
        }
        QString operator()(int64_t i) const { return "int:" + QString::number(i); }
        QString operator()(double d) const { return "double:" + QString::number(d); }
        QString operator()(bool b) const { return b ? "bool:true" : "bool:false"; }
        QString operator()(const IniDateTime& dt) const
        {
            return QString("date:%1-%2-%3").arg(dt.year).arg(dt.month).arg(dt.day);
        }
    };
    return std::visit(Visitor{}, value);
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

const std::string kLong300 = [] {
    std::string s;
    for (int i = 0; i < 300; ++i)
        s.push_back(static_cast<char>('a' + i % 26));
    return s;
}();

/// 252 characters, three blanks, then more: the cut at 254 leaves two blanks at the end.
const std::string kLongWithBlanks = std::string(252, 'x') + "   " + std::string(45, 'y');

const QByteArray kSample = QByteArray("[COMMUNICATION]\r\n"
                                      "Port=3\r\n"
                                      "Settings=9600,n,8,1\r\n"
                                      "Empty=\r\n"
                                      "\r\n"
                                      "[Flags]\r\n"
                                      "A=tRUE\r\n"
                                      "B=yes\r\n"
                                      "C=  True  \r\n"
                                      "D=false\r\n"
                                      "Money=12.50\r\n"
                                      "Date=2026-12-04\r\n"
                                      "Long=") +
                           QByteArray::fromStdString(kLong300) +
                           "\r\nLongBlanks=" + QByteArray::fromStdString(kLongWithBlanks) + "\r\n";

} // namespace

class TestCIniFile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void read_data();
    void read();

    void write_data();
    void write();
    void writeOneCharacterType();
    void killSection_data();
    void killSection();
    void writeFailures();
    void writeThenReadPort();

    void toInt16_data();
    void toInt16();
    void toText_data();
    void toText();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    CIniFile m_ini;
};

void TestCIniFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath("Tarn.INI");
    WriteAll(m_path, kSample);
}

void TestCIniFile::read_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("expected");

    QTest::newRow("IN gives the text unconverted") << "COMMUNICATION"
                                                   << "Port"
                                                   << "IN"
                                                   << "text:3";
    QTest::newRow("IN of a missing key gives int 0") << "COMMUNICATION"
                                                     << "Nothing"
                                                     << "IN"
                                                     << "int:0";
    QTest::newRow("IN of an empty value gives int 0") << "COMMUNICATION"
                                                      << "Empty"
                                                      << "IN"
                                                      << "int:0";
    QTest::newRow("LO from a long type name") << "COMMUNICATION"
                                              << "Port"
                                              << "Long"
                                              << "text:3";
    QTest::newRow("SI") << "COMMUNICATION"
                        << "Port"
                        << "SI"
                        << "text:3";
    QTest::newRow("DO of missing section") << "Nowhere"
                                           << "Port"
                                           << "DO"
                                           << "int:0";
    QTest::newRow("in lower case") << "COMMUNICATION"
                                   << "Port"
                                   << "integer"
                                   << "text:3";
    QTest::newRow("IN of a non-number stays text") << "COMMUNICATION"
                                                   << "Settings"
                                                   << "IN"
                                                   << "text:9600,n,8,1";
    QTest::newRow("ST") << "communication"
                        << "SETTINGS"
                        << "ST"
                        << "text:9600,n,8,1";
    QTest::newRow("ST missing") << "COMMUNICATION"
                                << "Nothing"
                                << "String"
                                << "text:";
    QTest::newRow("bo tRUE") << "Flags"
                             << "A"
                             << "bo"
                             << "bool:true";
    QTest::newRow("BO yes") << "Flags"
                            << "B"
                            << "BO"
                            << "bool:false";
    QTest::newRow("BO blanks around True") << "Flags"
                                           << "C"
                                           << "Boolean"
                                           << "bool:true";
    QTest::newRow("BO false") << "Flags"
                              << "D"
                              << "BO"
                              << "bool:false";
    QTest::newRow("BO missing") << "Flags"
                                << "Z"
                                << "BO"
                                << "bool:false";
    QTest::newRow("CU") << "Flags"
                        << "Money"
                        << "CU"
                        << "text:12.50";
    QTest::newRow("CU empty") << "COMMUNICATION"
                              << "Empty"
                              << "CU"
                              << "text:";
    QTest::newRow("DA is write only") << "Flags"
                                      << "Date"
                                      << "DA"
                                      << "empty";
    QTest::newRow("TI is write only") << "Flags"
                                      << "Date"
                                      << "TI"
                                      << "empty";
    QTest::newRow("HE is write only") << "COMMUNICATION"
                                      << "Port"
                                      << "HE"
                                      << "empty";
    QTest::newRow("OC is write only") << "COMMUNICATION"
                                      << "Port"
                                      << "OC"
                                      << "empty";
    QTest::newRow("unknown code") << "COMMUNICATION"
                                  << "Port"
                                  << "XX"
                                  << "empty";
    QTest::newRow("one-character type") << "COMMUNICATION"
                                        << "Port"
                                        << "S"
                                        << "empty";
    QTest::newRow("type with a leading blank") << "COMMUNICATION"
                                               << "Port"
                                               << " ST"
                                               << "empty";
    QTest::newRow("300 characters cut to 254")
        << "Flags"
        << "Long"
        << "ST"
        << "text:" + QString::fromStdString(kLong300.substr(0, 254));
    QTest::newRow("cut, then blanks removed") << "Flags"
                                              << "LongBlanks"
                                              << "ST"
                                              << "text:" + QString(252, 'x');
}

void TestCIniFile::read()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, type);
    QFETCH(QString, expected);

    const IniVariant got = m_ini.UT_IniRead(section.toStdString(), key.toStdString(),
                                            type.toStdString(), m_path.toStdString());
    QCOMPARE(Describe(got), expected);
}

void TestCIniFile::write_data()
{
    QTest::addColumn<IniVariant>("value");
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("stored"); // what the file holds after the write

    QTest::newRow("IN int") << IniVariant(int64_t{3}) << "IN" << true << "3";
    QTest::newRow("IN numeric text")
        << IniVariant(std::string("0042")) << "Integer" << true << "42";
    QTest::newRow("IN other text as it is")
        << IniVariant(std::string("abc")) << "IN" << true << "abc";
    QTest::newRow("LO negative") << IniVariant(int64_t{-70000}) << "LO" << true << "-70000";
    QTest::newRow("DO whole double") << IniVariant(3.0) << "DO" << true << "3";
    QTest::newRow("SI fraction with point") << IniVariant(2.5) << "SI" << true << "2.5";
    QTest::newRow("IN empty") << IniVariant() << "IN" << true << "";
    QTest::newRow("DO infinity refused")
        << IniVariant(std::numeric_limits<double>::infinity()) << "DO" << false << "<none>";
    QTest::newRow("HE 255") << IniVariant(int64_t{255}) << "HE" << true << "&HFF";
    QTest::newRow("HE 0") << IniVariant(int64_t{0}) << "HE" << true << "&H0";
    QTest::newRow("HE -1") << IniVariant(int64_t{-1}) << "HE" << true << "&HFFFFFFFF";
    QTest::newRow("HE numeric text") << IniVariant(std::string("4660")) << "he" << true << "&H1234";
    QTest::newRow("HE non-number refused")
        << IniVariant(std::string("x")) << "HE" << false << "<none>";
    QTest::newRow("OC 8") << IniVariant(int64_t{8}) << "OC" << true << "&O10";
    QTest::newRow("OC rounds half to even") << IniVariant(8.5) << "OC" << true << "&O10";
    QTest::newRow("BO true") << IniVariant(true) << "BO" << true << "True";
    QTest::newRow("BO false") << IniVariant(false) << "BO" << true << "False";
    QTest::newRow("BO -1") << IniVariant(int64_t{-1}) << "BO" << true << "True";
    QTest::newRow("BO 1 is not true") << IniVariant(int64_t{1}) << "BO" << true << "False";
    QTest::newRow("BO text True") << IniVariant(std::string("true")) << "BO" << true << "True";
    QTest::newRow("CU two decimals") << IniVariant(12.5) << "CU" << true << "12.50";
    QTest::newRow("CU whole number") << IniVariant(int64_t{3}) << "Currency" << true << "3.00";
    QTest::newRow("ST trimmed") << IniVariant(std::string("  two blanks  ")) << "ST" << true
                                << "two blanks";
    QTest::newRow("ST number") << IniVariant(int64_t{9600}) << "ST" << true << "9600";
    QTest::newRow("ST Boolean") << IniVariant(true) << "ST" << true << "True";
    QTest::newRow("ST line break refused")
        << IniVariant(std::string("1\r\n[X]")) << "ST" << false << "<none>";
    QTest::newRow("DA short date")
        << IniVariant(IniDateTime{2026, 12, 4, 14, 7, 30}) << "DA" << true << "2026-12-04";
    QTest::newRow("TI short time")
        << IniVariant(IniDateTime{2026, 12, 4, 14, 7, 30}) << "TI" << true << "14:07";
    QTest::newRow("DA of the zero day") << IniVariant(int64_t{0}) << "DA" << true << "1899-12-30";
    QTest::newRow("DA of a day count") << IniVariant(2.75) << "DA" << true << "1900-01-01";
    QTest::newRow("TI of a day count") << IniVariant(2.75) << "TI" << true << "18:00";
    QTest::newRow("DA impossible date refused")
        << IniVariant(IniDateTime{2026, 2, 30, 0, 0, 0}) << "DA" << false << "<none>";
    QTest::newRow("unknown code writes an empty value")
        << IniVariant(int64_t{5}) << "XX" << true << "";
}

void TestCIniFile::write()
{
    QFETCH(IniVariant, value);
    QFETCH(QString, type);
    QFETCH(bool, ok);
    QFETCH(QString, stored);

    QCOMPARE(m_ini.UT_IniWrite("Written", "Key", value, type.toStdString(), m_path.toStdString()),
             ok);
    std::string raw;
    const bool present = IniFile::Read(m_path.toStdString(), "Written", "Key", raw);
    QCOMPARE(present ? QString::fromLatin1(raw.data(), static_cast<qsizetype>(raw.size()))
                     : QString("<none>"),
             stored);
    // The rest of the file is untouched.
    QVERIFY(ReadAll(m_path).startsWith(kSample));
}

void TestCIniFile::writeOneCharacterType()
{
    QVERIFY(!m_ini.UT_IniWrite("COMMUNICATION", "Port", IniVariant(int64_t{4}), "I",
                               m_path.toStdString()));
    QVERIFY(!m_ini.UT_IniWrite("COMMUNICATION", "Port", IniVariant(int64_t{4}), "",
                               m_path.toStdString()));
    QCOMPARE(ReadAll(m_path), kSample);
}

void TestCIniFile::killSection_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("removed");

    QTest::newRow("upper case") << "KILLSECTION" << true;
    QTest::newRow("lower case with blanks") << "  killsection  " << true;
    QTest::newRow("mixed case with tab") << "\tKillSection" << true;
    QTest::newRow("not quite") << "KILL SECTION" << false;
}

void TestCIniFile::killSection()
{
    QFETCH(QString, type);
    QFETCH(bool, removed);

    QVERIFY(m_ini.UT_IniWrite("communication", "ignored", IniVariant(std::string("ignored")),
                              type.toStdString(), m_path.toStdString()));
    const QByteArray after = ReadAll(m_path);
    QCOMPARE(!after.contains("[COMMUNICATION]"), removed);
    QVERIFY(after.contains("[Flags]\r\nA=tRUE\r\n"));
    if (removed) {
        QVERIFY(after.startsWith("[Flags]"));
        QCOMPARE(Describe(m_ini.UT_IniRead("COMMUNICATION", "Port", "IN", m_path.toStdString())),
                 QString("int:0"));
    }
}

void TestCIniFile::writeFailures()
{
    const std::string missingFolder = m_dir->filePath("no/such/Tarn.INI").toStdString();
    QVERIFY(
        !m_ini.UT_IniWrite("COMMUNICATION", "Port", IniVariant(int64_t{2}), "IN", missingFolder));
    QVERIFY(!QFileInfo::exists(m_dir->filePath("no")));

    QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner));
    QVERIFY(!m_ini.UT_IniWrite("COMMUNICATION", "Port", IniVariant(int64_t{2}), "IN",
                               m_path.toStdString()));
    QVERIFY(
        !m_ini.UT_IniWrite("COMMUNICATION", "", IniVariant(), "KILLSECTION", m_path.toStdString()));
    QCOMPARE(ReadAll(m_path), kSample);
    QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner));
}

void TestCIniFile::writeThenReadPort()
{
    // What the communication settings do on saving and start-up does on reading.
    const std::string path = m_path.toStdString();
    QVERIFY(m_ini.UT_IniWrite("COMMUNICATION", "Port", IniVariant(int64_t{12}), "IN", path));
    QVERIFY(m_ini.UT_IniWrite("COMMUNICATION", "Settings", IniVariant(std::string("19200,n,8,1")),
                              "ST", path));
    bool ok = false;
    QCOMPARE(IniVariantToInt16(m_ini.UT_IniRead("COMMUNICATION", "Port", "IN", path), &ok), 12);
    QVERIFY(ok);
    QCOMPARE(Describe(m_ini.UT_IniRead("COMMUNICATION", "Settings", "ST", path)),
             QString("text:19200,n,8,1"));
    QByteArray expected = kSample;
    expected.replace("Port=3", "Port=12").replace("9600,n,8,1", "19200,n,8,1");
    QCOMPARE(ReadAll(m_path), expected);
}

void TestCIniFile::toInt16_data()
{
    QTest::addColumn<IniVariant>("value");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("ok");

    QTest::newRow("int") << IniVariant(int64_t{3}) << 3 << true;
    QTest::newRow("text") << IniVariant(std::string("3")) << 3 << true;
    QTest::newRow("text with blanks and sign") << IniVariant(std::string(" -12 ")) << -12 << true;
    QTest::newRow("plus sign") << IniVariant(std::string("+7")) << 7 << true;
    QTest::newRow("half rounds to even, down") << IniVariant(std::string("2.5")) << 2 << true;
    QTest::newRow("half rounds to even, up") << IniVariant(3.5) << 4 << true;
    QTest::newRow("largest") << IniVariant(32767.4) << 32767 << true;
    QTest::newRow("smallest") << IniVariant(int64_t{-32768}) << -32768 << true;
    QTest::newRow("too large") << IniVariant(int64_t{32768}) << 0 << false;
    QTest::newRow("too large as text") << IniVariant(std::string("99999")) << 0 << false;
    QTest::newRow("hexadecimal form") << IniVariant(std::string("&HFF")) << 255 << true;
    QTest::newRow("hexadecimal -1") << IniVariant(std::string("&HFFFFFFFF")) << -1 << true;
    QTest::newRow("octal form") << IniVariant(std::string("&O10")) << 8 << true;
    QTest::newRow("not a number") << IniVariant(std::string("abc")) << 0 << false;
    QTest::newRow("number then text") << IniVariant(std::string("12abc")) << 0 << false;
    QTest::newRow("double sign") << IniVariant(std::string("--1")) << 0 << false;
    QTest::newRow("empty text") << IniVariant(std::string()) << 0 << false;
    QTest::newRow("empty variant") << IniVariant() << 0 << false;
    QTest::newRow("NaN") << IniVariant(std::numeric_limits<double>::quiet_NaN()) << 0 << false;
    QTest::newRow("Boolean") << IniVariant(true) << 0 << false;
}

void TestCIniFile::toInt16()
{
    QFETCH(IniVariant, value);
    QFETCH(int, expected);
    QFETCH(bool, ok);

    bool gotOk = !ok;
    QCOMPARE(static_cast<int>(IniVariantToInt16(value, &gotOk)), expected);
    QCOMPARE(gotOk, ok);
}

void TestCIniFile::toText_data()
{
    QTest::addColumn<IniVariant>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << IniVariant() << "";
    QTest::newRow("text") << IniVariant(std::string("9600,n,8,1")) << "9600,n,8,1";
    QTest::newRow("int") << IniVariant(int64_t{-5}) << "-5";
    QTest::newRow("whole double") << IniVariant(7.0) << "7";
    QTest::newRow("double") << IniVariant(2.06) << "2.06";
    QTest::newRow("Boolean") << IniVariant(false) << "False";
    QTest::newRow("date") << IniVariant(IniDateTime{2024, 3, 14, 0, 0, 0}) << "2024-03-14";
    QTest::newRow("date and time")
        << IniVariant(IniDateTime{2024, 3, 14, 9, 5, 7}) << "2024-03-14 09:05:07";
}

void TestCIniFile::toText()
{
    QFETCH(IniVariant, value);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(IniVariantToText(value)), expected);
}

QTEST_GUILESS_MAIN(TestCIniFile)
#include "tst_cinifile.moc"
