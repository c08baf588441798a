#include <QDir>
#include <QTest>

#include "IniFixture.h"

/// Tarn.INI files as hand edits and other tools leave them: each loader gives its own message
/// and keeps what it read before the fault; none crashes.
namespace {

const QString kCatalogueHead =
    QStringLiteral("An error ocurred while reading the Tarn.INI file!\r");
const QString kCodeHead =
    QStringLiteral("An error ocurred while reading event code from the Tarn.INI file!\r");
const QString kDuplicate =
    QStringLiteral("457 - This key is already associated with an element of this collection");
constexpr double kVersion = 2.5;

const QByteArray kWhole =
    "[COMMUNICATION]\r\nPort=1\r\n\r\n[PROFILES]\r\n1=One|T,0,F,30,S,60\r\n\r\n"
    "[MESSAGES]\r\n1=a\r\n\r\n[EVENT_CODES_1]\r\nVersion=2.00-2.99\r\n7=x\r\n";
const QStringList kWholeLoaded{"P 1|One|T,0,F,30,S,60", "M 1=a", "E 7=x"};

} // namespace

class TestMalformedIni : public QObject
{
    Q_OBJECT

private slots:
    void corpus_data()
    {
        QTest::addColumn<QByteArray>("content"); // a null array: a folder named Tarn.INI
        QTest::addColumn<QStringList>("loaded");
        QTest::addColumn<QString>("catalogueError");
        QTest::addColumn<QString>("codeError");
        const auto row = [](const char* name, const QByteArray& content, const QStringList& loaded,
                            const QString& catalogueError = {}, const QString& codeError = {}) {
            QTest::newRow(name) << content << loaded << catalogueError << codeError;
        };

        const QByteArray n300(300, 'n');
        const QString s300(300, u'n');
        row("no sections", "Port=1\r\nfree text\r\n", {});
        row("only [COMMUNICATION]", "[COMMUNICATION]\r\nPort=1\r\n", {});
        row("profile without |",
            "[PROFILES]\r\n1=One|T,0,S,60\r\n2=Two\r\n" + kWhole.mid(kWhole.indexOf("[MESSAGES]")),
            {"P 1|One|T,0,S,60", "E 7=x"},
            kCatalogueHead + "5 - Invalid procedure call or argument");
        row("repeated keys",
            "[MESSAGES]\r\n1=a\r\n1=b\r\n\r\n[EVENT_CODES_1]\r\nVersion=2.00-2.99\r\n7=x\r\n7="
            "y\r\n",
            {"M 1=a", "E 7=x"}, kCatalogueHead + kDuplicate, kCodeHead + kDuplicate);
        row("repeated Version: the first counts",
            "[EVENT_CODES_1]\r\nVersion=1.00-1.99\r\nVersion=2.00-2.99\r\n7=x\r\n", {});
        row("Version without -", QByteArray(kWhole).replace("2.00-2.99", "2.50"),
            {"P 1|One|T,0,F,30,S,60", "M 1=a"}, {}, kCodeHead + "9 - Subscript out of range");
        // The catalogue lists end at a line without "="; the event codes take the line after
        // their header as the Version line, whatever it holds.
        row("comments between header and list",
            "[PROFILES]\r\n; profiles\r\n1=One|T,0,S,60\r\n\r\n[MESSAGES]\r\n;\r\n1=a\r\n\r\n"
            "[EVENT_CODES_1]\r\n; codes\r\nVersion=2.00-2.99\r\n7=x\r\n",
            {"E Version=2.00-2.99", "E 7=x"});
        row("300-character values",
            "[PROFILES]\r\n1=" + n300 + "|" + n300 + "\r\n\r\n[MESSAGES]\r\n" + n300 + "=" + n300 +
                "\r\n\r\n[EVENT_CODES_1]\r\nVersion=2.00-2." + QByteArray(296, '9') +
                "\r\n7=" + n300 + "\r\n",
            {"P 1|" + s300 + "|" + s300, "M " + s300 + "=" + s300, "E 7=" + s300});
        row("lower-case headers: only the event codes find theirs", QByteArray(kWhole).toLower(),
            {"E 7=x"});
        row("LF line ends", QByteArray(kWhole).replace("\r\n", "\n"), kWholeLoaded);
        row("CR-only line ends", QByteArray(kWhole).replace("\r\n", "\r"), kWholeLoaded);
        row("NUL bytes and a Ctrl-Z at the end",
            QByteArray(kWhole).replace("1=a", QByteArray("1=a\0b", 5)) + "\x1A",
            {"P 1|One|T,0,F,30,S,60", "M 1=" + QString(QLatin1StringView("a\0b", 3)), "E 7=x"});
        row("empty file", "", {});
        row("a folder of that name", QByteArray(), {}, kCatalogueHead + "57 - Device I/O error");
    }

    void corpus()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, catalogueError);
        QFETCH(QString, codeError);
        QFETCH(QStringList, loaded);

        QTemporaryDir dir;
        const QString path =
            content.isNull() ? dir.filePath(QStringLiteral("Tarn.INI")) : WriteIni(dir, content);
        QVERIFY(content.isNull() ? QDir(dir.path()).mkdir(QStringLiteral("Tarn.INI"))
                                 : !path.isEmpty());
        MessageCatalogue.Clear();
        std::string errText;
        bool ok = LoadCatalogue(path.toStdString(), errText);
        QCOMPARE(ok ? QString() : Latin1(errText), catalogueError);
        errText.clear();
        ok = LoadEventCodes(kVersion, path.toStdString(), errText);
        QCOMPARE(ok ? QString() : Latin1(errText), codeError);
        QCOMPARE(Loaded(), loaded);
    }
};

QTEST_APPLESS_MAIN(TestMalformedIni)
#include "tst_malformedini.moc"
