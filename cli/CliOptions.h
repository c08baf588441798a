#pragma once

#include <QString>
#include <QStringList>

/// The command line of tarn: global options, a command, its options and its arguments.
/// Global options may stand before or after the command.
struct CliOptions
{
    QString command;
    QStringList arguments;
    bool help = false;
    int port = 0;
    QString device;
    QString baud;
    bool trace = false;
    bool json = false;
    bool all = false;
    bool yes = false;
    QString format = QStringLiteral("tsv");
    QString output;
    /// Flags of one command without a value, without their "--" (setup: "dry-run", ...).
    QStringList flags;

    /// `args` without the program name. False, with the reason, for an unknown command or
    /// option, a missing or bad value, or arguments the command does not take.
    static bool Parse(const QStringList& args, CliOptions& options, QString& error);
    /// The whole help text, or the command's when `command` names one.
    static QString Help(const QString& command = {});
    static bool IsCommand(const QString& name);
};
