#pragma once

#include "history/HistoryArchive.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class Tarn_Inputs;

/// What a service visit report is made of, gathered from the service history and, while a
/// controller is connected, from its last status read. Only what the controller gave is here:
/// the parts of the status the last read did not give are named in `notGiven`.
struct VisitFacts
{
    ControllerKey key;
    QString technician;
    QString company;
    QDateTime visitAt; ///< the PC's time, local
    /// The status as read (HistoryRecorder::StatusJson's object); empty when none was read.
    QJsonObject status;
    QDateTime statusReadAt; ///< UTC
    /// Parts of `status` the read did not give: "clock", "inputs", "delays", "zone1", "zone2",
    /// "zone3", "admin".
    QStringList notGiven;
    /// The status at the start of the visit, read before its first change (the last one of the
    /// visit before, when the visit read none); empty when the history holds none.
    QJsonObject setupAtStart;
    QDateTime setupReadAt; ///< UTC
    /// The setup writes of the visit, oldest first.
    std::vector<ArchivedChange> changes;
    /// The function tests of the visit (ArchivedChange::isFunctionTest), oldest first.
    std::vector<ArchivedChange> functionTests;
    /// The events of the report, oldest first: those first read during the visit, or all.
    std::vector<ArchivedEvent> events;
    bool allEvents = false;

    /// The visit of `controller` as the history holds it: the records up to
    /// HistoryArchive::kVisitLength before its last contact. False with `errText` when the
    /// archive cannot be read.
    static bool FromArchive(HistoryArchive& archive, const ArchivedController& controller,
                            bool allEvents, VisitFacts& facts, QString& errText);
    /// The status of the connected controller, as its last read gave it.
    static void TakeStatus(const Tarn_Inputs& inputs, int16_t voltageSwitch, VisitFacts& facts);
};
