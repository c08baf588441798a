#pragma once

#include "cli/CliCommand.h"

/// `tarn status`: the controller's status as the status report (tarn.sts), or as JSON.
namespace StatusCommand {
extern const CliCommand kCommand;
} // namespace StatusCommand
