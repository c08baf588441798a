#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// Byte that ends every frame on the line.
inline constexpr uint8_t kFrameEndByte = 255;
/// Controller address and PC address that the program puts into every request.
inline constexpr uint8_t kControllerAddress = 143;
inline constexpr uint8_t kPcAddress = 0;

/// XOR of the bytes from the first one up to, not including, the first byte 255.
uint8_t FrameChecksum(std::string_view bytes);

/// address, PC address, command, data, checksum, end byte 255.
std::string BuildRequestFrame(uint8_t address, uint8_t pcAddress, int command,
                              std::string_view data);

/// A complete frame as the line delivered it, end byte included, taken apart.
struct CheckedFrame
{
    enum class Status
    {
        Ok,
        BadChecksum,
        TooShort
    };
    Status status = Status::TooShort;
    /// Byte 3, present whenever the frame has three bytes, even when it is too short.
    bool hasCommand = false;
    int command = 0;
    /// Bytes 4 .. n-2.
    std::string data;
    /// The checksum over the whole frame; 0 for a sound frame.
    int checksum = 0;
    /// Display text for a rejected frame; empty when Ok.
    std::string errorText;
};

/// Number and description shown for a frame shorter than five bytes.
inline constexpr int kFrameTooShortErrorNumber = 5;
inline constexpr std::string_view kFrameTooShortDescription = "Invalid procedure call or argument";

/// Checks the checksum first, then takes command and data apart.
CheckedFrame CheckFrame(std::string_view frame);

/// The frame without the line noise that came before it (noise never holds the end byte, so
/// the cutter hands it out at the head of the next frame): the longest tail that starts with
/// the addresses `to`, `from` and whose checksum is sound. The whole frame when it is sound
/// itself or no such tail exists.
std::string_view SkipLeadingNoise(std::string_view frame, uint8_t to, uint8_t from);
