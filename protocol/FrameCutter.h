#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// Cuts the received byte stream into frames at the end byte. Fed one byte at a time.
/// A stream that never brings an end byte cannot grow the buffer past kMaxBufferedBytes:
/// the buffer is dropped, reported once, and bytes are discarded up to the next end byte.
class FrameCutter
{
public:
    /// Far more than the longest reply of the controller.
    static constexpr std::size_t kMaxBufferedBytes = 4096;

    struct Result
    {
        enum class Kind
        {
            None,
            Frame,
            Overflow
        };
        Kind kind = Kind::None;
        std::string frame;         // Kind::Frame: the frame, end byte included
        std::size_t discarded = 0; // Kind::Overflow: bytes dropped
    };

    explicit FrameCutter(uint8_t endByte = 255) : m_endByte(endByte) {}

    void setEndByte(uint8_t endByte) { m_endByte = endByte; }
    Result feed(char byte);
    void clear();
    const std::string& buffer() const { return m_buffer; }

    /// Status-line text for an overflow result.
    static std::string overflowText(std::size_t discarded);

private:
    uint8_t m_endByte;
    std::string m_buffer;
    bool m_discarding = false;
};
