#include "data/Tarn_Outputs.h"

#include "protocol/WireEncoding.h"

#include <stdexcept>

namespace {

std::size_t CheckedExtraIndex(int16_t index)
{
    if (index < 0 || index >= Tarn_Outputs::kExtraOutputs)
        throw std::out_of_range("ExtraOutPut: index " + std::to_string(index) + " out of range");
    return static_cast<std::size_t>(index);
}

uint8_t Apply(uint8_t byte, int bit, int32_t member)
{
    return member == 1 ? SetBit(byte, bit) : ClearBit(byte, bit);
}

} // namespace

int32_t Tarn_Outputs::ExtraOutPut(int16_t index) const
{
    return m_extra[CheckedExtraIndex(index)];
}

void Tarn_Outputs::SetExtraOutPut(int16_t index, int32_t value)
{
    m_extra[CheckedExtraIndex(index)] = value;
}

std::string Tarn_Outputs::STU_Data()
{
    constexpr int kPumpBit = 0;
    constexpr int kValve1Bit = 1;
    constexpr int kValve2Bit = 2;
    constexpr int kAlarmRelayBit = 3;
    constexpr int kFirstExtraBit = 4;
    constexpr int kBuzzerBit = 2;

    m_a = Apply(m_a, kPumpBit, Pump);
    m_a = Apply(m_a, kValve1Bit, Valve1);
    m_a = Apply(m_a, kValve2Bit, Valve2);
    m_a = Apply(m_a, kAlarmRelayBit, AlarmRelay);
    for (int i = 0; i < kExtraOutputs; ++i)
        m_a = Apply(m_a, kFirstExtraBit + i, m_extra[i]);
    m_b = Apply(m_b, kBuzzerBit, Buzzer);
    return ByteToHex(m_a) + ByteToHex(m_b);
}
