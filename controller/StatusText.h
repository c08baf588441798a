#pragma once

#include "data/StatusReport.h"

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
    /// The record's profile names must already be settled.
    static StatusReport Report(const Tarn_Inputs& inputs);
};
