#pragma once

#include "link/PortFailure.h"

#include <QString>
#include <QStringList>

class SerialPort;

/// What the user can do about a device that would not open, in plain words; empty when there
/// is nothing to say (None, Other). `presentDevices` are the serial devices there now, named
/// for a missing device.
QString ConnectionAdvice(PortFailure failure, const QString& device,
                         const QStringList& presentDevices);

/// The advice for the last failure of `port`, with the serial devices present now.
QString ConnectionAdvice(const SerialPort& port);

/// The serial devices there now: those the system reports and the existing devices that
/// Tarn.INI at iniPath (or the built-in names) gives a port number, the latter followed by
/// " (COMn)".
QStringList PresentSerialDevices(const QString& iniPath);

/// Name of the group that owns `device`; empty when it cannot be found out.
QString DeviceGroup(const QString& device);
