#pragma once

#include <QString>

#include <string>

class Tarn_Inputs;

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

    /// "serial 654321, V2.08", or "V2.06 without a serial number".
    QString Text() const;
    /// "serial 123456", or "V2.06 without a serial number".
    QString ShortText() const;
};
