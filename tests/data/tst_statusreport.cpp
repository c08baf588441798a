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
        report.TemperatureC = "-1 \260C";
        report.TemperatureF = "30,2 \260F";
        report.ControllerDateTime = "05.03.24 14:00:00";
        report.DetectorAlarmDelay = "30 s";
        report.ManualStopDelay = "255 s";
        report.ProfileName = {"Short", "Unknown (42)", "###"};
        report.ProfileType = {"No diverting valve", "Diverting valve 1", "Diverting valve 2"};
        for (int output : {0, 2, 11}) // zone 1: 1 and 3, zone 3: 4
            report.Outputs[output] = true;

        // "|" for CR LF; the degree sign is the byte B0 (octal 260).
        const QByteArray head =
            QByteArray("Tarn Status 05.03.24 14:07:09||Serial number: 123456|Manufactured: "
                       "01.02.20|Installed: ###|Last serviced: 01.02.21, 01.02.22|CPU Version: "
                       "V 2.07||Temperature: -1 \260C  30,2 \260F|Tarn Date/Time: 05.03.24 "
                       "14:00:00|Detector Alarm delay: 30 s|Manual Alarm delay: ###|Manual Stop "
                       "delay: 255 s||Detector 1 or Manual release 1| Profile name: Short| "
                       "Profile type: No diverting valve| Output 1: True| Output 2: False| "
                       "Output 3: True| Output 4: False||Detector 2 or Manual release 2|")
                .replace('|', "\r\n");
        const QByteArray text = QByteArray::fromStdString(report.Text("05.03.24 14:07:09"));
        QCOMPARE(text.left(head.size()), head);
        QVERIFY(text.endsWith(" Output 3: False\r\n Output 4: True\r\n"));
        QCOMPARE(text.count("\r\n"), 13 + 3 * 8);
        QCOMPARE(text.count("True"), 3);
    }
};

QTEST_APPLESS_MAIN(tst_StatusReport)
#include "tst_statusreport.moc"
