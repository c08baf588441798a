#pragma once

#include <QString>

#include <string>

class Tarn_Comm;
class Tarn_Inputs;
struct IdentityReading;

/// Which controller answers, as far as it can tell: its firmware and, from firmware 2.07, its
/// serial number. A serial number of 0 is no serial number: a controller that was never given
/// one cannot be told from another such controller by it.
struct ControllerIdentity
{
    /// 0 while unknown.
    double firmware = 0;
    /// Decimal; empty when the controller has none.
    std::string serialNumber;

    static ControllerIdentity Of(const Tarn_Inputs& inputs);

    bool Known() const { return firmware > 0; }
    /// True when the serial number tells this controller from every other.
    bool Proven() const { return !serialNumber.empty(); }
    bool operator==(const ControllerIdentity& other) const = default;

    /// Asks who answers now: the version (64) and, from 2.07, the administrative data (51).
    /// The status record follows: when another controller answers than the one it holds (or
    /// the link could not tell and the controller has no serial number to prove it), it starts
    /// afresh with what was read, and the event texts of its firmware are loaded. False when a
    /// request failed or was refused.
    static bool Read(Tarn_Comm& link, IdentityReading& reading);

    /// "serial 654321, V2.08", or "V2.06 without a serial number".
    QString Text() const;
    /// "V2.08".
    QString Firmware() const;
    /// "serial 123456", or "V2.06 without a serial number".
    QString ShortText() const;
};

/// What ControllerIdentity::Read found.
struct IdentityReading
{
    /// Who answers.
    ControllerIdentity now;
    /// The link could not tell who was on the cable before.
    bool wasStale = false;
    /// Why the reading failed.
    QString errText;
    /// The event texts of another firmware could not be loaded from Tarn.INI.
    QString catalogueError;
};
