#include "link/ConnectionAdvice.h"

#include "link/PortNames.h"
#include "link/SerialPort.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

/// Name of the user running the program, for the command that adds it to a group.
QString UserName()
{
#ifdef Q_OS_UNIX
    if (const passwd* user = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(user->pw_name);
#endif
    const QString name = qEnvironmentVariable("USER");
    return name.isEmpty() ? QStringLiteral("$USER") : name;
}

} // namespace

QString ConnectionAdvice(PortFailure failure, const QString& device,
                         const QStringList& presentDevices)
{
    switch (failure) {
    case PortFailure::DeviceMissing:
        return QStringLiteral("%1 is not there: is the serial adapter plugged in and the "
                              "controller's cable connected? %2")
            .arg(device, presentDevices.isEmpty()
                             ? QStringLiteral("No serial device is present now.")
                             : QStringLiteral("Serial devices present now: %1.")
                                   .arg(presentDevices.join(QStringLiteral(", "))));
    case PortFailure::DeviceBusy:
        return QStringLiteral("Another program has %1 open (find it with: fuser -v %1). Close "
                              "that program, then try again.")
            .arg(device);
    case PortFailure::PermissionDenied: {
        const QString group = DeviceGroup(device);
        if (group.isEmpty() || group == QLatin1String("root"))
            return QStringLiteral("You may not use %1: ask the administrator for read and write "
                                  "access to it, then try again.")
                .arg(device);
        return QStringLiteral("You may not use %1: join the group \"%2\" that owns it (sudo "
                              "usermod -a -G %2 %3), then log out and log in again.")
            .arg(device, group, UserName());
    }
    case PortFailure::None:
    case PortFailure::Other:
        break;
    }
    return {};
}

QString ConnectionAdvice(const SerialPort& port)
{
    const PortFailure failure = port.failure();
    return ConnectionAdvice(failure, port.deviceName(),
                            failure == PortFailure::DeviceMissing
                                ? PresentSerialDevices(port.iniPath())
                                : QStringList());
}

QStringList PresentSerialDevices(const QString& iniPath)
{
    const std::string ini = iniPath.toLocal8Bit().toStdString();
    QStringList devices;
    QStringList canonical;
    QList<QStringList> ports;
    for (int port = 1; port <= kMaxCommPort; ++port) {
        const QString device = QString::fromLocal8Bit(PortDeviceName(port, ini));
        const QFileInfo info(device);
        if (!info.exists())
            continue;
        const QString name = QStringLiteral("COM%1").arg(port);
        const qsizetype known = canonical.indexOf(info.canonicalFilePath());
        if (known >= 0) {
            ports[known] << name;
            continue;
        }
        devices << device;
        canonical << info.canonicalFilePath();
        ports << QStringList{name};
    }
    for (qsizetype i = 0; i < devices.size(); ++i)
        devices[i] += QStringLiteral(" (%1)").arg(ports[i].join(QStringLiteral(", ")));
    for (const QSerialPortInfo& system : QSerialPortInfo::availablePorts()) {
        const QString path = QFileInfo(system.systemLocation()).canonicalFilePath();
        if (!path.isEmpty() && !canonical.contains(path)) {
            devices << system.systemLocation();
            canonical << path;
        }
    }
    return devices;
}

QString DeviceGroup(const QString& device)
{
#ifdef Q_OS_UNIX
    struct stat status = {};
    if (::stat(device.toLocal8Bit().constData(), &status) != 0)
        return {};
    if (const group* owner = ::getgrgid(status.st_gid))
        return QString::fromLocal8Bit(owner->gr_name);
#else
    (void)device;
#endif
    return {};
}
