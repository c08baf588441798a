#pragma once

#include "controller/ControllerIdentity.h"
#include "data/SetupBlocks.h"

#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class Tarn_Comm;
class Tarn_Inputs;

/// Every setup write goes through here, whoever asks for it (the setup window, an undo,
/// `tarn set-*`, `tarn setup apply`): first the controller answering is identified in the same
/// action and what the write leaves as it is read from it afresh (Identify); then the commands
/// are sent, and the status record follows each one acknowledged (Write), so that afterwards
/// the program's picture of the controller is what was written.
class SetupWriter
{
public:
    /// The controller a write is meant for.
    struct Target
    {
        /// Unknown (firmware 0): whichever controller answers.
        ControllerIdentity identity;
        /// For a controller without a serial number, its delays block as the caller knows
        /// it: another controller of the same firmware usually holds other values.
        std::optional<SetupBlocks::Delays> delays;
    };

    enum class Verdict
    {
        /// The target answers; its serial number proves it.
        Same,
        /// Firmware (and delays, where given) agree, but the controller has no serial number
        /// to prove that it is the one meant.
        Unproven,
        /// Another controller answers. The status record now holds what was read from it.
        Other,
        /// A request failed: nothing is known and nothing may be sent.
        Failed,
    };

    struct Identified
    {
        Verdict verdict = Verdict::Failed;
        /// Who answered; unknown when the version request failed.
        ControllerIdentity now;
        /// Why, when Failed; what could not be proven, when Unproven.
        QString text;
        bool mayWrite() const { return verdict == Verdict::Same || verdict == Verdict::Unproven; }
    };

    /// Reads the version (64), from 2.07 the administrative data (51), the delays block (55)
    /// and the profile numbers of the zones in `zones` (54), and compares who answers with
    /// `target`. When the controller may be written to, the status record takes what was
    /// read: the write that follows carries the controller's values of right now for every
    /// field the caller does not set, and the history its values before the write.
    static Identified Identify(Tarn_Comm& link, const Target& target,
                               const std::array<bool, SetupBlocks::kZones>& zones = {});

    /// "Another Tarn is connected now: serial 654321, V2.08." and what the caller showed.
    static QString OtherText(const Identified& identified, const QString& shown);

    struct Outcome
    {
        /// Commands acknowledged, in order.
        std::size_t done = 0;
        /// The command that failed went unanswered: the controller may have taken it.
        bool unconfirmed = false;
        bool ok(std::size_t count) const { return done == count; }
    };
    /// Sends the commands in order and stops at the first that fails. After each one
    /// acknowledged, the status record holds what it wrote.
    static Outcome Write(Tarn_Comm& link, const std::vector<SetupBlocks::Command>& commands);

    /// The commands of a write, built from the status record as Identify left it (the
    /// controller's values of right now) and what the user asked for. False, with the reason,
    /// when they cannot be built: then nothing is sent.
    using Build = std::function<bool(
        const Tarn_Inputs& record, std::vector<SetupBlocks::Command>& commands, QString& errText)>;

    struct Result
    {
        Identified identified;
        /// Built, when Identify let them be.
        std::vector<SetupBlocks::Command> commands;
        Outcome outcome;
        /// Why nothing was sent, when Build refused.
        QString refusal;
        /// Every command acknowledged.
        bool ok() const
        {
            return identified.mayWrite() && refusal.isEmpty() && outcome.ok(commands.size());
        }
        /// Nothing was sent because another controller answers.
        bool otherController() const { return identified.verdict == Verdict::Other; }
    };
    /// One write from start to end: Identify, Build, Write.
    static Result Run(Tarn_Comm& link, const Target& target, const Build& build,
                      const std::array<bool, SetupBlocks::kZones>& zones = {});
};
