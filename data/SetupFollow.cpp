#include "data/SetupFollow.h"

#include "data/DateCodec.h"
#include "data/Tarn_Inputs.h"
#include "protocol/CommandCodes.h"

#include <charconv>

namespace {

/// The delays block's first ten fields, two digits each, as the delays reply lays them out;
/// only the detector voltage switch after them may take four.
constexpr std::size_t kDelaysReplyDigits = 20;
constexpr std::size_t kAdminFieldDigits = 8;
constexpr std::size_t kAdminFields = 5;

uint32_t Hex(std::string_view text)
{
    uint32_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return value;
}

} // namespace

void SetupFollow::Written(Tarn_Inputs& record, const SetupBlocks::Command& command)
{
    const std::string_view data = command.data;
    switch (command.code) {
    case TarnCommand::SetDelays:
        if (data.size() >= kDelaysReplyDigits)
            record.ResolveDelays(data.substr(0, kDelaysReplyDigits));
        break;
    case TarnCommand::SetZoneProfile:
        if (data.size() >= 1 + kAdminFieldDigits) {
            const auto zone = static_cast<unsigned char>(data[0]);
            if (zone < Tarn_Inputs::kZones)
                record.SetProfileID(zone,
                                    static_cast<int16_t>(Hex(data.substr(1, kAdminFieldDigits))));
        }
        break;
    case TarnCommand::SetAdminData:
        for (std::size_t field = 0; field < kAdminFields; ++field) {
            const std::size_t at = field * kAdminFieldDigits;
            if (at + kAdminFieldDigits > data.size())
                break;
            const std::string_view text = data.substr(at, kAdminFieldDigits);
            if (text == SetupBlocks::kUnsetAdminField)
                continue;
            if (field == 0) {
                record.SerialNumber = std::to_string(Hex(text));
                continue;
            }
            TarnDateTime* dates[] = {&record.Manufactured, &record.Installed, &record.LastService,
                                     &record.LastService2};
            *dates[field - 1] = DecodePackedDate(text).DatePart();
        }
        break;
    case TarnCommand::SetClock:
        record.CPUDateTime = ParseControllerClock(data);
        break;
    default:
        break;
    }
}
