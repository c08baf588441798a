#pragma once

#include "controller/SetupDiff.h"
#include "controller/SetupFile.h"
#include "data/KeyedCollection.h"
#include "data/SetupBlocks.h"
#include "data/TarnDateTime.h"
#include "data/Tarn_Profile.h"

#include <QString>

#include <functional>
#include <vector>

class Tarn_Comm;

/// Writes a setup file to the controller: only the blocks that differ, in the setup window's
/// order and with its commands. Every write carries the file's values alone.
class SetupApply
{
public:
    struct Step
    {
        SetupDiff::Block block = SetupDiff::Block::Delays;
        QString label;
        std::vector<SetupBlocks::Command> commands;
    };

    /// A block that differs from the file and is not written.
    struct LeftOut
    {
        SetupDiff::Block block = SetupDiff::Block::Delays;
        QString label;
        /// True when the file's values cannot be written (`reason` says which and why); false
        /// when the block was left out by choice (--only, no --factory).
        bool refused = false;
        QString reason;
    };

    struct Options
    {
        /// The serial number and the manufacturing date are written too.
        bool factory = false;
        /// A profile definition of the file is written even when Tarn.INI has another one.
        bool useFileProfiles = false;
        /// Service dates are written even where they move Tarn's back or drop a newer one.
        bool forceDates = false;
        /// The blocks to write (ParseOnly); every block when empty.
        std::vector<SetupDiff::Block> only;
    };

    /// The names --only takes, comma-separated: delays (98: delays, zone messages and
    /// outputs), zones (104 and 102: the zones' profiles), dates (99: installation and
    /// service dates), factory (99: serial number and manufacturing date, with --factory).
    static constexpr const char* kOnlyNames = "delays, zones, dates, factory";
    static bool ParseOnly(const QString& names, std::vector<SetupDiff::Block>& blocks,
                          QString& errText);
    /// "service dates (99)"
    static QString Label(SetupDiff::Block block);

    /// The steps that bring `controller` (as just read) to `file`, in block order, and the
    /// blocks that differ but are left out. A value is checked as the setup window checks it
    /// (delays 1 to 250 s, dates not in the future and in order; `now` is the PC clock) only
    /// where it differs from what the controller holds, and a block with a value that cannot
    /// be written is left out whole, refused with the reason; so are service dates that would
    /// go back or drop a newer one, unless forceDates. False, with the reason and no steps,
    /// when the file does not fit the controller or Tarn.INI at all: a zone's profile that
    /// Tarn.INI defines otherwise (or not at all, unless useFileProfiles), one without a
    /// definition, whose definition does not compile or compiles longer than Tarn holds;
    /// dates or factory values for a controller before firmware 2.07 (unless left out).
    static bool Plan(const SetupFile::Setup& controller, const SetupFile::Setup& file,
                     const KeyedCollection<Tarn_Profile>& catalogue, const Options& options,
                     const TarnDateTime& now, std::vector<Step>& steps,
                     std::vector<LeftOut>& leftOut, QString& errText);
    /// The zone's commands 104 and 102 from the file's profile (0-based zone), or why the
    /// file's profile cannot be written (see Plan).
    static bool ZoneCommands(const SetupFile::Setup& file, int zone,
                             const KeyedCollection<Tarn_Profile>& catalogue, bool useFileProfiles,
                             std::vector<SetupBlocks::Command>& commands, QString& errText);

    struct Outcome
    {
        /// Steps acknowledged in full.
        std::size_t stepsDone = 0;
        /// Commands of the step that failed that were acknowledged before it failed.
        std::size_t commandsDone = 0;
        /// The command that failed went out and got no answer: the controller may have taken
        /// it. False when it was refused, or never sent.
        bool unconfirmed = false;
    };
    /// Sends the steps in order, one command at a time, and stops at the first that fails.
    static Outcome Run(Tarn_Comm& link, const std::vector<Step>& steps,
                       const std::function<void(const Step&)>& starting = {});
    /// After a request that failed: true when it went out and got no answer.
    static bool Unconfirmed(const Tarn_Comm& link);
};
