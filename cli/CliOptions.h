#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

struct CliCommand;

/// The command line of tarn: global options, a command, its options and its arguments.
/// Global options may stand before or after the command.
struct CliOptions
{
    QString command;
    QStringList arguments;
    bool help = false;
    bool version = false;
    int port = 0;
    QString device;
    QString baud;
    bool trace = false;
    bool json = false;
    bool all = false;
    bool yes = false;
    QString format = QStringLiteral("tsv");
    QString output;
    /// history events --since: a date or a date and time, checked.
    QString since;
    /// Flags of one command without a value, without their "--" (setup: "dry-run", ...).
    QStringList flags;
    /// setup apply --only: the names of the blocks to write, as given.
    QString only;

    /// report --serial: the controller's serial number, from the service history.
    QString serial;
    /// report --technician and --company: null when not given.
    QString technician;
    QString company;

    /// outputs --for: seconds until the outputs are switched off again; 0 for none.
    int forSeconds = 0;

    /// The longest time `--for` takes.
    static constexpr int kMaxForSeconds = 86400;

    /// `args` without the program name, for the commands of `commands`. False, with the
    /// reason, for an unknown command or option, a missing or bad value, or arguments the
    /// command does not take. With --help or --version no command is needed.
    static bool Parse(const QStringList& args, std::span<const CliCommand* const> commands,
                      CliOptions& options, QString& error);
    /// The whole help text, or the command's when `command` names one of `commands`.
    static QString Help(std::span<const CliCommand* const> commands, const QString& command = {});
    /// The text of --version.
    static QString VersionText();
    /// The command of `commands` called `name`; null for none.
    static const CliCommand* Find(std::span<const CliCommand* const> commands, const QString& name);
    /// The time --since names, or nothing when it is none.
    static std::optional<QDateTime> ParseSince(const QString& text);
};
