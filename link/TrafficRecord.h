#pragma once

#include <QMetaType>
#include <QString>

#include <cstdint>
#include <string>

/// One event on the line as the link saw it: a request frame sent, a frame received (with
/// what it meant), or a request that got no answer in time.
struct TrafficRecord
{
    enum class Kind
    {
        Sent,
        Ack,
        Reply,
        NotAcknowledged,
        CrcError,
        BadFrame,
        TimeOut
    };
    Kind kind = Kind::Sent;
    /// Milliseconds since the epoch.
    qint64 time = 0;
    int command = 0;
    std::string data;
    /// The checksum over the whole frame of a CRC error (0 for a sound frame).
    int checksum = 0;

    /// "02:20:01.123 > 64 '@' data=- text=\"\" sent": local time with milliseconds, direction
    /// (">" sent, "<" received, "!" no answer), command code and character, data as hex and
    /// as printable text ("." for the others), outcome.
    QString Line() const;
    /// The outcome word(s) at the end of the line.
    QString Outcome() const;
};

Q_DECLARE_METATYPE(TrafficRecord)
