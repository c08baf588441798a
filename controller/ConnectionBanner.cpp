#include "controller/ConnectionBanner.h"

#include "controller/ConnectionState.h"
#include "link/ConnectionAdvice.h"
#include "link/SerialPort.h"
#include "link/Tarn_Comm.h"

namespace {

QString Present(const SerialPort& port)
{
    const QStringList devices = PresentSerialDevices(port.iniPath());
    return devices.isEmpty() ? QStringLiteral("No serial device is present now.")
                             : QStringLiteral("Serial devices present now: %1.")
                                   .arg(devices.join(QStringLiteral(", ")));
}

} // namespace

ConnectionBanner::Problem ConnectionBanner::Of(const Tarn_Comm& link)
{
    if (!link.isStarted())
        return Problem::NotOpen;
    if (link.isDeviceGone())
        return Problem::DeviceGone;
    if (link.isFailing())
        return Problem::NoAnswer;
    return Problem::None;
}

QString ConnectionBanner::Text(const Tarn_Comm& link)
{
    const Problem problem = Of(link);
    if (problem == Problem::None)
        return {};
    QString port = QStringLiteral("COM%1").arg(link.CommPort);
    const QString device = link.comm ? link.comm->deviceName() : QString();
    if (!device.isEmpty())
        port += QStringLiteral(" (%1)").arg(device);
    switch (problem) {
    case Problem::NotOpen: {
        if (!link.comm)
            return QStringLiteral("%1 is not open.").arg(port);
        switch (link.comm->failure()) {
        case PortFailure::DeviceMissing:
            return QStringLiteral("%1 does not exist. %2").arg(port, Present(*link.comm));
        case PortFailure::DeviceBusy:
        case PortFailure::PermissionDenied:
            return ConnectionAdvice(*link.comm);
        case PortFailure::None:
        case PortFailure::Other:
            break;
        }
        const QString why = ConnectionState::WithoutErrorNumber(link.comm->errorText());
        return why.isEmpty() ? QStringLiteral("%1 cannot be opened.").arg(port)
                             : QStringLiteral("%1 cannot be opened: %2.").arg(port, why);
    }
    case Problem::DeviceGone:
        return QStringLiteral("%1 has gone: is the adapter unplugged? %2")
            .arg(port, link.comm ? Present(*link.comm) : QString())
            .trimmed();
    case Problem::NoAnswer:
        return QStringLiteral("Tarn does not answer on %1: is it switched on, its cable plugged "
                              "in and the baud rate (%2) the controller's?")
            .arg(port, link.CommSettings.section(u',', 0, 0).trimmed());
    case Problem::None:
        break;
    }
    return {};
}
