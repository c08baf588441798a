#pragma once

#include <QString>

class Tarn_Comm;

/// The sentence across the top of the main window while the link is not working: what is
/// wrong, in one sentence, with what the technician can do about it.
class ConnectionBanner
{
public:
    enum class Problem
    {
        None,
        NotOpen,
        DeviceGone,
        NoAnswer
    };

    /// What is wrong with the link now; cheap, for every request.
    static Problem Of(const Tarn_Comm& link);
    /// The banner's sentence; empty while the link works. Looks at the serial devices present.
    static QString Text(const Tarn_Comm& link);
};
