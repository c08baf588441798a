#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

class Tarn_Comm;
class Tarn_Outputs;

/// The outputs and the test mode: every output change is one set-outputs command with the
/// whole output word of the link's OutPuts record.
class OutputControl
{
public:
    /// Test mode lapses unless it is asked for again: renewed on every 11th scan.
    static constexpr int kRenewalTicks = 10;
    /// Pause between two input scans.
    static constexpr std::chrono::milliseconds kScanInterval{200};

    /// Command 100 with the record's output word.
    static bool SendOutputs(Tarn_Comm& link);
    /// How often AllOffAnswered sends the outputs-off while the controller gives no answer.
    static constexpr int kOffAttempts = 3;

    /// Every output of the record off, then command 100.
    static bool AllOff(Tarn_Comm& link);
    /// AllOff, sent again while the controller gives no answer: a word lost on the line may
    /// have left an output on. A refusal is an answer; a controller gone fails at once.
    static bool AllOffAnswered(Tarn_Comm& link);
    /// Command 105.
    static bool EnterTestMode(Tarn_Comm& link);
    /// Command 52; on a reply the inputs of the link's record are brought up to date.
    static bool ScanInputs(Tarn_Comm& link);

    /// Sets one output of `outputs` by its name: pump, valve1, valve2, buzzer, alarm, extra1 to
    /// extra4 (any case). False for an unknown name or a value other than 0 or 1.
    static bool SetByName(Tarn_Outputs& outputs, std::string_view name, std::string_view value);
    /// The outputs of the record that are on, as the test page names them ("Pump", "Valve 1",
    /// "Output 2"), for the history.
    static std::vector<std::string> OnNames(const Tarn_Outputs& outputs);
    /// The names SetByName takes, for help texts.
    static std::string Names();
};
