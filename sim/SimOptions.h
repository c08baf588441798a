#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// The command line of tarn-sim.
struct SimOptions
{
    /// Longest values accepted, so that a typing error cannot make the simulator useless.
    static constexpr int kMaxEvents = 100000;
    static constexpr int kMaxLineRate = 4000000;
    static constexpr int kMaxDelayMs = 600000;

    std::string linkPath;
    std::string version = "V2.07";
    int events = 0;
    uint32_t seed = 1;
    int lineRate = 0;
    int replyDelayMs = 0;
    int dropEvery = 0;
    int corruptEvery = 0;
    int noiseEvery = 0;
    std::vector<int> nakCodes;
    std::string journalPath;
    /// Where the requests whose reply was muted, dropped, corrupted or preceded by noise go.
    std::string faultJournalPath;
    std::string storePath;
    bool help = false;

    /// `args` without the program name. False with a reason for an unknown option or a bad value.
    static bool Parse(const std::vector<std::string>& args, SimOptions& options,
                      std::string& error);
    static std::string HelpText();
};
