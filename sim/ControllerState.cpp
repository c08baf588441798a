#include "sim/ControllerState.h"

#include "data/DateCodec.h"
#include "data/ProfileCompiler.h"
#include "data/TextNumbers.h"
#include "protocol/CommandCodes.h"
#include "protocol/WireEncoding.h"
#include "sim/HexText.h"

#include <algorithm>
#include <cctype>

namespace {
constexpr std::string_view kAck = "ACK";
constexpr std::string_view kRefused = "ERR";
constexpr std::string_view kUnknownCommand = "NAK";
constexpr std::string_view kNoMoreEvents = "END";

// Believable factory values: nothing active at 20 degrees, delays 30/10/5/60 s, messages 1..3,
// one output per zone, profiles 1..3 and a serial number with its service history.
constexpr std::string_view kDefaultInputs = "0FE014";
constexpr std::string_view kDefaultDelays = "1E0A053C010203010204";
constexpr uint32_t kDefaultSerialNumber = 123456;
constexpr std::array<uint32_t, ControllerState::kZones> kDefaultProfileIds = {1, 2, 3};

constexpr std::size_t kInputsLength = 6;
constexpr std::size_t kDelaysLength = 20;
constexpr std::size_t kAdminLength = 40;
constexpr std::size_t kAdminFieldLength = 8;
constexpr std::size_t kEventLength = 12;
constexpr std::size_t kClockLength = 15;
constexpr std::size_t kClockDigits = 14;
/// Ten delay fields and the detector voltage switch, two hex digits each.
constexpr std::size_t kDelaysBlockLength = 22;
constexpr std::size_t kOutputWordLength = 4;
constexpr std::size_t kZoneProfileLength = 9;
constexpr std::string_view kUnsetAdminField = "00000000";

bool HasForm(std::string_view text, std::size_t length)
{
    return text.size() == length && IsHexDigits(text);
}

std::string Upper(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

std::string HexWithoutLeadingZeros(uint32_t value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return out;
}

bool ZoneOf(std::string_view data, int& zone)
{
    if (data.empty())
        return false;
    zone = static_cast<uint8_t>(data[0]);
    return zone < ControllerState::kZones;
}
} // namespace

ControllerState::ControllerState()
    : m_inputs(kDefaultInputs), m_delays(kDefaultDelays), m_serialNumber(kDefaultSerialNumber)
{
    const TarnDateTime dates[] = {
        TarnDateTime::FromParts(2024, 3, 14), TarnDateTime::FromParts(2024, 5, 2),
        TarnDateTime::FromParts(2026, 5, 4), TarnDateTime::FromParts(2025, 5, 6)};
    for (std::size_t i = 0; i < m_adminDates.size(); ++i)
        m_adminDates[i] = EncodePackedDate(dates[i]);
    std::copy(kDefaultProfileIds.begin(), kDefaultProfileIds.end(), m_profileIds.begin());
}

std::string ControllerState::reply(int command, std::string_view data)
{
    return reply(command, data, TarnDateTime::Now());
}

std::string ControllerState::reply(int command, std::string_view data, const TarnDateTime& pcNow)
{
    const auto replaced = m_replyOverrides.find(command);
    if (replaced == m_replyOverrides.end())
        return answer(command, data, pcNow);
    if (replaced->second.rfind(kAck, 0) != 0)
        return replaced->second;
    std::string result = answer(command, data, pcNow);
    return result == kAck ? replaced->second : result;
}

std::string ControllerState::answer(int command, std::string_view data, const TarnDateTime& pcNow)
{
    using namespace TarnCommand;
    switch (command) {
    case ReadVersion:
        return m_version;
    case ReadClock:
        return FormatControllerClock(pcNow.AddSeconds(m_clockOffsetSeconds))
            .substr(0, kClockDigits);
    case ReadInputs:
        return m_inputs;
    case ReadDelays:
        return m_delays;
    case ReadZoneProfile: {
        int zone = 0;
        if (data.size() != 1 || !ZoneOf(data, zone))
            return "0";
        return HexWithoutLeadingZeros(m_profileIds[zone]);
    }
    case ReadAdminData:
        return adminData();
    case ReadNextLogEvent:
        if (m_readPointer >= m_events.size())
            return std::string(kNoMoreEvents);
        return m_events[m_readPointer++];
    case SetClock:
        return setClock(data, pcNow);
    case LogControl:
        return logControl(data);
    case SetDelays:
        return setDelaysBlock(data);
    case SetAdminData:
        return setAdminBlock(data);
    case SetOutputs:
        return setOutputs(data);
    case SetProfileDefinition:
        return setProfileDefinition(data);
    case SetZoneProfile:
        return setZoneProfile(data);
    case EnterTestMode:
        m_testMode = true;
        return std::string(kAck);
    default:
        return std::string(kUnknownCommand);
    }
}

std::string ControllerState::setClock(std::string_view data, const TarnDateTime& pcNow)
{
    if (data.size() != kClockLength)
        return std::string(kRefused);
    const std::string_view digits = data.substr(0, kClockDigits);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::string(kRefused);
    const char weekday = data[kClockDigits];
    if (weekday < '1' || weekday > '7')
        return std::string(kRefused);
    const TarnDateTime wanted = ParseControllerClock(digits);
    if (wanted.IsZero())
        return std::string(kRefused);
    m_clockOffsetSeconds = wanted.SecondsSinceZero() - pcNow.SecondsSinceZero();
    return std::string(kAck);
}

std::string ControllerState::logControl(std::string_view data)
{
    if (data.size() != 1)
        return std::string(kRefused);
    if (data[0] == TarnCommand::LogRewind) {
        m_readPointer = 0;
        return std::string(kAck);
    }
    if (data[0] == TarnCommand::LogDeleteAll) {
        clearEvents();
        return std::string(kAck);
    }
    return std::string(kRefused);
}

std::string ControllerState::setDelaysBlock(std::string_view data)
{
    if (!HasForm(data, kDelaysBlockLength))
        return std::string(kRefused);
    m_delays = Upper(data.substr(0, kDelaysLength));
    m_detectorVoltageSwitch = static_cast<int>(HexValue(data.substr(kDelaysLength)));
    return std::string(kAck);
}

std::string ControllerState::setAdminBlock(std::string_view data)
{
    if (!HasForm(data, kAdminLength))
        return std::string(kRefused);
    const std::string fields = Upper(data);
    const std::string_view serial = std::string_view(fields).substr(0, kAdminFieldLength);
    if (serial != kUnsetAdminField)
        m_serialNumber = HexValue(serial);
    for (std::size_t i = 0; i < m_adminDates.size(); ++i) {
        const std::string field = fields.substr((i + 1) * kAdminFieldLength, kAdminFieldLength);
        if (field != kUnsetAdminField)
            m_adminDates[i] = field;
    }
    return std::string(kAck);
}

std::string ControllerState::setOutputs(std::string_view data)
{
    if (!HasForm(data, kOutputWordLength))
        return std::string(kRefused);
    m_outputWord = Upper(data);
    return std::string(kAck);
}

std::string ControllerState::setProfileDefinition(std::string_view data)
{
    int zone = 0;
    if (data.size() < 2 || data.size() > 2 + kMaxCompiledProfileBytes || !ZoneOf(data, zone) ||
        data[1] != 0)
        return std::string(kRefused);
    std::vector<ProfileStep> steps;
    for (const char byte : data.substr(2))
        steps.push_back(DecodeStep(static_cast<uint8_t>(byte)));
    m_profileSteps[zone] = std::move(steps);
    return std::string(kAck);
}

std::string ControllerState::setZoneProfile(std::string_view data)
{
    int zone = 0;
    if (data.size() != kZoneProfileLength || !ZoneOf(data, zone) || !IsHexDigits(data.substr(1)))
        return std::string(kRefused);
    m_profileIds[zone] = HexValue(data.substr(1));
    return std::string(kAck);
}

ControllerState::ProfileStep ControllerState::DecodeStep(uint8_t byte)
{
    ProfileStep step;
    step.duration = byte & 0x7F;
    if (byte == kStepStop)
        step.type = 'S';
    else if ((byte & 0x80) == kStepTimed)
        step.type = 'T';
    else
        step.type = 'F';
    return step;
}

bool ControllerState::setInputs(std::string_view hex6, std::string& error)
{
    if (!HasForm(hex6, kInputsLength)) {
        error = "inputs need 6 hex digits";
        return false;
    }
    m_inputs = Upper(hex6);
    return true;
}

bool ControllerState::setDelays(std::string_view hex20, std::string& error)
{
    if (!HasForm(hex20, kDelaysLength)) {
        error = "delays need 20 hex digits";
        return false;
    }
    m_delays = Upper(hex20);
    return true;
}

bool ControllerState::setAdminData(std::string_view hex40, std::string& error)
{
    if (!HasForm(hex40, kAdminLength)) {
        error = "admin data need 40 hex digits";
        return false;
    }
    const std::string fields = Upper(hex40);
    m_serialNumber = HexValue(std::string_view(fields).substr(0, kAdminFieldLength));
    for (std::size_t i = 0; i < m_adminDates.size(); ++i)
        m_adminDates[i] = fields.substr((i + 1) * kAdminFieldLength, kAdminFieldLength);
    return true;
}

bool ControllerState::setProfileId(int zone, uint32_t id, std::string& error)
{
    if (zone < 0 || zone >= kZones) {
        error = "zone must be 0..2";
        return false;
    }
    m_profileIds[zone] = id;
    return true;
}

bool ControllerState::appendEvent(std::string_view hex12, std::string& error)
{
    if (!HasForm(hex12, kEventLength)) {
        error = "an event needs 12 hex digits";
        return false;
    }
    if (m_events.size() >= kMaxStoredEvents) {
        error = "log memory full";
        return false;
    }
    m_events.push_back(Upper(hex12));
    return true;
}

void ControllerState::setEvents(std::vector<std::string> events)
{
    if (events.size() > kMaxStoredEvents)
        events.resize(kMaxStoredEvents);
    m_events = std::move(events);
    m_readPointer = 0;
}

void ControllerState::setReadPointer(std::size_t position)
{
    m_readPointer = std::min(position, m_events.size());
}

void ControllerState::clearEvents()
{
    m_events.clear();
    m_readPointer = 0;
}

void ControllerState::setReplyOverride(int code, std::string text)
{
    m_replyOverrides[code] = std::move(text);
}

void ControllerState::clearReplyOverride(int code)
{
    m_replyOverrides.erase(code);
}

std::string ControllerState::adminData() const
{
    std::string out = LongToHex8(static_cast<int32_t>(m_serialNumber));
    for (const std::string& date : m_adminDates)
        out += date;
    return out;
}
