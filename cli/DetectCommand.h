#pragma once

#include "cli/CliCommand.h"

/// `tarn detect`: the port where the controller answers.
namespace DetectCommand {
extern const CliCommand kCommand;
} // namespace DetectCommand
