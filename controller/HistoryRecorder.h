#pragma once

#include "controller/FunctionTest.h"
#include "controller/SetupChange.h"
#include "data/SetupBlocks.h"
#include "history/HistoryArchive.h"

#include <QHash>
#include <QObject>
#include <QSet>

#include <chrono>

#include <array>
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

    /// An event read (before it is listed anywhere). After a rewind (kept in the archive when
    /// it is sent) the controller sends its stored events again: those already archived are
    /// recognised and not stored twice, also by a later run.
    /// While the link cannot tell which controller is on the cable (it was opened again, or a
    /// request went unanswered) the event is held until a status read tells.
    void RecordEvent(const Tarn_Inputs& event, const std::string& raw);
    /// An event lost to a damaged reply.
    void RecordLost();
    /// The status record after a complete status read; stored when it differs from the last
    /// one. The events held are stored under the controller it names.
    void RecordStatus();
    /// A function test began: `outputs` went on now (after their word was acknowledged).
    void BeginFunctionTest(const QStringList& outputs);
    /// The inputs of the record were read (a scan): kept with the running test, if any.
    /// A complete status read is noted by RecordStatus.
    void NoteInputsRead();
    /// The test's outputs went off now; it is filed later by EndFunctionTest (once the
    /// controller is known).
    void FunctionTestOff() { m_test.Stop(); }
    /// The test's outputs went off: called once their off word has gone out, it files the
    /// test under the controller on the link.
    void EndFunctionTest();
    bool functionTestRunning() const { return m_test.isRunning(); }
    /// Events read while the controller or its record was not known, not yet stored.
    bool hasHeld() const { return !m_held.empty(); }
    /// Events are held because nothing tells which controller sent them (not while only its
    /// record is being looked up): a status read would tell.
    bool needsIdentity() const;
    /// How long a program ending waits for the history to take what was read.
    static constexpr std::chrono::seconds kSettleTime{10};
    /// Of that, how long it gives a local queue to reach a server that is back.
    static constexpr std::chrono::milliseconds kQueueSendTime{5000};
    /// Stores what is held, waiting (the event loop running) up to `wait` for the controller's
    /// record and the database; true when everything read is archived (or queued for the
    /// server). False also when the history could not be used while events came.
    bool Settle(std::chrono::milliseconds wait);
    /// Records read and not archived (nor queued, nor held by the archive): lost to the history.
    int unarchived() const
    {
        return m_unarchived + int(m_held.size()) + int(m_heldStatus.size()) +
               int(m_heldChanges.size()) + m_archive.lostCount();
    }

    HistoryArchive& archive() { return m_archive; }
    /// The records of `from` were merged into `into`: what is read from now on goes there.
    void Refiled(qint64 from, qint64 into);

    /// The recorder of a link, if it has one.
    static HistoryRecorder* For(const Tarn_Comm& link);
    /// The zones of the controller on the link whose profile number was acknowledged without
    /// its definition (see SetupChange::UnconfirmedDefinitions); none while it is not known.
    std::array<bool, SetupBlocks::kZones> UnconfirmedDefinitions();

signals:
    /// Something the technician should know: a controller filed under a new record.
    void notice(const QString& text);
    /// A controller without a serial number was filed under the new record `recordId`, though
    /// records of other such controllers of its firmware exist: it may be one of them.
    void unnamedUnsure(qint64 recordId);

private:
    void handleAcknowledged(int command, const std::string& data);
    void handleRequestSent(int command, const std::string& data);
    void handleLinkState();
    void handleAnswered(quint64 number, const QVariant& answer);
    bool LookingUp(const QString& serialNumber) const;
    /// What waited for the record of the controller with this serial number, now known.
    void FileHeld(const QString& serialNumber, qint64 controllerId);
    void FileStatus(qint64 controllerId, const QString& json);
    /// `command` -1: a function test. Filed by the archive's writer, after the changes filed
    /// before it (see FileChangeAfter).
    void FileChange(qint64 controllerId, int command, ArchivedChange change);
    /// Given to the writer in turn with the changes it decides.
    void StoreChange(qint64 controllerId, ArchivedChange change);
    /// Whether `change` is filed after `last` was written to its zone (SetupChange::
    /// LastDefinition): a definition (102) equal to the one the zone runs is not; a zone profile
    /// change (104) gets the definition the zone ran before it. `catalogue`: the one the
    /// program writes for the profile concerned.
    static bool FileChangeAfter(SetupChange::WrittenDefinition last, int command,
                                ArchivedChange& change, const std::optional<QString>& catalogue);
    /// The record of the controller on the link. One without a serial number is found by its
    /// events; while they do not tell, nothing (the events stay held) unless `decide`, which
    /// gives it a new record and says so. One with a serial number is looked up by the
    /// archive's writer (nothing until it answers; the records wait) unless the recorder ends.
    std::optional<qint64> Controller(bool decide);
    /// The rest of Controller for one without a serial number, its events weighed.
    std::optional<qint64> Weighed(const ControllerKey& key, bool decide);
    /// The writer's answer: the events weighed, or the new record made.
    void Weighed(const QVariant& answer);
    /// The new record `id` of the controller without a serial number, said when `others` could
    /// have been it.
    std::optional<qint64> NewUnnamed(const ControllerKey& key, std::optional<qint64> id,
                                     bool others);
    /// The record of the controller on the link, looked up at once (on this thread) when the
    /// writer has not answered yet, what waited for it filed: for a read of its records.
    std::optional<qint64> ControllerNow();
    void ForgetUnnamed();
    /// A record that goes nowhere: lost to the history when it failed (not when switched off).
    void NotKept();
    void Store(qint64 controllerId, ArchivedEvent event);
    /// Holds an event or gap read under the link's controller and stores what is held as soon
    /// as that controller's record is known.
    void Hold(ArchivedEvent event);
    /// Stores the events held under `controllerId`, but those read before the line last failed
    /// or from a controller of another serial number: those read from a controller identified
    /// by its serial number go under its record; of the others another controller answers
    /// since, or may, so they go under an unknown one on the port. While the record of a
    /// controller they came from is being looked up, all stay held for its answer.
    /// Without `controllerId` the controller on the link is not known either: its events go
    /// under an unknown one of their own, made with the first of them.
    void StoreHeld(std::optional<qint64> controllerId);
    /// An unknown controller on the link's port, for events whose controller cannot be told.
    std::optional<qint64> UnknownController();
    /// The record of the controller a held event was read from, when the link had identified it
    /// by its serial number then.
    std::optional<qint64> SourceController(const std::optional<ControllerKey>& source);
    /// True when an event read from the controller of `serialNumber` is held.
    bool HoldsFrom(const QString& serialNumber) const;

    HistoryArchive& m_archive;
    Tarn_Comm& m_link;
    /// A rewind sent, or a log deletion acknowledged, while the controller's record was not
    /// known: after this many of the events held. Each is kept in the records the events
    /// around it go to.
    struct HeldMark
    {
        size_t at = 0;
        bool rewound = false;
    };
    std::vector<HeldMark> m_heldMarks;
    /// The lookups the archive's writer has not answered, by question number.
    QHash<quint64, ControllerKey> m_lookups;
    /// What waits for a record being looked up, by serial number: the last status read...
    QHash<QString, QString> m_heldStatus;
    /// ...and the setup writes acknowledged, in order.
    struct HeldChange
    {
        QString serialNumber;
        int command = 0;
        ArchivedChange change;
    };
    std::vector<HeldChange> m_heldChanges;
    /// The recorder is ending: records are looked up at once.
    bool m_ending = false;
    /// The last status stored, per controller: most reads change nothing.
    QHash<qint64, QString> m_lastStatus;
    /// An event read while the controller was not known, with the link's LineFailures and the
    /// serial number it knew then.
    struct HeldEvent
    {
        ArchivedEvent event;
        unsigned lineFailures = 0;
        QString serialNumber;
        /// The controller it was read from, when the link had identified it by its serial
        /// number.
        std::optional<ControllerKey> source;
    };
    std::vector<HeldEvent> m_held;
    /// The record chosen for the controller without a serial number on the link.
    std::optional<qint64> m_unnamed;
    double m_unnamedFirmware = 0;
    /// The records without a serial number holding an event read, and the replies looked up.
    QSet<qint64> m_evidence;
    QSet<QString> m_weighed;
    /// Whether records of other controllers without a serial number of its firmware exist.
    std::optional<bool> m_others;
    /// The writer's weighing of events not answered yet (its question number, 0 for none), the
    /// replies it weighs, and whether a record must be decided once it answers.
    quint64 m_weighing = 0;
    QStringList m_weighingRaws;
    bool m_decideWhenWeighed = false;
    /// The question is the making of its new record.
    bool m_creating = false;
    FunctionTest m_test;
    /// Events read that the history could not take.
    int m_unarchived = 0;
    /// The records of the controllers with a serial number, by that number, as found this run.
    QHash<QString, qint64> m_ids;
    /// Per record, what this run wrote to each zone last (a profile number, or a definition),
    /// as its changes in the archive would tell: known without reading them, also while they
    /// wait for the database.
    QHash<qint64, std::array<std::optional<SetupChange::WrittenDefinition>, SetupBlocks::kZones>>
        m_zoneWrites;
};
