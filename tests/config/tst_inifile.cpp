#include "config/IniFile.h"
#include "config/ProgramFolder.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

std::string Std(const QString& text)
{
    return text.toLatin1().toStdString();
}

/// The sample every "shape" row starts from: a CRLF file with comments and list sections.
const QByteArray kCrlfSample = "; Settings of the program\r\n"
                               "\r\n"
                               "[COMMUNICATION]\r\n"
                               "Port=1\r\n"
                               "Settings=9600,n,8,1\r\n"
                               "\r\n"
                               "[EVENT_CODES_1]\r\n"
                               "Version=1.00-2.06\r\n"
                               "1=Alarm detector 1\r\n"
                               "17=Mains power failure\r\n"
                               "\r\n"
                               "[PROFILES]\r\n"
                               "1=Continuous|T,0,F,600,S,600\r\n"
                               "2=Short|T,0,F,30,S,60\r\n";

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void read_data();
    void read();
    void readMissingFile();

    void write_data();
    void write();
    void writeCreatesMissingFile();
    void writeRefusals();
    void writeLeavesNoTemporaryFile();

    void deleteSection_data();
    void deleteSection();
    void deleteSectionOfMissingFile();

    void programFolder();
    void findFileNoCase();

private:
    QString m_path;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestIniFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath("Tarn.INI");
}

void TestIniFile::read_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("plain key") << kCrlfSample << "COMMUNICATION"
                               << "Port" << true << QByteArray("1");
    QTest::newRow("value holding commas") << kCrlfSample << "COMMUNICATION"
                                          << "Settings" << true << QByteArray("9600,n,8,1");
    QTest::newRow("section and key in other case") << kCrlfSample << "communication"
                                                   << "pORT" << true << QByteArray("1");
    QTest::newRow("list line read as key") << kCrlfSample << "EVENT_CODES_1"
                                           << "17" << true << QByteArray("Mains power failure");
    QTest::newRow("missing key") << kCrlfSample << "COMMUNICATION"
                                 << "Baud" << false << QByteArray();
    QTest::newRow("missing section") << kCrlfSample << "Tarn"
                                     << "Port" << false << QByteArray();
    QTest::newRow("key of another section") << kCrlfSample << "PROFILES"
                                            << "Port" << false << QByteArray();
    QTest::newRow("blanks around everything")
        << QByteArray("  [ Tarn ]  \n  Detector voltage switch  =  2  \n") << "Tarn"
        << "Detector voltage switch" << true << QByteArray("2");
    QTest::newRow("first matching section wins")
        << QByteArray("[A]\nk=first\n[B]\nk=b\n[a]\nk=second\n") << "A"
        << "k" << true << QByteArray("first");
    QTest::newRow("first matching key wins") << QByteArray("[A]\nK=first\nk=second\n") << "a"
                                             << "k" << true << QByteArray("first");
    QTest::newRow("key only in a later duplicate section is not seen")
        << QByteArray("[A]\nx=1\n[A]\nk=2\n") << "A"
        << "k" << false << QByteArray();
    QTest::newRow("comment is no key") << QByteArray("[A]\n;k=commented\n") << "A"
                                       << ";k" << false << QByteArray();
    QTest::newRow("key before any section belongs to none") << QByteArray("k=1\n[A]\n") << "A"
                                                            << "k" << false << QByteArray();
    QTest::newRow("value with equal sign") << QByteArray("[A]\nk=b=c\n") << "A"
                                           << "k" << true << QByteArray("b=c");
    QTest::newRow("empty value is found") << QByteArray("[A]\r\nk=\r\n") << "A"
                                          << "k" << true << QByteArray();
    QTest::newRow("8-bit text kept") << QByteArray("[A]\r\nt=Can\xB4t 20\xB0"
                                                   "C\r\n")
                                     << "A"
                                     << "t" << true
                                     << QByteArray("Can\xB4t 20\xB0"
                                                   "C");
    QTest::newRow("last line without line end") << QByteArray("[A]\nk=last") << "A"
                                                << "k" << true << QByteArray("last");
    QTest::newRow("header without closing bracket is no header") << QByteArray("[A\nk=1\n") << "A"
                                                                 << "k" << false << QByteArray();
}

void TestIniFile::read()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(bool, found);
    QFETCH(QByteArray, value);

    WriteAll(m_path, content);
    std::string got = "stale";
    QCOMPARE(IniFile::Read(Std(m_path), Std(section), Std(key), got), found);
    QCOMPARE(QByteArray::fromStdString(got), value);
    QCOMPARE(ReadAll(m_path), content);
}

void TestIniFile::readMissingFile()
{
    std::string got = "stale";
    QVERIFY(!IniFile::Read(Std(m_path), "COMMUNICATION", "Port", got));
    QVERIFY(got.empty());
    QVERIFY(!QFileInfo::exists(m_path));
}

void TestIniFile::write_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QByteArray replaced = kCrlfSample;
    replaced.replace("Port=1\r\n", "Port=3\r\n");
    QTest::newRow("value replaced in place, everything else byte for byte")
        << kCrlfSample << "COMMUNICATION"
        << "Port"
        << "3" << replaced;

    QByteArray otherCase = kCrlfSample;
    otherCase.replace("Settings=9600,n,8,1", "Settings=19200,n,8,1");
    QTest::newRow("other case keeps the file's spelling") << kCrlfSample << "Communication"
                                                          << "SETTINGS"
                                                          << "19200,n,8,1" << otherCase;

    QByteArray added = kCrlfSample;
    added.replace("Settings=9600,n,8,1\r\n", "Settings=9600,n,8,1\r\nBaud=2\r\n");
    QTest::newRow("new key after the section's last line, CRLF kept")
        << kCrlfSample << "COMMUNICATION"
        << "Baud"
        << "2" << added;

    QTest::newRow("new section at the end after an empty line, CRLF kept")
        << kCrlfSample << "Tarn"
        << "Detector voltage switch"
        << "0" << kCrlfSample + "\r\n[Tarn]\r\nDetector voltage switch=0\r\n";

    QTest::newRow("list section line replaced alone")
        << kCrlfSample << "EVENT_CODES_1"
        << "17"
        << "Power failure"
        << QByteArray(kCrlfSample).replace("17=Mains power failure", "17=Power failure");

    QTest::newRow("LF file stays LF") << QByteArray("[A]\nx=1\n\n[B]\ny=2\n") << "A"
                                      << "z"
                                      << "3" << QByteArray("[A]\nx=1\nz=3\n\n[B]\ny=2\n");
    QTest::newRow("key into a section that has only its header")
        << QByteArray("[A]\r\n\r\n[B]\r\n") << "A"
        << "k"
        << "1" << QByteArray("[A]\r\nk=1\r\n\r\n[B]\r\n");
    QTest::newRow("last line without line end gets one") << QByteArray("[A]\nx=1") << "A"
                                                         << "y"
                                                         << "2" << QByteArray("[A]\nx=1\ny=2\n");
    QTest::newRow("new section after a file ending in an empty line")
        << QByteArray("[A]\nx=1\n\n") << "B"
        << "k"
        << "v" << QByteArray("[A]\nx=1\n\n[B]\nk=v\n");
    QTest::newRow("only the first of duplicate sections and keys changes")
        << QByteArray("[A]\nk=1\nk=2\n[a]\nk=3\n") << "A"
        << "K"
        << "9" << QByteArray("[A]\nk=9\nk=2\n[a]\nk=3\n");
    QTest::newRow("blanks around the key kept, value trimmed")
        << QByteArray("[ A ]\n  Port = 1 \n") << "a"
        << "port"
        << "  5  " << QByteArray("[ A ]\n  Port =5\n");
    QTest::newRow("commented key left alone") << QByteArray("[A]\n;k=old\nk=1\n") << "A"
                                              << "k"
                                              << "2" << QByteArray("[A]\n;k=old\nk=2\n");
    QTest::newRow("key before any section not taken for the section's")
        << QByteArray("k=1\n[A]\n") << "A"
        << "k"
        << "2" << QByteArray("k=1\n[A]\nk=2\n");
    QTest::newRow("8-bit bytes of other lines kept") << QByteArray("[A]\r\n1=20\xB0"
                                                                   "C\r\nk=1\r\n")
                                                     << "A"
                                                     << "k"
                                                     << "2"
                                                     << QByteArray("[A]\r\n1=20\xB0"
                                                                   "C\r\nk=2\r\n");
    QTest::newRow("empty file gets the section without an empty line before it")
        << QByteArray("") << "A"
        << "k"
        << "v" << QByteArray("[A]\nk=v\n");
}

void TestIniFile::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);

    WriteAll(m_path, before);
    QVERIFY(IniFile::Write(Std(m_path), Std(section), Std(key), Std(value)));
    QCOMPARE(ReadAll(m_path), after);

    std::string got;
    QVERIFY(IniFile::Read(Std(m_path), Std(section), Std(key), got));
    QCOMPARE(QString::fromStdString(got), value.trimmed());
}

void TestIniFile::writeCreatesMissingFile()
{
    QVERIFY(IniFile::Write(Std(m_path), "COMMUNICATION", "Port", "2"));
    QVERIFY(IniFile::Write(Std(m_path), "COMMUNICATION", "Settings", "9600,n,8,1"));
    QCOMPARE(ReadAll(m_path), QByteArray("[COMMUNICATION]\nPort=2\nSettings=9600,n,8,1\n"));
}

void TestIniFile::writeRefusals()
{
    WriteAll(m_path, kCrlfSample);
    const std::string path = Std(m_path);

    // Values and names that would add lines or headers to the file.
    QVERIFY(!IniFile::Write(path, "COMMUNICATION", "Port", "1\r\n[EVIL]"));
    QVERIFY(!IniFile::Write(path, "COMMUNICATION", "Port", "1\nx=2"));
    QVERIFY(!IniFile::Write(path, "COMMUNICATION", "a=b", "1"));
    QVERIFY(!IniFile::Write(path, "COMMUNICATION", "", "1"));
    QVERIFY(!IniFile::Write(path, "COMMUNICATION", ";Port", "1"));
    QVERIFY(!IniFile::Write(path, "A]B", "k", "1"));
    QVERIFY(!IniFile::Write(path, "", "k", "1"));
    QCOMPARE(ReadAll(m_path), kCrlfSample);

    // A folder that does not exist.
    QVERIFY(!IniFile::Write(Std(m_dir->filePath("missing/Tarn.INI")), "A", "k", "1"));
    QVERIFY(!QFileInfo::exists(m_dir->filePath("missing")));

    // A read-only file stays as it was.
    QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::ReadGroup));
    QVERIFY(!IniFile::Write(path, "COMMUNICATION", "Port", "7"));
    QVERIFY(!IniFile::DeleteSection(path, "PROFILES"));
    QCOMPARE(ReadAll(m_path), kCrlfSample);
    QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner));
}

void TestIniFile::writeLeavesNoTemporaryFile()
{
    WriteAll(m_path, kCrlfSample);
    QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    for (int port = 1; port <= 20; ++port)
        QVERIFY(IniFile::Write(Std(m_path), "COMMUNICATION", "Port", std::to_string(port)));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Tarn.INI"});
    const QFile::Permissions modeBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                        QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(QFile::permissions(m_path) & modeBits,
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    std::string got;
    QVERIFY(IniFile::Read(Std(m_path), "COMMUNICATION", "Port", got));
    QCOMPARE(got, std::string("20"));
}

void TestIniFile::deleteSection_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QByteArray>("after");

    const QByteArray abc = "[A]\nx=1\n\n[B]\n;note\ny=2\n\n[C]\nz=3\n";
    QTest::newRow("middle section with its comment and blank line")
        << abc << "B" << QByteArray("[A]\nx=1\n\n[C]\nz=3\n");
    QTest::newRow("other case and blanks") << abc << "  b " << QByteArray("[A]\nx=1\n\n[C]\nz=3\n");
    QTest::newRow("last section") << abc << "C" << QByteArray("[A]\nx=1\n\n[B]\n;note\ny=2\n\n");
    QTest::newRow("missing section leaves the file") << abc << "D" << abc;
    QTest::newRow("every duplicate goes")
        << QByteArray("[A]\nx=1\n[B]\ny=2\n[a]\nx=3\n") << "A" << QByteArray("[B]\ny=2\n");

    QByteArray withoutProfiles = kCrlfSample;
    withoutProfiles.truncate(withoutProfiles.indexOf("[PROFILES]"));
    QTest::newRow("CRLF list section") << kCrlfSample << "PROFILES" << withoutProfiles;
}

void TestIniFile::deleteSection()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QByteArray, after);

    WriteAll(m_path, before);
    QVERIFY(IniFile::DeleteSection(Std(m_path), Std(section)));
    QCOMPARE(ReadAll(m_path), after);
}

void TestIniFile::deleteSectionOfMissingFile()
{
    QVERIFY(IniFile::DeleteSection(Std(m_path), "A"));
    QVERIFY(!QFileInfo::exists(m_path));
}

void TestIniFile::programFolder()
{
    const QByteArray saved = qgetenv("TARN_HOME");
    const bool wasSet = qEnvironmentVariableIsSet("TARN_HOME");

    qunsetenv("TARN_HOME");
    QCOMPARE(QFileInfo(QString::fromStdString(ProgramFolder())).canonicalFilePath(),
             QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath());

    qputenv("TARN_HOME", "");
    QCOMPARE(QFileInfo(QString::fromStdString(ProgramFolder())).canonicalFilePath(),
             QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath());

    qputenv("TARN_HOME", (m_dir->path() + "/").toLocal8Bit());
    QCOMPARE(QString::fromStdString(ProgramFolder()), m_dir->path());
    QCOMPARE(QString::fromStdString(ProgramFile(kStatusReportFileName)),
             m_dir->filePath("tarn.sts"));

    // An existing file in other letter case is the one meant.
    WriteAll(m_dir->filePath("TARN.ini"), "[A]\n");
    QCOMPARE(QString::fromStdString(ProgramFile(kIniFileName)), m_dir->filePath("TARN.ini"));

    if (wasSet)
        qputenv("TARN_HOME", saved);
    else
        qunsetenv("TARN_HOME");
}

void TestIniFile::findFileNoCase()
{
    const std::string folder = Std(m_dir->path());
    QVERIFY(FindFileNoCase(folder, "tarn.ini").empty());

    WriteAll(m_path, "[A]\n");
    QVERIFY(QDir(m_dir->path()).mkdir("tarn.sts"));
    QCOMPARE(QString::fromStdString(FindFileNoCase(folder, "tarn.ini")), m_path);
    QCOMPARE(QString::fromStdString(FindFileNoCase(folder, "Tarn.INI")), m_path);
    // A folder of that name is no file.
    QVERIFY(FindFileNoCase(folder, "TARN.STS").empty());
    QVERIFY(FindFileNoCase(folder, "tarn.in").empty());
    QVERIFY(FindFileNoCase(Std(m_dir->filePath("missing")), "tarn.ini").empty());
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
