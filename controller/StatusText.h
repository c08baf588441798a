#pragma once

#include "data/StatusReport.h"

#include <QString>

class Tarn_Inputs;

/// The status report made straight from a status record, as the status page shows it:
/// values in the user's locale (in the C locale where Latin-1 cannot write them), "###" for
/// the administrative fields of firmware that does not report them.
class StatusText
{
public:
    static constexpr const char* kNotRead = "###";
    /// Captions of the three zones' profile types.
    static const char* ProfileType(int zone);
    /// The record's profile names must already be settled. A value the controller never gave
    /// is "###".
    static StatusReport Report(const Tarn_Inputs& inputs);
    /// The values the last status read did not give, in words ("clock, zone 2 profile"), each
    /// with the time it was read before where it was; empty when the read gave them all.
    static QString NotReadNow(const Tarn_Inputs& inputs);
};
