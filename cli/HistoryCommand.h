#pragma once

#include "cli/CliCommand.h"

/// `tarn history`: what the service history holds, from the program folder's archive (or the
/// server Tarn.INI names). Needs no controller and no port.
namespace HistoryCommand {
extern const CliCommand kCommand;
} // namespace HistoryCommand
