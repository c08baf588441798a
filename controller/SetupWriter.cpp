#include "controller/SetupWriter.h"

#include "controller/StatusCycle.h"
#include "data/Catalogues.h"
#include "data/DateCodec.h"
#include "data/SetupFollow.h"
#include "data/TextNumbers.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

namespace {

/// A request answered with the values asked for.
bool Read(Tarn_Comm& link, int command, const std::string& data = {})
{
    return link.Send(command, data) && link.TarnData != TarnCommand::kRefusal;
}

QString Failure(const Tarn_Comm& link, const char* what)
{
    const QString why = link.answered() && link.TarnData == TarnCommand::kRefusal
                            ? QStringLiteral("Tarn refused the request.")
                            : link.lastError();
    return QStringLiteral("Tarn could not be identified (%1): nothing was sent. %2")
        .arg(QLatin1String(what), why)
        .trimmed();
}

bool SameDelays(const SetupBlocks::Delays& a, const SetupBlocks::Delays& b)
{
    // The detector voltage switch is the program's, not the controller's.
    return a.detectorAlarm == b.detectorAlarm && a.detectorReset == b.detectorReset &&
           a.manualAlarm == b.manualAlarm && a.manualStop == b.manualStop &&
           a.messages == b.messages && a.outputs == b.outputs;
}

} // namespace

SetupWriter::Identified SetupWriter::Identify(Tarn_Comm& link, const Target& target,
                                              const std::array<bool, SetupBlocks::kZones>& zones)
{
    Identified result;
    IdentityReading reading;
    if (!ControllerIdentity::Read(link, reading)) {
        result.text = reading.errText + QStringLiteral(" Nothing was sent.");
        return result;
    }
    result.now = reading.now;
    Tarn_Inputs& record = link.Inputs;
    if (!Read(link, TarnCommand::ReadDelays)) {
        result.text = Failure(link, "delays");
        return result;
    }
    Tarn_Inputs fresh = record;
    fresh.ResolveDelays(link.TarnData);

    const ControllerIdentity& meant = target.identity;
    if (!meant.Known()) {
        result.verdict = result.now.Proven() ? Verdict::Same : Verdict::Unproven;
    } else if (meant != result.now) {
        result.verdict = Verdict::Other;
    } else if (meant.Proven()) {
        result.verdict = Verdict::Same;
    } else if (target.delays &&
               !SameDelays(*target.delays,
                           SetupBlocks::DelaysOf(fresh, target.delays->voltageSwitch))) {
        // Without a serial number another controller of the same firmware shows itself only by
        // what it holds.
        result.verdict = Verdict::Other;
    } else {
        result.verdict = Verdict::Unproven;
    }
    if (result.verdict == Verdict::Unproven)
        result.text =
            QStringLiteral("Tarn %1 has no serial number: that it is the Tarn meant could "
                           "not be proven (its firmware and settings agree).")
                .arg(result.now.Firmware());
    // ControllerIdentity::Read has brought the record to the controller that answers.
    record.ResolveDelays(link.TarnData);
    record.MarkGiven(Tarn_Inputs::Part::Delays, TarnDateTime::Now());
    if (result.verdict == Verdict::Other)
        return result;

    for (int16_t zone = 0; zone < SetupBlocks::kZones; ++zone) {
        if (!zones[static_cast<std::size_t>(zone)])
            continue;
        if (!Read(link, TarnCommand::ReadZoneProfile, std::string(1, static_cast<char>(zone)))) {
            result.verdict = Verdict::Failed;
            result.text = Failure(link, "zone profile");
            return result;
        }
        record.SetProfileID(zone, ParseProfileId(link.TarnData));
        record.MarkGiven(
            static_cast<Tarn_Inputs::Part>(static_cast<int>(Tarn_Inputs::Part::Zone1) + zone),
            TarnDateTime::Now());
    }
    StatusCycle::SettleProfileNames(record);
    return result;
}

QString SetupWriter::OtherText(const Identified& identified, const QString& shown)
{
    return QStringLiteral("Another Tarn is connected now: %1. %2")
        .arg(identified.now.Text(), shown);
}

SetupWriter::Outcome SetupWriter::Write(Tarn_Comm& link,
                                        const std::vector<SetupBlocks::Command>& commands)
{
    Outcome outcome;
    for (const SetupBlocks::Command& command : commands) {
        if (!link.Send(command.code, command.data)) {
            outcome.unconfirmed = !link.answered();
            return outcome;
        }
        SetupFollow::Written(link.Inputs, command);
        if (command.code == TarnCommand::SetZoneProfile)
            StatusCycle::SettleProfileNames(link.Inputs);
        ++outcome.done;
    }
    return outcome;
}

SetupWriter::Result SetupWriter::Run(Tarn_Comm& link, const Target& target, const Build& build,
                                     const std::array<bool, SetupBlocks::kZones>& zones)
{
    Result result;
    result.identified = Identify(link, target, zones);
    if (!result.identified.mayWrite())
        return result;
    if (!build(link.Inputs, result.commands, result.refusal)) {
        if (result.refusal.isEmpty())
            result.refusal = QStringLiteral("Nothing was sent.");
        result.commands.clear();
        return result;
    }
    result.outcome = Write(link, result.commands);
    return result;
}
