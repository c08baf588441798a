#include "controller/RequestWait.h"

#include "protocol/CommandCodes.h"

#include <algorithm>

QString RequestWait::Subject(int command)
{
    switch (command) {
    case TarnCommand::ReadNextLogEvent:
        return QStringLiteral("the event-log read");
    case TarnCommand::ReadClock:
        return QStringLiteral("the clock read");
    case TarnCommand::ReadAdminData:
        return QStringLiteral("the administrative data read");
    case TarnCommand::ReadInputs:
        return QStringLiteral("the input scan");
    case TarnCommand::ReadZoneProfile:
        return QStringLiteral("the zone profile read");
    case TarnCommand::ReadDelays:
        return QStringLiteral("the delay read");
    case TarnCommand::ReadVersion:
        return QStringLiteral("the version read");
    case TarnCommand::SetClock:
        return QStringLiteral("the clock setting");
    case TarnCommand::LogControl:
        return QStringLiteral("the event-log command");
    case TarnCommand::SetDelays:
        return QStringLiteral("the delay setting");
    case TarnCommand::SetAdminData:
        return QStringLiteral("the administrative data setting");
    case TarnCommand::SetOutputs:
        return QStringLiteral("the outputs command");
    case TarnCommand::SetProfileDefinition:
        return QStringLiteral("the profile definition");
    case TarnCommand::SetZoneProfile:
        return QStringLiteral("the zone profile setting");
    case TarnCommand::EnterTestMode:
        return QStringLiteral("the test mode request");
    default:
        return QStringLiteral("the request");
    }
}

QString RequestWait::Text(const QString& subject, std::chrono::milliseconds waited)
{
    const auto seconds = std::max<long long>(1, (waited.count() + 500) / 1000);
    return QStringLiteral("Waiting for Tarn's reply to %1\u2026 %2 s").arg(subject).arg(seconds);
}
