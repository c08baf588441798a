#include "controller/VisitReport.h"

#include "controller/DisplayFormat.h"
#include "controller/FunctionTest.h"
#include "controller/HistoryWords.h"
#include "controller/VisitFacts.h"
#include "data/Tarn_Inputs.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>

namespace {

const QString kNotRead = QLatin1String(VisitReport::kNotRead);

QString Number(double value)
{
    return QLocale::c().toString(value, 'g', QLocale::FloatingPointShortest);
}

/// The controller's clock as it reads (marked UTC only so that nothing converts it).
QString ControllerTime(const QJsonValue& iso)
{
    if (!iso.isString())
        return kNotRead;
    const QDateTime time = QDateTime::fromString(iso.toString(), Qt::ISODate);
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : iso.toString();
}

QString PcTime(const QDateTime& time)
{
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                          : kNotRead;
}

/// A date of the administrative data: a date the controller gave as zero is not set.
QString AdminDate(const QJsonObject& admin, const char* key)
{
    const QJsonValue value = admin.value(QLatin1String(key));
    return value.isString() ? HistoryWords::Date(value.toString()) : QStringLiteral("not set");
}

QString Outputs(int byte)
{
    QStringList numbers;
    for (int j = 0; j < 4; ++j)
        if (byte & (1 << j))
            numbers << QString::number(j + 1);
    return numbers.isEmpty() ? QStringLiteral("none") : numbers.join(QStringLiteral(", "));
}

QString Seconds(const QJsonValue& value)
{
    return value.isDouble() ? Number(value.toDouble()) + QStringLiteral(" s") : kNotRead;
}

/// Whether the snapshot holds the part, given by the read that made it.
bool Given(const VisitFacts& facts, const QJsonObject& status, const char* part)
{
    return !status.isEmpty() && !facts.notGiven.contains(QLatin1String(part));
}

ReportTable DelayTable(const QJsonObject& status, bool given)
{
    static const struct
    {
        const char* key;
        const char* name;
    } kDelays[] = {{"detectorAlarm", "Detector alarm delay"},
                   {"detectorReset", "Detector reset delay"},
                   {"manualAlarm", "Manual release alarm delay"},
                   {"manualStop", "Manual release stop delay"}};
    ReportTable table{
        QStringLiteral("Delays"), {QStringLiteral("Delay"), QStringLiteral("Value")}, {}};
    const QJsonObject delays = status.value(u"delays").toObject();
    for (const auto& delay : kDelays)
        table.rows.push_back({QLatin1String(delay.name),
                              given ? Seconds(delays.value(QLatin1String(delay.key))) : kNotRead});
    return table;
}

ReportTable ZoneTable(const VisitFacts& facts, const QJsonObject& status)
{
    ReportTable table{QStringLiteral("Zones"),
                      {QStringLiteral("Zone"), QStringLiteral("Profile"), QStringLiteral("Message"),
                       QStringLiteral("Outputs")},
                      {}};
    const QJsonArray zones = status.value(u"zones").toArray();
    const bool delays = Given(facts, status, "delays");
    for (int z = 0; z < 3; ++z) {
        const QJsonObject zone = zones.at(z).toObject();
        const bool profile =
            Given(facts, status, QStringLiteral("zone%1").arg(z + 1).toLatin1().constData());
        QString name = kNotRead;
        if (profile && zone.contains(u"profileId")) {
            name = zone.value(u"profileName").toString();
            if (name.isEmpty())
                name = QStringLiteral("profile %1").arg(zone.value(u"profileId").toInt());
        }
        table.rows.push_back(
            {QString::number(z + 1), name,
             delays && zone.contains(u"message") ? QString::number(zone.value(u"message").toInt())
                                                 : kNotRead,
             delays && zone.contains(u"outputs") ? Outputs(zone.value(u"outputs").toInt())
                                                 : kNotRead});
    }
    return table;
}

ReportTable InputTable(const QJsonObject& status, bool given)
{
    static const struct
    {
        const char* key;
        const char* name;
        int count;
    } kInputs[] = {{"detectors", "Detector", 4},
                   {"manualReleases", "Manual release", 3},
                   {"universalIO", "Universal I/O", 4}};
    ReportTable table{
        QStringLiteral("Inputs"), {QStringLiteral("Input"), QStringLiteral("State")}, {}};
    const QJsonObject inputs = status.value(u"inputs").toObject();
    for (const auto& input : kInputs) {
        const QJsonArray bits = inputs.value(QLatin1String(input.key)).toArray();
        for (int i = 0; i < input.count; ++i) {
            const QJsonValue bit = bits.at(i);
            table.rows.push_back({QStringLiteral("%1 %2").arg(QLatin1String(input.name)).arg(i + 1),
                                  given && bit.isBool() ? (bit.toBool() ? QStringLiteral("on")
                                                                        : QStringLiteral("off"))
                                                        : kNotRead});
        }
    }
    return table;
}

ReportSection ControllerSection(const VisitFacts& facts)
{
    ReportSection section{QStringLiteral("Controller"), {}, {}, {}};
    const bool admin = Given(facts, facts.status, "admin") && facts.status.contains(u"admin");
    const QJsonObject data = facts.status.value(u"admin").toObject();
    const QString serial = admin ? data.value(u"serialNumber").toString() : facts.key.serialNumber;
    const double firmware = facts.status.value(u"version").toDouble(facts.key.firmware);
    ReportTable table{QString(), {QStringLiteral("Item"), QStringLiteral("Value")}, {}};
    table.rows.push_back({QStringLiteral("Serial number"), serial.isEmpty() ? kNotRead : serial});
    table.rows.push_back(
        {QStringLiteral("Firmware"), firmware > 0 ? DisplayFormat::Version(firmware) : kNotRead});
    table.rows.push_back(
        {QStringLiteral("Port"), facts.key.port.isEmpty() ? kNotRead : facts.key.port});
    table.rows.push_back(
        {QStringLiteral("Manufacturing date"), admin ? AdminDate(data, "manufactured") : kNotRead});
    table.rows.push_back(
        {QStringLiteral("Installation date"), admin ? AdminDate(data, "installed") : kNotRead});
    table.rows.push_back(
        {QStringLiteral("Last service date"), admin ? AdminDate(data, "lastService") : kNotRead});
    table.rows.push_back({QStringLiteral("Service date before"),
                          admin ? AdminDate(data, "serviceBefore") : kNotRead});
    section.tables.push_back(std::move(table));
    return section;
}

ReportSection VisitSection(const VisitFacts& facts)
{
    const auto orBlank = [](const QString& text) {
        return text.trimmed().isEmpty() ? QStringLiteral("—") : text.trimmed();
    };
    ReportSection section{QStringLiteral("Visit"), {}, {}, {}};
    section.tables.push_back({QString(),
                              {QStringLiteral("Item"), QStringLiteral("Value")},
                              {{QStringLiteral("Technician"), orBlank(facts.technician)},
                               {QStringLiteral("Company"), orBlank(facts.company)},
                               {QStringLiteral("Date and time"), PcTime(facts.visitAt)}}});
    return section;
}

ReportSection StatusSection(const VisitFacts& facts)
{
    ReportSection section{QStringLiteral("Status as read"), {}, {}, {}};
    const QJsonObject& status = facts.status;
    if (status.isEmpty()) {
        section.lines << QStringLiteral("No status was read from this controller.");
        return section;
    }
    section.lines << QStringLiteral("Read at %1.").arg(PcTime(facts.statusReadAt));
    const bool inputs = Given(facts, status, "inputs");
    const QJsonValue celsius = status.value(u"temperatureCelsius");
    section.tables.push_back(
        {QStringLiteral("General"),
         {QStringLiteral("Item"), QStringLiteral("Value")},
         {{QStringLiteral("Controller clock"),
           Given(facts, status, "clock") ? ControllerTime(status.value(u"clock")) : kNotRead},
          {QStringLiteral("Temperature"),
           inputs && celsius.isDouble()
               ? QStringLiteral("%1 °C / %2 °F")
                     .arg(Number(celsius.toDouble()),
                          Number(Tarn_Inputs::CelsiusToFahrenheit(celsius.toDouble())))
               : kNotRead}}});
    section.tables.push_back(DelayTable(status, Given(facts, status, "delays")));
    section.tables.push_back(ZoneTable(facts, status));
    section.tables.push_back(InputTable(status, inputs));
    return section;
}

ReportSection SetupSection(const VisitFacts& facts)
{
    ReportSection section{QStringLiteral("Setup and changes"), {}, {}, {}};
    if (facts.setupAtStart.isEmpty()) {
        section.lines << QStringLiteral("The history holds no setup read before the changes.");
    } else {
        section.lines << QStringLiteral("The setup as read at %1, at the start of the visit.")
                             .arg(PcTime(facts.setupReadAt));
        VisitFacts complete; // a stored status holds every part
        section.tables.push_back(DelayTable(facts.setupAtStart, true));
        section.tables.push_back(ZoneTable(complete, facts.setupAtStart));
    }
    ReportTable changes{QStringLiteral("Changes written during the visit"),
                        {QStringLiteral("Written"), QStringLiteral("Change (old → new)")},
                        {}};
    for (const ArchivedChange& change : facts.changes)
        for (const QString& line : HistoryWords::ChangeLines(change))
            changes.rows.push_back({PcTime(change.writtenAt), line});
    if (changes.rows.empty())
        section.lines << QStringLiteral("No changes were written during the visit.");
    else
        section.tables.push_back(std::move(changes));
    return section;
}

ReportSection FunctionTestSection(const VisitFacts& facts)
{
    ReportSection section{QStringLiteral("Function tests"), {}, {}, {}};
    if (facts.functionTests.empty()) {
        section.lines << QStringLiteral("No function tests were done during the visit.");
        return section;
    }
    ReportTable table{QString(),
                      {QStringLiteral("Output"), QStringLiteral("Started"),
                       QStringLiteral("Duration"), QStringLiteral("Inputs seen")},
                      {}};
    for (const ArchivedChange& change : facts.functionTests) {
        const FunctionTest::Fields test = FunctionTest::Read(change);
        table.rows.push_back(
            {test.outputs.join(QStringLiteral(" and ")),
             test.startedAt.isValid()
                 ? test.startedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                 : kNotRead,
             FunctionTest::Duration(test.milliseconds),
             !test.inputsSeen.isEmpty() ? test.inputsSeen.join(QStringLiteral(", "))
             : test.inputsRead          ? QStringLiteral("none")
                                        : QStringLiteral("none (not read)")});
    }
    section.tables.push_back(std::move(table));
    return section;
}

ReportSection EventSection(const VisitFacts& facts)
{
    ReportSection section{QStringLiteral("Events"), {}, {}, {}};
    section.lines << (facts.allEvents ? QStringLiteral("Every event the history holds: %1.")
                                      : QStringLiteral("The events read during the visit: %1."))
                         .arg(facts.events.size());
    if (facts.events.empty())
        return section;
    ReportTable table{QString(),
                      {QStringLiteral("No."), QStringLiteral("Controller time"),
                       QStringLiteral("Code"), QStringLiteral("Event"), QStringLiteral("°C"),
                       QStringLiteral("°F")},
                      {}};
    table.rows.reserve(facts.events.size());
    int number = 0;
    for (const ArchivedEvent& event : facts.events) {
        ++number;
        if (event.gap) {
            table.rows.push_back({QString::number(number), QString(), QString(),
                                  QStringLiteral("(an event lost to a damaged reply)"), QString(),
                                  QString()});
            continue;
        }
        table.rows.push_back({QString::number(number),
                              event.eventTime.isValid()
                                  ? event.eventTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                  : kNotRead,
                              QString::number(event.code), event.text,
                              Number(event.temperatureCelsius),
                              Number(Tarn_Inputs::CelsiusToFahrenheit(event.temperatureCelsius))});
    }
    section.tables.push_back(std::move(table));
    section.pictures = HistoryPictures::Build(facts.events);
    return section;
}

/// "Tarn serial 123456, V 2.08".
QString ControllerName(const VisitFacts& facts)
{
    const QString serial = facts.key.serialNumber;
    const double firmware = facts.status.value(u"version").toDouble(facts.key.firmware);
    return QStringLiteral("Tarn %1%2")
        .arg(serial.isEmpty() ? QStringLiteral("without a serial number")
                              : QStringLiteral("serial ") + serial,
             firmware > 0 ? QStringLiteral(", ") + DisplayFormat::Version(firmware) : QString());
}

} // namespace

VisitReport VisitReport::Status(const VisitFacts& facts)
{
    VisitReport report;
    report.title = QStringLiteral("Tarn status");
    report.controller = ControllerName(facts);
    report.sections.push_back(ControllerSection(facts));
    report.sections.push_back(StatusSection(facts));
    return report;
}

VisitReport VisitReport::Table(const QString& title, const QString& controller, const QString& line,
                               ReportTable table)
{
    VisitReport report;
    report.title = title;
    report.controller = controller;
    ReportSection section;
    if (!line.isEmpty())
        section.lines << line;
    section.tables.push_back(std::move(table));
    report.sections.push_back(std::move(section));
    return report;
}

VisitReport VisitReport::Build(const VisitFacts& facts)
{
    VisitReport report;
    report.controller = ControllerName(facts);
    report.sections.push_back(ControllerSection(facts));
    report.sections.push_back(VisitSection(facts));
    report.sections.push_back(StatusSection(facts));
    report.sections.push_back(SetupSection(facts));
    report.sections.push_back(FunctionTestSection(facts));
    report.sections.push_back(EventSection(facts));
    report.sections.push_back(
        {QStringLiteral("Signatures"),
         {QStringLiteral("Technician: ______________________________   Date: ____________"),
          QStringLiteral("Customer: ________________________________   Date: ____________")},
         {},
         {}});
    return report;
}

const ReportSection* VisitReport::Section(const QString& title) const
{
    for (const ReportSection& section : sections)
        if (section.title == title)
            return &section;
    return nullptr;
}
