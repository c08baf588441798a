#include <QTest>

#include "CsvReadBack.h"
#include "IniFixture.h"
#include "config/IniEncoding.h"
#include "config/IniFile.h"
#include "data/Catalogues.h"
#include "data/CsvWriter.h"
#include "data/EventListCsv.h"
#include "data/EventLogReport.h"
#include "data/ExportText.h"
#include "data/Tarn_Inputs.h"

using namespace Qt::StringLiterals;

/// The values of the files written for other programs: one CSV dialect, TSV cells, numbers
/// and times; and how Tarn.INI's bytes are read.
class TestExportText : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void number_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("21 °C in °F") << Tarn_Inputs::CelsiusToFahrenheit(21) << u"69.8"_s;
        QTest::newRow("sum off by an ulp") << 0.1 + 0.2 << u"0.3"_s;
        QTest::newRow("whole") << 68.0 << u"68"_s;
        QTest::newRow("negative") << -5.0 << u"-5"_s;
        QTest::newRow("negative zero") << -0.0 << u"0"_s;
        QTest::newRow("firmware") << 2.07 << u"2.07"_s;
        QTest::newRow("-1 °C in °F") << Tarn_Inputs::CelsiusToFahrenheit(-1) << u"30.2"_s;
    }
    void number()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(ExportText::Number(value)), text);
        QCOMPARE(ExportText::Rounded(value), text.toDouble());
    }

    void times_data()
    {
        QTest::addColumn<qint64>("utcSeconds");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTC") << qint64(0) << 0 << u"1970-01-01T00:00:00+00:00"_s;
        QTest::newRow("an hour east, the day after")
            << qint64(1796598000) << 3600 << u"2026-12-07T00:00:00+01:00"_s;
        QTest::newRow("west, half hours, the day before")
            << qint64(1796605200) << -(4 * 3600 + 1800) << u"2026-12-06T20:30:00-04:30"_s;
    }
    void times()
    {
        QFETCH(qint64, utcSeconds);
        QFETCH(int, offset);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(ExportText::PcTime(utcSeconds, offset)), text);
        QCOMPARE(ExportText::ControllerTime(TarnDateTime()), std::string());
        QCOMPARE(ExportText::ControllerTime(TarnDateTime::FromParts(2026, 12, 7, 14, 7, 30)),
                 std::string("2026-12-07T14:07:30"));
    }

    /// Whatever a cell holds, Python's csv module reads back the same values, the header first.
    void csvReadBack()
    {
        const std::vector<std::string> header{"a", "b", "c"};
        const std::vector<std::vector<std::string>> rows{
            {"plain", "comma, inside", "quote \" inside"},
            {"line\r\nbreak", "tab\tinside", " blanks "},
            {"",
             "\xC2\xB0"
             "C",
             "d\xC3\xA9tecteur"},
            {"short row"}};
        CsvWriter csv(header);
        for (const auto& row : rows)
            csv.AddRow(row);
        QVERIFY(QByteArray::fromStdString(csv.Text()).endsWith("\r\n"));
        const QList<QStringList> read = CsvReadBack(QByteArray::fromStdString(csv.Text()));
        QCOMPARE(read.size(), 5);
        QCOMPARE(read[0], (QStringList{u"a"_s, u"b"_s, u"c"_s}));
        for (std::size_t r = 0; r < rows.size(); ++r)
            for (std::size_t c = 0; c < header.size(); ++c)
                QCOMPARE(read[int(r) + 1][int(c)],
                         QString::fromStdString(c < rows[r].size() ? rows[r][c] : std::string()));
    }

    /// An event list: the controller in each row, numbers as numbers, °C and °F apart, the
    /// controller's clock without an offset, the 8-bit text as UTF-8; a lost event's values empty.
    void eventListCsv()
    {
        EventListCsv::Source source{"123456", 2.07, "2026-12-07T10:00:00+01:00"};
        const std::vector<EventListCsv::Event> events{
            {1, TarnDateTime::FromParts(2026, 12, 4, 14, 7, 30), 21, "D\xE9tecteur 1, alarm",
             false},
            {2, {}, 0, {}, true},
            {3, TarnDateTime::FromParts(2024, 2, 29), -5, "Tab\there", false}};
        const QList<QStringList> read =
            CsvReadBack(QByteArray::fromStdString(EventListCsv::Text(source, events)));
        QCOMPARE(read.size(), 4);
        QCOMPARE(read[0].join(u','),
                 u"serial,firmware,read_at,number,time,celsius,fahrenheit,text"_s);
        QCOMPARE(read[1], (QStringList{u"123456"_s, u"2.07"_s, u"2026-12-07T10:00:00+01:00"_s,
                                       u"1"_s, u"2026-12-04T14:07:30"_s, u"21"_s, u"69.8"_s,
                                       u"Détecteur 1, alarm"_s}));
        QCOMPARE(read[2], (QStringList{u"123456"_s, u"2.07"_s, u"2026-12-07T10:00:00+01:00"_s,
                                       u"2"_s, QString(), QString(), QString(),
                                       QString::fromLatin1(EventLogReport::kLostEventText)}));
        QCOMPARE(read[3].mid(4),
                 (QStringList{u"2024-02-29T00:00:00"_s, u"-5"_s, u"23"_s, u"Tab\there"_s}));
    }

    /// A tab or line break in an event's text does not split its row in tarn.logg.
    void tsvCells()
    {
        EventLogReport report;
        report.Rows.push_back({"001", "4 Dec 2026",
                               "20\xB0"
                               "C/68\xB0"
                               "F",
                               "Tab\there\r\nand"});
        const QStringList lines = QString::fromLatin1(report.Text()).split(u"\r\n"_s);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[1].split(u'\t').size(), EventLogReport::kColumns);
        QCOMPARE(lines[1].split(u'\t').last(), u"Tab here  and"_s);
        QCOMPARE(ExportText::TsvCell("a\tb\nc\rd"), std::string("a b c d"));
    }

    void iniEncoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("utf8");
        QTest::addColumn<QByteArray>("latin1");
        QTest::newRow("ASCII") << QByteArray("Port=1") << false << QByteArray("Port=1");
        QTest::newRow("Latin-1") << QByteArray("d\xE9tecteur") << false
                                 << QByteArray("d\xE9tecteur");
        QTest::newRow("UTF-8") << QByteArray("d\xC3\xA9tecteur") << true
                               << QByteArray("d\xE9tecteur");
        QTest::newRow("UTF-8 beyond Latin-1")
            << QByteArray("5 \xE2\x82\xAC") << true << QByteArray("5 ?");
        QTest::newRow("byte-order mark, ASCII")
            << QByteArray("\xEF\xBB\xBFPort=1") << true << QByteArray("Port=1");
        QTest::newRow("overlong form is Latin-1")
            << QByteArray("\xC0\xAF") << false << QByteArray("\xC0\xAF");
        QTest::newRow("cut sequence is Latin-1")
            << QByteArray("caf\xC3") << false << QByteArray("caf\xC3");
    }
    void iniEncoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, utf8);
        QFETCH(QByteArray, latin1);
        QCOMPARE(IniEncoding::IsUtf8(bytes.toStdString()), utf8);
        QCOMPARE(QByteArray::fromStdString(IniEncoding::ToLatin1(bytes.toStdString())), latin1);
    }

    /// A Tarn.INI saved as UTF-8 with a byte-order mark: its texts read as such, the first
    /// section found, a value written in UTF-8 and the mark kept.
    void utf8Ini()
    {
        const QByteArray ini = "\xEF\xBB\xBF[EVENT_CODES_1]\r\nVersion=1.00-9.99\r\n"
                               "1=D\xC3\xA9tecteur 1\r\n\r\n[Tarn]\r\nName=caf\xC3\xA9\r\n";
        const QString path = WriteIni(m_dir, ini);
        std::string errText;
        QVERIFY(LoadEventCodes(2.07, path.toStdString(), errText));
        QCOMPARE(Loaded(), QStringList{u"E 1=Détecteur 1"_s});
        std::string value;
        QVERIFY(IniFile::Read(path.toStdString(), "EVENT_CODES_1", "Version", value));
        QVERIFY(IniFile::Read(path.toStdString(), "Tarn", "Name", value));
        QCOMPARE(value, std::string("caf\xE9"));
        QVERIFY(IniFile::Write(path.toStdString(), "Tarn", "Name", "cr\xE8me"));
        QCOMPARE(ReadAll(path), QByteArray(ini).replace("caf\xC3\xA9", "cr\xC3\xA8me"));
    }
};

QTEST_GUILESS_MAIN(TestExportText)
#include "tst_exporttext.moc"
