#include "JsonPut.h"
#include "SchemaCheck.h"

#include "controller/SetupApply.h"
#include "controller/SetupDiff.h"
#include "controller/SetupFile.h"
#include "data/Tarn_Inputs.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const TarnDateTime kNow = TarnDateTime::FromParts(2026, 12, 7, 11, 30);

/// "a;b" as {"a", "b"}.
QStringList Parts(const char* text)
{
    return QString::fromUtf8(text).split(u';', Qt::SkipEmptyParts);
}

TarnDateTime Day(const QString& date)
{
    const QDate d = QDate::fromString(date, Qt::ISODate);
    return TarnDateTime::FromParts(d.year(), d.month(), d.day());
}

KeyedCollection<Tarn_Profile> Catalogue()
{
    KeyedCollection<Tarn_Profile> catalogue;
    catalogue.Add("1", {"1", "Standard", "T,0,F,30,T,200,S,260"});
    catalogue.Add("2", {"2", "Sch\xF6n", "T,0,F,30,S,45"});
    // 42 bytes of F for 120 s each: ten more than Tarn holds.
    catalogue.Add("3", {"3", "Long", "T,0,F,0,S,5040"});
    return catalogue;
}

/// A 2.07 controller with every value set, as the setup window sets it, then holding what
/// `held` says: "delays=HEX20", "profile=ZONE,ID", "version=2.06", "switch=N" (Tarn.INI's
/// detector voltage switch), "serial=N", "manufactured|installed|last|before=yyyy-MM-dd|0".
SetupFile::Setup Held(const QStringList& held = {})
{
    Tarn_Inputs inputs;
    inputs.CPUVersion = 2.07;
    inputs.ResolveDelays("1E0A053C010203010A0F");
    inputs.SetProfileID(0, 1);
    inputs.SetProfileID(1, 2);
    inputs.SetProfileID(2, 9);
    inputs.SerialNumber = "123456";
    inputs.Manufactured = Day(u"2024-03-14"_s);
    inputs.Installed = Day(u"2024-05-02"_s);
    inputs.LastService = Day(u"2026-05-04"_s);
    inputs.LastService2 = Day(u"2025-05-06"_s);
    int16_t voltageSwitch = 0;
    const QHash<QString, TarnDateTime*> dates{{u"manufactured"_s, &inputs.Manufactured},
                                              {u"installed"_s, &inputs.Installed},
                                              {u"last"_s, &inputs.LastService},
                                              {u"before"_s, &inputs.LastService2}};
    for (const QString& assignment : held) {
        const QString key = assignment.section(u'=', 0, 0);
        const QString value = assignment.section(u'=', 1);
        if (key == u"delays")
            inputs.ResolveDelays(value.toStdString());
        else if (key == u"profile")
            inputs.SetProfileID(static_cast<int16_t>(value.section(u',', 0, 0).toInt()),
                                static_cast<int16_t>(value.section(u',', 1).toInt()));
        else if (key == u"version")
            inputs.CPUVersion = value.toDouble();
        else if (key == u"switch")
            voltageSwitch = static_cast<int16_t>(value.toInt());
        else if (key == u"serial")
            inputs.SerialNumber = value.toStdString();
        else if (dates.contains(key))
            *dates[key] = value == u"0" ? TarnDateTime() : Day(value);
        else
            qFatal("unknown key %s", qPrintable(key));
    }
    return SetupFile::FromController(inputs, voltageSwitch, Catalogue(), kNow, "tarn 3.0.6");
}

/// The sample controller's file with "path=JSON" put in.
QByteArray Altered(const QStringList& changes)
{
    QByteArray text = QByteArray::fromStdString(SetupFile::Write(Held()));
    for (const QString& change : changes)
        text = JsonPut(text, change);
    return text;
}

} // namespace

class tst_SetupFile : public QObject
{
    Q_OBJECT

    TableVerdicts m_schema;

private slots:
    /// What the controller holds stands in its file, which the reader takes back whole and the
    /// schema accepts: also values the setup window would never write.
    void roundTrip_data()
    {
        QTest::addColumn<QStringList>("held");
        QTest::addColumn<QStringList>("expected"); // "path=JSON" as the file has it
        // "key=value;..." for Held, "path=JSON;..." as the file has it.
        const auto row = [this](const char* name, const char* held, const char* expected) {
            QTest::newRow(name) << Parts(held) << Parts(expected);
            m_schema.add(name, QByteArray::fromStdString(SetupFile::Write(Held(Parts(held)))));
        };
        row("as the setup window sets it", {}, "zones[1].outputs=[2, 4]");
        row("delays of 0 and 255", "delays=00FF00FF010203010A0F",
            "delays.detectorAlarm=0;delays.manualStop=255");
        row("profile ids FFFF and 8000", "profile=0,-1;profile=1,-32768",
            "zones[0].profile.id=-1;zones[1].profile.id=-32768");
        row("a definition longer than Tarn holds is left out", "profile=2,3",
            R"(zones[2].profile={"id": 3, "name": "Long", "definition": null})");
        row("dates in the future and out of order",
            "manufactured=2031-01-01;installed=2030-01-01;last=2029-01-01;before=2099-12-31",
            "dates.serviceBefore=\"2099-12-31\"");
        row("a service before without a last one", "last=0", "dates.lastService=null");
        row("serial number 0", "serial=0", "factory.serialNumber=null");
        row("serial number of ten digits", "serial=1234567890",
            "factory.serialNumber=null;source.serialNumber=\"1234567890\"");
        row("detector voltage switch 300", "switch=300", "detectorVoltageSwitch=300");
        row("detector voltage switch -1", "switch=-1", "detectorVoltageSwitch=-1");
        row("firmware 2.06 has no dates", "version=2.06",
            "dates=null;factory=null;source.serialNumber=null");
        m_schema.judge();
    }

    void roundTrip()
    {
        QFETCH(QStringList, held);
        QFETCH(QStringList, expected);
        const SetupFile::Setup setup = Held(held);
        const std::string text = SetupFile::Write(setup);
        SetupFile::Setup read;
        std::string errText;
        QVERIFY2(SetupFile::Read(text, read, errText), errText.c_str());
        QCOMPARE(SetupFile::Write(read), text);
        QVERIFY(SetupDiff::Compare(setup, read).empty());
        const QByteArray bytes = QByteArray::fromStdString(text);
        for (const QString& value : expected)
            QVERIFY2(QJsonDocument::fromJson(JsonPut(bytes, value)) ==
                         QJsonDocument::fromJson(bytes),
                     qPrintable(value));
        QCOMPARE(m_schema.current(), u"valid"_s);
        // What it is comes first, for a person reading it; Latin-1 text as UTF-8.
        QVERIFY(text.starts_with("{\n    \"format\": \"tarn-setup\",\n    \"formatVersion\": 1,"));
        QCOMPARE(read.zones[1].profileName.value_or(""), setup.zones[1].profileName.value_or(""));
    }

    /// Altered files: the reader's verdict (the start of its message; empty: accepted) and the
    /// schema's are the same (a definition too long, which no JSON schema can tell: tst_tarnsetup).
    /// Values a controller may hold (delays of 0 and 255, dates out of order)
    /// are accepted: roundTrip.
    void verdicts_data()
    {
        QTest::addColumn<QStringList>("changes"); // "path=JSON"; an empty JSON removes the key
        QTest::addColumn<QString>("message");
        struct Row
        {
            const char* name;
            const char* changes; // "path=JSON", several parted by ";"
            const char* reason;  // after "path: " unless it names another key itself
        };
        const Row rows[] = {
            {"another format", "format=\"tarn-status\"", "not \"tarn-setup\""},
            {"newer version", "formatVersion=2",
             "version 2 is newer than this program reads (up to 1)"},
            {"version 1.0", "formatVersion=1.0", ""},
            {"unknown zone key", "zones[0].valves=[1]", "unknown key"},
            {"unknown key", "clock=\"2026-12-07\"", "unknown key"},
            {"unknown source key", "source.user=\"x\"", "unknown key"},
            {"missing delay", "delays.manualStop=", "missing"},
            {"delay 60.0", "delays.manualStop=60.0", ""},
            {"delay 256", "delays.manualStop=256", "256 is outside 0 to 255"},
            {"delay 1.5", "delays.manualAlarm=1.5", "must be a whole number"},
            {"delay as text", "delays.manualAlarm=\"30\"", "must be a whole number"},
            {"reset delay 256", "delays.detectorReset=256", "256 is outside 0 to 255"},
            {"output 5", "zones[1].outputs=[1,5]", "5 is outside 1 to 4"},
            {"output twice", "zones[1].outputs=[2,2]", "output 2 is listed twice"},
            {"outputs unordered", "zones[1].outputs=[4,2]", ""},
            {"no zones", "zones=[]", "must be a list of 3 zones"},
            {"zone 2 twice", "zones[2].zone=2", "2 is outside 3 to 3"},
            {"zones out of order", "zones[0].zone=2;zones[1].zone=1", "2 is outside 1 to 1"},
            {"message 256", "zones[0].message=256", "256 is outside 0 to 255"},
            {"profile id 32768", "zones[0].profile.id=32768", "32768 is outside -32768 to 32767"},
            {"profile name Latin-1", "zones[2].profile.name=\"Sch\\u00f6n\"", ""},
            {"profile name beyond Latin-1", "zones[2].profile.name=\"\\u0100\"",
             "has characters that Tarn.INI cannot hold"},
            {"program beyond Latin-1", "source.program=\"tarn \\u20ac\"",
             "has characters that Tarn.INI cannot hold"},
            {"voltage switch 32768", "detectorVoltageSwitch=32768",
             "32768 is outside -32768 to 32767"},
            {"serial 0", "factory.serialNumber=\"0\"",
             "must be a text of digits, 1 to 999999999, or null"},
            {"serial of ten digits", "factory.serialNumber=\"1000000000\"", "must be a text"},
            {"serial padded with a blank", "factory.serialNumber=\" 123456\"", "must be a text"},
            {"serial padded with a zero", "factory.serialNumber=\"0123456\"", "must be a text"},
            {"serial and a line end", "factory.serialNumber=\"123456\\n\"", "must be a text"},
            {"serial as a number", "factory.serialNumber=123456", "must be a text"},
            {"February 29 of 2025", "dates.installed=\"2025-02-29\"", "2025-02-29 is no date"},
            {"February 30", "dates.installed=\"2024-02-30\"", "2024-02-30 is no date"},
            {"February 29 of 2100", "dates.lastService=\"2100-02-29\"", "2100-02-29 is no date"},
            {"February 29 of 2252", "dates.lastService=\"2252-02-29\"", ""},
            {"date and a line end", "dates.installed=\"2024-05-02\\n\"", "must be a date such as"},
            {"date without zeros", "dates.installed=\"2024-5-2\"", "must be a date such as"},
            {"date before 2000", "factory.manufactured=\"1999-12-31\"",
             "1999-12-31 is outside the years Tarn stores, 2000 to 2255"},
            {"date after 2255", "dates.installed=\"2256-01-01\"",
             "2256-01-01 is outside the years"},
            {"read time and a line end", "source.readTime=\"2026-12-07T11:30:00\\n\"",
             "must be a time such as"},
            {"read time on February 29 of 2026", "source.readTime=\"2026-02-29T11:30:00\"",
             "must be a time such as"},
            {"read time at 24:00", "source.readTime=\"2026-12-07T24:00:00\"",
             "must be a time such as"},
            {"firmware 0", "source.firmwareVersion=0", "must be a version number"},
            {"firmware 2.06 with dates", "source.firmwareVersion=2.06",
             "factory: firmware V 2.06 has no dates and no"},
            {"firmware 2.06 with dates only", "source.firmwareVersion=2.06;factory=null",
             "dates: firmware V 2.06 has no dates and no"},
            {"firmware 2.06 without dates", "source.firmwareVersion=2.06;factory=null;dates=null",
             ""}};
        for (const Row& row : rows) {
            const QString reason = QString::fromUtf8(row.reason);
            const QStringList changes = Parts(row.changes);
            const QString path = changes.first().section(u'=', 0, 0);
            QTest::newRow(row.name)
                << changes
                << (reason.isEmpty() || reason.contains(u": "_s) ? reason
                                                                 : path + u": "_s + reason);
            m_schema.add(row.name, Altered(changes));
        }
        m_schema.judge();
    }

    void verdicts()
    {
        QFETCH(QStringList, changes);
        QFETCH(QString, message);
        SetupFile::Setup setup;
        std::string errText;
        const bool read = SetupFile::Read(Altered(changes).toStdString(), setup, errText);
        QCOMPARE(read, message.isEmpty());
        QVERIFY2(QString::fromStdString(errText).startsWith(message), errText.c_str());
        const QString schema = m_schema.current();
        QVERIFY2((schema == u"valid") == read, qPrintable(schema));
    }

    void notJson()
    {
        SetupFile::Setup setup;
        std::string errText;
        QVERIFY(!SetupFile::Read("{\"format\": ", setup, errText));
        QVERIFY2(errText.starts_with("not a JSON document"), errText.c_str());
    }

    void differences()
    {
        const SetupFile::Setup controller = Held();
        SetupFile::Setup file = controller;
        file.zones[1].outputs = {2};
        file.zones[0].profileId = 2;
        file.zones[0].profileName = "Fast";
        file.installed.reset();
        file.serviceBefore = Day(u"2025-06-01"_s);
        file.zones[2].profileId = controller.zones[2].profileId;
        SetupFile::Setup halfWritten = controller;
        halfWritten.zones[2].definitionUnconfirmed = true;
        QStringList lines;
        QList<SetupDiff::Block> blocks;
        for (const SetupDiff::Difference& d : SetupDiff::Compare(halfWritten, file)) {
            lines << d.Line();
            blocks << d.block;
        }
        // A date the file leaves out is not compared; a definition not confirmed differs from
        // the same profile.
        QCOMPARE(lines, (QStringList{u"zone 2 outputs: 2,4 \u2192 2"_s,
                                     u"zone 1 profile: 1 Standard \u2192 2 Fast"_s,
                                     u"zone 3 profile: 9 (definition not confirmed) \u2192 9"_s,
                                     u"service date before: 2025-05-06 \u2192 2025-06-01"_s}));
        QCOMPARE(blocks, (QList<SetupDiff::Block>{SetupDiff::Block::Delays, SetupDiff::Block::Zone1,
                                                  SetupDiff::Block::Zone3,
                                                  SetupDiff::Block::ServiceDates}));
    }

    /// What apply writes of a file, what it leaves out and why: a value is checked only where
    /// it differs from what the controller holds. (Held values written again, service dates
    /// going back, --force-dates and firmware 2.06: tst_tarnsetup's runs, as the user sees them.)
    void plan_data()
    {
        QTest::addColumn<QStringList>("held");    // the controller, as for roundTrip
        QTest::addColumn<QStringList>("changes"); // the file: the sample controller's, with these
        QTest::addColumn<QString>("options");     // factory force-dates only=...
        // "write LABEL", "left out LABEL: REASON", "refused LABEL: REASON" or "error TEXT"
        QTest::addColumn<QStringList>("plan");
        const QString delays = u"delays, zone messages and outputs (98)"_s;
        const QString service = u"service dates (99)"_s;
        const auto row = [](const char* name, const char* held, const char* changes,
                            const QString& options, const QStringList& plan) {
            QTest::newRow(name) << Parts(held) << Parts(changes) << options << plan;
        };
        row("a delay of 255 over 60: that block left out, the rest written", {},
            "delays.manualStop=255;delays.detectorAlarm=0;zones[0].outputs=[];"
            R"(zones[2].profile={"id": 1, "name": "Standard", "definition": "T,0,F,30,T,200,S,260"})",
            {},
            {u"write zone 3 profile (104, 102)"_s,
             u"refused "_s + delays +
                 u": detector alarm delay 0 is outside 1 to 250; manual stop delay 255 is outside "
                 u"1 to 250"_s});
        row("a voltage switch of 300 from the file", {}, "detectorVoltageSwitch=300", {},
            {u"refused "_s + delays +
             u": detector voltage switch (Tarn.INI) 300 is outside 0 to 255"_s});
        row("a future installation date", {}, "dates.installed=\"2026-12-08\"", {},
            {u"refused installation date (99): installation date 2026-12-08: Incorrect value "
             u"(Installation date)! Can\u00b4t set to future date"_s});
        row("installed before manufactured", {}, "dates.installed=\"2024-03-01\"", {},
            {u"refused installation date (99): installation date 2024-03-01: Incorrect value "
             u"(Installation date)! Must be later than the Manufacturing date."_s});
        row("installed before manufactured, held", "installed=2024-03-01",
            "dates.installed=\"2024-03-01\";zones[0].message=9", {}, {u"write "_s + delays});
        row("installed after the file's manufacturing date, with --factory", {},
            "factory.manufactured=\"2024-01-10\";dates.installed=\"2024-02-01\"", u"factory"_s,
            {u"write manufacturing date (99)"_s, u"write installation date (99)"_s});
        row("factory values without --factory", {}, "factory.serialNumber=\"654321\"", {},
            {u"left out serial number (99): not written without --factory"_s});
        row("a newer service, the last one kept before", {},
            "dates.lastService=\"2026-12-01\";dates.serviceBefore=\"2026-05-04\"", {},
            {u"write "_s + service});
        row("a newer service that loses the last one", {}, "dates.lastService=\"2026-12-01\"", {},
            {u"refused "_s + service +
             u": the service of 2026-05-04 would be lost, and it is newer than 2025-05-06 "
             u"(--force-dates writes it)"_s});
        row("the service before going back", {}, "dates.serviceBefore=\"2025-01-01\"", {},
            {u"refused "_s + service +
             u": the service date before would go back from 2025-05-06 to 2025-01-01 "
             u"(--force-dates writes it)"_s});
        row("a future service, even with --force-dates", {},
            "dates.lastService=\"2026-12-08\";dates.serviceBefore=\"2026-05-04\"", u"force-dates"_s,
            {u"refused "_s + service +
             u": last service date 2026-12-08: Incorrect value (Service date)! Can\u00b4t set to "
             u"future date"_s});
        row("services out of order", {},
            "dates.lastService=\"2026-06-01\";dates.serviceBefore=\"2026-07-01\"", {},
            {u"refused "_s + service +
             u": the service date before, 2026-07-01, is later than the last service date, "
             u"2026-06-01"_s});
        const char* const old = "version=2.06";
        const QStringList noFactory{u"left out serial number (99): not written without --factory"_s,
                                    u"left out manufacturing date (99): not written without "
                                    u"--factory"_s};
        row("dates to firmware 2.06, --only delays,zones", old, "zones[0].message=9",
            u"only=delays,zones"_s,
            QStringList{u"write "_s + delays} + noFactory +
                QStringList{u"left out installation date (99): not in --only"_s,
                            u"left out service dates (99): not in --only"_s});
        row("a profile Tarn.INI defines otherwise", {},
            R"(zones[2].profile={"id": 1, "name": "Standard", "definition": "T,0,F,30,S,60"};zones[0].message=9)",
            {},
            {u"error zone 3 profile 1 is defined differently in Tarn.INI "
             u"(\"T,0,F,30,T,200,S,260\") "
             u"and in the file (\"T,0,F,30,S,60\"); --use-file-profiles writes the file's"_s});
    }

    void plan()
    {
        QFETCH(QStringList, held);
        QFETCH(QStringList, changes);
        QFETCH(QString, options);
        QFETCH(QStringList, plan);
        SetupFile::Setup file;
        std::string readError;
        QVERIFY2(SetupFile::Read(Altered(changes).toStdString(), file, readError),
                 readError.c_str());
        SetupApply::Options chosen;
        chosen.factory = options.contains(u"factory"_s);
        chosen.forceDates = options.contains(u"force-dates"_s);
        QString errText;
        if (options.startsWith(u"only="_s))
            QVERIFY(SetupApply::ParseOnly(options.mid(5), chosen.only, errText));
        std::vector<SetupApply::Step> steps;
        std::vector<SetupApply::LeftOut> leftOut;
        const bool planned =
            SetupApply::Plan(Held(held), file, Catalogue(), chosen, kNow, steps, leftOut, errText);
        QStringList got;
        if (!planned)
            got << u"error "_s + errText;
        for (const SetupApply::Step& step : steps)
            got << u"write "_s + step.label;
        for (const SetupApply::LeftOut& left : leftOut)
            got << (left.refused ? u"refused "_s : u"left out "_s) + left.label + u": "_s +
                       left.reason;
        QCOMPARE(got, plan);
    }
};

QTEST_GUILESS_MAIN(tst_SetupFile)
#include "tst_setupfile.moc"
