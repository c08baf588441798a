#include "controller/ControllerIdentity.h"

#include "controller/StatusCycle.h"
#include "data/Catalogues.h"
#include "data/Tarn_Inputs.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

ControllerIdentity ControllerIdentity::Of(const Tarn_Inputs& inputs)
{
    ControllerIdentity identity;
    identity.firmware = inputs.CPUVersion;
    if (inputs.CPUVersion >= StatusCycle::kAdminDataVersion && !inputs.SerialNumber.empty() &&
        inputs.SerialNumber != "0")
        identity.serialNumber = inputs.SerialNumber;
    return identity;
}

QString ControllerIdentity::Firmware() const
{
    return QStringLiteral("V%1").arg(firmware, 0, 'f', 2);
}

QString ControllerIdentity::Text() const
{
    if (!Known())
        return QStringLiteral("a Tarn that did not tell its firmware");
    if (!Proven())
        return ShortText();
    return QStringLiteral("serial %1, %2").arg(QString::fromStdString(serialNumber), Firmware());
}

QString ControllerIdentity::ShortText() const
{
    if (Proven())
        return QStringLiteral("serial %1").arg(QString::fromStdString(serialNumber));
    if (!Known())
        return QStringLiteral("a Tarn that did not tell its firmware");
    return QStringLiteral("%1 without a serial number").arg(Firmware());
}

bool ControllerIdentity::Read(Tarn_Comm& link, IdentityReading& reading)
{
    reading = IdentityReading();
    reading.wasStale = link.IdentityStale;
    QString& errText = reading.errText;
    ControllerIdentity& now = reading.now;
    const auto failed = [&link, &errText](const char* what) {
        const QString why = link.answered() && link.TarnData == TarnCommand::kRefusal
                                ? QStringLiteral("Tarn refused the request.")
                                : link.lastError();
        errText = QStringLiteral("Tarn could not be identified (%1): %2")
                      .arg(QLatin1String(what), why)
                      .trimmed();
        return false;
    };
    if (!link.Send(TarnCommand::ReadVersion))
        return failed("version");
    Tarn_Inputs fresh;
    fresh.CPUVersion = StatusCycle::VersionFromReply(link.TarnData);
    if (fresh.CPUVersion <= 0) {
        errText = QStringLiteral("Tarn could not be identified: its version reply tells no "
                                 "version.");
        return false;
    }
    if (fresh.CPUVersion >= StatusCycle::kAdminDataVersion) {
        if (!link.Send(TarnCommand::ReadAdminData) || link.TarnData == TarnCommand::kRefusal)
            return failed("serial number");
        fresh.ResolveAdminData(link.TarnData);
    }
    now = Of(fresh);

    Tarn_Inputs& record = link.Inputs;
    if (Of(record) != now || (reading.wasStale && !now.Proven())) {
        // Nothing read from the controller before stays in the record.
        const bool otherFirmware = record.CPUVersion != fresh.CPUVersion;
        record.StartAfresh();
        record.CPUVersion = fresh.CPUVersion;
        std::string catalogueError;
        if (otherFirmware &&
            !LoadEventCodes(fresh.CPUVersion, link.IniPath.toStdString(), catalogueError))
            reading.catalogueError = QString::fromStdString(catalogueError);
    }
    if (fresh.CPUVersion >= StatusCycle::kAdminDataVersion) {
        record.SerialNumber = fresh.SerialNumber;
        record.Manufactured = fresh.Manufactured;
        record.Installed = fresh.Installed;
        record.LastService = fresh.LastService;
        record.LastService2 = fresh.LastService2;
        record.MarkGiven(Tarn_Inputs::Part::Admin, TarnDateTime::Now());
    }
    // Who answers is known now, whatever the link could tell before.
    link.IdentityStale = false;
    return true;
}
