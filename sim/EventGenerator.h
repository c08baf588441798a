#pragma once

#include "data/TarnDateTime.h"

#include <cstdint>
#include <string>
#include <vector>

/// A believable stored log: `count` events of 12 hex digits, oldest first, spread over the
/// months before `now`. The same count, seed and time give the same log.
class EventGenerator
{
public:
    /// How far back the generated log reaches.
    static constexpr int64_t kSpanSeconds = 180LL * 24 * 60 * 60;

    static std::vector<std::string> Generate(int count, uint32_t seed, const TarnDateTime& now);
};
