// A smoke check of each core area with the standard library alone, so that it also runs where no
// QtTest is to be had: a MinGW-w64 build of the core under Wine (tools/cross-check-windows.sh).
// The QTest suites hold the full cases. Expects the shipped Tarn.INI beside the executable.

#include "config/IniFile.h"
#include "config/ProgramFolder.h"
#include "data/Catalogues.h"
#include "data/DateCodec.h"
#include "data/Tarn_Inputs.h"
#include "protocol/FrameCodec.h"
#include "protocol/FrameCutter.h"
#include "protocol/WireEncoding.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

int g_failed = 0;

void Check(bool ok, const char* what)
{
    if (!ok) {
        ++g_failed;
        std::printf("FAIL %s\n", what);
    }
}

std::string FromHex(std::string_view hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += char(HexDigitValue(hex[i]) * 16 + HexDigitValue(hex[i + 1]));
    return bytes;
}

} // namespace

int main()
{
    const CheckedFrame reply = CheckFrame(FromHex("008F4056322E303782FF"));
    Check(BuildRequestFrame(kControllerAddress, kPcAddress, 64, {}) == FromHex("8F0040CFFF") &&
              reply.status == CheckedFrame::Status::Ok && reply.data == "V2.07",
          "frame and checksum");

    FrameCutter cutter;
    int frames = 0;
    for (const char c : FromHex("008F40CFFF008F4056322E303782FF"))
        frames += cutter.feed(c).kind == FrameCutter::Result::Kind::Frame;
    Check(frames == 2, "cutter");

    Check(EncodePackedDate(DecodePackedDate("AC44C79E", 2026)) == "AC44C79E", "packed date");
    Check(FormatControllerClock(ParseControllerClock("20240229063015")) == "202402290630155",
          "clock text");

    Tarn_Inputs inputs;
    inputs.ResolveInputs("0FE0FF");
    Check(inputs.TemperatureCelsius == -1 && !inputs.Detector(0), "inputs decoder");

    std::error_code ec;
    const fs::path dir = fs::temp_directory_path(ec) /
                         ("tarn-core-check-" + LongToHex8(int32_t(std::random_device{}())));
    fs::create_directories(dir, ec);
    const std::string path = (dir / "Tarn.INI").string();
    std::string value;
    Check(IniFile::Write(path, "Communication", "Port", "3") &&
              IniFile::Read(path, "COMMUNICATION", "port", value) && value == "3",
          "INI round trip");
    fs::remove_all(dir, ec);

    std::string errText;
    Check(LoadCatalogue(ProgramFile(kIniFileName), errText) &&
              ProfileCatalogue.Find("1") != nullptr,
          "catalogue load");

    std::printf("tarn_core_check: %s\n", g_failed == 0 ? "passed" : "FAILED");
    return g_failed == 0 ? 0 : 1;
}
