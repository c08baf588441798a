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
        // A refusal gives none of the values asked for: they are not read, not zero.
        const bool ok = link.Send(command, data) && link.TarnData != TarnCommand::kRefusal;
        answered = answered && ok;
        return ok;
    };
    const auto check = [&hooks] { return !hooks.check || hooks.check(); };
    Tarn_Inputs& inputs = link.Inputs;
    ++inputs.ReadNumber;
    // Each part is marked as given by this read when its reply came.
    const auto given = [&inputs](Tarn_Inputs::Part part) {
        inputs.MarkGiven(part, TarnDateTime::Now());
    };

    if (!send(TarnCommand::ReadVersion))
        return false;
    const double version = VersionFromReply(link.TarnData);
    // A reply without a version leaves the read incomplete.
    answered = version > 0;
    // After the line was lost or the port opened again, or when the version is not the one
    // known, another controller may be on the cable: nothing read from the one before stays.
    if (version > 0 && (link.IdentityStale || version != inputs.CPUVersion)) {
        link.IdentityStale = false;
        inputs.StartAfresh();
        inputs.CPUVersion = version;
        std::string errText;
        if (!LoadEventCodes(version, iniPath, errText) && hooks.catalogueError)
            hooks.catalogueError(errText);
    }
    if (hooks.versionRead)
        hooks.versionRead();
    if (!check())
        return false;

    if (send(TarnCommand::ReadClock)) {
        inputs.CPUDateTime = ParseControllerClock(link.TarnData);
        given(Tarn_Inputs::Part::Clock);
    }
    if (!check())
        return false;
    if (send(TarnCommand::ReadInputs)) {
        inputs.ResolveInputs(link.TarnData);
        given(Tarn_Inputs::Part::Inputs);
    }
    if (!check())
        return false;
    if (send(TarnCommand::ReadDelays)) {
        inputs.ResolveDelays(link.TarnData);
        given(Tarn_Inputs::Part::Delays);
    }
    for (int16_t zone = 0; zone < Tarn_Inputs::kZones; ++zone) {
        if (!check())
            return false;
        if (send(TarnCommand::ReadZoneProfile, std::string(1, static_cast<char>(zone)))) {
            inputs.SetProfileID(zone, ParseProfileId(link.TarnData));
            given(
                static_cast<Tarn_Inputs::Part>(static_cast<int>(Tarn_Inputs::Part::Zone1) + zone));
        }
    }
    if (!check())
        return false;
    if (inputs.CPUVersion >= kAdminDataVersion && send(TarnCommand::ReadAdminData)) {
        inputs.ResolveAdminData(link.TarnData);
        given(Tarn_Inputs::Part::Admin);
    }
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
