#include "sim/EventGenerator.h"

#include "data/DateCodec.h"
#include "protocol/WireEncoding.h"

#include <algorithm>
#include <random>

namespace {
struct CodeWeight
{
    int code;
    int weight;
};

// Event codes 1..40 of the shipped Tarn.INI, weighted the way a unit in the field fills its
// log: supply, service and test events often, real releases seldom.
constexpr CodeWeight kCodeMix[] = {
    // alarms of detectors 1..4, manual releases 1..3, zones 1..3 activated
    {1, 2},
    {2, 2},
    {3, 1},
    {4, 1},
    {5, 1},
    {6, 1},
    {7, 1},
    {8, 2},
    {9, 1},
    {10, 1},
    // pump started / stopped, valves 1 and 2 opened / closed
    {11, 4},
    {12, 4},
    {13, 3},
    {14, 3},
    {15, 2},
    {16, 2},
    // mains failure / restored, battery low / fault / OK
    {17, 6},
    {18, 6},
    {19, 3},
    {20, 1},
    {21, 3},
    // high temperature, frost
    {22, 1},
    {23, 1},
    // line faults of detectors 1..4 and of the manual releases
    {24, 1},
    {25, 1},
    {26, 1},
    {27, 1},
    {28, 1},
    // alarm reset, sequence finished
    {29, 3},
    {30, 3},
    // service started / finished, test mode entered / ended, log cleared, clock set, setup,
    // delays and zone profile changed, controller started
    {31, 4},
    {32, 4},
    {33, 5},
    {34, 5},
    {35, 1},
    {36, 2},
    {37, 2},
    {38, 1},
    {39, 1},
    {40, 6}};

constexpr int kHighTemperatureAlarm = 22;
constexpr int kFrostAlarm = 23;
/// One in this many other events happens in frost.
constexpr uint32_t kFrostOneIn = 15;
constexpr int kMildLow = 5;
constexpr int kMildHigh = 30;
constexpr int kFrostLow = -12;
constexpr int kHotLow = 45;
constexpr int kHotHigh = 60;

int Draw(std::mt19937& random, int low, int high)
{
    return low + static_cast<int>(random() % static_cast<uint32_t>(high - low + 1));
}

int DrawCode(std::mt19937& random)
{
    int total = 0;
    for (const CodeWeight& entry : kCodeMix)
        total += entry.weight;
    int pick = Draw(random, 0, total - 1);
    for (const CodeWeight& entry : kCodeMix) {
        if (pick < entry.weight)
            return entry.code;
        pick -= entry.weight;
    }
    return kCodeMix[0].code;
}
} // namespace

std::vector<std::string> EventGenerator::Generate(int count, uint32_t seed, const TarnDateTime& now)
{
    std::vector<std::string> events;
    if (count <= 0)
        return events;
    std::mt19937 random(seed);
    std::vector<int64_t> ages;
    ages.reserve(count);
    for (int i = 0; i < count; ++i)
        ages.push_back(static_cast<int64_t>(random() % static_cast<uint32_t>(kSpanSeconds)) + 1);
    std::sort(ages.begin(), ages.end(), std::greater<>());

    events.reserve(count);
    for (const int64_t age : ages) {
        const std::string time = EncodePackedDate(now.AddSeconds(-age));
        const int code = DrawCode(random);
        int celsius = 0;
        if (code == kHighTemperatureAlarm)
            celsius = Draw(random, kHotLow, kHotHigh);
        else if (code == kFrostAlarm || random() % kFrostOneIn == 0)
            celsius = Draw(random, kFrostLow, -1);
        else
            celsius = Draw(random, kMildLow, kMildHigh);
        if (time.empty())
            continue;
        events.push_back(time + ByteToHex(code) + ByteToHex(celsius & 0xFF));
    }
    return events;
}
