#include "config/IniFile.h"
#include "config/ProgramFolder.h"

#include "TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

namespace {

/// The unprivileged user of Debian systems.
constexpr uid_t kNobody = 65534;

/// What a read finds when the key is not there.
const QByteArray kNone = "<none>";

/// A CRLF file with a comment and a list section after the one the writes go to.
const QByteArray kCrlfSample =
    "; Settings of the program\r\n\r\n[COMMUNICATION]\r\nPort=1\r\n"
    "Settings=9600,n,8,1\r\n\r\n[PROFILES]\r\n1=Continuous|T,0,F,600,S,600\r\n";

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

    QString m_path;
    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath("Tarn.INI");
    }

    void read_data()
    {
        using B = QByteArray;
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("where"); // section|key
        QTest::addColumn<QByteArray>("value");

        const QByteArray s = kCrlfSample;
        QTest::newRow("section and key in other case") << s << "communication|pORT" << B("1");
        QTest::newRow("missing key") << s << "COMMUNICATION|Baud" << kNone;
        QTest::newRow("blanks around everything")
            << B("  [ Tarn ]  \n  Detector voltage switch  =  2  \n")
            << "Tarn|Detector voltage switch" << B("2");
        QTest::newRow("first matching section wins")
            << B("[A]\nk=first\n[B]\nk=b\n[a]\nk=second\n") << "A|k" << B("first");
        QTest::newRow("empty section does not reach into the next")
            << B("[A]\n[B]\nk=b\n") << "A|k" << kNone;
        QTest::newRow("comment is no key") << B("[A]\n;k=commented\n") << "A|;k" << kNone;
        QTest::newRow("key before any section") << B("k=1\n[A]\n") << "A|k" << kNone;
        QTest::newRow("8-bit text kept")
            << B("[A]\r\nt=Can\xB4t 20\xB0\r\n") << "A|t" << B("Can\xB4t 20\xB0");
        QTest::newRow("header without bracket") << B("[A\nk=1\n") << "A|k" << kNone;
        // As the platform's profile reader reads files written by hand or other tools:
        QTest::newRow("value in double quotes") << B("[C]\nPort=\"3\"\n") << "C|Port" << B("3");
        QTest::newRow("value in single quotes")
            << B("[C]\nSettings= '9600,n,8,1' \n") << "C|Settings" << B("9600,n,8,1");
        QTest::newRow("quotes that do not match stay") << B("[C]\nk=\"3'\n") << "C|k" << B("\"3'");
        QTest::newRow("lines ended by CR alone") << B("[A]\rk=1\rm=2\r") << "A|m" << B("2");
        QTest::newRow("lone CR ending the file") << B("[S]\r\nk=v\r") << "S|k" << B("v");
        QTest::newRow("Ctrl-Z ending the file") << B("[S]\r\nk=v\x1A") << "S|k" << B("v");
        QTest::newRow("missing file") << B() << "COMMUNICATION|Port" << kNone;
    }

    void read()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, where);
        QFETCH(QByteArray, value);

        QVERIFY(content.isNull() || WriteAll(m_path, content));
        std::string got = "stale";
        const bool found = IniFile::Read(Std(m_path), Std(where.section('|', 0, 0)),
                                         Std(where.section('|', 1)), got);
        QCOMPARE(found ? QByteArray::fromStdString(got) : kNone, value);
        if (!found)
            QVERIFY(got.empty());
        QCOMPARE(ReadAll(m_path), content);
        QCOMPARE(QFileInfo::exists(m_path), !content.isNull());
    }

    void write_data()
    {
        using B = QByteArray;
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("assignment"); // section|key=value
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char* name, const B& before, const char* assignment,
                            const B& after) {
            QTest::newRow(name) << before << QString::fromLatin1(assignment) << after;
        };

        const QByteArray s = kCrlfSample;
        row("replaced in place, rest byte for byte", s, "COMMUNICATION|Port=3",
            QByteArray(s).replace("Port=1", "Port=3"));
        row("key that starts another key's name", "[C]\r\nPortName=x\r\nPort=1\r\n", "C|Port=3",
            "[C]\r\nPortName=x\r\nPort=3\r\n");
        row("other case keeps the spelling", s, "Communication|SETTINGS=19200,n,8,1",
            QByteArray(s).replace("=9600", "=19200"));
        row("new key after the section, CRLF", s, "COMMUNICATION|Baud=2",
            QByteArray(s).replace(",8,1\r\n", ",8,1\r\nBaud=2\r\n"));
        row("new section at the end, CRLF", s, "Tarn|Detector voltage switch=0",
            s + "\r\n[Tarn]\r\nDetector voltage switch=0\r\n");
        row("key into a header-only section", "[A]\r\n\r\n[B]\r\n", "A|k=1",
            "[A]\r\nk=1\r\n\r\n[B]\r\n");
        row("last line gets its line end", "[A]\nx=1", "A|y=2", "[A]\nx=1\ny=2\n");
        row("commented key left alone", "[A]\n;k=old\nk=1\n", "A|k=2", "[A]\n;k=old\nk=2\n");
        row("key before any section", "k=1\n[A]\n", "A|k=2", "k=1\n[A]\nk=2\n");
        // Writing one key never changes another's value.
        row("lone CR ending the file stays the line end", "[S]\r\nk=v\r", "S|m=1",
            "[S]\r\nk=v\rm=1\r\n");
        row("lines ended by CR alone", "[A]\rk=1\r", "A|m=2", "[A]\rk=1\rm=2\r");
        row("Ctrl-Z stays at the end", "[A]\r\nk=1\r\n\x1A", "B|x=1",
            "[A]\r\nk=1\r\n\r\n[B]\r\nx=1\r\n\x1A");
        row("missing file", B(), "A|k=v", "[A]\nk=v\n");
    }

    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, assignment);
        QFETCH(QByteArray, after);

        const QString where = assignment.section(u'=', 0, 0);
        const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
        if (!before.isNull())
            QVERIFY(WriteAll(m_path, before) && QFile::setPermissions(m_path, mode));
        QVERIFY(IniFile::Write(Std(m_path), Std(where.section('|', 0, 0)),
                               Std(where.section('|', 1)), Std(assignment.section(u'=', 1))));
        QCOMPARE(ReadAll(m_path), after);
        // The file keeps its mode, and no temporary file is left beside it.
        QVERIFY(before.isNull() ||
                (QFile::permissions(m_path) &
                 ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser)) == mode);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"Tarn.INI"});
    }

    /// Names and values are Latin-1 whatever the file's encoding; what a write puts in the
    /// file reads back, in a file read as UTF-8 and in one that the write could make one.
    void writeReadsBack_data()
    {
        using B = QByteArray;
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("after");

        const B utf8 = "[Z\xC3\x96NE]\nName=J\xC3\xB6rg\n";
        QTest::newRow("UTF-8 file, section of 8-bit name")
            << utf8 << B("Z\xD6NE") << B("\xB0") << B(utf8).replace("rg\n", "rg\nk=\xC2\xB0\n");
        QTest::newRow("UTF-8 file, new section of 8-bit name")
            << utf8 << B("C\xEF\xFB\xBFM") << B("1")
            << utf8 + "\n[C\xC3\xAF\xC3\xBB\xC2\xBFM]\nk=1\n";
        QTest::newRow("ASCII file, value whose bytes form UTF-8")
            << B("[A]\nx=1\n") << B("A") << B("\xC3\xA9") << B("[A]\nx=1\nk=\xC3\x83\xC2\xA9\n");
        QTest::newRow("Latin-1 file, its only 8-bit value replaced by bytes forming UTF-8")
            << B("[A]\nk=J\xF6rg\n") << B("A") << B("\xC3\xA9") << B("[A]\nk=\xC3\x83\xC2\xA9\n");
        QTest::newRow("Latin-1 file stays Latin-1")
            << B("[A]\nx=J\xF6rg\n") << B("A") << B("\xC3\xA9")
            << B("[A]\nx=J\xF6rg\nk=\xC3\xA9\n");
    }

    void writeReadsBack()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, after);

        std::string text = before.toStdString();
        QVERIFY(IniFile::WriteText(text, section.toStdString(), "k", value.toStdString()));
        QCOMPARE(QByteArray::fromStdString(text), after);
        std::string back;
        QVERIFY(IniFile::ReadText(text, section.toStdString(), "k", back));
        QCOMPARE(QByteArray::fromStdString(back), value);

        QVERIFY(WriteAll(m_path, before));
        QVERIFY(IniFile::Write(Std(m_path), section.toStdString(), "k", value.toStdString()));
        QCOMPARE(ReadAll(m_path), after);
        QVERIFY(IniFile::Read(Std(m_path), section.toStdString(), "k", back));
        QCOMPARE(QByteArray::fromStdString(back), value);
        QVERIFY(IniFile::DeleteSection(Std(m_path), section.toStdString()));
        QVERIFY(!IniFile::Read(Std(m_path), section.toStdString(), "k", back));
    }

    void writeRefusals()
    {
        QVERIFY(WriteAll(m_path, kCrlfSample));
        const std::string path = Std(m_path);

        // Values and names that would add lines or headers to the file, or end it (a value
        // ending in Ctrl-Z, written last, read back without it).
        QVERIFY(!IniFile::Write(path, "COMMUNICATION", "Port", "1\r\n[EVIL]"));
        QVERIFY(!IniFile::Write(path, "COMMUNICATION", "Port", "%3\x1A"));
        QVERIFY(!IniFile::Write(path, "COMMUNICATION", "a=b", "1"));
        QVERIFY(!IniFile::Write(path, "COMMUNICATION", ";Port", "1"));
        QVERIFY(!IniFile::Write(path, "A]B", "k", "1"));
        QCOMPARE(ReadAll(m_path), kCrlfSample);

        QVERIFY(!IniFile::Write(Std(m_dir->filePath("missing/Tarn.INI")), "A", "k", "1"));
        QVERIFY(!QFileInfo::exists(m_dir->filePath("missing")));

        // A read-only file stays as it was.
        QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::ReadGroup));
        QVERIFY(!IniFile::Write(path, "COMMUNICATION", "Port", "7"));
        QCOMPARE(ReadAll(m_path), kCrlfSample);
    }

    void writeInFolderTheUserCannotWrite()
    {
        // The file may be written, its folder not: no temporary file can be made there.
        QVERIFY(WriteAll(m_path, kCrlfSample));
        QVERIFY(QFile::setPermissions(m_path, QFileDevice::Permissions(0x6666)));
        QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x5555)));
        const QByteArray expected = QByteArray(kCrlfSample).replace("Port=1", "Port=7");
        bool written = false;
        if (geteuid() != 0) {
            written = IniFile::Write(Std(m_path), "COMMUNICATION", "Port", "7");
        } else {
            // Root may write anywhere: the write is made by an ordinary user.
            const pid_t child = fork();
            if (child == 0) {
                const bool ok = setegid(kNobody) == 0 && seteuid(kNobody) == 0 &&
                                IniFile::Write(Std(m_path), "COMMUNICATION", "Port", "7");
                _exit(ok ? 0 : 1);
            }
            int status = -1;
            written = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
                      WEXITSTATUS(status) == 0;
        }
        QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7700)));
        QVERIFY(written);
        QCOMPARE(ReadAll(m_path), expected);
    }

    void writeKeepsTheOwner()
    {
        if (geteuid() != 0)
            QSKIP("only root can write a file that another user owns");
        QVERIFY(WriteAll(m_path, kCrlfSample));
        QVERIFY(chown(m_path.toLocal8Bit().constData(), kNobody, kNobody) == 0);
        QVERIFY(IniFile::Write(Std(m_path), "COMMUNICATION", "Port", "7"));
        QCOMPARE(QFileInfo(m_path).ownerId(), kNobody);
        QCOMPARE(QFileInfo(m_path).groupId(), kNobody);
        QCOMPARE(ReadAll(m_path), QByteArray(kCrlfSample).replace("Port=1", "Port=7"));
    }

    /// A user's folder does not win over an executable's folder that holds Tarn.INI, as the
    /// build folder does. (TARN_HOME winning over that folder: every test in a ProgramHome.)
    void programFolder()
    {
        const QByteArray saved = qgetenv("TARN_HOME");
        qunsetenv("TARN_HOME");
        SetUserProgramFolder(Std(m_dir->filePath("user")));
        QVERIFY(!UsesUserProgramFolder());
        QCOMPARE(QFileInfo(QString::fromStdString(ProgramFolder())).canonicalFilePath(),
                 QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath());
        SetUserProgramFolder({});
        qputenv("TARN_HOME", saved); // an empty TARN_HOME counts as unset
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
