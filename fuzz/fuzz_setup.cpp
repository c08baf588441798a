// The setup window's field checks and data blocks.

#include "FuzzInput.h"

#include "data/Catalogues.h"
#include "data/DateCodec.h"
#include "data/SetupBlocks.h"
#include "data/SetupFields.h"

#include <cstring>

namespace {
bool IsHex(const std::string& text)
{
    return text.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::string field = input.Text();

    int delay = 0;
    if (SetupFields::Delay(field, delay))
        FUZZ_CHECK(delay >= SetupFields::kMinDelay && delay <= SetupFields::kMaxDelay);
    uint32_t serial = 0;
    std::string errText;
    if (SetupFields::SerialNumber(field, serial, errText)) {
        FUZZ_CHECK(serial >= 1 && serial <= SetupFields::kMaxSerialNumber);
        SetupBlocks::Admin admin;
        admin.serialNumber = serial;
        std::string block;
        FUZZ_CHECK(SetupBlocks::AdminBlock(admin, block));
        FUZZ_CHECK(block.size() == 40 && IsHex(block));
    }
    SetupFields::IsServiceSwitch(field);

    // A block built from any delays is short hex, one field per value.
    SetupBlocks::Delays delays;
    delays.detectorAlarm = input.Byte();
    delays.manualAlarm = input.Byte();
    delays.manualStop = input.Byte();
    for (int zone = 0; zone < SetupBlocks::kZones; ++zone) {
        delays.messages[zone] = input.Byte();
        delays.outputs[zone] = input.Byte();
    }
    delays.voltageSwitch = input.Byte();
    const std::string block = SetupBlocks::DelaysBlock(delays);
    FUZZ_CHECK(block.size() == 22 && IsHex(block));

    // Dates that can be packed give a whole block; others give none.
    SetupBlocks::Admin admin;
    for (auto& date : admin.dates) {
        const int year = 1990 + input.Byte() * 2;
        date = TarnDateTime::FromParts(year, 1 + input.Byte() % 12, 1 + input.Byte() % 31);
    }
    std::string adminBlock;
    if (SetupBlocks::AdminBlock(admin, adminBlock))
        FUZZ_CHECK(adminBlock.size() == 40 && IsHex(adminBlock));

    // The zone sequence from a catalogue made of the rest.
    std::string loadError;
    LoadCatalogueText(input.Rest(), loadError);
    std::array<std::optional<int32_t>, SetupBlocks::kZones> profiles;
    for (auto& profile : profiles)
        if (const uint8_t id = input.Byte())
            profile = id % 16;
    std::vector<SetupBlocks::Command> commands;
    std::string sequenceError;
    if (SetupBlocks::ZoneSettingsCommands(delays, profiles, ProfileCatalogue, commands,
                                          sequenceError)) {
        FUZZ_CHECK(!commands.empty() && commands.front().code == 98);
        for (const auto& command : commands)
            if (command.code == 102)
                FUZZ_CHECK(command.data.size() <= 2 + 32);
    }
    return 0;
}
