#include "cli/SetupCommand.h"

#include "cli/CliOptions.h"
#include "cli/CommandLink.h"
#include "cli/ConsoleOutput.h"

#include "TarnVersion.h"
#include "config/FileReplace.h"
#include "controller/DisplayFormat.h"
#include "controller/SetupApply.h"
#include "controller/SetupCommands.h"
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

QString Labels(const std::vector<SetupApply::Step>& steps, std::size_t from, std::size_t to)
{
    QStringList labels;
    for (std::size_t i = from; i < to && i < steps.size(); ++i)
        labels << steps[i].label;
    return labels.isEmpty() ? QStringLiteral("nothing") : labels.join(QStringLiteral(", "));
}

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
    SetupFile::Setup controller;
    if (!ReadController(controller))
        return apply ? ExitFailed : ExitDiffError;
    const std::vector<SetupDiff::Difference> differences = SetupDiff::Compare(controller, file);
    if (!apply) {
        QString lines;
        for (const SetupDiff::Difference& d : differences)
            lines += d.Line() + u'\n';
        if (!Print(lines))
            return ExitDiffError;
        if (differences.empty())
            Say(QStringLiteral("Tarn's setup equals %1.").arg(m_file));
        return differences.empty() ? ExitOk : ExitDifferent;
    }
    return Apply(controller, file, differences);
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
    StatusCycle::Hooks hooks;
    hooks.catalogueError = [](const std::string& errText) { Say(DisplayFormat::Text(errText)); };
    bool complete = false;
    if (!StatusCycle::Read(m_link, m_iniPath, hooks, &complete) || !complete) {
        Say(QStringLiteral("tarn: Tarn's setup could not be read in full."));
        return false;
    }
    setup = SetupFile::FromController(m_link.Inputs, m_link.DetectorVoltageSwitch, ProfileCatalogue,
                                      TarnDateTime::Now(), kProgram);
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

int SetupCommand::Apply(const SetupFile::Setup& controller, const SetupFile::Setup& file,
                        const std::vector<SetupDiff::Difference>& differences)
{
    const bool setClock = HasFlag("set-clock");
    QString shown;
    for (const SetupDiff::Difference& d : differences)
        shown += d.Line() + u'\n';
    if (!Print(shown))
        return ExitFailed;

    SetupApply::Options options;
    options.factory = HasFlag("factory");
    options.useFileProfiles = HasFlag("use-file-profiles");
    options.forceDates = HasFlag("force-dates");
    options.only = m_only;
    std::vector<SetupApply::Step> steps;
    std::vector<SetupApply::LeftOut> leftOut;
    QString errText;
    if (!SetupApply::Plan(controller, file, ProfileCatalogue, options, TarnDateTime::Now(), steps,
                          leftOut, errText)) {
        Say(QStringLiteral("tarn: %1. Nothing written.").arg(errText));
        return ExitUsage;
    }
    // What is not written and why: a refusal a line, what was left out by choice by its reason.
    QStringList refused;
    for (std::size_t i = 0; i < leftOut.size();) {
        if (leftOut[i].refused) {
            Say(QStringLiteral("Refused: %1: %2.").arg(leftOut[i].label, leftOut[i].reason));
            refused << leftOut[i++].label;
            continue;
        }
        QStringList labels;
        const QString& reason = leftOut[i].reason;
        for (; i < leftOut.size() && !leftOut[i].refused && leftOut[i].reason == reason; ++i)
            labels << leftOut[i].label;
        Say(QStringLiteral("Left out: %1: %2.").arg(labels.join(QStringLiteral(", ")), reason));
    }
    const QString notWritten = QStringLiteral("Not written, as refused above: %1.")
                                   .arg(refused.join(QStringLiteral(", ")));
    if (steps.empty() && !setClock) {
        if (!refused.isEmpty())
            Say(notWritten);
        else if (leftOut.empty())
            Say(QStringLiteral("Nothing to write: Tarn has the setup of %1.").arg(m_file));
        else
            Say(QStringLiteral("Nothing else to write."));
        return refused.isEmpty() ? ExitOk : ExitFailed;
    }
    QString plan = Labels(steps, 0, steps.size());
    if (setClock)
        plan = (steps.empty() ? QString() : plan + QStringLiteral(", ")) +
               QStringLiteral("clock (65)");
    if (!Print(QStringLiteral("To write: %1\n").arg(plan)))
        return ExitFailed;
    if (HasFlag("dry-run")) {
        Say(QStringLiteral("--dry-run: nothing written."));
        return ExitOk;
    }
    if (!m_options.yes) {
        std::fputs("Write this to Tarn? [y/N] ", stderr);
        std::fflush(stderr);
        std::string answer;
        if (!std::getline(std::cin, answer) ||
            (answer != "y" && answer != "Y" && answer != "yes")) {
            Say(QStringLiteral("Nothing written."));
            return ExitOk;
        }
    }

    const SetupApply::Outcome outcome = SetupApply::Run(m_link, steps);
    if (outcome.stepsDone < steps.size()) {
        // A command that got no answer may have been taken: its block is not confirmed.
        const SetupApply::Step& failed = steps[outcome.stepsDone];
        const int code = failed.commands[outcome.commandsDone].code;
        QString partly;
        if (outcome.commandsDone > 0)
            partly = QStringLiteral(" (command %1 of it was acknowledged, command %2 %3)")
                         .arg(failed.commands[outcome.commandsDone - 1].code)
                         .arg(code)
                         .arg(outcome.unconfirmed ? QStringLiteral("got no answer")
                                                  : QStringLiteral("not"));
        else if (outcome.unconfirmed)
            partly = QStringLiteral(" (command %1 got no answer)").arg(code);
        QString text = QStringLiteral("Stopped: %1 failed%2.\nWritten: %3.")
                           .arg(failed.label, partly, Labels(steps, 0, outcome.stepsDone));
        if (outcome.unconfirmed)
            text += QStringLiteral("\nNot confirmed: %1.").arg(failed.label);
        const std::size_t unsent = outcome.stepsDone + (outcome.unconfirmed ? 1 : 0);
        QStringList unwritten;
        if (unsent < steps.size())
            unwritten << Labels(steps, unsent, steps.size());
        if (setClock)
            unwritten << QStringLiteral("clock (65)");
        if (!unwritten.isEmpty())
            text += QStringLiteral("\nNot written: %1.").arg(unwritten.join(QStringLiteral(", ")));
        Say(text);
        return ExitFailed;
    }
    if (setClock && !SetupCommands::SetClock(m_link)) {
        Say(QStringLiteral("Stopped: clock (65) failed.\nWritten: %1.\n%2: clock (65).")
                .arg(Labels(steps, 0, steps.size()), SetupApply::Unconfirmed(m_link)
                                                         ? QStringLiteral("Not confirmed")
                                                         : QStringLiteral("Not written")));
        return ExitFailed;
    }
    Say(QStringLiteral("Written: %1.").arg(plan));

    // The read-back: every field the controller reports must now be the file's, but in the
    // blocks left out.
    SetupFile::Setup readBack;
    if (!ReadController(readBack)) {
        Say(QStringLiteral("Not verified: Tarn could not be read back."));
        return ExitFailed;
    }
    QString left;
    for (const SetupDiff::Difference& d : SetupDiff::Compare(readBack, file)) {
        const bool leftAlone =
            std::any_of(leftOut.begin(), leftOut.end(),
                        [&d](const SetupApply::LeftOut& l) { return l.block == d.block; });
        if (d.reported && !leftAlone)
            left += QStringLiteral("\n  ") + d.Line();
    }
    if (!left.isEmpty()) {
        Say(QStringLiteral("Not verified: Tarn reports after the write:%1").arg(left));
        return ExitFailed;
    }
    if (!Print(QStringLiteral("verified\n")))
        return ExitFailed;
    if (refused.isEmpty())
        return ExitOk;
    Say(notWritten);
    return ExitFailed;
}
