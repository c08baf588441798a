#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

class QSerialPortInfo;

/// The device behind a port number and what the system reports about it now.
struct PortDevice
{
    int port = 0;
    QString device;
    bool present = false;
    /// The system's description of the device; empty when it has none.
    QString description;
    bool hasUsbIds = false;
    quint16 vendorId = 0;
    quint16 productId = 0;

    /// Port `port` through the [PORTS] section of the INI file at iniPath (see PortNames).
    static PortDevice Describe(int port, const QString& iniPath);
    /// The same with the serial ports that the system reports (QSerialPortInfo::availablePorts).
    static PortDevice Describe(int port, const QString& iniPath,
                               const QList<QSerialPortInfo>& systemPorts);

    /// "COMn", then " - " and the device, then whether it is present and what the system says
    /// about it, e.g. "COM1 - /dev/ttyUSB0 (present: FT232R USB UART, USB 0403:6001)".
    /// The port number reads from the fourth character on.
    QString itemText() const;
    /// The port number of an item text: the text from its fourth character on, read as a
    /// number ("COM3 - /dev/ttyUSB2 (not present)" gives 3); 0 when there is none.
    static int NumberOfItem(const QString& itemText);
};
