#pragma once

#include "controller/FunctionTest.h"
#include "controller/VisitFacts.h"
#include "protocol/CommandCodes.h"

#include <QJsonDocument>

/// A visit of a known controller: a status with every part, a delay change, a held pump and a
/// timed test, and events.
inline VisitFacts KnownVisit(int events = 3)
{
    VisitFacts facts;
    facts.key = {QStringLiteral("123456"), 2.08, QStringLiteral("COM1")};
    facts.technician = QStringLiteral("Ann Smith");
    facts.company = QStringLiteral("Sprink & Co");
    facts.visitAt = QDateTime(QDate(2026, 12, 7), QTime(14, 30));
    facts.status = QJsonDocument::fromJson(
                       R"({"version":2.08,"clock":"2026-12-07T14:29:10","temperatureCelsius":21,
        "delays":{"detectorAlarm":45,"detectorReset":10,"manualAlarm":5,"manualStop":60,
        "voltageSwitch":0},
        "zones":[{"profileId":1,"profileName":"Continuous 10 min","message":1,"outputs":3},
                 {"profileId":5,"profileName":"Cooling 30 s","message":0,"outputs":10},
                 {"profileId":8,"profileName":"","message":2,"outputs":0}],
        "inputs":{"detectors":[true,false,false,false],"manualReleases":[false,false,true],
                  "universalIO":[false,false,false,false]},
        "admin":{"serialNumber":"123456","manufactured":"2019-03-14T00:00:00",
                 "installed":"2019-05-02T00:00:00","lastService":"2025-11-30T00:00:00",
                 "serviceBefore":null}})")
                       .object();
    facts.statusReadAt = QDateTime(QDate(2026, 12, 7), QTime(14, 29, 10), Qt::UTC);
    facts.setupAtStart = facts.status;
    QJsonObject delays = facts.setupAtStart.value(u"delays").toObject();
    delays.insert(QStringLiteral("detectorAlarm"), 30);
    facts.setupAtStart.insert(QStringLiteral("delays"), delays);
    facts.setupReadAt = QDateTime(QDate(2026, 12, 7), QTime(14, 2), Qt::UTC);
    ArchivedChange change;
    change.command = int(TarnCommand::SetDelays);
    change.writtenAt = QDateTime(QDate(2026, 12, 7), QTime(14, 20), Qt::UTC);
    change.beforeJson = QStringLiteral(R"({"detectorAlarm":30})");
    change.afterJson = QStringLiteral(R"({"detectorAlarm":45})");
    facts.changes.push_back(change);
    facts.functionTests.push_back(FunctionTest::Make(
        {QStringLiteral("Pump")}, QDateTime(QDate(2026, 12, 7), QTime(14, 10, 5), Qt::UTC), 4600,
        {QStringLiteral("Detector 1")}, true));
    facts.functionTests.push_back(FunctionTest::Make(
        {QStringLiteral("Pump"), QStringLiteral("Valve 1")},
        QDateTime(QDate(2026, 12, 7), QTime(14, 12), Qt::UTC), 65000, {}, false));
    for (int i = 0; i < events; ++i) {
        ArchivedEvent event;
        event.code = i % 2 ? 45 : 2;
        event.text =
            i % 2 ? QStringLiteral("Pump fault, no pressure") : QStringLiteral("Alarm detector 2");
        event.temperatureCelsius = 20 + i % 5;
        event.eventTime = QDateTime(QDate(2026, 11, 1), QTime(8, 0), Qt::UTC).addSecs(i * 60);
        facts.events.push_back(event);
    }
    return facts;
}
