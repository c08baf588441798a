#pragma once

#include <optional>
#include <string>
#include <vector>

/// The command line of a benchmark: up to `names.size()` whole numbers in order, and the
/// flags it knows. "--help" prints the usage to standard output; a word it does not know, a
/// number that is not whole and not at least `minimum`, or one too many, prints the usage to
/// standard error.
class BenchArguments
{
public:
    BenchArguments(std::string usage, std::vector<std::string> numberNames,
                   std::vector<std::string> flags = {}, int minimum = 1);

    /// False when the program must end, with exitCode() as its exit code.
    bool Read(int argc, char* argv[]);
    int exitCode() const { return m_exitCode; }
    /// The number at `index`, or `fallback` where the command line gave none.
    int number(std::size_t index, int fallback) const;
    bool flag(const std::string& name) const;

private:
    std::string m_usage;
    std::vector<std::string> m_numberNames;
    std::vector<std::string> m_flags;
    int m_minimum;
    std::vector<int> m_numbers;
    std::vector<std::string> m_flagsSeen;
    int m_exitCode = 0;
};
