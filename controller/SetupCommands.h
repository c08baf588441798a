#pragma once

#include <chrono>
#include <string>

class Tarn_Comm;

/// The clock text of a clock write, taken when it is sent.
class SetupCommands
{
public:
    /// Pause before a clock text is taken again when its frame would end early.
    static constexpr std::chrono::milliseconds kClockRetryPause{100};

    /// The PC clock as Tarn takes it, waiting for the next second while the frame of this
    /// one would end early. False when the program is quitting meanwhile.
    static bool ClockText(const Tarn_Comm& link, std::string& text);
};
