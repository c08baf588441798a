#include "data/StatusReport.h"

#include <QTest>

#include <string>
#include <vector>

namespace {
StatusReport Unread()
{
    StatusReport report;
    for (std::string* caption :
         {&report.SerialNumber, &report.Manufactured, &report.Installed, &report.LastService,
          &report.SoftwareVersion, &report.TemperatureC, &report.TemperatureF,
          &report.ControllerDateTime, &report.DetectorAlarmDelay, &report.ManualAlarmDelay,
          &report.ManualStopDelay})
        *caption = "###";
    report.ProfileName = {"###", "###", "###"};
    report.ProfileType = {"No diverting valve", "Diverting valve 1", "Diverting valve 2"};
    return report;
}
} // namespace

class tst_StatusReport : public QObject
{
    Q_OBJECT

private slots:
    void headLines_data();
    void headLines();
    void zoneBlocks();
    void outputsOfZone_data();
    void outputsOfZone();
    void bytesEndEveryLineWithCrLf();
};

void tst_StatusReport::headLines_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("title") << 0 << QByteArray("Tarn Status 05.03.24 14:07:09");
    QTest::newRow("empty after title") << 1 << QByteArray();
    QTest::newRow("serial") << 2 << QByteArray("Serial number: 123456");
    QTest::newRow("manufactured") << 3 << QByteArray("Manufactured: 01.02.20");
    QTest::newRow("installed") << 4 << QByteArray("Installed: ###");
    QTest::newRow("serviced") << 5 << QByteArray("Last serviced: 01.02.21, 01.02.22");
    QTest::newRow("version") << 6 << QByteArray("CPU Version: V 2.07");
    QTest::newRow("empty after version") << 7 << QByteArray();
    QTest::newRow("temperature, two spaces, degree byte") << 8
                                                          << QByteArray("Temperature: -1 \xB0"
                                                                        "C  30,2 \xB0"
                                                                        "F");
    QTest::newRow("clock") << 9 << QByteArray("Tarn Date/Time: 05.03.24 14:00:00");
    QTest::newRow("detector alarm") << 10 << QByteArray("Detector Alarm delay: 30 s");
    QTest::newRow("manual alarm") << 11 << QByteArray("Manual Alarm delay: 5 s");
    QTest::newRow("manual stop") << 12 << QByteArray("Manual Stop delay: 255 s");
}

void tst_StatusReport::headLines()
{
    QFETCH(int, line);
    QFETCH(QByteArray, expected);
    StatusReport report = Unread();
    report.SerialNumber = "123456";
    report.Manufactured = "01.02.20";
    report.LastService = "01.02.21, 01.02.22";
    report.SoftwareVersion = "V 2.07";
    report.TemperatureC = "-1 \xB0"
                          "C";
    report.TemperatureF = "30,2 \xB0"
                          "F";
    report.ControllerDateTime = "05.03.24 14:00:00";
    report.DetectorAlarmDelay = "30 s";
    report.ManualAlarmDelay = "5 s";
    report.ManualStopDelay = "255 s";
    const std::vector<std::string> lines = report.Lines("05.03.24 14:07:09");
    QCOMPARE(lines.size(), std::size_t(13 + 3 * 8));
    QCOMPARE(QByteArray::fromStdString(lines[line]), expected);
}

void tst_StatusReport::zoneBlocks()
{
    StatusReport report = Unread();
    report.ProfileName[1] = "Unknown (42)";
    const std::vector<std::string> lines = report.Lines("now");
    const std::vector<std::string> zone2(lines.begin() + 21, lines.begin() + 29);
    const std::vector<std::string> expected{"",
                                            "Detector 2 or Manual release 2",
                                            " Profile name: Unknown (42)",
                                            " Profile type: Diverting valve 1",
                                            " Output 1: False",
                                            " Output 2: False",
                                            " Output 3: False",
                                            " Output 4: False"};
    QCOMPARE(zone2, expected);
    // The third zone's heading is shorter than the page's frame caption.
    QCOMPARE(lines[30], std::string("Detector 3 or Manual release 3"));
    QCOMPARE(lines.back(), std::string(" Output 4: False"));
}

void tst_StatusReport::outputsOfZone_data()
{
    QTest::addColumn<int>("zone");
    QTest::addColumn<int>("bits");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("zone 1 outputs 5") << 0 << 5 << QStringList{"True", "False", "True", "False"};
    QTest::newRow("zone 2 all") << 1 << 15 << QStringList{"True", "True", "True", "True"};
    QTest::newRow("zone 3 output 4") << 2 << 8 << QStringList{"False", "False", "False", "True"};
}

void tst_StatusReport::outputsOfZone()
{
    QFETCH(int, zone);
    QFETCH(int, bits);
    QFETCH(QStringList, expected);
    StatusReport report = Unread();
    for (int j = 0; j < 4; ++j)
        report.Outputs[4 * zone + j] = (bits >> j) & 1;
    const std::vector<std::string> lines = report.Lines("now");
    for (int z = 0; z < 3; ++z) {
        for (int m = 1; m <= 4; ++m) {
            const std::string want =
                " Output " + std::to_string(m) + ": " +
                (z == zone ? expected[m - 1].toStdString() : std::string("False"));
            QCOMPARE(lines[13 + 8 * z + 3 + m], want);
        }
    }
}

void tst_StatusReport::bytesEndEveryLineWithCrLf()
{
    const StatusReport report = Unread();
    const std::string text = report.Text("now");
    const std::vector<std::string> lines = report.Lines("now");
    std::string joined;
    for (const std::string& line : lines)
        joined += line + "\r\n";
    QCOMPARE(text, joined);
    QVERIFY(text.ends_with("\r\n"));
    std::size_t bare = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            ++bare;
    }
    QCOMPARE(bare, std::size_t(0));
    QVERIFY(text.starts_with("Tarn Status now\r\n\r\nSerial number: ###\r\n"));
}

QTEST_MAIN(tst_StatusReport)
#include "tst_statusreport.moc"
