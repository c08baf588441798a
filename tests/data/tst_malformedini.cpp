#include <QDir>
#include <QTest>

#include "IniFixture.h"
#include "data/Catalogues.h"

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

/// Everything loaded, one line each: "P id|name|profile", "M key=text", "E key=text".
QStringList Loaded()
{
    QStringList lines;
    for (const Tarn_Profile& p : ProfileCatalogue)
        lines << "P " + Latin1(p.ID + "|" + p.Name + "|" + p.Profile);
    for (const Tarn_Message& m : MessageCatalogue)
        lines << "M " + Latin1(m.key + "=" + m.Text);
    for (const Tarn_Message& m : EventCodeCatalogue)
        lines << "E " + Latin1(m.key + "=" + m.Text);
    return lines;
}

} // namespace

class TestMalformedIni : public QObject
{
    Q_OBJECT

private slots:
    void corpus_data()
    {
        QTest::addColumn<QByteArray>("content"); // a null array: a folder named Tarn.INI
        QTest::addColumn<QString>("catalogueError");
        QTest::addColumn<QString>("codeError");
        QTest::addColumn<QStringList>("loaded");

        const QByteArray n300(300, 'n');
        const QString s300(300, u'n');
        QTest::newRow("no sections")
            << QByteArray("Port=1\r\nfree text\r\n") << QString() << QString() << QStringList();
        QTest::newRow("only [COMMUNICATION]") << QByteArray("[COMMUNICATION]\r\nPort=1\r\n")
                                              << QString() << QString() << QStringList();
        QTest::newRow("profile without |")
            << QByteArray("[PROFILES]\r\n1=One|T,0,S,60\r\n2=Two\r\n") +
                   kWhole.mid(kWhole.indexOf("[MESSAGES]"))
            << kCatalogueHead + "5 - Invalid procedure call or argument" << QString()
            << QStringList{"P 1|One|T,0,S,60", "E 7=x"};
        QTest::newRow("repeated keys")
            << QByteArray("[MESSAGES]\r\n1=a\r\n1=b\r\n\r\n[EVENT_CODES_1]\r\nVersion=2.00-2.99\r\n"
                          "7=x\r\n7=y\r\n")
            << kCatalogueHead + kDuplicate << kCodeHead + kDuplicate
            << QStringList{"M 1=a", "E 7=x"};
        QTest::newRow("repeated Version: the first counts")
            << QByteArray("[EVENT_CODES_1]\r\nVersion=1.00-1.99\r\nVersion=2.00-2.99\r\n7=x\r\n")
            << QString() << QString() << QStringList();
        QTest::newRow("Version without -") << QByteArray(kWhole).replace("2.00-2.99", "2.50")
                                           << QString() << kCodeHead + "9 - Subscript out of range"
                                           << QStringList{"P 1|One|T,0,F,30,S,60", "M 1=a"};
        // The catalogue lists end at a line without "="; the event codes take the line after
        // their header as the Version line, whatever it holds.
        QTest::newRow("comments between header and list")
            << QByteArray("[PROFILES]\r\n; profiles\r\n1=One|T,0,S,60\r\n\r\n[MESSAGES]\r\n;\r\n"
                          "1=a\r\n\r\n[EVENT_CODES_1]\r\n; codes\r\nVersion=2.00-2.99\r\n7=x\r\n")
            << QString() << QString() << QStringList{"E Version=2.00-2.99", "E 7=x"};
        QTest::newRow("300-character values")
            << "[PROFILES]\r\n1=" + n300 + "|" + n300 + "\r\n\r\n[MESSAGES]\r\n" + n300 + "=" +
                   n300 + "\r\n\r\n[EVENT_CODES_1]\r\nVersion=2.00-2." + QByteArray(296, '9') +
                   "\r\n7=" + n300 + "\r\n"
            << QString() << QString()
            << QStringList{"P 1|" + s300 + "|" + s300, "M " + s300 + "=" + s300, "E 7=" + s300};
        QTest::newRow("lower-case headers: only the event codes find theirs")
            << QByteArray(kWhole).toLower() << QString() << QString() << QStringList{"E 7=x"};
        QTest::newRow("LF line ends")
            << QByteArray(kWhole).replace("\r\n", "\n") << QString() << QString() << kWholeLoaded;
        QTest::newRow("CR-only line ends")
            << QByteArray(kWhole).replace("\r\n", "\r") << QString() << QString() << kWholeLoaded;
        QTest::newRow("NUL bytes and a Ctrl-Z at the end")
            << QByteArray(kWhole).replace("1=a", QByteArray("1=a\0b", 5)) + "\x1A" << QString()
            << QString()
            << QStringList{"P 1|One|T,0,F,30,S,60", "M 1=" + QString(QLatin1StringView("a\0b", 3)),
                           "E 7=x"};
        QTest::newRow("empty file") << QByteArray("") << QString() << QString() << QStringList();
        QTest::newRow("a folder of that name")
            << QByteArray() << kCatalogueHead + "57 - Device I/O error" << QString()
            << QStringList();
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
