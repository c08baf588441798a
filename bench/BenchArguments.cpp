#include "BenchArguments.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

BenchArguments::BenchArguments(std::string usage, std::vector<std::string> numberNames,
                               std::vector<std::string> flags, int minimum)
    : m_usage(std::move(usage)), m_numberNames(std::move(numberNames)), m_flags(std::move(flags)),
      m_minimum(minimum)
{
}

bool BenchArguments::Read(int argc, char* argv[])
{
    const auto refuse = [&](const std::string& word, const char* why) {
        std::fprintf(stderr, "%s: %s\n%s\n", argc > 0 ? argv[0] : "bench", (why + word).c_str(),
                     m_usage.c_str());
        m_exitCode = 2;
        return false;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--help" || word == "-h") {
            std::printf("%s\n", m_usage.c_str());
            m_exitCode = 0;
            return false;
        }
        if (std::find(m_flags.begin(), m_flags.end(), word) != m_flags.end()) {
            m_flagsSeen.push_back(word);
            continue;
        }
        int value = 0;
        const char* end = word.data() + word.size();
        const auto parsed = std::from_chars(word.data(), end, value);
        if (word.empty() || parsed.ec != std::errc() || parsed.ptr != end)
            return refuse(word, "unknown argument: ");
        if (m_numbers.size() == m_numberNames.size())
            return refuse(word, "one number too many: ");
        if (value < m_minimum)
            return refuse(word, (m_numberNames[m_numbers.size()] + " is too small: ").c_str());
        m_numbers.push_back(value);
    }
    return true;
}

int BenchArguments::number(std::size_t index, int fallback) const
{
    return index < m_numbers.size() ? m_numbers[index] : fallback;
}

bool BenchArguments::flag(const std::string& name) const
{
    return std::find(m_flagsSeen.begin(), m_flagsSeen.end(), name) != m_flagsSeen.end();
}
