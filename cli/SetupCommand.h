#pragma once

#include "cli/ConsoleOutput.h"

#include "cli/CliOptions.h"
#include "controller/SetupDiff.h"
#include "controller/SetupFile.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

class Tarn_Comm;

/// `tarn setup dump | diff | apply`: the controller's setup as a file, compared with a file,
/// and written from one.
class SetupTool
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

    static constexpr const char* kSynopsis = "setup dump|diff|apply [FILE] [options]";
    static constexpr const char* kHelp =
        "The controller's setup as a file (JSON): save it, compare it, write it to a controller.\n"
        "  dump [--output FILE]  read the controller and write its setup file\n"
        "  diff FILE             list what differs from FILE (exit 0 same, 1 different, 2 error)\n"
        "  apply FILE            write the blocks that differ from FILE, then read back and "
        "verify\n"
        "    --dry-run           show what would be written; write nothing\n"
        "    --yes               do not ask (needed without a terminal)\n"
        "    --factory           also write the serial number and the manufacturing date\n"
        "    --use-file-profiles write the file's profile definitions where Tarn.INI differs\n"
        "    --set-clock         also set the controller's clock to the computer's\n";
    /// The options of the command besides the global ones, as CliOptions lists them.
    static constexpr const char* kOptions =
        "output yes dry-run factory use-file-profiles set-clock";

    SetupTool(Tarn_Comm& link, const CliOptions& options, const std::string& iniPath);
    /// Runs the subcommand; `startLink` opens the port (and tells why it could not).
    int Run(const std::function<bool()>& startLink);

    static bool IsFlag(const QString& option);

private:
    int Dump();
    int Diff();
    int Apply(const SetupFile::Setup& file, const std::vector<SetupDiff::Difference>& differences);
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
};
