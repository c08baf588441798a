#pragma once

#include "history/HistoryArchive.h"

#include <string>

class Tarn_Comm;

/// A setup change of the history sent back the other way.
class SetupUndo
{
public:
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
