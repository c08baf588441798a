#include <QTest>

#include "data/SetupFields.h"

namespace {
std::string Std(const QString& text)
{
    return text.toLatin1().toStdString();
}

QString Q(const std::string& text)
{
    return QString::fromLatin1(text);
}

TarnDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return TarnDateTime::FromParts(year, month, day, hour, minute, second);
}

const TarnDateTime kNow = At(2026, 12, 4, 13, 53, 8);
} // namespace

Q_DECLARE_METATYPE(TarnDateTime)

class TestSetupFields : public QObject
{
    Q_OBJECT

private slots:
    void delay_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value"); // 0: refused
        QTest::newRow("250") << "250" << 250;
        QTest::newRow("7 among blanks") << "  7 " << 7;
        QTest::newRow("007") << "007" << 7;
        QTest::newRow("1") << "1" << 1;
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("251") << "251" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("blanks only") << "   " << 0;
        QTest::newRow("1.5") << "1.5" << 0;
        QTest::newRow("sign") << "+5" << 0;
        QTest::newRow("inner blank") << "1 5" << 0;
        QTest::newRow("huge") << "99999999999999999999999" << 0;
        QTest::newRow("longer than 255") << QString(254, u'0') + QStringLiteral("12") << 0;
    }

    void delay()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        int got = -1;
        QCOMPARE(SetupFields::Delay(Std(text), got), value != 0);
        if (value != 0)
            QCOMPARE(got, value);
    }

    void delayErrors()
    {
        QCOMPARE(Q(SetupFields::DelayError(SetupFields::DelayField::DetectorAlarm)),
                 "Incorrect value (Detector Alarm Delay)\rPossible values are 1-250 s.");
        QCOMPARE(Q(SetupFields::DelayError(SetupFields::DelayField::ManualAlarm)),
                 "Incorrect value (Manual Alarm Delay)\rPossible values are 1-250 s.");
        QCOMPARE(Q(SetupFields::DelayError(SetupFields::DelayField::ManualStop)),
                 "Incorrect value (Manual Stop Delay)\rPossible values are 1-250 s.");
    }

    void serialNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qlonglong>("value"); // -1: the range box, -2: the box for 0
        QTest::newRow("123456789") << "123456789" << 123456789LL;
        QTest::newRow("blanks around") << " 42  " << 42LL;
        QTest::newRow("999999999") << "999999999" << 999999999LL;
        QTest::newRow("1000000000") << "1000000000" << -1LL;
        QTest::newRow("12a") << "12a" << -1LL;
        QTest::newRow("empty") << "" << -1LL;
        QTest::newRow("negative") << "-5" << -1LL;
        QTest::newRow("0") << "0" << -2LL;
        QTest::newRow("000") << "000" << -2LL;
    }

    void serialNumber()
    {
        QFETCH(QString, text);
        QFETCH(qlonglong, value);
        uint32_t got = 0;
        std::string errText;
        QCOMPARE(SetupFields::SerialNumber(Std(text), got, errText), value >= 0);
        if (value >= 0)
            QCOMPARE(qlonglong(got), value);
        else if (value == -1)
            QCOMPARE(Q(errText),
                     "Incorrect value (Serial number)\rPossible values are 0-999999999.");
        else
            QVERIFY(errText.starts_with("Incorrect value (Serial number)\rSerial number 0 "));
    }

    void dates_data()
    {
        QTest::addColumn<int>("field"); // 0 manufacturing, 1 installation, 2 service
        QTest::addColumn<TarnDateTime>("d");
        QTest::addColumn<QString>("error");
        const QString future = QStringLiteral("! Can\u00B4t set to future date");
        QTest::newRow("manufacturing now") << 0 << kNow << "";
        QTest::newRow("manufacturing a second later")
            << 0 << kNow.AddSeconds(1) << "Incorrect value (Manufacturing date)" + future;
        QTest::newRow("manufacturing 31 Dec 1999")
            << 0 << At(1999, 12, 31) << "Incorrect value (Manufacturing date)!";
        QTest::newRow("manufacturing 1 Jan 2000") << 0 << At(2000, 1, 1) << "";
        QTest::newRow("installation in the future")
            << 1 << At(2027, 1, 1) << "Incorrect value (Installation date)" + future;
        QTest::newRow("installation before manufacturing")
            << 1 << At(2024, 3, 13, 23, 59, 59)
            << "Incorrect value (Installation date)! Must be later than the Manufacturing date.";
        QTest::newRow("installation on the manufacturing date") << 1 << At(2024, 3, 14) << "";
        QTest::newRow("service in the future")
            << 2 << At(2026, 12, 5) << "Incorrect value (Service date)" + future;
        QTest::newRow("service before installation")
            << 2 << At(2024, 5, 1)
            << "Incorrect value (Service date)! Must be later than the Installation date.";
        QTest::newRow("service equal to the last") << 2 << At(2026, 5, 4, 10, 0, 0) << "";
        QTest::newRow("service a second before the last")
            << 2 << At(2026, 5, 4, 9, 59, 59)
            << "Incorrect value (Service date)! Must be later than the last Service date.";
    }

    void dates()
    {
        QFETCH(int, field);
        QFETCH(TarnDateTime, d);
        QFETCH(QString, error);
        const TarnDateTime manufactured = At(2024, 3, 14);
        const TarnDateTime installed = At(2024, 5, 2);
        const TarnDateTime lastService = At(2026, 5, 4, 10, 0, 0);
        std::string got;
        if (field == 0)
            got = SetupFields::ManufacturingDateError(d, kNow);
        else if (field == 1)
            got = SetupFields::InstallationDateError(d, kNow, manufactured);
        else
            got = SetupFields::ServiceDateError(d, kNow, installed, lastService);
        QCOMPARE(QString::fromLatin1(got), error);
    }

    /// Records without dates and a PC clock beyond what Tarn stores: the range checks last.
    void datesOutsideTarnRange()
    {
        const TarnDateTime none;
        QCOMPARE(Q(SetupFields::ServiceDateError(At(1999, 12, 31, 23, 59, 59), kNow, none, none)),
                 "Incorrect value (Service date)!");
        const TarnDateTime farNow = At(2300, 1, 1);
        QVERIFY(SetupFields::ManufacturingDateError(At(2255, 12, 31), farNow).empty());
        QCOMPARE(Q(SetupFields::InstallationDateError(At(2256, 1, 1), farNow, none)),
                 "Incorrect value (Installation date)!\rTarn stores dates up to 31 December 2255.");
    }

    void serviceSwitch_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<bool>("on");
        QTest::newRow("-K") << "-K" << true;
        QTest::newRow("lower case among blanks") << "  -k \t" << true;
        QTest::newRow("none") << "" << false;
        QTest::newRow("with a further argument") << "-K x" << false;
        QTest::newRow("other switch") << "-KK" << false;
    }

    void serviceSwitch()
    {
        QFETCH(QString, arguments);
        QFETCH(bool, on);
        QCOMPARE(SetupFields::IsServiceSwitch(Std(arguments)), on);
    }
};

QTEST_APPLESS_MAIN(TestSetupFields)
#include "tst_setupfields.moc"
