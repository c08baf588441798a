#pragma once

#include "history/HistoryArchive.h"

#include <cstdint>
#include <string>

class Tarn_Inputs;
class Tarn_Comm;

/// A setup write the controller acknowledged, told as the fields it sets before and after
/// (JSON objects with the same keys), and sent back the other way for an undo.
class SetupChange
{
public:
    /// The record of an acknowledged command: false for a command that writes no setup.
    /// `before` is the status record as it stood when the write was sent.
    static bool Describe(int command, const std::string& data, const Tarn_Inputs& before,
                         int16_t voltageSwitch, ArchivedChange& change);
    /// The setup window's question before a write of the fields this change set.
    static const char* Question(const ArchivedChange& change);
    /// True when Undo can send this change's old values back.
    static bool CanUndo(const ArchivedChange& change);
    /// Sends the old values of the fields this change set, with the setup window's commands:
    /// the fields it did not change are read from the controller right before
    /// (SetupCommands::ReadDelays), never taken from the archive. `errText` says why when it
    /// fails; nothing is sent when the read fails.
    static bool Undo(Tarn_Comm& link, const ArchivedChange& change, std::string& errText);
};
