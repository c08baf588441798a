#pragma once

/// The exit codes of tarn.
enum ExitCode
{
    ExitOk = 0,
    /// The controller refused or did not answer, an event was lost to a damaged reply, or the
    /// service history could not be read or could not keep what was read or written.
    ExitController = 1,
    /// An output (standard output or --output FILE) could not be written.
    ExitOutput = 1,
    ExitUsage = 2
};
