// The frame cutter and checker, fed in pieces of any size as a serial port delivers them.

#include "FuzzInput.h"

#include "protocol/FrameCodec.h"
#include "protocol/FrameCutter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::size_t piece = 1 + input.Byte() % 64;
    const std::string_view bytes = input.Rest();
    FrameCutter cutter;
    for (std::size_t start = 0; start < bytes.size(); start += piece) {
        for (const char byte : bytes.substr(start, piece)) {
            const FrameCutter::Result cut = cutter.feed(byte);
            if (cut.kind != FrameCutter::Result::Kind::Frame)
                continue;
            FUZZ_CHECK(!cut.frame.empty() && static_cast<uint8_t>(cut.frame.back()) == 255);
            FUZZ_CHECK(cut.frame.size() <= FrameCutter::kMaxBufferedBytes + 1);
            const CheckedFrame checked = CheckFrame(cut.frame);
            if (checked.status != CheckedFrame::Status::Ok)
                continue;
            // A sound frame is the frame that its parts build.
            FUZZ_CHECK(BuildRequestFrame(static_cast<uint8_t>(cut.frame[0]),
                                         static_cast<uint8_t>(cut.frame[1]), checked.command,
                                         checked.data) == cut.frame);
        }
    }
    return 0;
}
