#pragma once

#include "data/SetupBlocks.h"

#include <array>
#include <chrono>
#include <string>
#include <vector>

class Tarn_Comm;

/// The setup writes: the commands of the setup blocks sent on the link, and the link's status
/// record brought up to date where a write succeeded.
class SetupCommands
{
public:
    /// Pause before a clock text is taken again when its frame would end early.
    static constexpr std::chrono::milliseconds kClockRetryPause{100};

    /// Sends the commands in order and stops at the first that fails.
    static bool Send(Tarn_Comm& link, const std::vector<SetupBlocks::Command>& commands);
    /// Command 55: the record's delays, zone messages and zone outputs as the controller has
    /// them now. A write that carries fields the user did not enter reads them with this right
    /// before it, never from an older read (another controller may be on the cable by now).
    /// `errText` says why when it fails.
    static bool ReadDelays(Tarn_Comm& link, std::string& errText);
    /// Reads the delays block (ReadDelays), then command 98 with the three delays (detector
    /// alarm, manual alarm, manual stop, already validated) and the block's other fields as
    /// read; the record takes the delays when it succeeds. Nothing is sent when the read fails.
    static bool SetDelays(Tarn_Comm& link, const std::array<int, 3>& delays, std::string& errText);
    /// The PC clock as Tarn takes it, waiting for the next second while the frame of this
    /// one would end early. False when the program is quitting meanwhile.
    static bool ClockText(const Tarn_Comm& link, std::string& text);
    /// Command 65 with the PC clock.
    static bool SetClock(Tarn_Comm& link);
    /// Command 99. `refused` is true, and nothing is sent, when the block cannot be built.
    static bool SetAdmin(Tarn_Comm& link, const SetupBlocks::Admin& admin, bool& refused);
    /// Command 66: delete all stored log events.
    static bool DeleteLog(Tarn_Comm& link);
};
