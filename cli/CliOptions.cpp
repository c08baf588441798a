#include "cli/CliOptions.h"

#include "TarnVersion.h"
#include "cli/HistoryTool.h"
#include "cli/SetupTool.h"
#include "link/PortNames.h"

namespace {

struct CommandInfo
{
    const char* name;
    const char* synopsis;
    const char* text;
    /// Options the command takes besides the global ones.
    const char* options;
    int minArguments;
    int maxArguments;
};

const CommandInfo kCommands[] = {
    {"status", "status [--json] [--output FILE]",
     "Reads the controller's status (version, clock, inputs, delays, zone profiles and, from\n"
     "firmware 2.07, the administrative data) and prints it as the status report (tarn.sts).\n"
     "  --json         one JSON object with typed fields instead\n"
     "  --output FILE  write the report (or the JSON) to FILE instead of standard output\n",
     "json output", 0, 0},
    {"log", "log [--all] [--format tsv|csv|json] [--output FILE]",
     "Reads the new events of the controller's event log up to its end (with --all, all stored\n"
     "events from the oldest). Ctrl+C stops after the current request; what was read is written.\n"
     "When the output fails, the events read are saved in a file in the program folder.\n"
     "  --all          rewind the log first and read every stored event\n"
     "  --format F     tsv (the tarn.logg layout, the default), csv or json\n"
     "  --output FILE  write to FILE instead of standard output\n",
     "all format output", 0, 0},
    {"set-clock", "set-clock", "Sets the controller's clock to the computer's.\n", "", 0, 0},
    {"set-delays", "set-delays ALARM MANUAL-ALARM MANUAL-STOP",
     "Sets the detector alarm, manual alarm and manual stop delays, in seconds (1 to 250).\n"
     "The zones' messages and outputs are read first and written back unchanged.\n",
     "", 3, 3},
    {"outputs", "outputs NAME=0|1 ... [--for SECONDS] | off",
     "Sets the controller's outputs with one set-outputs command; outputs not named are off.\n"
     "Names: pump valve1 valve2 buzzer alarm extra1 extra2 extra3 extra4.\n"
     "Without --for, outputs switched on stay on until they are switched off.\n"
     "  --for SECONDS  switch every output off again after SECONDS (1 to 86400), or at once\n"
     "                 on Ctrl+C\n"
     "  off            switch every output off\n",
     "for", 1, 64},
    {"watch-inputs", "watch-inputs",
     "Puts the controller into test mode (renewed while watching) and prints the detector and\n"
     "manual release inputs each time they change, until Ctrl+C; then all outputs are off.\n",
     "", 0, 0},
    {"detect", "detect",
     "Tries every port (COM1 to COM15) with the baud rate set and prints the one where the\n"
     "controller answers.\n",
     "", 0, 0},
    {"delete-log", "delete-log [--yes]",
     "Deletes all events stored in the controller, after asking (not with --yes).\n"
     "  --yes          do not ask\n",
     "yes", 0, 0},
    {"setup", SetupTool::kSynopsis, SetupTool::kHelp, SetupTool::kOptions, 1, 2},
    {"history", HistoryTool::kSynopsis, HistoryTool::kHelp, HistoryTool::kOptions, 1, 2},
};

const CommandInfo* Find(const QString& name)
{
    for (const CommandInfo& info : kCommands) {
        if (name == QLatin1String(info.name))
            return &info;
    }
    return nullptr;
}

const char* const kGlobalHelp =
    "Global options:\n"
    "  --port N       port number 1 to 15 (COMn, mapped to a device by [PORTS] in Tarn.INI)\n"
    "  --device PATH  the serial device to use, whatever the port number\n"
    "  --baud B       baud rate (the settings become B,n,8,1)\n"
    "  --trace        write every frame sent and received to standard error\n"
    "  -h, --help     this text; tarn COMMAND --help tells about one command\n"
    "  --version      the version of tarn\n"
    "\n"
    "Tarn.INI is read from the program folder, as the window program reads it. TARN_TRACE=FILE\n"
    "appends the frame trace to FILE. Exit codes: 0 done, 1 the controller refused or did not\n"
    "answer, an event was lost to a damaged reply, the service history could not be read, or\n"
    "the output could not be written, 2 a usage or configuration error.\n";

} // namespace

bool CliOptions::IsCommand(const QString& name)
{
    return Find(name) != nullptr;
}

QString CliOptions::VersionText()
{
    return QStringLiteral("tarn (TarnConf) " TARN_VERSION_TEXT "\n");
}

QString CliOptions::Help(const QString& command)
{
    if (const CommandInfo* info = Find(command)) {
        return QStringLiteral("Usage: tarn [global options] %1\n\n%2\n%3")
            .arg(QLatin1String(info->synopsis), QLatin1String(info->text),
                 QLatin1String(kGlobalHelp));
    }
    QString text = QStringLiteral("Usage: tarn [global options] COMMAND [options]\n\n"
                                  "The Tarn controller from the command line.\n\nCommands:\n");
    for (const CommandInfo& info : kCommands)
        text += QStringLiteral("  %1\n").arg(QLatin1String(info.synopsis));
    return text + u'\n' + QLatin1String(kGlobalHelp);
}

bool CliOptions::Parse(const QStringList& args, CliOptions& options, QString& error)
{
    QStringList commandOptions;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        QString name = arg;
        QString value;
        bool hasValue = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(u'=')) {
            name = arg.section(u'=', 0, 0);
            value = arg.section(u'=', 1);
            hasValue = true;
        }
        const auto takeValue = [&]() {
            if (hasValue)
                return true;
            if (i + 1 >= args.size()) {
                error = QStringLiteral("option %1 needs a value").arg(name);
                return false;
            }
            value = args[++i];
            return true;
        };
        if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
            options.help = true;
        } else if (name == QLatin1String("--version")) {
            options.version = true;
        } else if (name == QLatin1String("--trace")) {
            options.trace = true;
        } else if (name == QLatin1String("--port")) {
            if (!takeValue())
                return false;
            bool ok = false;
            options.port = value.toInt(&ok);
            if (!ok || options.port < 1 || options.port > kMaxCommPort) {
                error = QStringLiteral("--port takes a number from 1 to %1").arg(kMaxCommPort);
                return false;
            }
        } else if (name == QLatin1String("--device")) {
            if (!takeValue())
                return false;
            options.device = value;
        } else if (name == QLatin1String("--baud")) {
            if (!takeValue())
                return false;
            bool ok = false;
            if (value.toInt(&ok) <= 0 || !ok) {
                error = QStringLiteral("--baud takes a baud rate such as 9600");
                return false;
            }
            options.baud = value;
        } else if (name == QLatin1String("--json")) {
            options.json = true;
            commandOptions << QStringLiteral("json");
        } else if (name == QLatin1String("--all")) {
            options.all = true;
            commandOptions << QStringLiteral("all");
        } else if (name == QLatin1String("--yes") || name == QLatin1String("-y")) {
            options.yes = true;
            commandOptions << QStringLiteral("yes");
        } else if (name == QLatin1String("--format")) {
            if (!takeValue())
                return false;
            if (value != QLatin1String("tsv") && value != QLatin1String("csv") &&
                value != QLatin1String("json")) {
                error = QStringLiteral("--format takes tsv, csv or json");
                return false;
            }
            options.format = value;
            commandOptions << QStringLiteral("format");
        } else if (name == QLatin1String("--since")) {
            if (!takeValue())
                return false;
            if (!HistoryTool::ParseSince(value)) {
                error = QStringLiteral("--since takes a date, yyyy-mm-dd or yyyy-mm-ddThh:mm:ss");
                return false;
            }
            options.since = value;
            commandOptions << QStringLiteral("since");
        } else if (name == QLatin1String("--for")) {
            if (!takeValue())
                return false;
            bool ok = false;
            options.forSeconds = value.toInt(&ok);
            if (!ok || options.forSeconds < 1 || options.forSeconds > kMaxForSeconds) {
                error = QStringLiteral("--for takes a number of seconds from 1 to %1")
                            .arg(kMaxForSeconds);
                return false;
            }
            commandOptions << QStringLiteral("for");
        } else if (name == QLatin1String("--output") || name == QLatin1String("-o")) {
            if (!takeValue())
                return false;
            if (value.isEmpty()) {
                error = QStringLiteral("--output needs a file name");
                return false;
            }
            options.output = value;
            commandOptions << QStringLiteral("output");
        } else if (SetupTool::IsFlag(name)) {
            options.flags << name.mid(2);
            commandOptions << name.mid(2);
        } else if (arg.startsWith(u'-') && arg.size() > 1) {
            error = QStringLiteral("unknown option %1").arg(arg);
            return false;
        } else if (options.command.isEmpty()) {
            if (!IsCommand(arg)) {
                error = QStringLiteral("unknown command %1").arg(arg);
                return false;
            }
            options.command = arg;
        } else {
            options.arguments << arg;
        }
    }
    if (options.help || options.version)
        return true;
    const CommandInfo* info = Find(options.command);
    if (!info) {
        error = QStringLiteral("no command given");
        return false;
    }
    const QStringList allowed = QString::fromLatin1(info->options).split(u' ', Qt::SkipEmptyParts);
    for (const QString& option : commandOptions) {
        if (!allowed.contains(option)) {
            error = QStringLiteral("%1 does not take --%2").arg(options.command, option);
            return false;
        }
    }
    const auto count = options.arguments.size();
    if (count < info->minArguments || count > info->maxArguments) {
        error = info->maxArguments == 0
                    ? QStringLiteral("%1 takes no arguments").arg(options.command)
                    : QStringLiteral("usage: tarn %1").arg(QLatin1String(info->synopsis));
        return false;
    }
    return true;
}
