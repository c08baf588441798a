#include "cli/HistoryCommand.h"

#include "cli/CliOptions.h"
#include "cli/ConsoleOutput.h"
#include "cli/ExitCode.h"
#include "config/ProgramFolder.h"
#include "controller/HistoryPictures.h"
#include "controller/HistoryWords.h"
#include "controller/LinkConfiguration.h"
#include "data/CsvWriter.h"
#include "data/EventLogReport.h"
#include "data/ExportText.h"
#include "data/Tarn_Inputs.h"
#include "history/FleetModel.h"
#include "history/HistoryArchive.h"
#include "history/HistoryEventModel.h"
#include "history/HistorySettings.h"
#include "report/PicturesFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <vector>

namespace {

constexpr const char* kEventTimeFormat = "yyyy-MM-ddTHH:mm:ss";

/// Rows of named values, written as TSV, CSV or a JSON array of objects.
struct Table
{
    QStringList columns;
    std::vector<QJsonArray> rows;

    static QString Cell(const QJsonValue& value)
    {
        if (value.isDouble())
            return QString::fromStdString(ExportText::Number(value.toDouble()));
        if (value.isObject())
            return QString::fromUtf8(
                QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
        return value.toString();
    }

    QString Text(const QString& format) const
    {
        if (format == QLatin1String("json")) {
            QJsonArray array;
            for (const QJsonArray& row : rows) {
                QJsonObject object;
                for (int i = 0; i < columns.size(); ++i)
                    object.insert(columns[i], row[i]);
                array.append(object);
            }
            return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
        }
        if (format == QLatin1String("csv")) {
            std::vector<std::string> header;
            for (const QString& column : columns)
                header.push_back(column.toStdString());
            CsvWriter csv(header);
            for (const QJsonArray& row : rows) {
                std::vector<std::string> cells;
                for (const QJsonValue& value : row)
                    cells.push_back(Cell(value).toUtf8().toStdString());
                csv.AddRow(cells);
            }
            return QString::fromStdString(csv.Text());
        }
        QString text = columns.join(u'\t') + u'\n';
        for (const QJsonArray& row : rows) {
            QStringList cells;
            for (const QJsonValue& value : row)
                cells << QString::fromStdString(
                    ExportText::TsvCell(Cell(value).toUtf8().toStdString()));
            text += cells.join(u'\t') + u'\n';
        }
        return text;
    }
};

/// A time of the PC: local, with its offset from UTC.
QJsonValue Pc(const QDateTime& time)
{
    return time.isValid() ? QJsonValue(QString::fromStdString(HistoryEventModel::PcTime(time)))
                          : QJsonValue();
}

/// The serial number (null when not known) and firmware that open each row of a controller.
QJsonArray Identity(const ArchivedController& controller)
{
    return {controller.key.serialNumber.isEmpty() ? QJsonValue()
                                                  : QJsonValue(controller.key.serialNumber),
            controller.key.firmware};
}

QJsonArray Joined(QJsonArray row, const QJsonArray& more)
{
    for (const QJsonValue& value : more)
        row.append(value);
    return row;
}

/// A JSON object text as an object (as it is, when it is none).
QJsonValue Object(const QString& text)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    return error.error == QJsonParseError::NoError && document.isObject()
               ? QJsonValue(document.object())
               : QJsonValue(text);
}

Table Controllers(HistoryArchive& archive)
{
    Table table{{QStringLiteral("id"), QStringLiteral("serial"), QStringLiteral("firmware"),
                 QStringLiteral("port"), QStringLiteral("first_seen"), QStringLiteral("last_seen"),
                 QStringLiteral("events"), QStringLiteral("name")},
                {}};
    for (const ArchivedController& controller : archive.Controllers())
        table.rows.push_back(
            {controller.id,
             controller.key.serialNumber.isEmpty() ? QJsonValue()
                                                   : QJsonValue(controller.key.serialNumber),
             controller.key.firmware, controller.key.port, Pc(controller.firstSeen),
             Pc(controller.lastSeen), controller.events,
             controller.name.isEmpty() ? QJsonValue() : QJsonValue(controller.name)});
    return table;
}

/// The columns of the History window's export, in every format.
/// The fleet as the Fleet window shows it (FleetModel), due counted today.
Table Fleet(HistoryArchive& archive, int serviceInterval, bool dueOnly)
{
    FleetModel model;
    model.setEntries(archive.Fleet(), QDate::currentDate(), serviceInterval);
    model.setDueOnly(dueOnly);
    Table table;
    for (const std::string& name : FleetModel::ValueNames())
        table.columns << QString::fromStdString(name);
    for (int row = 0; row < model.rowCount(); ++row)
        table.rows.push_back(model.Values(row));
    return table;
}

Table Events(HistoryArchive& archive, const ArchivedController& controller,
             const EventFilter& filter)
{
    Table table;
    for (const std::string& column : HistoryEventModel::CsvColumns())
        table.columns << QString::fromStdString(column);
    qint64 number = 0;
    for (const ArchivedEvent& event : archive.Events(controller.id, filter)) {
        ++number;
        if (event.gap) {
            table.rows.push_back(Joined(
                Identity(controller),
                {number, QJsonValue(), QJsonValue(), QJsonValue(), QJsonValue(),
                 QLatin1String(EventLogReport::kLostEventText), Pc(event.readAt), event.program}));
            continue;
        }
        table.rows.push_back(Joined(
            Identity(controller),
            {number,
             event.eventTime.isValid()
                 ? QJsonValue(event.eventTime.toString(QLatin1String(kEventTimeFormat)))
                 : QJsonValue(),
             event.temperatureCelsius, Tarn_Inputs::CelsiusToFahrenheit(event.temperatureCelsius),
             event.code, event.text, Pc(event.readAt), event.program}));
    }
    return table;
}

Table Changes(HistoryArchive& archive, const ArchivedController& controller)
{
    Table table{{QStringLiteral("serial"), QStringLiteral("firmware"), QStringLiteral("written_at"),
                 QStringLiteral("program"), QStringLiteral("command"), QStringLiteral("data"),
                 QStringLiteral("summary"), QStringLiteral("before"), QStringLiteral("after")},
                {}};
    for (const ArchivedChange& change : archive.Changes(controller.id))
        table.rows.push_back(
            Joined(Identity(controller),
                   {Pc(change.writtenAt), change.program, change.command,
                    HistoryWords::DataText(change.data), HistoryWords::ChangeText(change),
                    Object(change.beforeJson), Object(change.afterJson)}));
    return table;
}

Table Statuses(HistoryArchive& archive, const ArchivedController& controller)
{
    Table table{{QStringLiteral("serial"), QStringLiteral("firmware"), QStringLiteral("read_at"),
                 QStringLiteral("values")},
                {}};
    for (const ArchivedStatus& status : archive.Statuses(controller.id))
        table.rows.push_back(
            Joined(Identity(controller), {Pc(status.readAt), Object(status.valuesJson)}));
    return table;
}

/// The exit code: 0 done, 1 the history cannot be read or has no such controller or the
/// output failed, 2 a usage error.
int Run(CommandLink& /*link*/, const CliOptions& options)
{
    const QString what = options.arguments.value(0);
    const bool byId = options.flags.contains(QLatin1String("id"));
    const bool merge = what == QLatin1String("merge");
    const bool naming = what == QLatin1String("name");
    const bool plot = what == QLatin1String("plot");
    const bool perController = plot || what == QLatin1String("events") ||
                               what == QLatin1String("changes") || what == QLatin1String("status");
    const auto usage = [](const QString& text) {
        ConsoleOutput::Say(QStringLiteral("tarn: %1\nTry 'tarn history --help'.").arg(text));
        return int(ExitUsage);
    };
    const auto number = [](const QString& text) {
        bool ok = false;
        const qint64 id = text.toLongLong(&ok);
        return ok && id > 0 ? id : qint64(0);
    };
    const bool fleet = what == QLatin1String("fleet");
    if (!perController && !merge && !naming && !fleet && what != QLatin1String("controllers"))
        return usage(QStringLiteral(
            "history takes controllers, fleet, events, changes, status, plot, merge or name"));
    if (merge && (options.arguments.size() != 3 || !number(options.arguments[1]) ||
                  !number(options.arguments[2])))
        return usage(QStringLiteral("history merge takes two record numbers"));
    if (naming && (options.arguments.size() != 3 || !number(options.arguments[1])))
        return usage(QStringLiteral("history name takes a record number and a name (\"\" for "
                                    "none)"));
    if (!merge && !naming && perController != (options.arguments.size() == 2))
        return usage(perController
                         ? QStringLiteral("history %1 takes a serial number, or --id and a "
                                          "record number")
                               .arg(what)
                         : QStringLiteral("history %1 takes no serial number").arg(what));
    if (byId && (!perController || !number(options.arguments[1])))
        return usage(QStringLiteral("--id takes a record number, as history controllers lists "
                                    "it"));
    if (!options.since.isEmpty() && what != QLatin1String("events"))
        return usage(QStringLiteral("only history events takes --since"));
    if (plot != !options.output.isEmpty())
        return usage(plot ? QStringLiteral("history plot needs --output FILE.png or FILE.svg")
                          : QStringLiteral("only history plot takes --output"));
    if (plot && !PicturesFile::Drawable(options.output))
        return usage(QStringLiteral("history plot draws FILE.png or FILE.svg"));
    const bool dueOnly = options.flags.contains(QLatin1String("due"));
    if (dueOnly && !fleet)
        return usage(QStringLiteral("only history fleet takes --due"));

    // Tarn.INI tells where the history is: without it, which one would be read is a guess.
    const QString iniPath = QString::fromStdString(FindProgramIni());
    if (iniPath.isEmpty()) {
        ConsoleOutput::Say(QStringLiteral("Can\u00B4t find the configuration file Tarn.INI !\n") +
                           ProgramIniSearchedText());
        return ExitUsage;
    }
    if (HistorySettings::isOff(iniPath)) {
        ConsoleOutput::Say(QStringLiteral("tarn: no service history is kept ([HISTORY] "
                                          "Database=off in %1).")
                               .arg(iniPath));
        return ExitController;
    }
    HistoryArchive archive(QStringLiteral("tarn"));
    const QString folder = QString::fromStdString(ProgramFolder());
    // Only a merge and a name write: the others read, also a history on read-only media.
    if (!(merge || naming ? HistorySettings::Open(archive, folder, iniPath)
                          : HistorySettings::OpenForReading(archive, folder, iniPath)) ||
        archive.isQueueing()) {
        ConsoleOutput::Say(archive.fault());
        return ExitController;
    }
    if (merge) {
        QString errText;
        if (!archive.Merge(number(options.arguments[1]), number(options.arguments[2]), errText)) {
            ConsoleOutput::Say(QStringLiteral("tarn: the records are not merged: %1").arg(errText));
            return ExitController;
        }
        return ExitOk;
    }
    if (naming) {
        QString errText;
        if (!archive.Name(number(options.arguments[1]), options.arguments[2], errText)) {
            ConsoleOutput::Say(QStringLiteral("tarn: the record is not named: %1").arg(errText));
            return ExitController;
        }
        return ExitOk;
    }
    Table table;
    if (fleet) {
        table = Fleet(archive, HistorySettings::ServiceInterval(iniPath), dueOnly);
    } else if (!perController) {
        table = Controllers(archive);
    } else {
        const QString name = options.arguments[1];
        const auto controller =
            byId ? archive.ControllerById(number(name)) : archive.FindController(name);
        if (!controller) {
            ConsoleOutput::Say(
                !archive.isOpen() ? archive.fault()
                : byId ? QStringLiteral("tarn: the service history holds no record %1").arg(name)
                       : QStringLiteral("tarn: the service history holds no controller with the "
                                        "serial number %1")
                             .arg(name));
            return ExitController;
        }
        if (plot) {
            const std::vector<ArchivedEvent> events = archive.Events(controller->id);
            if (!archive.isOpen()) {
                ConsoleOutput::Say(archive.fault());
                return ExitController;
            }
            QString errText;
            const QString serial = controller->key.SerialName();
            if (!PicturesFile::Write(HistoryPictures::Build(events), options.output,
                                     serial.isEmpty()
                                         ? QStringLiteral("Tarn controller")
                                         : QStringLiteral("Tarn controller %1").arg(serial),
                                     errText)) {
                ConsoleOutput::Say(
                    QStringLiteral("tarn: %1 cannot be written: %2").arg(options.output, errText));
                return ExitOutput;
            }
            return ExitOk;
        }
        if (what == QLatin1String("events")) {
            EventFilter filter;
            if (!options.since.isEmpty())
                filter.since = CliOptions::ParseSince(options.since);
            table = Events(archive, *controller, filter);
        } else if (what == QLatin1String("changes")) {
            table = Changes(archive, *controller);
        } else {
            table = Statuses(archive, *controller);
        }
    }
    if (!archive.isOpen()) {
        ConsoleOutput::Say(archive.fault());
        return ExitController;
    }
    return ConsoleOutput::Print(table.Text(options.format)) ? ExitOk : ExitOutput;
}

} // namespace

const CliCommand HistoryCommand::kCommand = {
    .name = "history",
    .synopsis = "history WHAT [SERIAL | --id N | N M | N TEXT] [options]",
    .help =
        "The service history kept by tarnconf and tarn: history.sqlite in the program folder, or\n"
        "the PostgreSQL server named by [HISTORY] Database= in Tarn.INI. No controller needed.\n"
        "  controllers     every controller in the history: record number, serial number,\n"
        "                  firmware, port last seen on, first and last seen, events stored, name\n"
        "  fleet           every controller with its last contact, firmware, last service, the\n"
        "                  days since it, and the alarms and faults its last visit brought\n"
        "    --due         only those due for service: more days since the last service than\n"
        "                  [HISTORY] ServiceInterval= in Tarn.INI (365 when not set)\n"
        "  events SERIAL   the controller's events in the order they were read\n"
        "    --id N        the controller of record number N instead (for one without a\n"
        "                  serial number); changes and status take it too\n"
        "    --since DATE  only events from DATE on (yyyy-mm-dd or yyyy-mm-ddThh:mm:ss), by the\n"
        "                  date and time of each event as the controller showed it\n"
        "  changes SERIAL  the setup writes the controller acknowledged\n"
        "  status SERIAL   the controller's status values, each time they changed\n"
        "  plot SERIAL --output FILE.png|FILE.svg\n"
        "                  draws the controller's events as the History window's Pictures tab\n"
        "                  does: timeline by kind, temperature, events per month (1600x1000)\n"
        "  merge N M       files the records of record M under record N and removes M: for\n"
        "                  two records of one controller (an event both hold is kept once);\n"
        "                  records of two serial numbers are never merged\n"
        "  name N TEXT     gives record N a name (\"\" takes it away), to tell a controller\n"
        "                  without a serial number from another: at most 60 characters, one\n"
        "                  name per record\n"
        "  --format F      tsv (the default), csv or json (an array of objects)\n"
        "A controller without a serial number (firmware before V2.07, or serial number 0) is\n"
        "known by the events it holds; when they do not tell which record is its own, tarn\n"
        "files its records under a new record and says so.\n",
    .options = "since format due id output",
    .flags = "id due",
    .minArguments = 1,
    .maxArguments = 3,
    .link = CliCommand::Link::None,
    .keepsHistory = false,
    .runsUntilStopped = false,
    .run = &Run};
