#pragma once

#include "controller/ControllerIdentity.h"
#include "controller/SetupWriter.h"
#include "history/HistoryArchive.h"

#include <QString>

/// A setup change of the history sent back the other way, on the controller it belongs to
/// only, with what it wrote over: the old values of the fields it set, and for the rest what
/// that controller holds right before the undo.
class SetupUndo
{
public:
    /// The setup window's question before a write of the fields this change set.
    static const char* Question(const ArchivedChange& change);
    /// The controller that holds the change's values now: the one of the record it is filed
    /// under, by the serial number it wrote where it wrote one.
    static ControllerIdentity Owner(const ArchivedChange& change, const ControllerKey& filedUnder);
    /// Why the change cannot be undone (empty when it can): a kind of change that is not undone
    /// (the clock, a log deletion, a profile definition on its own), a factory field without the
    /// service switch, a zone profile whose definition before it was not kept.
    static QString WhyNot(const ArchivedChange& change, bool serviceSwitch);
    /// Identifies the controller, which must be Owner(), and sends the old values of the fields
    /// the change set; a zone profile with the definition the zone ran before it.
    static SetupWriter::Result Undo(Tarn_Comm& link, const ArchivedChange& change,
                                    const ControllerKey& filedUnder);
};
