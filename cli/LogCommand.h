#pragma once

#include "cli/CliCommand.h"

/// `tarn log`: the controller's event log, its new events or all, as TSV, CSV or JSON.
namespace LogCommand {
extern const CliCommand kCommand;
} // namespace LogCommand
