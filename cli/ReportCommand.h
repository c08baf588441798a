#pragma once

#include "cli/CliCommand.h"

/// `tarn report`: the service visit report as a PDF, from the controller on the cable and the
/// service history, or from the history alone.
namespace ReportCommand {
extern const CliCommand kCommand;
} // namespace ReportCommand
