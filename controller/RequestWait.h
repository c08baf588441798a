#pragma once

#include <QString>

#include <chrono>

/// What the status line says while a request waits for its reply: what is waited for and how
/// long it has been.
class RequestWait
{
public:
    /// A wait shorter than this is not shown.
    static constexpr std::chrono::milliseconds kVisibleAfter{300};

    /// What a request with this command code is, as in "the clock read".
    static QString Subject(int command);
    /// "Waiting for Tarn's reply to `subject`… N s", N the whole seconds waited (at least 1).
    static QString Text(const QString& subject, std::chrono::milliseconds waited);
};
