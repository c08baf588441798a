#pragma once

#include "cli/CliCommand.h"

/// `tarn set-delays`: the controller's three delays written.
namespace SetDelaysCommand {
extern const CliCommand kCommand;
} // namespace SetDelaysCommand
