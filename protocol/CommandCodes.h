#pragma once

/// Command codes of the controller protocol. The code alone decides how the link waits:
/// the read commands below are answered with data, every other code with "ACK".
namespace TarnCommand {

inline constexpr int ReadNextLogEvent = 48;      // "0"
inline constexpr int ReadClock = 50;             // "2"
inline constexpr int ReadAdminData = 51;         // "3"
inline constexpr int ReadInputs = 52;            // "4"
inline constexpr int ReadUnused53 = 53;          // "5", answered with data, never sent
inline constexpr int ReadZoneProfile = 54;       // "6"
inline constexpr int ReadDelays = 55;            // "7"
inline constexpr int ReadVersion = 64;           // "@"
inline constexpr int SetClock = 65;              // "A"
inline constexpr int LogControl = 66;            // "B"
inline constexpr int SetDelays = 98;             // "b"
inline constexpr int SetAdminData = 99;          // "c"
inline constexpr int SetOutputs = 100;           // "d"
inline constexpr int SetProfileDefinition = 102; // "f"
inline constexpr int SetZoneProfile = 104;       // "h"
inline constexpr int EnterTestMode = 105;        // "i"

/// Data byte of LogControl: rewind to the oldest stored event.
inline constexpr char LogRewind = 1;
/// Data byte of LogControl: delete all stored events.
inline constexpr char LogDeleteAll = 0;

/// The reply of a controller that refuses a request, also one that is answered with data: it
/// carries none of the request's data.
inline constexpr const char* kRefusal = "NAK";

/// True for the codes whose reply carries data; all others are acknowledged with "ACK".
constexpr bool IsDataReply(int code)
{
    switch (code) {
    case ReadNextLogEvent:
    case ReadClock:
    case ReadAdminData:
    case ReadInputs:
    case ReadUnused53:
    case ReadZoneProfile:
    case ReadDelays:
    case ReadVersion:
        return true;
    default:
        return false;
    }
}

} // namespace TarnCommand
