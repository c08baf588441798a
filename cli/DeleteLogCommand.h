#pragma once

#include "cli/CliCommand.h"

/// `tarn delete-log`: the events stored in the controller deleted.
namespace DeleteLogCommand {
extern const CliCommand kCommand;
} // namespace DeleteLogCommand
