#include <QTest>

#include "data/SetupFields.h"

namespace {
TarnDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return TarnDateTime::FromParts(year, month, day, hour, minute, second);
}
} // namespace

Q_DECLARE_METATYPE(TarnDateTime)

class TestSetupFields : public QObject
{
    Q_OBJECT

private slots:
    void delay_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("value"); // 0: refused
        const struct
        {
            const char* text;
            int value;
        } rows[] = {{"250", 250},
                    {"  7 ", 7},
                    {"007", 7},
                    {"1", 1},
                    {"0", 0},
                    {"251", 0},
                    {"", 0},
                    {"1.5", 0},
                    {"+5", 0},
                    {"1 5", 0},
                    {"99999999999999999999", 0}};
        for (const auto& row : rows)
            QTest::addRow("'%s'", row.text) << QByteArray(row.text) << row.value;
        QTest::newRow("longer than 255") << QByteArray(254, '0') + "12" << 0;
    }

    void delay()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, value);
        int got = -1;
        QCOMPARE(SetupFields::Delay(text.toStdString(), got), value != 0);
        QCOMPARE(got, value != 0 ? value : -1);
        QCOMPARE(SetupFields::DelayError(SetupFields::DelayField::ManualStop),
                 "Incorrect value (Manual Stop Delay)\rPossible values are 1-250 s.");
    }

    void serialNumber_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qlonglong>("value"); // -1: the range box, -2: the box for 0
        const struct
        {
            const char* text;
            qlonglong value;
        } rows[] = {{"123456789", 123456789},
                    {" 42  ", 42},
                    {"1000000000", -1},
                    {"12a", -1},
                    {"", -1},
                    {"-5", -1},
                    {"0", -2},
                    {"000", -2}};
        for (const auto& row : rows)
            QTest::addRow("'%s'", row.text) << QByteArray(row.text) << row.value;
    }

    void serialNumber()
    {
        QFETCH(QByteArray, text);
        QFETCH(qlonglong, value);
        uint32_t got = 0;
        std::string errText;
        QCOMPARE(SetupFields::SerialNumber(text.toStdString(), got, errText), value >= 0);
        QCOMPARE(qlonglong(got), std::max(value, 0LL));
        if (value == -1)
            QCOMPARE(errText, "Incorrect value (Serial number)\rPossible values are 0-999999999.");
        else if (value == -2)
            QVERIFY(errText.starts_with("Incorrect value (Serial number)\rSerial number 0 "));
    }

    void dates_data()
    {
        QTest::addColumn<int>("field"); // 0 manufacturing, 1 installation, 2 service
        QTest::addColumn<TarnDateTime>("d");
        QTest::addColumn<QByteArray>("error");
        const TarnDateTime now = At(2026, 12, 4, 13, 53, 8);
        const QByteArray future = "! Can\xB4t set to future date";
        const struct
        {
            const char* name;
            int field;
            TarnDateTime d;
            QByteArray error;
        } rows[] = {
            {"manufacturing now", 0, now, ""},
            {"a second later", 0, now.AddSeconds(1),
             "Incorrect value (Manufacturing date)" + future},
            {"31 Dec 1999", 0, At(1999, 12, 31), "Incorrect value (Manufacturing date)!"},
            {"1 Jan 2000", 0, At(2000, 1, 1), ""},
            {"installed later", 1, At(2027, 1, 1), "Incorrect value (Installation date)" + future},
            {"installed before manufacturing", 1, At(2024, 3, 13, 23, 59, 59),
             "Incorrect value (Installation date)! Must be later than the Manufacturing date."},
            {"installed when manufactured", 1, At(2024, 3, 14), ""},
            {"service later", 2, At(2026, 12, 5), "Incorrect value (Service date)" + future},
            {"service before installation", 2, At(2024, 5, 1),
             "Incorrect value (Service date)! Must be later than the Installation date."},
            {"service equal to the last", 2, At(2026, 5, 4, 10, 0, 0), ""},
            {"service a second before the last", 2, At(2026, 5, 4, 9, 59, 59),
             "Incorrect value (Service date)! Must be later than the last Service date."},
        };
        for (const auto& row : rows)
            QTest::newRow(row.name) << row.field << row.d << row.error;
    }

    void dates()
    {
        QFETCH(int, field);
        QFETCH(TarnDateTime, d);
        QFETCH(QByteArray, error);
        const TarnDateTime now = At(2026, 12, 4, 13, 53, 8);
        const std::string got =
            field == 0 ? SetupFields::ManufacturingDateError(d, now)
            : field == 1
                ? SetupFields::InstallationDateError(d, now, At(2024, 3, 14))
                : SetupFields::ServiceDateError(d, now, At(2024, 5, 2), At(2026, 5, 4, 10, 0, 0));
        QCOMPARE(QByteArray::fromStdString(got), error);
    }

    /// Records without dates and a PC clock beyond what Tarn stores: the range checks last.
    void datesOutsideTarnRange()
    {
        const TarnDateTime none;
        const TarnDateTime farNow = At(2300, 1, 1);
        QCOMPARE(SetupFields::ServiceDateError(At(1999, 12, 31, 23, 59, 59), farNow, none, none),
                 "Incorrect value (Service date)!");
        QVERIFY(SetupFields::ManufacturingDateError(At(2255, 12, 31), farNow).empty());
        QCOMPARE(SetupFields::InstallationDateError(At(2256, 1, 1), farNow, none),
                 "Incorrect value (Installation date)!\rTarn stores dates up to 31 December 2255.");
    }

    void serviceSwitch_data()
    {
        QTest::addColumn<QByteArray>("arguments");
        QTest::addColumn<bool>("on");
        QTest::newRow("-K") << QByteArray("-K") << true;
        QTest::newRow("lower case among blanks") << QByteArray("  -k \t") << true;
        QTest::newRow("none") << QByteArray() << false;
        QTest::newRow("with a further argument") << QByteArray("-K x") << false;
    }

    void serviceSwitch()
    {
        QFETCH(QByteArray, arguments);
        QFETCH(bool, on);
        QCOMPARE(SetupFields::IsServiceSwitch(arguments.toStdString()), on);
    }
};

QTEST_APPLESS_MAIN(TestSetupFields)
#include "tst_setupfields.moc"
