#pragma once

class CommandLink;
struct CliOptions;

/// One command of tarn: its help, the options and arguments it takes, what it needs before it
/// runs, and its run. Each command defines its own; TarnTool's table lists them all.
struct CliCommand
{
    /// What the command needs of the link before its run.
    enum class Link
    {
        /// Neither the controller nor Tarn.INI.
        None,
        /// Tarn.INI read and the link set up; the command starts it itself, if at all.
        Configured,
        /// The link started.
        Started
    };

    const char* name;
    const char* synopsis;
    /// The text of `tarn COMMAND --help` under the usage line.
    const char* help;
    /// The options it takes besides the global ones, without their "--", separated by blanks.
    const char* options;
    /// The options among them that take no value and that only commands declare, such as
    /// "dry-run".
    const char* flags;
    int minArguments;
    int maxArguments;
    Link link;
    /// Opens the service history: the command reads or writes the controller's records.
    bool keepsHistory;
    /// Runs until stopped: Ctrl+C stops it after the current request.
    bool runsUntilStopped;
    /// The exit code.
    int (*run)(CommandLink& link, const CliOptions& options);
};
