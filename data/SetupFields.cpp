#include "data/SetupFields.h"

#include "config/AsciiText.h"
#include "data/DateCodec.h"

#include <algorithm>

namespace {

constexpr const char* kServiceSwitch = "-K";

bool AllDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

/// The decimal value of a digit text, saturating at `limit` + 1 so that long texts stay finite.
uint64_t DigitValue(std::string_view digits, uint64_t limit)
{
    uint64_t value = 0;
    for (const char c : digits) {
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > limit)
            return limit + 1;
    }
    return value;
}

const TarnDateTime& FirstPackedDate()
{
    static const TarnDateTime first = TarnDateTime::FromParts(kPackedDateFirstYear, 1, 1);
    return first;
}

/// The checks that every date button shares after its own: the range Tarn can store.
std::string RangeError(const TarnDateTime& d, const std::string& head)
{
    if (d < FirstPackedDate())
        return head;
    if (d.Year() > kPackedDateLastYear)
        return head + "\rTarn stores dates up to 31 December 2255.";
    return {};
}

std::string FutureError(const std::string& field)
{
    return "Incorrect value (" + field + ")! Can\xB4t set to future date";
}

} // namespace

bool SetupFields::Delay(std::string_view text, int& value)
{
    if (text.size() > kMaxFieldLength)
        return false;
    const std::string_view digits = Trimmed(text);
    if (!AllDigits(digits))
        return false;
    const uint64_t number = DigitValue(digits, kMaxDelay);
    if (number < kMinDelay || number > kMaxDelay)
        return false;
    value = static_cast<int>(number);
    return true;
}

std::string SetupFields::DelayError(DelayField field)
{
    const char* name = "Detector Alarm Delay";
    if (field == DelayField::ManualAlarm)
        name = "Manual Alarm Delay";
    else if (field == DelayField::ManualStop)
        name = "Manual Stop Delay";
    return std::string("Incorrect value (") + name + ")\rPossible values are 1-250 s.";
}

bool SetupFields::SerialNumber(std::string_view text, uint32_t& value, std::string& errText)
{
    const std::string_view digits = Trimmed(text);
    const uint64_t number = DigitValue(digits, kMaxSerialNumber);
    if (text.size() > kMaxFieldLength || digits.empty() || !AllDigits(digits) ||
        number > kMaxSerialNumber) {
        errText = "Incorrect value (Serial number)\rPossible values are 0-999999999.";
        return false;
    }
    if (number == 0) {
        errText = "Incorrect value (Serial number)\rSerial number 0 cannot be set: Tarn reads "
                  "00000000 as no change.";
        return false;
    }
    value = static_cast<uint32_t>(number);
    return true;
}

std::string SetupFields::ManufacturingDateError(const TarnDateTime& d, const TarnDateTime& now)
{
    if (d > now)
        return FutureError("Manufacturing date");
    return RangeError(d, "Incorrect value (Manufacturing date)!");
}

std::string SetupFields::InstallationDateError(const TarnDateTime& d, const TarnDateTime& now,
                                               const TarnDateTime& manufactured)
{
    if (d > now)
        return FutureError("Installation date");
    if (d < manufactured)
        return "Incorrect value (Installation date)! Must be later than the Manufacturing date.";
    return RangeError(d, "Incorrect value (Installation date)!");
}

std::string SetupFields::ServiceDateError(const TarnDateTime& d, const TarnDateTime& now,
                                          const TarnDateTime& installed,
                                          const TarnDateTime& lastService)
{
    if (d > now)
        return FutureError("Service date");
    if (d < installed)
        return "Incorrect value (Service date)! Must be later than the Installation date.";
    if (d < lastService)
        return "Incorrect value (Service date)! Must be later than the last Service date.";
    return RangeError(d, "Incorrect value (Service date)!");
}

bool SetupFields::IsServiceSwitch(std::string_view argumentText)
{
    return Upper(Trimmed(argumentText)) == kServiceSwitch;
}
