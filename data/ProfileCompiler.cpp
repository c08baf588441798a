#include "data/ProfileCompiler.h"

#include "data/TextNumbers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

/// A definition shorter than this is refused.
constexpr std::size_t kMinDefinitionLength = 12;
/// A step followed by a start time of this or more lasts 1.
constexpr int64_t kOpenEndedStartTime = 65000;
/// Duration given to the stop step; it never reaches the output.
constexpr int64_t kStopStepDuration = 125;
/// Steps allocated before the first time token.
constexpr std::size_t kInitialSteps = 2;

struct ProfileStep
{
    uint8_t StepType = 0;
    int64_t StepTime = 0; ///< first the start time, then the duration
};

/// The time at the start of a token, rounded half to even and kept within 32 bits.
int64_t StepTimeOf(std::string_view token)
{
    const double rounded = std::nearbyint(LeadingNumber(token));
    const double low = std::numeric_limits<int32_t>::min();
    const double high = std::numeric_limits<int32_t>::max();
    return static_cast<int64_t>(std::clamp(rounded, low, high));
}

} // namespace

std::string CompileProfile(std::string_view definition)
{
    if (definition.size() < kMinDefinitionLength || definition.front() != 'T')
        return {};

    std::vector<ProfileStep> steps(kInitialSteps);
    std::size_t k = 0;
    std::string_view rest = definition;
    bool more = true;
    while (more) {
        std::string_view token;
        const std::size_t comma = rest.find(',');
        if (comma == std::string_view::npos) {
            token = rest;
            more = false;
        } else {
            token = rest.substr(0, comma);
            rest = rest.substr(comma + 1);
        }
        if (token == "T")
            steps[k].StepType = kStepTimed;
        else if (token == "F")
            steps[k].StepType = kStepFlow;
        else if (token == "S")
            steps[k].StepType = kStepStop;
        else {
            steps[k].StepTime = StepTimeOf(token);
            ++k;
            steps.resize(k + 2);
        }
    }

    // Start times become durations: each step lasts until the next one starts.
    int64_t acc = 0;
    for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
        if (steps[i].StepType == kStepStop) {
            steps[i].StepTime = kStopStepDuration;
            break;
        }
        if (steps[i + 1].StepTime >= kOpenEndedStartTime) {
            steps[i].StepTime = 1;
        } else {
            steps[i].StepTime = steps[i + 1].StepTime - acc;
            acc = steps[i + 1].StepTime;
        }
    }

    std::string compiled;
    for (ProfileStep& step : steps) {
        if (step.StepType == kStepStop)
            break;
        while (step.StepTime >= 1 && compiled.size() < kMaxCompiledProfileLength) {
            const int64_t chunk = std::min<int64_t>(step.StepTime, kMaxStepDuration);
            compiled += static_cast<char>(step.StepType | static_cast<uint8_t>(chunk));
            step.StepTime -= chunk;
        }
    }
    return compiled;
}
