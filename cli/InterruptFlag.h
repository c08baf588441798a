#pragma once

/// Ctrl+C (SIGINT) and SIGTERM as a flag: the running command looks at it between requests,
/// so the request on the line is always finished first.
class InterruptFlag
{
public:
    static void Install();
    static bool IsSet();
};
