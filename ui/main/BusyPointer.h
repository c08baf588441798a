#pragma once

/// The application-wide busy pointer (the hourglass).
class BusyPointer
{
public:
    static void Set();
    /// Back to the normal arrow, however often Set was called.
    static void Reset();
};
