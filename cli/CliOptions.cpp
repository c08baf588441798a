#include "cli/CliOptions.h"

#include "TarnVersion.h"
#include "cli/CliCommand.h"
#include "link/PortNames.h"

namespace {

/// The time of day --since takes after a date and "T".
constexpr const char* kSinceTimeFormat = "HH:mm:ss";

/// Whether `name` is an option without a value that one of `commands` declares.
bool IsFlag(std::span<const CliCommand* const> commands, const QString& name)
{
    for (const CliCommand* command : commands) {
        for (const QString& flag :
             QString::fromLatin1(command->flags).split(u' ', Qt::SkipEmptyParts)) {
            if (name == QLatin1String("--") + flag)
                return true;
        }
    }
    return false;
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
    "answer, an event was lost to a damaged reply, setup apply refused a block of the file, the\n"
    "service history could not be read or could not keep what was read or written, or the\n"
    "output could not be written, 2 a usage or configuration error.\n";

} // namespace

const CliCommand* CliOptions::Find(std::span<const CliCommand* const> commands, const QString& name)
{
    for (const CliCommand* command : commands) {
        if (name == QLatin1String(command->name))
            return command;
    }
    return nullptr;
}

std::optional<QDateTime> CliOptions::ParseSince(const QString& text)
{
    // The controller's clock as it reads, like the events' times: marked UTC so that no time
    // zone moves it (a day that starts without a midnight in the local zone is still a day).
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (date.isValid())
        return QDateTime(date, QTime(0, 0), Qt::UTC);
    const QDateTime time(QDate::fromString(text.left(10), Qt::ISODate),
                         QTime::fromString(text.mid(11), QLatin1String(kSinceTimeFormat)), Qt::UTC);
    if (text.size() == 19 && text[10] == u'T' && time.isValid())
        return time;
    return std::nullopt;
}

QString CliOptions::VersionText()
{
    return QStringLiteral("tarn (TarnConf) " TARN_VERSION_TEXT "\n");
}

QString CliOptions::Help(std::span<const CliCommand* const> commands, const QString& command)
{
    if (const CliCommand* info = Find(commands, command)) {
        return QStringLiteral("Usage: tarn [global options] %1\n\n%2\n%3")
            .arg(QLatin1String(info->synopsis), QLatin1String(info->help),
                 QLatin1String(kGlobalHelp));
    }
    QString text = QStringLiteral("Usage: tarn [global options] COMMAND [options]\n\n"
                                  "The Tarn controller from the command line.\n\nCommands:\n");
    for (const CliCommand* info : commands)
        text += QStringLiteral("  %1\n").arg(QLatin1String(info->synopsis));
    return text + u'\n' + QLatin1String(kGlobalHelp);
}

bool CliOptions::Parse(const QStringList& args, std::span<const CliCommand* const> commands,
                       CliOptions& options, QString& error)
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
            if (!ParseSince(value)) {
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
        } else if (name == QLatin1String("--serial") || name == QLatin1String("--technician") ||
                   name == QLatin1String("--company")) {
            if (!takeValue())
                return false;
            if (name == QLatin1String("--serial") && value.isEmpty()) {
                error = QStringLiteral("--serial needs a serial number");
                return false;
            }
            (name == QLatin1String("--serial")       ? options.serial
             : name == QLatin1String("--technician") ? options.technician
                                                     : options.company) = value;
            commandOptions << name.mid(2);
        } else if (name == QLatin1String("--only")) {
            if (!takeValue())
                return false;
            options.only = value;
            commandOptions << QStringLiteral("only");
        } else if (IsFlag(commands, name)) {
            options.flags << name.mid(2);
            commandOptions << name.mid(2);
        } else if (arg.startsWith(u'-') && arg.size() > 1) {
            error = QStringLiteral("unknown option %1").arg(arg);
            return false;
        } else if (options.command.isEmpty()) {
            if (!Find(commands, arg)) {
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
    const CliCommand* info = Find(commands, options.command);
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
