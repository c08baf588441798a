#pragma once

#include <functional>
#include <string>

class Tarn_Comm;
class Tarn_Inputs;

/// One status read: version, clock, inputs, delays, the three zone profiles and, from firmware
/// 2.07, the administrative data, in this order, into the link's Inputs record.
class StatusCycle
{
public:
    /// Firmware from which the controller reports administrative data.
    static constexpr double kAdminDataVersion = 2.07;

    struct Hooks
    {
        /// After the version reply, before the other requests.
        std::function<void()> versionRead;
        /// Between two requests; false gives the read up.
        std::function<bool()> check;
        /// The event texts for the firmware could not be loaded from Tarn.INI.
        std::function<void(const std::string& errText)> catalogueError;
    };

    /// True when the read ran to its end (single requests after the version may have failed;
    /// the link has told why). False when the version request failed or a check gave up.
    /// The first time the version becomes known, the event texts for it are loaded.
    /// `complete`, when given, tells whether every request of the read was answered.
    static bool Read(Tarn_Comm& link, const std::string& iniPath, const Hooks& hooks,
                     bool* complete = nullptr);
    /// The version number in a reply to the version request (its first character is not part
    /// of the number).
    static double VersionFromReply(const std::string& data);
    /// The profile names of the record's profile numbers from the catalogue.
    static void SettleProfileNames(Tarn_Inputs& inputs);
};
