#include "sim/LogStore.h"

#include <cstdio>
#include <fstream>

namespace {
constexpr std::size_t kEventLength = 12;
}

bool LogStore::Load(const std::string& path, std::vector<std::string>& events,
                    std::size_t& readPointer, std::string& error)
{
    std::ifstream file(path);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    if (!std::getline(file, line) || line.empty() ||
        line.find_first_not_of("0123456789") != std::string::npos || line.size() > 9) {
        error = path + ": the first line is not a read position";
        return false;
    }
    readPointer = std::stoul(line);
    events.clear();
    while (std::getline(file, line)) {
        if (line.size() != kEventLength ||
            line.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            error = path + ": not an event: " + line;
            return false;
        }
        events.push_back(line);
    }
    if (readPointer > events.size()) {
        error = path + ": read position past the last event";
        return false;
    }
    return true;
}

bool LogStore::Save(const std::string& path, const std::vector<std::string>& events,
                    std::size_t readPointer)
{
    const std::string temporary = path + ".new";
    {
        std::ofstream file(temporary, std::ios::trunc);
        file << readPointer << '\n';
        for (const std::string& event : events)
            file << event << '\n';
        if (!file.flush())
            return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}
