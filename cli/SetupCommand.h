#pragma once

#include "cli/CliCommand.h"
#include "cli/ConsoleOutput.h"
#include "controller/SetupDiff.h"
#include "controller/SetupFile.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

struct CliOptions;
class Tarn_Comm;

/// `tarn setup dump | diff | apply`: the controller's setup as a file, compared with a file,
/// and written from one.
class SetupCommand
{
public:
    enum ExitCode
    {
        ExitOk = 0,
        /// The controller refused or did not answer, an output failed, or (diff) the setup
        /// differs from the file.
        ExitFailed = 1,
        ExitDifferent = 1,
        ExitUsage = 2,
        /// diff: anything that kept it from comparing.
        ExitDiffError = 2
    };

    static const CliCommand kCommand;

    SetupCommand(Tarn_Comm& link, const CliOptions& options, const std::string& iniPath);
    /// Runs the subcommand; `startLink` opens the port (and tells why it could not).
    int Run(const std::function<bool()>& startLink);

private:
    int Dump();
    int Diff();
    int Apply(const SetupFile::Setup& file);
    /// A status read that answered every request, as a setup.
    bool ReadController(SetupFile::Setup& setup);
    bool ReadFile(SetupFile::Setup& setup);
    bool HasFlag(const char* flag) const;
    static void Say(const QString& text) { ConsoleOutput::Say(text); }
    static bool Print(const QString& text) { return ConsoleOutput::Print(text); }

    Tarn_Comm& m_link;
    const CliOptions& m_options;
    std::string m_iniPath;
    QString m_subcommand;
    QString m_file;
    /// apply --only: the blocks to write; every block when empty.
    std::vector<SetupDiff::Block> m_only;
};
