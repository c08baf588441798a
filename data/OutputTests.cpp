#include "data/OutputTests.h"

#include "data/Tarn_Outputs.h"

namespace {
constexpr int kFirstExtra = static_cast<int>(OutputItem::Extra1);
} // namespace

OutputItem ExtraOutputItem(int index)
{
    return static_cast<OutputItem>(kFirstExtra + index);
}

std::string DeferredHoldText(OutputItem item)
{
    // "Testing Pump..." without its first word and its dots.
    const std::string text = HoldText(item);
    const std::size_t name = text.find(' ') + 1;
    return text.substr(name, text.size() - name - 3) + " goes on once Tarn has answered...";
}

std::string OutputName(OutputItem item)
{
    switch (item) {
    case OutputItem::Pump:
        return "Pump";
    case OutputItem::Valve1:
        return "Valve 1";
    case OutputItem::Valve2:
        return "Valve 2";
    case OutputItem::AlarmRelay:
        return "Alarm relay";
    case OutputItem::Buzzer:
        return "Buzzer";
    default:
        return "Output " + std::to_string(static_cast<int>(item) - kFirstExtra + 1);
    }
}

std::string HoldText(OutputItem item)
{
    return "Testing " + OutputName(item) + "...";
}

bool ReleasesPumpAndValves(OutputItem item)
{
    return item == OutputItem::Pump || item == OutputItem::Valve1 || item == OutputItem::Valve2;
}

void SetOutputItem(Tarn_Outputs& outputs, OutputItem item, int32_t value)
{
    switch (item) {
    case OutputItem::Pump:
        outputs.Pump = value;
        break;
    case OutputItem::Valve1:
        outputs.Valve1 = value;
        break;
    case OutputItem::Valve2:
        outputs.Valve2 = value;
        break;
    case OutputItem::AlarmRelay:
        outputs.AlarmRelay = value;
        break;
    case OutputItem::Buzzer:
        outputs.Buzzer = value;
        break;
    default:
        outputs.SetExtraOutPut(static_cast<int16_t>(static_cast<int>(item) - kFirstExtra), value);
        break;
    }
}

void SetTimedTestOutputs(Tarn_Outputs& outputs, bool valve1, bool pump)
{
    outputs.Valve1 = valve1 ? 1 : 0;
    outputs.Valve2 = valve1 ? 0 : 1;
    if (pump)
        outputs.Pump = 1;
}
