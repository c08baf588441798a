#include "controller/ControllerIdentity.h"

#include "controller/DisplayFormat.h"
#include "controller/StatusCycle.h"
#include "data/Tarn_Inputs.h"

ControllerIdentity ControllerIdentity::Of(const Tarn_Inputs& inputs)
{
    ControllerIdentity identity;
    identity.firmware = inputs.CPUVersion;
    if (inputs.CPUVersion >= StatusCycle::kAdminDataVersion && !inputs.SerialNumber.empty() &&
        inputs.SerialNumber != "0")
        identity.serialNumber = inputs.SerialNumber;
    return identity;
}

QString ControllerIdentity::Text() const
{
    if (!Known())
        return QStringLiteral("a Tarn that did not tell its firmware");
    if (!Proven())
        return ShortText();
    return QStringLiteral("serial %1, %2")
        .arg(QString::fromStdString(serialNumber), DisplayFormat::Version(firmware));
}

QString ControllerIdentity::ShortText() const
{
    if (Proven())
        return QStringLiteral("serial %1").arg(QString::fromStdString(serialNumber));
    if (!Known())
        return QStringLiteral("a Tarn that did not tell its firmware");
    return QStringLiteral("%1 without a serial number").arg(DisplayFormat::Version(firmware));
}
