#pragma once

#include "data/TarnDateTime.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

/// The checks of the setup window's fields. Each check gives the value to send or the text of
/// the error box (8-bit text, lines separated by "\r").
class SetupFields
{
public:
    static constexpr int kMinDelay = 1;
    static constexpr int kMaxDelay = 250;
    static constexpr uint32_t kMaxSerialNumber = 999999999;
    /// Longest field text looked at; anything longer is an incorrect value.
    static constexpr std::size_t kMaxFieldLength = 255;

    enum class DelayField
    {
        DetectorAlarm,
        ManualAlarm,
        ManualStop
    };

    /// A delay in seconds: blanks at either end ignored, digits only, 1 to 250.
    static bool Delay(std::string_view text, int& value);
    static std::string DelayError(DelayField field);

    /// A serial number: blanks at either end ignored, digits only, 1 to 999999999.
    /// 0 is refused: it would go out as "00000000", which Tarn reads as "keep the stored one".
    static bool SerialNumber(std::string_view text, uint32_t& value, std::string& errText);

    /// The checks of a date to be sent, in order; an empty text when `d` may be sent.
    /// `now` is the PC clock when the button was pressed; a date equal to a bound passes.
    static std::string ManufacturingDateError(const TarnDateTime& d, const TarnDateTime& now);
    static std::string InstallationDateError(const TarnDateTime& d, const TarnDateTime& now,
                                             const TarnDateTime& manufactured);
    static std::string ServiceDateError(const TarnDateTime& d, const TarnDateTime& now,
                                        const TarnDateTime& installed,
                                        const TarnDateTime& lastService);

    /// True for the service switch: the program's whole argument text is "-K", in any case,
    /// with blanks at either end.
    static bool IsServiceSwitch(std::string_view argumentText);
};
