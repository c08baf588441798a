#include "data/EventLog.h"

#include "data/Catalogues.h"
#include "data/DateCodec.h"
#include "data/TextNumbers.h"

namespace {

constexpr std::size_t kTimeDigits = 8;
constexpr std::size_t kCodePosition = 9;
constexpr std::size_t kTemperaturePosition = 11;

} // namespace

Tarn_Inputs DecodeLogEvent(std::string_view data, int currentYear)
{
    Tarn_Inputs event;
    event.LogTime = DecodePackedDate(data.substr(0, kTimeDigits), currentYear);

    const auto temperature = static_cast<uint8_t>(HexValueAt(data, kTemperaturePosition, 2));
    event.LogTemperatureCelsius = Tarn_Inputs::TemperatureFromByte(temperature);
    event.LogTemperatureFarenheit = Tarn_Inputs::CelsiusToFahrenheit(event.LogTemperatureCelsius);

    const std::string code = DecimalText(LogEventCode(data));
    if (const Tarn_Message* entry = EventCodeCatalogue.Find(code))
        event.LogText = entry->Text;
    else
        event.LogText = "Unknown log event (" + code + ").";
    return event;
}

Tarn_Inputs DecodeLogEvent(std::string_view data)
{
    return DecodeLogEvent(data, TarnDateTime::Now().Year());
}

int LogEventCode(std::string_view data)
{
    return static_cast<int>(HexValueAt(data, kCodePosition, 2));
}
