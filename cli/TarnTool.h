#pragma once

#include "cli/CliOptions.h"
#include "cli/CommandLink.h"

#include <QStringList>

#include <span>

struct CliCommand;

/// The program `tarn`: the controller's main jobs without windows, on the same link, the same
/// Tarn.INI and the same controller code as the window program. It knows every command and
/// runs the one the command line names, after what that command needs.
class TarnTool
{
public:
    /// Every command of tarn, in the order of the help.
    static std::span<const CliCommand* const> Commands();

    /// Whether the command line `args` (without the program name) runs a command that draws
    /// with Qt GUI (the report), which needs a QGuiApplication.
    static bool NeedsGui(const QStringList& args);

    /// Runs the command line (without the program name); the exit code.
    int Run(const QStringList& args);

private:
    CliOptions m_options;
    CommandLink m_link;
};
