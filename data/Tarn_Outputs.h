#pragma once

#include <array>
#include <cstdint>
#include <string>

/// The wanted state of the controller's outputs; STU_Data is the data of the set-outputs
/// command. A member counts as on only when it equals 1.
class Tarn_Outputs
{
public:
    static constexpr int kExtraOutputs = 4;

    int32_t Pump = 0;
    int32_t Valve1 = 0;
    int32_t Valve2 = 0;
    int32_t Buzzer = 0;
    int32_t AlarmRelay = 0;

    /// std::out_of_range outside 0..3.
    int32_t ExtraOutPut(int16_t index) const;
    void SetExtraOutPut(int16_t index, int32_t value);

    /// Four hex digits, byte A (pump, valves, alarm relay, extra outputs) then byte B
    /// (buzzer on bit 2). Recomputes both bytes from the members.
    std::string STU_Data();

private:
    std::array<int32_t, kExtraOutputs> m_extra{};
    uint8_t m_a = 0;
    uint8_t m_b = 0;
};
