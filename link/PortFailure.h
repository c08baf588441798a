#pragma once

/// Why a serial device would not open, as far as the user can do something about it.
enum class PortFailure
{
    None,
    DeviceMissing,
    DeviceBusy,
    PermissionDenied,
    Other
};
