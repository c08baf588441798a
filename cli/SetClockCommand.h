#pragma once

#include "cli/CliCommand.h"

/// `tarn set-clock`: the controller's clock set to the computer's.
namespace SetClockCommand {
extern const CliCommand kCommand;
} // namespace SetClockCommand
