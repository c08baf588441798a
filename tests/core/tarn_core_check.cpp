// The core's worked examples with the standard library alone, so that they also run where no
// QtTest is to be had: a MinGW-w64 build of the core under Wine (tools/cross-check-windows.sh).
// Expects the shipped Tarn.INI beside the executable, as every build puts it.

#include "config/FileReplace.h"
#include "config/IniFile.h"
#include "config/ProgramFolder.h"
#include "data/Catalogues.h"
#include "data/DateCodec.h"
#include "data/TarnDateTime.h"
#include "data/TextNumbers.h"
#include "link/FrameCodec.h"
#include "link/FrameCutter.h"
#include "link/WireEncoding.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

int g_passed = 0;
int g_failed = 0;

void Check(bool ok, const char* what, const std::string& detail = {})
{
    if (ok) {
        ++g_passed;
        return;
    }
    ++g_failed;
    std::printf("FAIL %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
}

void Same(const std::string& got, const std::string& want, const char* what)
{
    Check(got == want, what, "got \"" + got + "\", want \"" + want + "\"");
}

std::string FromHex(std::string_view hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += char(HexDigitValue(hex[i]) * 16 + HexDigitValue(hex[i + 1]));
    return bytes;
}

std::string ToHex(std::string_view bytes)
{
    std::string hex;
    for (const char c : bytes)
        hex += ByteToHex(static_cast<unsigned char>(c));
    return hex;
}

std::string Format(const TarnDateTime& value)
{
    if (value.IsZero())
        return "zero date";
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", value.Year(), value.Month(),
                  value.Day(), value.Hour(), value.Minute(), value.Second());
    return text;
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Codec()
{
    Same(ToHex(BuildRequestFrame(kControllerAddress, kPcAddress, 64, {})), "8F0040CFFF",
         "frame: read version");
    Same(ToHex(BuildRequestFrame(kControllerAddress, kPcAddress, 100, FromHex("01FF02"))),
         "8F006401FF02EAFF", "frame: checksum stops at a data byte 255");

    const CheckedFrame reply = CheckFrame(FromHex("008F4056322E303782FF"));
    Check(reply.status == CheckedFrame::Status::Ok && reply.command == 64 && reply.data == "V2.07",
          "check: version reply");
    const CheckedFrame bad = CheckFrame(FromHex("008F40EAFF"));
    Check(bad.status == CheckedFrame::Status::BadChecksum && bad.errorText == "CRC Error. (37)",
          "check: checksum off by 37", bad.errorText);

    FrameCutter cutter;
    std::string frames;
    for (const char c : FromHex("008F40CFFF008F4056322E303782FF"))
        if (const auto result = cutter.feed(c); result.kind == FrameCutter::Result::Kind::Frame)
            frames += ToHex(result.frame) + "|";
    Same(frames, "008F40CFFF|008F4056322E303782FF|", "cutter: two frames");

    Same(IntToHex(300), "012C", "wire: int hex");
    Same(IntToHex(-2), "FE", "wire: negative int hex, low two digits");
    Same(LongToHex8(0x12345678), "12345678", "wire: long hex");
    Same(ByteToBits(0xA5), "10100101", "wire: bits");
    Check(BitsToByte("10100101") == 0xA5, "wire: bits back");
}

void Dates()
{
    Same(Format(ParseControllerClock("20261204140730")), "2026-12-04 14:07:30", "clock: plain");
    Same(Format(ParseControllerClock("21000229000000")), "zero date", "clock: 29 Feb 2100");
    Same(Format(DecodePackedDate("AC44C79E", 2026)), "2026-12-04 14:07:30", "packed: example");
    Same(Format(DecodePackedDate("AC44C79E", 2064)), "2090-12-04 14:07:30", "packed: window");
    Same(Format(DecodePackedDate("725D0000", 2026)), "zero date", "packed: 29 Feb 2023");
    Same(EncodePackedDate(TarnDateTime::FromParts(2026, 12, 4, 14, 7, 30)), "AC44C79E",
         "packed: encode");
    Same(FormatControllerClock(TarnDateTime::FromParts(2024, 2, 29, 6, 30, 15)), "202402290630155",
         "clock: set-clock data with weekday");
    // The PC clock goes through the C library's local time: a sound year on every system.
    const TarnDateTime now = TarnDateTime::Now();
    Check(!now.IsZero() && now.Year() >= 2020, "now: local time read", Format(now));
}

void Numbers()
{
    Check(HexValue("1e") == 30, "numbers: hex lower case");
    Check(HexValue("123456789") == 4294967295u, "numbers: hex saturates");
    Same(FormatVersionNumber(2.07), " 2.07", "numbers: version");
}

void ShippedIni()
{
    const std::string ini = ProgramFile(kIniFileName);
    Check(fs::is_regular_file(ini), "program folder holds Tarn.INI", ini);

    std::string value;
    Check(IniFile::Read(ini, "communication", "PORT", value) && value == "1",
          "ini: port read without regard to case", value);

    std::string errText;
    Check(LoadCatalogue(ini, errText), "catalogue: loads", errText);
    Check(ProfileCatalogue.Count() >= 7 && ProfileCatalogue.Find("1") != nullptr &&
              ProfileCatalogue.Find("1")->Name == "Continuous 10 min",
          "catalogue: profile 1");
    Check(LoadEventCodes(2.07, ini, errText) && !EventCodeCatalogue.Empty(),
          "event codes: V2.07 range", errText);
}

void IniWrites()
{
    std::error_code ec;
    const fs::path dir = fs::temp_directory_path(ec) /
                         ("tarn-core-check-" + LongToHex8(int32_t(std::random_device{}())));
    fs::create_directories(dir, ec);
    const std::string path = (dir / "Tarn.INI").string();

    std::string errText;
    Check(ReplaceFileContent(path, "; kept\r\n[COMMUNICATION]\r\nPort=1\r\n\r\n[Tarn]\r\nA=b\r\n",
                             errText),
          "replace: writes a new file", errText);
    Check(IniFile::Write(path, "Communication", "port", "3"), "ini: write");
    Same(ReadAll(path), "; kept\r\n[COMMUNICATION]\r\nPort=3\r\n\r\n[Tarn]\r\nA=b\r\n",
         "ini: value replaced in place, the rest byte for byte");
    Check(IniFile::Write(path, "NEW", "Key", "v"), "ini: new section");
    std::string value;
    Check(IniFile::Read(path, "new", "key", value) && value == "v", "ini: new key read back");
    Check(IniFile::DeleteSection(path, "Tarn") && !IniFile::Read(path, "Tarn", "A", value),
          "ini: section deleted");

    // A fresh user folder gets the sample once; the user's own file is never replaced.
    const std::string user = (dir / "user").string();
    Check(PrepareUserProgramFolder(user, ProgramFile(kIniFileName), errText),
          "user folder: created with the sample", errText);
    Check(IniFile::Write(FindFileNoCase(user, kIniFileName), "PORTS", "COM1", "mine"),
          "user folder: edited");
    Check(PrepareUserProgramFolder(user, ProgramFile(kIniFileName), errText) &&
              IniFile::Read(FindFileNoCase(user, kIniFileName), "PORTS", "COM1", value) &&
              value == "mine",
          "user folder: second start keeps the user's file");

    fs::remove_all(dir, ec);
}

} // namespace

int main()
{
    Codec();
    Dates();
    Numbers();
    ShippedIni();
    IniWrites();
    std::printf("tarn_core_check: %d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
