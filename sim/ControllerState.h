#pragma once

#include "data/TarnDateTime.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

/// What the simulated controller stores, and its reply to every command. No input or output:
/// the caller hands in the request's command and data and sends back the reply data.
class ControllerState
{
public:
    static constexpr int kZones = 3;
    /// The controller's log memory; appending beyond it is refused.
    static constexpr std::size_t kMaxStoredEvents = 100000;

    struct ProfileStep
    {
        char type = 'F'; // 'T', 'F' or 'S'
        int duration = 0;
        bool operator==(const ProfileStep&) const = default;
    };

    ControllerState();

    /// The reply data to one request. `pcNow` is the PC's local clock, from which the
    /// controller clock runs at the offset that the set-clock command leaves.
    std::string reply(int command, std::string_view data, const TarnDateTime& pcNow);
    std::string reply(int command, std::string_view data);

    // Set by the operator. False with a reason when the value has the wrong form.
    bool setInputs(std::string_view hex6, std::string& error);
    bool setDelays(std::string_view hex20, std::string& error);
    bool setAdminData(std::string_view hex40, std::string& error);
    void setVersion(std::string text) { m_version = std::move(text); }
    bool setProfileId(int zone, uint32_t id, std::string& error);
    bool appendEvent(std::string_view hex12, std::string& error);
    void setEvents(std::vector<std::string> events);
    /// The position of the next new event; at most the number of stored events.
    void setReadPointer(std::size_t position);
    void clearEvents();
    /// Reply `text` to `code` instead of its usual answer. A text that starts with "ACK"
    /// only replaces the acknowledgement; any other text refuses the command unchanged.
    void setReplyOverride(int code, std::string text);
    void clearReplyOverride(int code);

    const std::string& version() const { return m_version; }
    const std::string& inputs() const { return m_inputs; }
    const std::string& delays() const { return m_delays; }
    int detectorVoltageSwitch() const { return m_detectorVoltageSwitch; }
    /// Serial number and the four dates as command 51 returns them.
    std::string adminData() const;
    const std::string& outputWord() const { return m_outputWord; }
    uint32_t profileId(int zone) const { return m_profileIds.at(zone); }
    const std::vector<ProfileStep>& profileSteps(int zone) const { return m_profileSteps.at(zone); }
    bool testMode() const { return m_testMode; }
    int64_t clockOffsetSeconds() const { return m_clockOffsetSeconds; }
    std::size_t eventCount() const { return m_events.size(); }
    const std::vector<std::string>& events() const { return m_events; }
    std::size_t readPointer() const { return m_readPointer; }

    /// The step that one compiled profile byte stands for.
    static ProfileStep DecodeStep(uint8_t byte);

private:
    std::string answer(int command, std::string_view data, const TarnDateTime& pcNow);
    std::string setClock(std::string_view data, const TarnDateTime& pcNow);
    std::string logControl(std::string_view data);
    std::string setDelaysBlock(std::string_view data);
    std::string setAdminBlock(std::string_view data);
    std::string setOutputs(std::string_view data);
    std::string setProfileDefinition(std::string_view data);
    std::string setZoneProfile(std::string_view data);

    std::string m_version = "V2.07";
    int64_t m_clockOffsetSeconds = 0;
    std::string m_inputs;
    std::string m_delays;
    int m_detectorVoltageSwitch = 0;
    uint32_t m_serialNumber = 0;
    /// Manufactured, installed, last service, service before, as 8 hex digits each.
    std::array<std::string, 4> m_adminDates;
    std::string m_outputWord = "0000";
    std::array<uint32_t, kZones> m_profileIds{};
    std::array<std::vector<ProfileStep>, kZones> m_profileSteps;
    bool m_testMode = false;
    std::vector<std::string> m_events;
    std::size_t m_readPointer = 0;
    std::map<int, std::string> m_replyOverrides;
};
