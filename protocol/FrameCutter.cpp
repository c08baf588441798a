#include "protocol/FrameCutter.h"

FrameCutter::Result FrameCutter::feed(char byte)
{
    Result result;
    const bool isEnd = static_cast<uint8_t>(byte) == m_endByte;
    if (m_discarding) {
        if (isEnd)
            m_discarding = false;
        return result;
    }
    m_buffer.push_back(byte);
    if (isEnd) {
        result.kind = Result::Kind::Frame;
        result.frame.swap(m_buffer);
        m_buffer.clear();
        return result;
    }
    if (m_buffer.size() >= kMaxBufferedBytes) {
        result.kind = Result::Kind::Overflow;
        result.discarded = m_buffer.size();
        m_buffer.clear();
        m_buffer.shrink_to_fit();
        m_discarding = true;
    }
    return result;
}

void FrameCutter::clear()
{
    m_buffer.clear();
    m_discarding = false;
}

std::string FrameCutter::overflowText(std::size_t discarded)
{
    return "Unexpected communication error. " + std::to_string(discarded) +
           " bytes without an end byte discarded.";
}
