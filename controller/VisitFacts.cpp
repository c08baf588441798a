#include "controller/VisitFacts.h"

#include "controller/HistoryRecorder.h"
#include "data/Tarn_Inputs.h"

#include <QJsonDocument>

namespace {

QJsonObject Object(const QString& json)
{
    return QJsonDocument::fromJson(json.toUtf8()).object();
}

} // namespace

bool VisitFacts::FromArchive(HistoryArchive& archive, const ArchivedController& controller,
                             bool allEvents, VisitFacts& facts, QString& errText)
{
    if (!archive.isOpen()) {
        errText = archive.fault().isEmpty() ? QStringLiteral("The history is not open.")
                                            : archive.fault();
        return false;
    }
    facts.key = controller.key;
    facts.allEvents = allEvents;
    const QDateTime visitStart = controller.lastSeen.addSecs(
        -std::chrono::duration_cast<std::chrono::seconds>(HistoryArchive::kVisitLength).count());
    const std::vector<ArchivedStatus> statuses = archive.Statuses(controller.id);
    facts.changes.clear();
    facts.functionTests.clear();
    for (ArchivedChange& change : archive.Changes(controller.id))
        if (change.writtenAt >= visitStart)
            (change.isFunctionTest() ? facts.functionTests : facts.changes)
                .push_back(std::move(change));
    // The setup as it was when the visit began: the first status of the visit, or the last
    // one before it when the visit read none before its first change.
    const QDateTime firstChange =
        facts.changes.empty() ? QDateTime() : facts.changes.front().writtenAt;
    const ArchivedStatus* start = nullptr;
    for (const ArchivedStatus& status : statuses) {
        if (status.readAt >= visitStart) {
            if (!firstChange.isValid() || status.readAt <= firstChange)
                start = &status;
            break;
        }
        start = &status;
    }
    if (start) {
        facts.setupAtStart = Object(start->valuesJson);
        facts.setupReadAt = start->readAt;
    }
    if (!statuses.empty()) {
        facts.status = Object(statuses.back().valuesJson);
        facts.statusReadAt = statuses.back().readAt;
        facts.notGiven.clear();
    }
    facts.events.clear();
    for (ArchivedEvent& event : archive.Events(controller.id))
        if (allEvents || event.readAt >= visitStart)
            facts.events.push_back(std::move(event));
    if (!archive.fault().isEmpty() && !archive.isOpen()) {
        errText = archive.fault();
        return false;
    }
    return true;
}

void VisitFacts::TakeStatus(const Tarn_Inputs& inputs, int16_t voltageSwitch, VisitFacts& facts)
{
    using Part = Tarn_Inputs::Part;
    facts.status =
        QJsonDocument::fromJson(HistoryRecorder::StatusJson(inputs, voltageSwitch).toUtf8())
            .object();
    facts.statusReadAt = QDateTime::currentDateTimeUtc();
    facts.notGiven.clear();
    const struct
    {
        Part part;
        const char* name;
    } parts[] = {{Part::Clock, "clock"}, {Part::Inputs, "inputs"}, {Part::Delays, "delays"},
                 {Part::Zone1, "zone1"}, {Part::Zone2, "zone2"},   {Part::Zone3, "zone3"},
                 {Part::Admin, "admin"}};
    for (const auto& [part, name] : parts)
        if (!inputs.GivenNow(part))
            facts.notGiven << QLatin1String(name);
}
