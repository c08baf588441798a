#pragma once

#include "controller/SetupDiff.h"
#include "controller/SetupFile.h"
#include "data/KeyedCollection.h"
#include "data/SetupBlocks.h"
#include "data/Tarn_Profile.h"

#include <QString>

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

    struct Options
    {
        /// The serial number and the manufacturing date are written too.
        bool factory = false;
        /// A profile definition of the file is written even when Tarn.INI has another one.
        bool useFileProfiles = false;
    };

    /// The steps for the differences, in block order. False, with the reason, when the file
    /// cannot be written as it is: a zone's profile that Tarn.INI defines otherwise (or not at
    /// all, unless useFileProfiles), one without a definition or whose definition does not
    /// compile, dates for a controller before firmware 2.07.
    static bool Plan(const SetupFile::Setup& file,
                     const std::vector<SetupDiff::Difference>& differences,
                     double controllerVersion, const KeyedCollection<Tarn_Profile>& catalogue,
                     const Options& options, std::vector<Step>& steps, QString& errText);

    struct Outcome
    {
        /// Steps acknowledged in full.
        std::size_t stepsDone = 0;
        /// Commands of the step that failed that were acknowledged before it failed.
        std::size_t commandsDone = 0;
    };
    /// Sends the steps in order, one command at a time, and stops at the first that fails.
    static Outcome Run(Tarn_Comm& link, const std::vector<Step>& steps);
};
