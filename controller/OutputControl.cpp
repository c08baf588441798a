#include "controller/OutputControl.h"

#include "data/OutputTests.h"
#include "data/Tarn_Outputs.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

#include <algorithm>
#include <cctype>

bool OutputControl::SendOutputs(Tarn_Comm& link)
{
    return link.Send(TarnCommand::SetOutputs, link.OutPuts.STU_Data());
}

bool OutputControl::AllOff(Tarn_Comm& link)
{
    Tarn_Outputs& outputs = link.OutPuts;
    outputs.Valve1 = 0;
    outputs.Valve2 = 0;
    outputs.Pump = 0;
    outputs.Buzzer = 0;
    outputs.AlarmRelay = 0;
    for (int16_t i = 0; i < Tarn_Outputs::kExtraOutputs; ++i)
        outputs.SetExtraOutPut(i, 0);
    return SendOutputs(link);
}

bool OutputControl::AllOffAnswered(Tarn_Comm& link)
{
    for (int attempt = 1;; ++attempt) {
        if (AllOff(link))
            return true;
        if (link.answered() || attempt >= kOffAttempts)
            return false;
    }
}

bool OutputControl::EnterTestMode(Tarn_Comm& link)
{
    return link.Send(TarnCommand::EnterTestMode);
}

bool OutputControl::ScanInputs(Tarn_Comm& link)
{
    if (!link.Send(TarnCommand::ReadInputs))
        return false;
    link.Inputs.ResolveInputs(link.TarnData);
    return true;
}

bool OutputControl::SetByName(Tarn_Outputs& outputs, std::string_view name, std::string_view value)
{
    if (value != "0" && value != "1")
        return false;
    const int32_t on = value == "1" ? 1 : 0;
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (key == "pump")
        outputs.Pump = on;
    else if (key == "valve1")
        outputs.Valve1 = on;
    else if (key == "valve2")
        outputs.Valve2 = on;
    else if (key == "buzzer")
        outputs.Buzzer = on;
    else if (key == "alarm")
        outputs.AlarmRelay = on;
    else if (key.size() == 6 && key.compare(0, 5, "extra") == 0 && key[5] >= '1' &&
             key[5] < '1' + Tarn_Outputs::kExtraOutputs)
        outputs.SetExtraOutPut(static_cast<int16_t>(key[5] - '1'), on);
    else
        return false;
    return true;
}

std::vector<std::string> OutputControl::OnNames(const Tarn_Outputs& outputs)
{
    std::vector<std::string> names;
    const auto add = [&names](bool on, OutputItem item) {
        if (on)
            names.push_back(OutputName(item));
    };
    add(outputs.Pump != 0, OutputItem::Pump);
    add(outputs.Valve1 != 0, OutputItem::Valve1);
    add(outputs.Valve2 != 0, OutputItem::Valve2);
    add(outputs.AlarmRelay != 0, OutputItem::AlarmRelay);
    add(outputs.Buzzer != 0, OutputItem::Buzzer);
    for (int16_t i = 0; i < Tarn_Outputs::kExtraOutputs; ++i)
        add(outputs.ExtraOutPut(i) != 0, ExtraOutputItem(i));
    return names;
}

std::string OutputControl::Names()
{
    return "pump valve1 valve2 buzzer alarm extra1 extra2 extra3 extra4";
}
