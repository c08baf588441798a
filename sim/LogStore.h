#pragma once

#include <cstddef>
#include <string>
#include <vector>

/// The controller's log memory kept in a file, so that the stored events and the position of
/// the next new event survive the simulator's restart as they survive the controller's.
/// The file: the read position in decimal on the first line, then one event (12 hex digits)
/// a line.
class LogStore
{
public:
    /// False with a reason when the file cannot be read or is not of that form.
    static bool Load(const std::string& path, std::vector<std::string>& events,
                     std::size_t& readPointer, std::string& error);
    /// Replaces the file as a whole (written beside it, then renamed), so that a simulator
    /// killed while it writes leaves the previous contents.
    static bool Save(const std::string& path, const std::vector<std::string>& events,
                     std::size_t readPointer);
};
