#include "controller/VisitReport.h"
#include "tests/controller/VisitFixture.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const ReportTable* Table(const VisitReport& report, const QString& section, const QString& caption)
{
    const ReportSection* found = report.Section(section);
    if (!found)
        return nullptr;
    for (const ReportTable& table : found->tables)
        if (table.caption == caption)
            return &table;
    return nullptr;
}

QString Cell(const ReportTable* table, const QString& name)
{
    if (!table)
        return u"(no table)"_s;
    for (const QStringList& row : table->rows)
        if (row.value(0) == name)
            return row.value(1);
    return u"(no row)"_s;
}

/// A row of cells(): the value of the row named `row` in the table; the parts of the status in
/// `notGiven` not given.
void CellRow(const char* name, const QString& section, const QString& caption, const QString& row,
             const QString& value, const QStringList& notGiven = {})
{
    QTest::newRow(name) << notGiven << section << caption << row << value;
}
} // namespace

/// The visit report's content, without a widget: which sections, rows and marks.
class tst_VisitReport : public QObject
{
    Q_OBJECT

private slots:
    void sectionsInOrder()
    {
        const VisitReport report = VisitReport::Build(KnownVisit());
        QStringList titles;
        for (const ReportSection& section : report.sections)
            titles << section.title;
        QCOMPARE(titles, (QStringList{u"Controller"_s, u"Visit"_s, u"Status as read"_s,
                                      u"Setup and changes"_s, u"Function tests"_s, u"Events"_s,
                                      u"Signatures"_s}));
        QCOMPARE(report.controller, u"Tarn serial 123456, V 2.08"_s);
    }

    /// The status page's print: the controller and the status, the same tables.
    void statusPrint()
    {
        VisitFacts facts = KnownVisit();
        facts.notGiven = QStringList{u"zone3"_s};
        const VisitReport report = VisitReport::Status(facts);
        QCOMPARE(report.title, u"Tarn status"_s);
        QCOMPARE(report.sections.size(), std::size_t(2));
        QCOMPARE(report.sections.at(1).title, u"Status as read"_s);
        QCOMPARE(Cell(Table(report, u"Status as read"_s, u"Zones"_s), u"3"_s), u"not read"_s);
    }

    void cells_data()
    {
        QTest::addColumn<QStringList>("notGiven");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("value");
        CellRow("serial number", u"Controller"_s, QString(), u"Serial number"_s, u"123456"_s);
        CellRow("manufactured", u"Controller"_s, QString(), u"Manufacturing date"_s,
                u"14 Mar 2019"_s);
        CellRow("a zero date is not set", u"Controller"_s, QString(), u"Service date before"_s,
                u"not set"_s);
        CellRow("admin not given", u"Controller"_s, QString(), u"Installation date"_s,
                u"not read"_s, QStringList{u"admin"_s});
        CellRow("technician", u"Visit"_s, QString(), u"Company"_s, u"Sprink & Co"_s);
        CellRow("clock", u"Status as read"_s, u"General"_s, u"Controller clock"_s,
                u"2026-12-07 14:29:10"_s);
        CellRow("clock not given", u"Status as read"_s, u"General"_s, u"Controller clock"_s,
                u"not read"_s, QStringList{u"clock"_s});
        CellRow("temperature", u"Status as read"_s, u"General"_s, u"Temperature"_s,
                u"21 °C / 69.8 °F"_s);
        CellRow("temperature not given", u"Status as read"_s, u"General"_s, u"Temperature"_s,
                u"not read"_s, QStringList{u"inputs"_s});
        CellRow("delay as read", u"Status as read"_s, u"Delays"_s, u"Detector alarm delay"_s,
                u"45 s"_s);
        CellRow("delays not given", u"Status as read"_s, u"Delays"_s,
                u"Manual release stop delay"_s, u"not read"_s, QStringList{u"delays"_s});
        CellRow("delay at the start", u"Setup and changes"_s, u"Delays"_s,
                u"Detector alarm delay"_s, u"30 s"_s);
        CellRow("a zone not given", u"Status as read"_s, u"Zones"_s, u"2"_s, u"not read"_s,
                QStringList{u"zone2"_s});
        CellRow("a profile without a name", u"Status as read"_s, u"Zones"_s, u"3"_s,
                u"profile 8"_s);
        CellRow("input", u"Status as read"_s, u"Inputs"_s, u"Manual release 3"_s, u"on"_s);
        CellRow("inputs not given", u"Status as read"_s, u"Inputs"_s, u"Detector 1"_s,
                u"not read"_s, QStringList{u"inputs"_s});
        CellRow("change old to new", u"Setup and changes"_s, u"Changes written during the visit"_s,
                QDateTime(QDate(2026, 12, 7), QTime(14, 20), Qt::UTC)
                    .toLocalTime()
                    .toString(u"yyyy-MM-dd HH:mm"_s),
                u"Detector alarm delay: 30 s \u2192 45 s"_s);
    }
    void cells()
    {
        QFETCH(QStringList, notGiven);
        QFETCH(QString, section);
        QFETCH(QString, caption);
        QFETCH(QString, row);
        QFETCH(QString, value);
        VisitFacts facts = KnownVisit();
        facts.notGiven = notGiven;
        const VisitReport report = VisitReport::Build(facts);
        QCOMPARE(Cell(Table(report, section, caption), row), value);
    }

    /// Each test with its outputs, start, duration and the inputs seen while it ran; a test
    /// is no change of the setup.
    void functionTests()
    {
        const VisitReport report = VisitReport::Build(KnownVisit());
        const ReportSection* tests = report.Section(u"Function tests"_s);
        QVERIFY(tests);
        QCOMPARE(tests->tables.size(), std::size_t(1));
        const ReportTable& table = tests->tables.at(0);
        QCOMPARE(table.header,
                 (QStringList{u"Output"_s, u"Started"_s, u"Duration"_s, u"Inputs seen"_s}));
        const auto local = [](QTime time) {
            return QDateTime(QDate(2026, 12, 7), time, Qt::UTC)
                .toLocalTime()
                .toString(u"yyyy-MM-dd HH:mm:ss"_s);
        };
        QCOMPARE(table.rows.size(), std::size_t(2));
        QCOMPARE(table.rows.at(0),
                 (QStringList{u"Pump"_s, local(QTime(14, 10, 5)), u"5 s"_s, u"Detector 1"_s}));
        QCOMPARE(table.rows.at(1), (QStringList{u"Pump and Valve 1"_s, local(QTime(14, 12)),
                                                u"1 min 5 s"_s, u"none (not read)"_s}));
        const ReportTable* changes =
            Table(report, u"Setup and changes"_s, u"Changes written during the visit"_s);
        QVERIFY(changes);
        QCOMPARE(changes->rows.size(), std::size_t(1));

        VisitFacts none = KnownVisit();
        none.functionTests.clear();
        QCOMPARE(VisitReport::Build(none).Section(u"Function tests"_s)->lines,
                 QStringList{u"No function tests were done during the visit."_s});
    }

    void zoneOutputsAndMessages()
    {
        const VisitReport report = VisitReport::Build(KnownVisit());
        const ReportTable* zones = Table(report, u"Status as read"_s, u"Zones"_s);
        QVERIFY(zones);
        QCOMPARE(zones->rows.at(1), (QStringList{u"2"_s, u"Cooling 30 s"_s, u"0"_s, u"2, 4"_s}));
    }

    void nothingReadIsSaid()
    {
        VisitFacts facts = KnownVisit(0);
        facts.status = QJsonObject();
        facts.setupAtStart = QJsonObject();
        facts.changes.clear();
        facts.key.firmware = 0;
        const VisitReport report = VisitReport::Build(facts);
        QCOMPARE(report.Section(u"Status as read"_s)->lines,
                 QStringList{u"No status was read from this controller."_s});
        QVERIFY(report.Section(u"Status as read"_s)->tables.empty());
        QVERIFY(report.Section(u"Setup and changes"_s)
                    ->lines.contains(u"No changes were written during the visit."_s));
        QCOMPARE(Cell(Table(report, u"Controller"_s, QString()), u"Firmware"_s), u"not read"_s);
        QCOMPARE(Cell(Table(report, u"Controller"_s, QString()), u"Last service date"_s),
                 u"not read"_s);
        QCOMPARE(report.Section(u"Events"_s)->lines,
                 QStringList{u"The events read during the visit: 0."_s});
    }

    void eventsInOrder()
    {
        VisitFacts facts = KnownVisit(3);
        ArchivedEvent gap;
        gap.gap = true;
        facts.events.insert(facts.events.begin() + 1, gap);
        facts.allEvents = true;
        const VisitReport report = VisitReport::Build(facts);
        const ReportSection* events = report.Section(u"Events"_s);
        QCOMPARE(events->lines, QStringList{u"Every event the history holds: 4."_s});
        const ReportTable& table = events->tables.at(0);
        QCOMPARE(table.header, (QStringList{u"No."_s, u"Controller time"_s, u"Code"_s, u"Event"_s,
                                            u"°C"_s, u"°F"_s}));
        QCOMPARE(table.rows.size(), std::size_t(4));
        QCOMPARE(table.rows.at(0), (QStringList{u"1"_s, u"2026-11-01 08:00:00"_s, u"2"_s,
                                                u"Alarm detector 2"_s, u"20"_s, u"68"_s}));
        QCOMPARE(table.rows.at(1).value(3), u"(an event lost to a damaged reply)"_s);
        QCOMPARE(table.rows.at(1).value(4), QString());
        QCOMPARE(table.rows.at(2).value(3), u"Pump fault, no pressure"_s);
        QCOMPARE(table.rows.at(3).value(1), u"2026-11-01 08:02:00"_s);
    }
};

QTEST_GUILESS_MAIN(tst_VisitReport)
#include "tst_visitreport.moc"
