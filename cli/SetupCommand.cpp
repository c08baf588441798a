#include "cli/SetupCommand.h"

#include "cli/CliOptions.h"
#include "cli/CommandLink.h"
#include "cli/ConsoleOutput.h"

#include "TarnVersion.h"
#include "config/FileReplace.h"
#include "controller/DisplayFormat.h"
#include "controller/SetupApply.h"
#include "controller/SetupApplyRun.h"
#include "controller/SetupDiff.h"
#include "controller/StatusCycle.h"
#include "data/Catalogues.h"
#include "link/Tarn_Comm.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include <unistd.h>

namespace {

constexpr const char* kProgram = "tarn " TARN_VERSION_TEXT;

int RunSetup(CommandLink& link, const CliOptions& options)
{
    return SetupCommand(link.link(), options, link.iniPath()).Run([&link] { return link.Start(); });
}

} // namespace

const CliCommand SetupCommand::kCommand = {
    .name = "setup",
    .synopsis = "setup dump|diff|apply [FILE] [options]",
    .help =
        "The controller's setup as a file (JSON): save it, compare it, write it to a controller.\n"
        "  dump [--output FILE]  read the controller and write its setup file\n"
        "  diff FILE             list what differs from FILE (exit 0 same, 1 different, 2 error)\n"
        "  apply FILE            write the blocks that differ from FILE, then read back and "
        "verify\n"
        "    --dry-run           show what would be written; write nothing\n"
        "    --yes               do not ask (needed without a terminal)\n"
        "    --factory           also write the serial number and the manufacturing date\n"
        "    --use-file-profiles write the file's profile definitions where Tarn.INI differs\n"
        "    --set-clock         also set the controller's clock to the computer's\n"
        "    --only BLOCKS       write only these, comma-separated: delays (98: the delays, the\n"
        "                        zones' messages and outputs), zones (104, 102: the zones'\n"
        "                        profiles), dates (99: installation and service dates), factory\n"
        "                        (99: serial number and manufacturing date, with --factory)\n"
        "    --force-dates       write service dates that move the controller's back\n",
    .options = "output yes dry-run factory use-file-profiles set-clock force-dates only",
    .flags = "dry-run factory use-file-profiles set-clock force-dates",
    .minArguments = 1,
    .maxArguments = 2,
    .link = CliCommand::Link::Configured,
    .keepsHistory = true,
    .runsUntilStopped = false,
    .run = &RunSetup};

SetupCommand::SetupCommand(Tarn_Comm& link, const CliOptions& options, const std::string& iniPath)
    : m_link(link), m_options(options), m_iniPath(iniPath)
{
}

bool SetupCommand::HasFlag(const char* flag) const
{
    return m_options.flags.contains(QLatin1String(flag));
}

int SetupCommand::Run(const std::function<bool()>& startLink)
{
    m_subcommand = m_options.arguments.value(0);
    m_file = m_options.arguments.value(1);
    const bool dump = m_subcommand == QLatin1String("dump");
    const bool apply = m_subcommand == QLatin1String("apply");
    QString error;
    if (!dump && !apply && m_subcommand != QLatin1String("diff"))
        error = QStringLiteral("setup takes dump, diff or apply");
    else if (dump && !m_file.isEmpty())
        error = QStringLiteral("setup dump takes no file; --output FILE names where it goes");
    else if (!dump && m_file.isEmpty())
        error = QStringLiteral("setup %1 needs a FILE").arg(m_subcommand);
    else if (!dump && !m_options.output.isEmpty())
        error = QStringLiteral("setup %1 does not take --output").arg(m_subcommand);
    else if (!apply && (!m_options.flags.isEmpty() || m_options.yes || !m_options.only.isEmpty()))
        error = QStringLiteral("setup %1 does not take --%2")
                    .arg(m_subcommand, m_options.yes               ? QStringLiteral("yes")
                                       : !m_options.only.isEmpty() ? QStringLiteral("only")
                                                                   : m_options.flags.first());
    else if (!m_options.only.isEmpty())
        SetupApply::ParseOnly(m_options.only, m_only, error);
    if (!error.isEmpty()) {
        Say(QStringLiteral("tarn: %1\nTry 'tarn setup --help'.").arg(error));
        return ExitUsage;
    }
    if (dump)
        return startLink() ? Dump() : ExitFailed;

    SetupFile::Setup file;
    if (!ReadFile(file))
        return ExitUsage;
    // Asking needs someone to answer: found out before the controller is read.
    if (apply && !m_options.yes && !HasFlag("dry-run") && isatty(STDIN_FILENO) == 0) {
        Say(QStringLiteral("tarn: setup apply asks before it writes, and there is no terminal "
                           "to ask on: give --yes (or --dry-run to see what it would write)."));
        return ExitUsage;
    }
    if (!startLink())
        return apply ? ExitFailed : ExitDiffError;
    if (apply)
        return Apply(file);
    SetupFile::Setup controller;
    if (!ReadController(controller))
        return ExitDiffError;
    const std::vector<SetupDiff::Difference> differences = SetupDiff::Compare(controller, file);
    {
        QString lines;
        for (const SetupDiff::Difference& d : differences)
            lines += d.Line() + u'\n';
        if (!Print(lines))
            return ExitDiffError;
        if (differences.empty())
            Say(QStringLiteral("Tarn's setup equals %1.").arg(m_file));
        return differences.empty() ? ExitOk : ExitDifferent;
    }
}

bool SetupCommand::ReadFile(SetupFile::Setup& setup)
{
    QFile file(m_file);
    if (!file.open(QIODevice::ReadOnly)) {
        Say(QStringLiteral("tarn: %1 cannot be read: %2").arg(m_file, file.errorString()));
        return false;
    }
    const QByteArray bytes = file.readAll();
    std::string errText;
    if (!SetupFile::Read(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), setup,
            errText)) {
        Say(QStringLiteral("tarn: %1 is refused: %2").arg(m_file, QString::fromStdString(errText)));
        return false;
    }
    return true;
}

bool SetupCommand::ReadController(SetupFile::Setup& setup)
{
    SetupApplyRun::Hooks hooks;
    hooks.catalogueError = [](const std::string& errText) { Say(DisplayFormat::Text(errText)); };
    if (!SetupApplyRun::ReadController(m_link, m_iniPath, hooks, setup)) {
        Say(QStringLiteral("tarn: Tarn's setup could not be read in full."));
        return false;
    }
    // The file names the program that wrote it.
    setup.source.program = kProgram;
    return true;
}

int SetupCommand::Dump()
{
    SetupFile::Setup setup;
    if (!ReadController(setup))
        return ExitFailed;
    const std::string bytes = SetupFile::Write(setup);
    if (m_options.output.isEmpty()) {
        if (ConsoleOutput::WriteStream(stdout, QByteArray::fromStdString(bytes)))
            return ExitOk;
        const int error = errno != 0 ? errno : EIO;
        Say(QStringLiteral("tarn: standard output could not be written: %1")
                .arg(QString::fromLocal8Bit(std::strerror(error))));
        return ExitFailed;
    }
    std::string errText;
    if (!ReplaceFileContent(QFile::encodeName(m_options.output).toStdString(), bytes, errText)) {
        Say(QStringLiteral("%1 could not be saved: %2")
                .arg(m_options.output, QString::fromStdString(errText)));
        return ExitFailed;
    }
    return ExitOk;
}

int SetupCommand::Apply(const SetupFile::Setup& file)
{
    SetupApply::Options options;
    options.factory = HasFlag("factory");
    options.useFileProfiles = HasFlag("use-file-profiles");
    options.forceDates = HasFlag("force-dates");
    options.only = m_only;
    const bool dryRun = HasFlag("dry-run");
    bool printed = true;
    // The differences, then what is not written and why, a refusal a line, what was left out
    // by choice by its reason.
    const auto show = [&printed](const SetupApplyRun::Proposal& proposal) {
        QString lines;
        for (const SetupDiff::Difference& d : proposal.differences)
            lines += d.Line() + u'\n';
        printed = printed && Print(lines);
        for (const QString& line : proposal.LeftOutLines())
            Say(line);
    };
    SetupApplyRun::Hooks hooks;
    hooks.catalogueError = [](const std::string& errText) { Say(DisplayFormat::Text(errText)); };
    hooks.confirm = [&](const SetupApplyRun::Proposal& proposal) {
        show(proposal);
        if (!printed || !Print(QStringLiteral("To write: %1\n").arg(proposal.PlanText())))
            return printed = false;
        if (dryRun) {
            Say(QStringLiteral("--dry-run: nothing written."));
            return false;
        }
        if (m_options.yes)
            return true;
        std::fputs("Write this to Tarn? [y/N] ", stderr);
        std::fflush(stderr);
        std::string answer;
        if (!std::getline(std::cin, answer) ||
            (answer != "y" && answer != "Y" && answer != "yes")) {
            Say(QStringLiteral("Nothing written."));
            return false;
        }
        return true;
    };
    using End = SetupApplyRun::End;
    const SetupApplyRun::Report report =
        SetupApplyRun::Run(m_link, m_iniPath, file, options, HasFlag("set-clock"), hooks);
    const SetupApplyRun::Proposal& proposal = report.proposal;
    switch (report.end) {
    case End::ReadFailed:
        Say(QStringLiteral("tarn: %1").arg(report.errText));
        return ExitFailed;
    case End::PlanRefused:
        show(proposal);
        Say(QStringLiteral("tarn: %1. Nothing written.").arg(report.errText));
        return printed ? ExitUsage : ExitFailed;
    case End::NothingToWrite:
        show(proposal);
        if (proposal.Refused())
            Say(proposal.RefusedText());
        else if (proposal.leftOut.empty())
            Say(QStringLiteral("Nothing to write: Tarn has the setup of %1.").arg(m_file));
        else
            Say(QStringLiteral("Nothing else to write."));
        return !printed ? ExitFailed : proposal.Refused() ? ExitFailed : ExitOk;
    case End::NotAsked:
        return printed ? ExitOk : ExitFailed;
    case End::OtherController:
        Say(QStringLiteral("tarn: Another Tarn is connected now: %1. The setup was read from "
                           "%2. Nothing written.")
                .arg(report.identified.now.Text(), report.read.ShortText()));
        return ExitFailed;
    case End::NotIdentified:
        Say(QStringLiteral("tarn: %1").arg(report.identified.text));
        return ExitFailed;
    case End::Stopped:
    case End::ClockFailed:
        Say(report.StoppedText());
        return ExitFailed;
    case End::NotVerified:
    case End::Verified:
        break;
    }
    Say(QStringLiteral("Written: %1.").arg(proposal.PlanText()));
    if (report.end == End::NotVerified) {
        Say(report.notVerified.isEmpty()
                ? QStringLiteral("Not verified: Tarn could not be read back.")
                : QStringLiteral("Not verified: Tarn reports after the write:\n  ") +
                      report.notVerified.join(QStringLiteral("\n  ")));
        return ExitFailed;
    }
    if (!Print(QStringLiteral("verified\n")))
        return ExitFailed;
    if (!proposal.Refused())
        return ExitOk;
    Say(proposal.RefusedText());
    return ExitFailed;
}
