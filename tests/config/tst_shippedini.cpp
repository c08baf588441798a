// The Tarn.INI delivered with the program: its keyed values, and the layout that the
// line-by-line loaders of the list sections depend on.

#include "config/CIniFile.h"
#include "config/IniFile.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

class TestShippedIni : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void crlfLineEnds();
    void keyedValues();
    void headersFoundByTheLoaders_data();
    void headersFoundByTheLoaders();
    void sectionsSeparatedByEmptyLines();
    void eventCodeSections();
    void profiles();
    void messages();

private:
    /// The list lines of the section whose header is at `header`, starting `skip` lines
    /// below it; fails unless the block runs unbroken up to the next section or the end.
    QStringList ListBlock(int header, int skip);
    int HeaderLine(const QString& name) const;

    QString m_path;
    QByteArray m_bytes;
    QStringList m_lines;
};

void TestShippedIni::initTestCase()
{
    const QByteArray source = qgetenv("TARN_SOURCE");
    QVERIFY2(!source.isEmpty(), "TARN_SOURCE is not set");
    m_path = QString::fromLocal8Bit(source) + "/config/Tarn.INI";
    QFile file(m_path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(m_path));
    m_bytes = file.readAll();
    QVERIFY(!m_bytes.isEmpty());
    m_lines = QString::fromLatin1(m_bytes).split("\r\n");
    QCOMPARE(m_lines.takeLast(), QString()); // the file ends with a line end
}

void TestShippedIni::crlfLineEnds()
{
    QVERIFY(m_bytes.endsWith("\r\n"));
    QCOMPARE(m_bytes.count('\n'), m_bytes.count("\r\n"));
    QCOMPARE(m_bytes.count('\r'), m_bytes.count("\r\n"));
    for (const char c : m_bytes)
        QVERIFY2(c == '\r' || c == '\n' || static_cast<unsigned char>(c) >= 0x20,
                 "control character in the file");
}

void TestShippedIni::keyedValues()
{
    const std::string path = m_path.toStdString();
    const CIniFile ini;
    bool ok = false;
    QCOMPARE(IniVariantToInt16(ini.UT_IniRead("COMMUNICATION", "Port", "IN", path), &ok), 1);
    QVERIFY(ok);
    QCOMPARE(IniVariantToText(ini.UT_IniRead("COMMUNICATION", "Settings", "ST", path)),
             std::string("9600,n,8,1"));
    QCOMPARE(IniVariantToInt16(ini.UT_IniRead("Tarn", "Detector voltage switch", "IN", path), &ok),
             0);
    QVERIFY(ok);

    // The port map is the installation's business, not the sample's.
    QVERIFY(HeaderLine("PORTS") < 0);
    std::string value;
    QVERIFY(!IniFile::Read(path, "PORTS", "COM1", value));
}

void TestShippedIni::headersFoundByTheLoaders_data()
{
    QTest::addColumn<QString>("search");
    QTest::newRow("event codes 1") << "[EVENT_CODES_1";
    QTest::newRow("event codes 2") << "[EVENT_CODES_2";
    QTest::newRow("profiles") << "[PROFILES";
    QTest::newRow("messages") << "[MESSAGES";
}

void TestShippedIni::headersFoundByTheLoaders()
{
    // The loaders take the first line containing the text, case told apart, as the header.
    QFETCH(QString, search);
    int first = -1;
    for (int i = 0; i < m_lines.size() && first < 0; ++i)
        if (m_lines[i].contains(search, Qt::CaseSensitive))
            first = i;
    QVERIFY2(first >= 0, qPrintable(search));
    QCOMPARE(m_lines[first], search + "]");
}

void TestShippedIni::sectionsSeparatedByEmptyLines()
{
    QStringList headers;
    for (int i = 0; i < m_lines.size(); ++i) {
        if (!m_lines[i].startsWith('['))
            continue;
        headers << m_lines[i];
        if (headers.size() > 1)
            QVERIFY2(m_lines[i - 1].isEmpty(), qPrintable(m_lines[i]));
    }
    QCOMPARE(headers, QStringList({"[COMMUNICATION]", "[Tarn]", "[EVENT_CODES_1]",
                                   "[EVENT_CODES_2]", "[PROFILES]", "[MESSAGES]"}));
    // Comment lines explain the file only at its top, before the first section.
    const int firstHeader = HeaderLine("COMMUNICATION");
    for (int i = firstHeader; i < m_lines.size(); ++i)
        QVERIFY2(!m_lines[i].startsWith(';'), qPrintable(m_lines[i]));
    for (int i = 0; i < firstHeader; ++i)
        QVERIFY2(m_lines[i].isEmpty() || m_lines[i].startsWith(';'), qPrintable(m_lines[i]));
}

void TestShippedIni::eventCodeSections()
{
    const CIniFile ini;
    QList<QMap<int, QString>> sections;
    double previousHigh = -1;
    for (int n = 1;; ++n) {
        const QString name = QString("EVENT_CODES_%1").arg(n);
        const std::string version = IniVariantToText(
            ini.UT_IniRead(name.toStdString(), "Version", "ST", m_path.toStdString()));
        if (version.empty())
            break;
        const int header = HeaderLine(name);
        QVERIFY(header >= 0);
        QCOMPARE(m_lines[header + 1], "Version=" + QString::fromStdString(version));

        static const QRegularExpression range(R"(^(\d+\.\d\d)-(\d+\.\d\d)$)");
        const auto match = range.match(QString::fromStdString(version));
        QVERIFY2(match.hasMatch(), version.c_str());
        const double low = match.captured(1).toDouble();
        const double high = match.captured(2).toDouble();
        QVERIFY(low <= high);
        QVERIFY2(low > previousHigh, "version ranges overlap");
        previousHigh = high;

        QMap<int, QString> codes;
        for (const QString& line : ListBlock(header, 2)) {
            const QString key = line.section('=', 0, 0);
            bool isNumber = false;
            const int code = key.toInt(&isNumber);
            QVERIFY2(isNumber && code >= 0 && code <= 255 && QString::number(code) == key,
                     qPrintable(line));
            QVERIFY2(!codes.contains(code), qPrintable(line));
            codes.insert(code, line.section('=', 1));
            QVERIFY2(!codes[code].trimmed().isEmpty(), qPrintable(line));
        }
        sections << codes;
    }
    QCOMPARE(sections.size(), 2);
    QCOMPARE(previousHigh, 9.99);

    // The codes the controller logs mean the same in every firmware range; later firmware
    // only adds codes.
    for (int code = 1; code <= 40; ++code) {
        QVERIFY2(sections[0].contains(code), qPrintable(QString::number(code)));
        QCOMPARE(sections[1].value(code), sections[0].value(code));
    }
    for (auto it = sections[0].cbegin(); it != sections[0].cend(); ++it)
        QCOMPARE(sections[1].value(it.key()), it.value());
    QVERIFY(sections[1].size() > sections[0].size());
    QVERIFY(sections[0].size() >= 25 && sections[1].size() <= 60);
}

void TestShippedIni::profiles()
{
    const int header = HeaderLine("PROFILES");
    QVERIFY(header >= 0);
    const QStringList lines = ListBlock(header, 1);
    QVERIFY(lines.size() >= 5 && lines.size() <= 8);
    QSet<int> ids;
    static const QRegularExpression token("^(T|F|S|\\d+)$");
    for (const QString& line : lines) {
        const QString id = line.section('=', 0, 0);
        const QString rest = line.section('=', 1);
        bool isNumber = false;
        QVERIFY2(id.toInt(&isNumber) >= 1 && isNumber && id.toInt() <= 8, qPrintable(line));
        QVERIFY2(!ids.contains(id.toInt()), qPrintable(line));
        ids.insert(id.toInt());
        QVERIFY2(rest.contains('|'), qPrintable(line));
        const QString name = rest.section('|', 0, 0);
        const QString definition = rest.section('|', 1);
        QVERIFY2(!name.trimmed().isEmpty(), qPrintable(line));
        QVERIFY2(definition.startsWith("T,0,") && definition.size() >= 12, qPrintable(line));

        // Letter, start time, letter, start time ... ending with S and its time; start times
        // never go back.
        const QStringList tokens = definition.split(',');
        QVERIFY2(tokens.size() % 2 == 0 && tokens.size() >= 4, qPrintable(line));
        QCOMPARE(tokens[tokens.size() - 2], QString("S"));
        int previous = 0;
        for (int i = 0; i < tokens.size(); i += 2) {
            QVERIFY2(QString("TFS").contains(tokens[i]) && tokens[i].size() == 1, qPrintable(line));
            QVERIFY2(token.match(tokens[i + 1]).hasMatch(), qPrintable(line));
            const int start = tokens[i + 1].toInt(&isNumber);
            QVERIFY2(isNumber && start >= previous, qPrintable(line));
            previous = start;
        }
    }
}

void TestShippedIni::messages()
{
    const int header = HeaderLine("MESSAGES");
    QVERIFY(header >= 0);
    const QStringList lines = ListBlock(header, 1);
    QVERIFY(!lines.isEmpty());
    QSet<QString> keys;
    for (const QString& line : lines) {
        const QString key = line.section('=', 0, 0);
        QVERIFY2(!keys.contains(key), qPrintable(line));
        keys.insert(key);
        QVERIFY2(!line.section('=', 1).isEmpty(), qPrintable(line));
    }
}

QStringList TestShippedIni::ListBlock(int header, int skip)
{
    QStringList block;
    int i = header + skip;
    for (; i < m_lines.size(); ++i) {
        const QString& line = m_lines[i];
        if (line.trimmed().isEmpty() || !line.contains('='))
            break;
        block << line;
    }
    // Whatever stops the list must be the end of the section too.
    for (; i < m_lines.size() && !m_lines[i].startsWith('['); ++i)
        if (!m_lines[i].isEmpty()) {
            QTest::qFail(qPrintable("list broken before: " + m_lines[i]), __FILE__, __LINE__);
            return {};
        }
    return block;
}

int TestShippedIni::HeaderLine(const QString& name) const
{
    return static_cast<int>(m_lines.indexOf("[" + name + "]"));
}

QTEST_GUILESS_MAIN(TestShippedIni)
#include "tst_shippedini.moc"
