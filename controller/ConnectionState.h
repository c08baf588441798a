#pragma once

#include <QString>

class Tarn_Comm;

/// The connection as the technician sees it at all times: the port, its device, the baud rate
/// and the state ("Connected — V2.07, serial 123456", "No answer since 08:21:12",
/// "Not open: Device /dev/ttyUSB0 does not exist").
class ConnectionState
{
public:
    static QString Text(const Tarn_Comm& link);
    /// The whole connection advice for the tool tip: the devices present, the group to join.
    static QString Advice(const Tarn_Comm& link);
    /// "1 - Device /dev/x does not exist" without the error number.
    static QString WithoutErrorNumber(const QString& errorText);
};
