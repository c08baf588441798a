#pragma once

#include "cli/CliCommand.h"

/// `tarn watch-inputs`: the controller's inputs printed each time they change.
namespace WatchInputsCommand {
extern const CliCommand kCommand;
} // namespace WatchInputsCommand
