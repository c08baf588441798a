#pragma once

#include <cstdint>
#include <string>

class Tarn_Outputs;

/// An output that the function-test page switches on while its button is held.
enum class OutputItem
{
    Pump,
    Valve1,
    Valve2,
    AlarmRelay,
    Buzzer,
    Extra1,
    Extra2,
    Extra3,
    Extra4
};

/// Extra output `index` 0..3.
OutputItem ExtraOutputItem(int index);
/// The item's name as its button and the history show it: "Pump", "Valve 1", "Output 2".
std::string OutputName(OutputItem item);
/// Status text while the item's button is held, e.g. "Testing Pump...".
std::string HoldText(OutputItem item);
/// "Pump goes on once Tarn has answered...": a hold pressed while another request waits.
std::string DeferredHoldText(OutputItem item);
/// Pump and valves go off together (pump and both valves); every other item goes off alone.
bool ReleasesPumpAndValves(OutputItem item);
/// Sets the item's member of the outputs record (1 = on, 0 = off).
void SetOutputItem(Tarn_Outputs& outputs, OutputItem item, int32_t value);
/// Outputs of a timed test: the chosen valve open, the other one closed, the pump on when asked
/// for (otherwise left as it is).
void SetTimedTestOutputs(Tarn_Outputs& outputs, bool valve1, bool pump);
