// The setup window's field checks and data blocks.

#include "FuzzInput.h"

#include "data/Catalogues.h"
#include "data/DateCodec.h"
#include "data/SetupBlocks.h"
#include "data/SetupFields.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::string field = input.Text();

    int delay = 0;
    SetupFields::Delay(field, delay);
    uint32_t serial = 0;
    std::string errText;
    // An accepted serial number always builds a block.
    if (SetupFields::SerialNumber(field, serial, errText)) {
        std::string block;
        FUZZ_CHECK(SetupBlocks::AdminBlock({serial, {}}, block));
    }
    SetupFields::IsServiceSwitch(field);

    SetupBlocks::Delays delays;
    delays.detectorAlarm = input.Byte();
    delays.manualAlarm = input.Byte();
    delays.manualStop = input.Byte();
    for (int zone = 0; zone < SetupBlocks::kZones; ++zone) {
        delays.messages[zone] = input.Byte();
        delays.outputs[zone] = input.Byte();
    }
    delays.voltageSwitch = input.Byte();
    SetupBlocks::DelaysBlock(delays);

    SetupBlocks::Admin admin;
    for (auto& date : admin.dates) {
        const int year = 1990 + input.Byte() * 2;
        date = TarnDateTime::FromParts(year, 1 + input.Byte() % 12, 1 + input.Byte() % 31);
    }
    std::string adminBlock;
    SetupBlocks::AdminBlock(admin, adminBlock);

    // The zone sequence from a catalogue made of the rest: no profile beyond the 32 bytes
    // Tarn takes.
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
        for (const auto& command : commands)
            if (command.code == 102)
                FUZZ_CHECK(command.data.size() <= 2 + 32);
    }
    return 0;
}
