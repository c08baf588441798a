#include "link/PortDevice.h"

#include "data/TextNumbers.h"
#include "link/PortNames.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStringList>

PortDevice PortDevice::Describe(int port, const QString& iniPath)
{
    return Describe(port, iniPath, QSerialPortInfo::availablePorts());
}

PortDevice PortDevice::Describe(int port, const QString& iniPath,
                                const QList<QSerialPortInfo>& systemPorts)
{
    PortDevice result;
    result.port = port;
    result.device =
        QString::fromLocal8Bit(PortDeviceName(port, iniPath.toLocal8Bit().toStdString()));
    QSerialPortInfo info;
#ifdef Q_OS_WIN
    for (const QSerialPortInfo& system : systemPorts) {
        if (system.portName().compare(result.device, Qt::CaseInsensitive) == 0)
            info = system;
    }
    result.present = !info.isNull();
#else
    const QFileInfo file(result.device);
    result.present = file.exists();
    if (!result.present)
        return result;
    // A name in /dev/serial/by-id is a link to the device that the system lists.
    const QString canonical = file.canonicalFilePath();
    for (const QSerialPortInfo& system : systemPorts) {
        if (QFileInfo(system.systemLocation()).canonicalFilePath() == canonical) {
            info = system;
            break;
        }
    }
#endif
    if (info.isNull())
        return result;
    result.description = info.description().trimmed();
    result.hasUsbIds = info.hasVendorIdentifier() && info.hasProductIdentifier();
    result.vendorId = info.vendorIdentifier();
    result.productId = info.productIdentifier();
    return result;
}

QString PortDevice::itemText() const
{
    const QString name = QStringLiteral("COM%1").arg(port);
    QString text = name;
    if (!device.isEmpty() && device != name)
        text += QStringLiteral(" - ") + device;
    if (!present)
        return text + QStringLiteral(" (not present)");
    QStringList known;
    if (!description.isEmpty())
        known << description;
    if (hasUsbIds)
        known << QStringLiteral("USB %1:%2")
                     .arg(vendorId, 4, 16, QLatin1Char('0'))
                     .arg(productId, 4, 16, QLatin1Char('0'));
    return text + (known.isEmpty() ? QStringLiteral(" (present)")
                                   : QStringLiteral(" (present: %1)").arg(known.join(u", ")));
}

int PortDevice::NumberOfItem(const QString& itemText)
{
    const QByteArray tail = itemText.mid(3).toLatin1();
    const double number = LeadingNumber(std::string_view(tail.constData(), tail.size()));
    return number >= 1 && number <= kMaxCommPort ? static_cast<int>(number) : 0;
}
