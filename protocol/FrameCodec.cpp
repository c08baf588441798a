#include "protocol/FrameCodec.h"

uint8_t FrameChecksum(std::string_view bytes)
{
    uint8_t sum = 0;
    for (const char c : bytes) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte == 255)
            break;
        sum ^= byte;
    }
    return sum;
}

std::string BuildRequestFrame(uint8_t address, uint8_t pcAddress, int command,
                              std::string_view data)
{
    std::string frame;
    frame.reserve(data.size() + 5);
    frame.push_back(static_cast<char>(address));
    frame.push_back(static_cast<char>(pcAddress));
    frame.push_back(static_cast<char>(command & 0xFF));
    frame.append(data);
    frame.push_back(static_cast<char>(FrameChecksum(frame)));
    frame.push_back(static_cast<char>(kFrameEndByte));
    return frame;
}

CheckedFrame CheckFrame(std::string_view frame)
{
    CheckedFrame out;
    out.checksum = FrameChecksum(frame);
    if (out.checksum != 0) {
        out.status = CheckedFrame::Status::BadChecksum;
        out.errorText = "CRC Error. (" + std::to_string(out.checksum) + ")";
        return out;
    }
    if (frame.size() >= 3) {
        out.hasCommand = true;
        out.command = static_cast<uint8_t>(frame[2]);
    }
    if (frame.size() < 5) {
        out.status = CheckedFrame::Status::TooShort;
        out.errorText = "Unexpected communication error. Data=" + std::string(frame) +
                        " Error=" + std::to_string(kFrameTooShortErrorNumber) + " - " +
                        std::string(kFrameTooShortDescription);
        return out;
    }
    out.status = CheckedFrame::Status::Ok;
    out.data = std::string(frame.substr(3, frame.size() - 5));
    return out;
}

std::string_view SkipLeadingNoise(std::string_view frame, uint8_t to, uint8_t from)
{
    if (FrameChecksum(frame) == 0)
        return frame;
    for (std::size_t k = 1; k + 1 < frame.size(); ++k) {
        if (static_cast<uint8_t>(frame[k]) == to && static_cast<uint8_t>(frame[k + 1]) == from &&
            FrameChecksum(frame.substr(k)) == 0)
            return frame.substr(k);
    }
    return frame;
}
