#include "controller/StatusCycle.h"

#include "data/Catalogues.h"
#include "data/DateCodec.h"
#include "data/TextNumbers.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

double StatusCycle::VersionFromReply(const std::string& data)
{
    return data.size() > 1 ? LeadingNumber(std::string_view(data).substr(1)) : 0.0;
}

bool StatusCycle::Read(Tarn_Comm& link, const std::string& iniPath, const Hooks& hooks,
                       bool* complete)
{
    bool answered = true;
    if (complete)
        *complete = false;
    // Each request of the read; whether it was answered is noted for `complete`.
    const auto send = [&](int command, const std::string& data = {}) {
        const bool ok = link.Send(command, data);
        answered = answered && ok;
        return ok;
    };
    const auto check = [&hooks] { return !hooks.check || hooks.check(); };
    Tarn_Inputs& inputs = link.Inputs;

    if (!send(TarnCommand::ReadVersion))
        return false;
    const double version = VersionFromReply(link.TarnData);
    // After the line was lost or the port opened again, or when the version is not the one
    // known, another controller may be on the cable: nothing read from the one before stays.
    if (version > 0 && (link.IdentityStale || version != inputs.CPUVersion)) {
        link.IdentityStale = false;
        inputs = Tarn_Inputs();
        inputs.CPUVersion = version;
        std::string errText;
        if (!LoadEventCodes(version, iniPath, errText) && hooks.catalogueError)
            hooks.catalogueError(errText);
    }
    if (hooks.versionRead)
        hooks.versionRead();
    if (!check())
        return false;

    if (send(TarnCommand::ReadClock))
        inputs.CPUDateTime = ParseControllerClock(link.TarnData);
    if (!check())
        return false;
    if (send(TarnCommand::ReadInputs))
        inputs.ResolveInputs(link.TarnData);
    if (!check())
        return false;
    if (send(TarnCommand::ReadDelays))
        inputs.ResolveDelays(link.TarnData);
    for (int16_t zone = 0; zone < Tarn_Inputs::kZones; ++zone) {
        if (!check())
            return false;
        if (send(TarnCommand::ReadZoneProfile, std::string(1, static_cast<char>(zone))))
            inputs.SetProfileID(zone, ParseProfileId(link.TarnData));
    }
    if (!check())
        return false;
    if (inputs.CPUVersion >= kAdminDataVersion && send(TarnCommand::ReadAdminData))
        inputs.ResolveAdminData(link.TarnData);
    SettleProfileNames(inputs);
    if (complete)
        *complete = answered;
    return true;
}

void StatusCycle::SettleProfileNames(Tarn_Inputs& inputs)
{
    for (int16_t zone = 0; zone < Tarn_Inputs::kZones; ++zone) {
        const std::string id = DecimalText(inputs.ProfileID(zone));
        const Tarn_Profile* profile = ProfileCatalogue.Find(id);
        inputs.SetProfileName(zone, profile ? profile->Name : "Unknown (" + id + ")");
    }
}
