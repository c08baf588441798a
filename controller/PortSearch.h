#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <vector>

class Tarn_Comm;

/// The auto-detect search: the link is started on each port in turn with the settings given
/// and asked for its version; the first port that answers with one is kept.
class PortSearch
{
public:
    /// Pause between stopping the link and trying the next port.
    static constexpr std::chrono::milliseconds kDetectPause{300};

    /// Index into `ports` of the port that answered, or -1. `trying` is told each index before
    /// it is tried. When nothing answered, the link goes back to the port and settings it had
    /// (started again if it was started) rather than staying on the last one tried.
    static int Search(Tarn_Comm& link, const std::vector<int>& ports, const QString& settings,
                      const std::function<void(int index)>& trying = {});
    /// Port numbers 1 to the highest the program offers.
    static std::vector<int> AllPorts();
};
