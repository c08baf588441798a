#include "controller/SetupApplyRun.h"

#include "controller/HistoryRecorder.h"
#include "controller/SetupCommands.h"
#include "controller/StatusCycle.h"
#include "data/Catalogues.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

#include <algorithm>

namespace {

/// The setups read here are compared, never saved: they name no program.
constexpr const char* kProgram = "";

QString Labels(const std::vector<SetupApply::Step>& steps, std::size_t from, std::size_t to)
{
    QStringList labels;
    for (std::size_t i = from; i < to && i < steps.size(); ++i)
        labels << steps[i].label;
    return labels.isEmpty() ? QStringLiteral("nothing") : labels.join(QStringLiteral(", "));
}

const QString kClock = QStringLiteral("clock (65)");

} // namespace

QString SetupApplyRun::Proposal::PlanText() const
{
    QString plan = Labels(steps, 0, steps.size());
    if (setClock)
        plan = (steps.empty() ? QString() : plan + QStringLiteral(", ")) + kClock;
    return plan;
}

QStringList SetupApplyRun::Proposal::LeftOutLines() const
{
    QStringList lines;
    for (std::size_t i = 0; i < leftOut.size();) {
        if (leftOut[i].refused) {
            lines << QStringLiteral("Refused: %1: %2.").arg(leftOut[i].label, leftOut[i].reason);
            ++i;
            continue;
        }
        QStringList labels;
        const QString& reason = leftOut[i].reason;
        for (; i < leftOut.size() && !leftOut[i].refused && leftOut[i].reason == reason; ++i)
            labels << leftOut[i].label;
        lines << QStringLiteral("Left out: %1: %2.").arg(labels.join(QStringLiteral(", ")), reason);
    }
    return lines;
}

bool SetupApplyRun::Proposal::Refused() const
{
    return std::any_of(leftOut.begin(), leftOut.end(),
                       [](const SetupApply::LeftOut& l) { return l.refused; });
}

QString SetupApplyRun::Proposal::RefusedText() const
{
    QStringList refused;
    for (const SetupApply::LeftOut& left : leftOut)
        if (left.refused)
            refused << left.label;
    return QStringLiteral("Not written, as refused above: %1.")
        .arg(refused.join(QStringLiteral(", ")));
}

QString SetupApplyRun::Report::StoppedText() const
{
    const std::vector<SetupApply::Step>& steps = proposal.steps;
    if (end == End::ClockFailed)
        return QStringLiteral("Stopped: clock (65) failed.\nWritten: %1.\n%2: clock (65).")
            .arg(Labels(steps, 0, steps.size()), clockUnconfirmed ? QStringLiteral("Not confirmed")
                                                                  : QStringLiteral("Not written"));
    if (outcome.stepsDone >= steps.size())
        return {};
    // A command that got no answer may have been taken: its block is not confirmed.
    const SetupApply::Step& failed = steps[outcome.stepsDone];
    const int code = failed.commands[outcome.commandsDone].code;
    QString partly;
    if (outcome.commandsDone > 0)
        partly =
            QStringLiteral(" (command %1 of it was acknowledged, command %2 %3)")
                .arg(failed.commands[outcome.commandsDone - 1].code)
                .arg(code)
                .arg(outcome.unconfirmed ? QStringLiteral("got no answer") : QStringLiteral("not"));
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
    if (proposal.setClock)
        unwritten << kClock;
    if (!unwritten.isEmpty())
        text += QStringLiteral("\nNot written: %1.").arg(unwritten.join(QStringLiteral(", ")));
    return text;
}

bool SetupApplyRun::ReadController(Tarn_Comm& link, const std::string& iniPath, const Hooks& hooks,
                                   SetupFile::Setup& setup)
{
    StatusCycle::Hooks read;
    read.catalogueError = hooks.catalogueError;
    bool complete = false;
    if (!StatusCycle::Read(link, iniPath, read, &complete) || !complete)
        return false;
    setup = SetupFile::FromController(link.Inputs, link.DetectorVoltageSwitch, ProfileCatalogue,
                                      TarnDateTime::Now(), kProgram);
    MarkUnconfirmed(link, setup);
    return true;
}

void SetupApplyRun::MarkUnconfirmed(const Tarn_Comm& link, SetupFile::Setup& setup)
{
    HistoryRecorder* const recorder = HistoryRecorder::For(link);
    if (!recorder)
        return;
    const std::array<bool, SetupBlocks::kZones> unconfirmed = recorder->UnconfirmedDefinitions();
    for (std::size_t z = 0; z < setup.zones.size(); ++z) {
        if (!unconfirmed[z])
            continue;
        // Tarn.INI's definition is not what the zone runs: none is claimed.
        setup.zones[z].definitionUnconfirmed = true;
        setup.zones[z].profileDefinition.reset();
    }
}

SetupApplyRun::Report SetupApplyRun::Run(Tarn_Comm& link, const std::string& iniPath,
                                         const SetupFile::Setup& file,
                                         const SetupApply::Options& options, bool setClock,
                                         const Hooks& hooks)
{
    Report report;
    Proposal& proposal = report.proposal;
    proposal.setClock = setClock;
    if (!ReadController(link, iniPath, hooks, proposal.controller)) {
        report.end = End::ReadFailed;
        report.errText = QStringLiteral("Tarn's setup could not be read in full.");
        return report;
    }
    // Who was read: the writes go to that controller only.
    SetupWriter::Target target;
    target.identity = ControllerIdentity::Of(link.Inputs);
    report.read = target.identity;
    if (!target.identity.Proven())
        target.delays = SetupBlocks::DelaysOf(link.Inputs, link.DetectorVoltageSwitch);
    if (hooks.meant && hooks.meant->identity.Known()) {
        if (hooks.meant->identity != report.read) {
            report.identified.verdict = SetupWriter::Verdict::Other;
            report.identified.now = report.read;
            report.end = End::OtherController;
            return report;
        }
        target = *hooks.meant;
    }

    proposal.differences = SetupDiff::Compare(proposal.controller, file);
    if (!SetupApply::Plan(proposal.controller, file, ProfileCatalogue, options, TarnDateTime::Now(),
                          proposal.steps, proposal.leftOut, report.errText)) {
        report.end = End::PlanRefused;
        return report;
    }
    if (proposal.steps.empty() && !setClock) {
        report.end = End::NothingToWrite;
        return report;
    }
    if (!hooks.confirm || !hooks.confirm(proposal)) {
        report.end = End::NotAsked;
        return report;
    }

    // The question may have taken a while: the controller is identified again, and what the
    // plan leaves as it is read afresh.
    report.identified = SetupWriter::Identify(link, target);
    if (report.identified.verdict == SetupWriter::Verdict::Other) {
        report.end = End::OtherController;
        return report;
    }
    if (!report.identified.mayWrite()) {
        report.end = End::NotIdentified;
        return report;
    }
    report.outcome = SetupApply::Run(link, proposal.steps, [&hooks](const SetupApply::Step& step) {
        if (hooks.progress)
            hooks.progress(step.label);
    });
    if (report.outcome.stepsDone < proposal.steps.size()) {
        report.end = End::Stopped;
        return report;
    }
    if (setClock) {
        if (hooks.progress)
            hooks.progress(kClock);
        std::string text;
        if (!SetupCommands::ClockText(link, text) ||
            SetupWriter::Write(link, {{TarnCommand::SetClock, text}}).done == 0) {
            report.clockUnconfirmed = SetupApply::Unconfirmed(link);
            report.end = End::ClockFailed;
            return report;
        }
    }

    // The read-back: every field the controller reports must now be the file's, but in the
    // blocks left out.
    SetupFile::Setup readBack;
    if (!ReadController(link, iniPath, hooks, readBack)) {
        report.end = End::NotVerified;
        return report;
    }
    for (const SetupDiff::Difference& d : SetupDiff::Compare(readBack, file)) {
        const bool leftAlone =
            std::any_of(proposal.leftOut.begin(), proposal.leftOut.end(),
                        [&d](const SetupApply::LeftOut& l) { return l.block == d.block; });
        if (d.reported && !leftAlone)
            report.notVerified << d.Line();
    }
    report.end = report.notVerified.isEmpty() ? End::Verified : End::NotVerified;
    return report;
}
