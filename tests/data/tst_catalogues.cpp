#include <QTest>

#include "IniFixture.h"
#include "data/Catalogues.h"
#include "data/ProfileCompiler.h"

namespace {

constexpr char T = char(kStepTimed);
constexpr char F = char(kStepFlow);

QByteArray Steps(std::initializer_list<std::pair<char, int>> steps)
{
    QByteArray bytes;
    for (const auto& [code, duration] : steps)
        bytes += char(uchar(code) | uchar(duration));
    return bytes;
}

const QString kHead = QStringLiteral("An error ocurred while reading the Tarn.INI file!\r");

} // namespace

class TestCatalogues : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void compileProfile_data()
    {
        QTest::addColumn<QString>("definition");
        QTest::addColumn<QByteArray>("compiled");

        QTest::newRow("long step split at 120")
            << "T,0,F,30,T,200,S,260" << Steps({{T, 30}, {F, 120}, {F, 50}, {T, 60}});
        QTest::newRow("shorter than 12") << "T,0,S,5" << QByteArray();
        QTest::newRow("exactly 12") << "T,0,F,5,S,60" << Steps({{T, 5}, {F, 55}});
        QTest::newRow("not starting with T") << "F,0,T,30,S,60" << QByteArray();
        QTest::newRow("start times from 65000 last 1")
            << "T,0,F,30,T,65000,S,65100" << Steps({{T, 30}, {F, 1}, {T, 1}});
        QTest::newRow("halves round to even") << "T,0.5,F,2.5,S,3.5" << Steps({{T, 2}, {F, 2}});
        QTest::newRow("second letter replaces the first")
            << "T,0,F,T,30,S,60" << Steps({{T, 30}, {T, 30}});
        QTest::newRow("S in the middle ends it") << "T,0,S,30,T,60,F,90" << Steps({{T, 30}});
        QTest::newRow("no S: last step has no length")
            << "T,0,F,30,T,60" << Steps({{T, 30}, {F, 30}});
        QTest::newRow("negative start time") << "T,0,F,-30,T,30,S,60" << Steps({{F, 60}, {T, 30}});
        QTest::newRow("absurd start time stops at the length limit")
            << "T,0,F,-2000000000,T,30,S,60"
            << QByteArray(kMaxCompiledProfileLength, static_cast<char>(F | kMaxStepDuration));
        QTest::newRow("only empty tokens") << "T,,,,,,,,,,,,,,,," << QByteArray();
    }

    void compileProfile()
    {
        QFETCH(QString, definition);
        QFETCH(QByteArray, compiled);
        const std::string result = CompileProfile(definition.toLatin1().toStdString());
        QCOMPARE(QByteArray::fromStdString(result).toHex(' '), compiled.toHex(' '));
    }

    void loadCatalogue_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("loaded");

        const QByteArray comm = "[COMMUNICATION]\r\nPort=1\r\nSettings=9600,n,8,1\r\n\r\n";
        QTest::newRow("CRLF file")
            << comm + "[PROFILES]\r\n1=Short|T,0,F,30,S,60\r\n3=Alpha|T,0,F,10,S,20\r\n\r\n"
                      "[MESSAGES]\r\n1=first message\r\n2=second\r\n"
            << QStringList{"P 1|Short|T,0,F,30,S,60", "P 3|Alpha|T,0,F,10,S,20",
                           "M 1=first message", "M 2=second"};
        QTest::newRow("nothing trimmed, split at the first = and |")
            << QByteArray("[PROFILES]\n 4 = Spaced |T,0,F,10,S,20 \n5=A=B|x|y\n\n"
                          "[MESSAGES]\n k =  text \n")
            << QStringList{"P  4 | Spaced |T,0,F,10,S,20 ", "P 5|A=B|x|y", "M  k =  text "};
        QTest::newRow("empty line ends the list")
            << QByteArray("[PROFILES]\n1=One|T,0,F,30,S,60\n\n2=Two|T,0,F,30,S,60\n")
            << QStringList{"P 1|One|T,0,F,30,S,60"};
        QTest::newRow("8-bit text kept") << QByteArray("[MESSAGES]\n1=R\xF6hre \xB4\n")
                                         << QStringList{QString::fromLatin1("M 1=R\xF6hre \xB4")};
    }

    void loadCatalogue()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, loaded);

        const QString path = WriteIni(m_dir, content);
        QVERIFY(!path.isEmpty());
        // Profiles load over the row before's; messages are cleared, since a failed profile list
        // leaves them as they were.
        MessageCatalogue.Clear();
        std::string errText;
        QVERIFY2(LoadCatalogue(path.toStdString(), errText), errText.c_str());
        QCOMPARE(Loaded(), loaded);
    }

    void missingFile()
    {
        std::string errText;
        QVERIFY(!LoadCatalogue(m_dir.filePath("absent.INI").toStdString(), errText));
        QCOMPARE(Latin1(errText), kHead + "53 - File not found");
        QVERIFY(ProfileCatalogue.Empty());
    }

    void reloadReplacesTheMessages()
    {
        std::string errText;
        QVERIFY(LoadCatalogue(WriteIni(m_dir, "[MESSAGES]\n1=a\n").toStdString(), errText));
        QVERIFY(LoadCatalogue(WriteIni(m_dir, "[MESSAGES]\n2=b\n").toStdString(), errText));
        QCOMPARE(Loaded(), QStringList{"M 2=b"});
    }
};

QTEST_APPLESS_MAIN(TestCatalogues)
#include "tst_catalogues.moc"
