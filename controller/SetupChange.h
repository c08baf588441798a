#pragma once

#include "data/SetupBlocks.h"
#include "history/HistoryArchive.h"

#include <QJsonObject>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class Tarn_Inputs;

/// A setup write the controller acknowledged, told as the fields it sets before and after
/// (JSON objects with the same keys). SetupUndo sends it back the other way.
class SetupChange
{
public:
    /// The field names of the delays block and of the administrative block in a change.
    static constexpr const char* kDelayKeys[] = {"detectorAlarm", "detectorReset", "manualAlarm",
                                                 "manualStop"};
    static constexpr const char* kAdminKeys[] = {"serialNumber", "manufactured", "installed",
                                                 "lastService", "serviceBefore"};
    /// The field name of a zone's `field` ("Message", "Outputs"): "zone1Message".
    static QString ZoneKey(const char* field, int zone);
    /// A change's before or after fields.
    static QJsonObject Fields(const QString& json);

    /// The record of an acknowledged command: false for a command that writes no setup.
    /// `before` is the status record as it stood when the write was sent.
    static bool Describe(int command, const std::string& data, const Tarn_Inputs& before,
                         int16_t voltageSwitch, ArchivedChange& change);
    /// Per zone, from a controller's changes in the order written: true where the last write
    /// was a profile number (104) that no acknowledged definition (102) followed.
    static std::array<bool, SetupBlocks::kZones>
    UnconfirmedDefinitions(const std::vector<ArchivedChange>& changes);
};
