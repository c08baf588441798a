#include "data/Tarn_Inputs.h"

#include "data/DateCodec.h"
#include "data/ExportText.h"
#include "data/TextNumbers.h"
#include "protocol/WireEncoding.h"

#include <stdexcept>

namespace {

/// Digits of the inputs reply that the record uses; further characters are ignored.
constexpr std::size_t kInputsDigits = 6;
constexpr std::size_t kPackedDateDigits = 8;

template <typename Array>
std::size_t CheckedIndex(const Array& array, int16_t index, const char* property)
{
    if (index < 0 || static_cast<std::size_t>(index) >= array.size())
        throw std::out_of_range(std::string(property) + ": index " + std::to_string(index) +
                                " out of range");
    return static_cast<std::size_t>(index);
}

uint8_t PairAt(std::string_view data, std::size_t position)
{
    return static_cast<uint8_t>(HexValueAt(data, position, 2) & 0xFF);
}

TarnDateTime PackedDateAt(std::string_view data, std::size_t position)
{
    const std::string_view field =
        position <= data.size() ? data.substr(position - 1, kPackedDateDigits) : std::string_view{};
    return DecodePackedDate(field).DatePart();
}

} // namespace

const std::string& Tarn_Inputs::ProfileName(int16_t zone) const
{
    return m_profileName[CheckedIndex(m_profileName, zone, "ProfileName")];
}

void Tarn_Inputs::SetProfileName(int16_t zone, std::string name)
{
    m_profileName[CheckedIndex(m_profileName, zone, "ProfileName")] = std::move(name);
}

int16_t Tarn_Inputs::ProfileID(int16_t zone) const
{
    return m_profileId[CheckedIndex(m_profileId, zone, "ProfileID")];
}

void Tarn_Inputs::SetProfileID(int16_t zone, int16_t id)
{
    m_profileId[CheckedIndex(m_profileId, zone, "ProfileID")] = id;
}

int16_t Tarn_Inputs::Messages(int16_t zone) const
{
    return m_messages[CheckedIndex(m_messages, zone, "Messages")];
}

void Tarn_Inputs::SetMessages(int16_t zone, int16_t message)
{
    m_messages[CheckedIndex(m_messages, zone, "Messages")] = message;
}

uint8_t Tarn_Inputs::OutPuts(int16_t zone) const
{
    return m_outputs[CheckedIndex(m_outputs, zone, "OutPuts")];
}

void Tarn_Inputs::SetOutPuts(int16_t zone, uint8_t outputs)
{
    m_outputs[CheckedIndex(m_outputs, zone, "OutPuts")] = outputs;
}

bool Tarn_Inputs::UniversalIO(int16_t index) const
{
    return m_universalIO[CheckedIndex(m_universalIO, index, "UniversalIO")];
}

void Tarn_Inputs::SetUniversalIO(int16_t index, bool on)
{
    m_universalIO[CheckedIndex(m_universalIO, index, "UniversalIO")] = on;
}

bool Tarn_Inputs::Detector(int16_t index) const
{
    return m_detector[CheckedIndex(m_detector, index, "Detector")];
}

void Tarn_Inputs::SetDetector(int16_t index, bool active)
{
    m_detector[CheckedIndex(m_detector, index, "Detector")] = active;
}

bool Tarn_Inputs::ManualTrigger(int16_t index) const
{
    return m_manualTrigger[CheckedIndex(m_manualTrigger, index, "ManualTrigger")];
}

void Tarn_Inputs::SetManualTrigger(int16_t index, bool active)
{
    m_manualTrigger[CheckedIndex(m_manualTrigger, index, "ManualTrigger")] = active;
}

double Tarn_Inputs::CelsiusToFahrenheit(double celsius)
{
    return ExportText::Rounded(celsius * 1.8 + 32);
}

double Tarn_Inputs::TemperatureFromByte(uint8_t value)
{
    return static_cast<double>(static_cast<int8_t>(value));
}

void Tarn_Inputs::ResolveInputs(std::string_view data)
{
    const std::string_view digits = data.substr(0, kInputsDigits);
    uint8_t d[kInputsDigits]{};
    for (std::size_t p = 0; p < kInputsDigits; ++p)
        d[p] = static_cast<uint8_t>(HexValueAt(digits, p + 1, 1));

    for (int j = 0; j < kUniversalIOs; ++j)
        m_universalIO[j] = IsBitSet(d[0], j);
    // Detector and manual-trigger inputs are active low; bit 0 of the trigger digit is unused.
    for (int j = 0; j < kDetectors; ++j)
        m_detector[j] = !IsBitSet(d[1], j);
    for (int j = 0; j < kManualTriggers; ++j)
        m_manualTrigger[j] = !IsBitSet(d[2], j + 1);

    const auto temperature = static_cast<uint8_t>(d[4] * 16 + d[5]);
    TemperatureCelsius = TemperatureFromByte(temperature);
    TemperatureFarenheit = CelsiusToFahrenheit(TemperatureCelsius);
}

void Tarn_Inputs::ResolveDelays(std::string_view data)
{
    DetectorAlarmDelay = PairAt(data, 1);
    DetectorResetDelay = PairAt(data, 3);
    ManualAlarmDelay = PairAt(data, 5);
    ManualStopDelay = PairAt(data, 7);
    for (int zone = 0; zone < kZones; ++zone) {
        m_messages[zone] = PairAt(data, 9 + 2 * zone);
        m_outputs[zone] = PairAt(data, 15 + 2 * zone);
    }
}

void Tarn_Inputs::StartAfresh()
{
    const uint32_t number = ReadNumber;
    *this = Tarn_Inputs();
    ReadNumber = number;
}

void Tarn_Inputs::ResolveAdminData(std::string_view data)
{
    uint32_t serial = 0;
    for (std::size_t position = 1; position <= 7; position += 2)
        serial = (serial << 8) | PairAt(data, position);
    SerialNumber = std::to_string(serial);

    Manufactured = PackedDateAt(data, 9);
    Installed = PackedDateAt(data, 17);
    LastService = PackedDateAt(data, 25);
    LastService2 = PackedDateAt(data, 33);
}
