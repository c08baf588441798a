#include "data/StatusReport.h"

#include <QTest>

class tst_StatusReport : public QObject
{
    Q_OBJECT

private slots:
    /// The file byte for byte up to the first zone block (captions, the degree byte, CR LF
    /// ends); of the other zones, the last output line, which must be zone 3's output 4.
    void wholeReport()
    {
        StatusReport report;
        report.Installed = report.ManualAlarmDelay = "###";
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
        report.ManualStopDelay = "255 s";
        report.ProfileName = {"Short", "Unknown (42)", "###"};
        report.ProfileType = {"No diverting valve", "Diverting valve 1", "Diverting valve 2"};
        for (int output : {0, 2, 11}) // zone 1: 1 and 3, zone 3: 4
            report.Outputs[output] = true;

        const QByteArray head = "Tarn Status 05.03.24 14:07:09\r\n"
                                "\r\n"
                                "Serial number: 123456\r\n"
                                "Manufactured: 01.02.20\r\n"
                                "Installed: ###\r\n"
                                "Last serviced: 01.02.21, 01.02.22\r\n"
                                "CPU Version: V 2.07\r\n"
                                "\r\n"
                                "Temperature: -1 \xB0"
                                "C  30,2 \xB0"
                                "F\r\n"
                                "Tarn Date/Time: 05.03.24 14:00:00\r\n"
                                "Detector Alarm delay: 30 s\r\n"
                                "Manual Alarm delay: ###\r\n"
                                "Manual Stop delay: 255 s\r\n"
                                "\r\n"
                                "Detector 1 or Manual release 1\r\n"
                                " Profile name: Short\r\n"
                                " Profile type: No diverting valve\r\n"
                                " Output 1: True\r\n"
                                " Output 2: False\r\n"
                                " Output 3: True\r\n"
                                " Output 4: False\r\n"
                                "\r\n"
                                "Detector 2 or Manual release 2\r\n";
        const QByteArray text = QByteArray::fromStdString(report.Text("05.03.24 14:07:09"));
        QCOMPARE(text.left(head.size()), head);
        QVERIFY(text.endsWith(" Output 3: False\r\n Output 4: True\r\n"));
        QCOMPARE(text.count("\r\n"), 13 + 3 * 8);
        QCOMPARE(text.count("True"), 3);
    }
};

QTEST_APPLESS_MAIN(tst_StatusReport)
#include "tst_statusreport.moc"
