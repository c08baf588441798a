#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

/// Takes a fuzzer's bytes apart: small numbers from the front, texts separated by byte 0.
class FuzzInput
{
public:
    FuzzInput(const uint8_t* data, std::size_t size)
        : m_rest(reinterpret_cast<const char*>(data), size)
    {
    }

    /// The next byte, 0 once the input is used up.
    uint8_t Byte()
    {
        if (m_rest.empty())
            return 0;
        const auto value = static_cast<uint8_t>(m_rest.front());
        m_rest.remove_prefix(1);
        return value;
    }

    /// The text up to the next byte 0 (which is dropped), or all that is left.
    std::string Text()
    {
        const std::size_t zero = m_rest.find('\0');
        const std::string text(m_rest.substr(0, zero));
        m_rest.remove_prefix(zero == std::string_view::npos ? m_rest.size() : zero + 1);
        return text;
    }

    std::string_view Rest() const { return m_rest; }

private:
    std::string_view m_rest;
};

/// Ends the run with a report, so that the fuzzer keeps the input that broke a rule.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            __builtin_trap();                                                                      \
    } while (false)
