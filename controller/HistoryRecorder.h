#pragma once

#include "history/HistoryArchive.h"

#include <QHash>
#include <QObject>

#include <optional>
#include <string>
#include <vector>

class Tarn_Comm;
class Tarn_Inputs;

/// Feeds the archive from one link: the events as they are read, the status whenever it
/// changed, and every setup write the controller acknowledged. Does nothing while the archive
/// is not open; never sends a request of its own.
class HistoryRecorder : public QObject
{
    Q_OBJECT

public:
    HistoryRecorder(HistoryArchive& archive, Tarn_Comm& link, QObject* parent = nullptr);
    /// Events still held go under an unknown controller on the port: kept, not misfiled.
    ~HistoryRecorder() override;

    /// The controller on the link as the status record knows it.
    static ControllerKey KeyOf(const Tarn_Comm& link);
    /// The status values of the record as one JSON object (the clock under "clock").
    static QString StatusJson(const Tarn_Inputs& inputs, int16_t voltageSwitch);

    /// An event read (before it is listed anywhere). After a rewind the controller sends its
    /// stored events again: those already archived are recognised and not stored twice.
    /// While the link cannot tell which controller is on the cable (it was opened again, or a
    /// request went unanswered) the event is held until a status read tells.
    void RecordEvent(const Tarn_Inputs& event, const std::string& raw);
    /// An event lost to a damaged reply.
    void RecordLost();
    /// The status record after a complete status read; stored when it differs from the last
    /// one. The events held are stored under the controller it names.
    void RecordStatus();
    /// Events read while the controller on the cable was not known, not yet stored.
    bool hasHeld() const { return !m_held.empty(); }

    HistoryArchive& archive() { return m_archive; }

private:
    void handleAcknowledged(int command, const std::string& data);
    /// Keeps with a zone profile change the definition the zone ran before it, for its undo.
    void KeepDefinitionBefore(qint64 controllerId, ArchivedChange& change);
    std::optional<qint64> Controller();
    void Store(qint64 controllerId, ArchivedEvent event);
    void Hold(ArchivedEvent event);
    /// An unknown controller on the link's port, for events whose controller cannot be told.
    std::optional<qint64> UnknownController();

    HistoryArchive& m_archive;
    Tarn_Comm& m_link;
    /// Since a rewind, for the controller rewound: how often each raw reply came again.
    std::optional<ControllerKey> m_rewound;
    /// A rewind acknowledged while the controller was not known: it is the one the next
    /// status read names.
    bool m_rewoundUnknown = false;
    QHash<QString, int> m_seenSinceRewind;
    /// The last status stored, per controller: most reads change nothing.
    QHash<qint64, QString> m_lastStatus;
    /// An event read while the controller was not known, with the link's LineFailures then.
    struct HeldEvent
    {
        ArchivedEvent event;
        unsigned lineFailures = 0;
    };
    std::vector<HeldEvent> m_held;
};
