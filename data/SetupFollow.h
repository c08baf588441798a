#pragma once

#include "data/SetupBlocks.h"

class Tarn_Inputs;

/// What an acknowledged setup command leaves in the controller, brought into the status
/// record: after a write the record holds what was written.
class SetupFollow
{
public:
    /// Delays block (98): delays, zone messages and outputs. Zone profile (104): the zone's
    /// profile number (not its name). Administrative block (99): each field sent set. Clock
    /// (65): the clock as sent. Others leave the record as it is.
    static void Written(Tarn_Inputs& record, const SetupBlocks::Command& command);
};
