#pragma once

#include "cli/CliCommand.h"

/// `tarn outputs`: the controller's outputs set, for a time or until they are switched off.
namespace OutputsCommand {
extern const CliCommand kCommand;
} // namespace OutputsCommand
