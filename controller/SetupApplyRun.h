#pragma once

#include "controller/SetupApply.h"
#include "controller/SetupDiff.h"
#include "controller/SetupFile.h"
#include "controller/SetupWriter.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class Tarn_Comm;

/// A setup file written to the controller from start to end, the one way of `tarn setup
/// apply` and of the setup window's "Write all differences…": the controller read, the plan,
/// the question, the controller identified again (it must be the one read), the writes one
/// step at a time, the clock, and the read-back that verifies them.
class SetupApplyRun
{
public:
    /// What would be written, as the question shows it.
    struct Proposal
    {
        /// The controller's setup as read before the question.
        SetupFile::Setup controller;
        std::vector<SetupDiff::Difference> differences;
        std::vector<SetupApply::Step> steps;
        std::vector<SetupApply::LeftOut> leftOut;
        bool setClock = false;
        /// "delays, zone messages and outputs (98), clock (65)", or "nothing".
        QString PlanText() const;
        /// "Refused: …: …." for each block refused, "Left out: …: …." for those left out by
        /// choice, grouped by their reason.
        QStringList LeftOutLines() const;
        bool Refused() const;
        /// "Not written, as refused above: …."
        QString RefusedText() const;
    };

    enum class End
    {
        /// Written and read back as the file has it.
        Verified,
        /// Nothing differs (or only what was left out).
        NothingToWrite,
        /// The question was answered no, or it was a dry run.
        NotAsked,
        /// The controller's setup could not be read in full.
        ReadFailed,
        /// The file cannot be written as it is (Plan's reason in errText).
        PlanRefused,
        /// Another controller answers than the one read: nothing was written.
        OtherController,
        /// The controller could not be identified before the writes: nothing was written.
        NotIdentified,
        /// A write failed (outcome tells which).
        Stopped,
        /// Every step was written but the clock.
        ClockFailed,
        /// Written, but the read-back differs (notVerified) or failed.
        NotVerified,
    };

    struct Report
    {
        End end = End::ReadFailed;
        /// The controller read before the question.
        ControllerIdentity read;
        Proposal proposal;
        QString errText;
        SetupWriter::Identified identified;
        SetupApply::Outcome outcome;
        /// The lines of the read-back that still differ; empty when it could not be read.
        QStringList notVerified;
        /// The clock could not be set because it got no answer (it may have been).
        bool clockUnconfirmed = false;
        /// "Stopped: … failed ….\nWritten: ….\nNot confirmed: ….\nNot written: …." after a
        /// failed write.
        QString StoppedText() const;
    };

    struct Hooks
    {
        std::function<void(const std::string& errText)> catalogueError;
        /// After the plan, when something is to be written: true writes it.
        std::function<bool(const Proposal& proposal)> confirm;
        /// Before each write, its label.
        std::function<void(const QString& label)> progress;
        /// The controller the caller shows, when the run must write to that one only (a
        /// window): another one, found by the read or by the identification after the
        /// question, ends the run with OtherController before anything is asked or sent.
        std::optional<SetupWriter::Target> meant;
    };

    static Report Run(Tarn_Comm& link, const std::string& iniPath, const SetupFile::Setup& file,
                      const SetupApply::Options& options, bool setClock, const Hooks& hooks);
    /// The controller's setup, read in full (a status read): false when a request failed.
    static bool ReadController(Tarn_Comm& link, const std::string& iniPath, const Hooks& hooks,
                               SetupFile::Setup& setup);
    /// Marks the zones whose profile number the history saw acknowledged without its
    /// definition (the controller cannot be asked for one): they differ from every file until
    /// a definition is acknowledged.
    static void MarkUnconfirmed(const Tarn_Comm& link, SetupFile::Setup& setup);
};
