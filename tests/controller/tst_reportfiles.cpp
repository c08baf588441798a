#include "controller/ReportFiles.h"
#include "data/Tarn_Inputs.h"

#include <QDir>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

/// The names every save and PDF suggests: serial number, date, kind, in the documents folder.
class tst_ReportFiles : public QObject
{
    Q_OBJECT

private slots:
    void suggestedName_data()
    {
        QTest::addColumn<double>("firmware");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("name");
        QTest::newRow("status as PDF")
            << 2.07 << u"123456"_s << u"status"_s << u"pdf"_s << u"123456_2026-12-07_status.pdf"_s;
        QTest::newRow("events as CSV")
            << 2.07 << u"123456"_s << u"events"_s << u"csv"_s << u"123456_2026-12-07_events.csv"_s;
        QTest::newRow("firmware without a serial number")
            << 2.06 << u"123456"_s << u"events"_s << u"pdf"_s << u"unknown_2026-12-07_events.pdf"_s;
        QTest::newRow("serial number not read")
            << 2.07 << QString() << u"status"_s << u"txt"_s << u"unknown_2026-12-07_status.txt"_s;
        QTest::newRow("characters a file name cannot hold")
            << 2.07 << u"12/34:5"_s << u"setup"_s << u"json"_s
            << u"12_34_5_2026-12-07_setup.json"_s;
    }
    void suggestedName()
    {
        QFETCH(double, firmware);
        QFETCH(QString, serial);
        QFETCH(QString, kind);
        QFETCH(QString, extension);
        QFETCH(QString, name);
        Tarn_Inputs inputs;
        inputs.CPUVersion = firmware;
        inputs.SerialNumber = serial.toStdString();
        const QDate date(2026, 12, 7);
        QCOMPARE(ReportFiles::SuggestedName(inputs, date, kind, extension), name);
        if (firmware >= 2.07)
            QCOMPARE(ReportFiles::SuggestedName(serial, date, kind, extension), name);
        QCOMPARE(ReportFiles::SuggestedPath(name),
                 QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                     .filePath(name));
    }

    /// The CSV's controller columns and the read time with its offset.
    void csvSource()
    {
        qputenv("TZ", "Europe/Berlin");
        Tarn_Inputs inputs;
        inputs.CPUVersion = 2.07;
        inputs.SerialNumber = "123456";
        const QDateTime readAt(QDate(2026, 7, 1), QTime(9, 30), Qt::UTC);
        const EventListCsv::Source source = ReportFiles::CsvSource(inputs, readAt);
        QCOMPARE(source.serialNumber, std::string("123456"));
        QCOMPARE(source.firmware, 2.07);
        QCOMPARE(source.readAt, std::string("2026-07-01T11:30:00+02:00"));
        inputs.CPUVersion = 2.06;
        QCOMPARE(ReportFiles::CsvSource(inputs, readAt).serialNumber, std::string());
    }
};

QTEST_GUILESS_MAIN(tst_ReportFiles)
#include "tst_reportfiles.moc"
