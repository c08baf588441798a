#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

/// The controller a record belongs to. Only a serial number names it; firmware and port are
/// kept as last seen (the port is the adapter's: it tells nothing about the controller).
struct ControllerKey
{
    QString serialNumber; ///< empty when not known
    double firmware = 0;
    QString port;

    bool operator==(const ControllerKey&) const = default;
    /// The serial number that names a controller: "" when none is known or it is 0 (a
    /// controller never given one).
    QString SerialName() const
    {
        const QString serial = serialNumber.trimmed();
        for (const QChar c : serial)
            if (c != u'0')
                return serial;
        return QString();
    }
};

/// One controller as the archive knows it.
struct ArchivedController
{
    qint64 id = 0;
    ControllerKey key;
    QDateTime firstSeen; ///< UTC
    QDateTime lastSeen;  ///< UTC
    qint64 events = 0;   ///< events stored, gaps not counted
    /// What the technician calls it ("" when not named): how a record without a serial number
    /// is told apart in the lists.
    QString name;
};

/// One event read from a controller, or a gap (an event lost to a damaged reply).
struct ArchivedEvent
{
    qint64 id = 0;
    bool gap = false;
    /// The reply's data as received (Latin-1); empty for a gap.
    QString raw;
    /// Which occurrence of this same raw reply it is for its controller, from 1. Two events with
    /// the same raw reply (same second, code and temperature) are told apart by it; reading all
    /// events again gives each the ordinal it had, so nothing is stored twice.
    int ordinal = 1;
    /// Decoded at read time (the reply has no year; it is taken from the PC clock then).
    /// The controller's clock as the event shows it; marked UTC only so that it is never converted.
    QDateTime eventTime;
    int code = -1; ///< event code, -1 for a gap
    double temperatureCelsius = 0;
    QString text;     ///< the event's text at read time
    QDateTime readAt; ///< UTC
    QString program;  ///< "tarnconf" or "tarn"
};

/// The status values as read (the status page), whenever they differ from the last stored.
struct ArchivedStatus
{
    qint64 id = 0;
    QDateTime readAt; ///< UTC
    /// The values, as a JSON object text with stable key order (the clock is kept but not
    /// compared: see HistoryArchive::StoreStatus).
    QString valuesJson;
};

/// One setup write the controller acknowledged, or a function test of the outputs (command
/// kFunctionTest: nothing was written, it is never undone; see controller/FunctionTest).
struct ArchivedChange
{
    static constexpr int kFunctionTest = -1;

    qint64 id = 0;
    QDateTime writtenAt; ///< UTC
    QString program;
    int command = 0;    ///< the command code sent
    QString data;       ///< the command's data as sent (Latin-1)
    QString beforeJson; ///< the fields the write changes, as they were before (JSON object)
    QString afterJson;  ///< the same fields as written (JSON object)
    QString summary;    ///< one line for a person: "Delays: detector alarm 30 → 45"

    bool isFunctionTest() const { return command == kFunctionTest; }
};

/// One controller of the fleet: when it was last seen, its last service, and the alarms and
/// faults its last visit brought.
struct FleetEntry
{
    ArchivedController controller;
    /// The last service date the controller gave in its last status read; the controller's
    /// clock, marked UTC only so that it is never converted. Invalid when not known.
    QDateTime lastService;
    /// Alarm and fault events (EventKinds) first read during the last visit: the visit began
    /// with a contact more than HistoryArchive::kVisitLength after the one before began, and
    /// holds the events read from kVisitLength before its beginning on (ControllerSummary).
    int alarms = 0;
    int faults = 0;
};

/// A gap has no event time nor code: a filter on either leaves gaps out.
struct EventFilter
{
    /// Event time from and to (inclusive), compared with the event's own date and time as the
    /// controller's clock read them (no time zone; give them marked UTC). A day from its start
    /// is the day at 00:00:00, which every day has there.
    std::optional<QDateTime> since;
    std::optional<QDateTime> until;
    std::optional<int> code;
    bool withGaps = true;
};

/// The service history: every event, status and setup change kept per controller. An SQLite
/// file by default, or a PostgreSQL server (with a local SQLite queue while it cannot be
/// reached). When it cannot be opened, it says so once (fault()), and every later call returns
/// at once, false. Once open, records the database cannot take (locked, full) are held and
/// stored later; a lasting fault is said once.
class HistoryArchive : public QObject
{
    Q_OBJECT

public:
    static constexpr int kSchemaVersion = 5;
    /// The longest name a record may be given (Name).
    static constexpr int kMaxNameLength = 60;
    static constexpr const char* kFileName = "history.sqlite";
    /// How long one write waits for a database locked by another program (SQLite's busy
    /// time-out); the records are then held and tried again.
    static constexpr std::chrono::milliseconds kBusyTimeout{200};
    /// How often held records are tried again while the database is locked...
    static constexpr std::chrono::milliseconds kLockedRetryInterval{250};
    /// ...and after any other fault (a full disk, a server refusing).
    static constexpr std::chrono::seconds kFaultRetryInterval{5};
    /// How long a lock is waited for before it is said (a program busy with the file for a
    /// moment is no news).
    static constexpr std::chrono::seconds kLockPatience{2};
    /// The most records held while the database cannot take them; more are not kept.
    static constexpr int kMaxHeld = 100000;
    /// How often a server that could not be reached is tried again (and the queue sent).
    static constexpr std::chrono::seconds kServerRetryInterval{10};
    /// A visit: the readings up to this long before a controller's last contact.
    static constexpr std::chrono::hours kVisitLength{12};
    /// How long a query waits for the records given to the background writer before it
    /// (StoreInBackground): what it reads then includes them.
    static constexpr std::chrono::milliseconds kReadWait{2000};

    /// `program` names who writes ("tarnconf", "tarn"); it is stored with each record.
    explicit HistoryArchive(const QString& program, QObject* parent = nullptr);
    ~HistoryArchive() override;

    /// Opens the archive: `database` empty for the SQLite file `history.sqlite` in `folder`,
    /// or "postgresql://user@host[:port]/db" (a host that starts with "/" or "%2F" is a Unix
    /// socket folder; the password comes from PGPASSWORD or ~/.pgpass, never from here).
    /// Creates or migrates the schema. False, with fault() set, when it cannot be used; the
    /// program goes on without it. With a server that cannot be reached it opens the local
    /// queue instead, returns true and says so in fault().
    bool Open(const QString& folder, const QString& database = QString());
    /// Opens the archive for reading only: the SQLite file or the server is neither created,
    /// migrated nor written (the file may be read-only, or on read-only media), and nothing is
    /// queued. False, with fault() set, when there is none or it cannot be read.
    bool OpenForReading(const QString& folder, const QString& database = QString());
    void Close();
    bool isOpen() const;
    /// Why the archive is not used, or "" while all is well.
    QString fault() const;
    /// True while records go to the local queue because the server cannot be reached.
    bool isQueueing() const;
    /// From now on the records (events, gaps, statuses, changes, rewinds and clearings, last
    /// sightings) are stored by a writer in a thread of its own, on a connection of its own:
    /// the Store and Mark calls return at once (true: taken), and a database that does not
    /// answer or is locked holds no call of this thread. Queries first wait (up to kReadWait)
    /// for the records given before them. Ends with Close. False when the archive is not open
    /// for writing.
    bool StoreInBackground();
    /// Records the background writer could neither store nor hold, and records the database
    /// refused for what they hold (lost to the history).
    int lostCount() const;

    /// The controller's id: with a serial number, the record of that number (created on first
    /// sight, last seen updated); without one, always a new record (see UnnamedControllers).
    /// While queueing, a controller the server has not given an id yet gets a negative one (its
    /// row in the local file); every call takes both kinds, also after the server is back.
    std::optional<qint64> ControllerId(const ControllerKey& key);
    /// A question for the database that may take its time (ControllerId, a lookup).
    using Question = std::function<QVariant(HistoryArchive&)>;
    /// With a background writer, `question` is answered in its thread, against its archive,
    /// after the records given before it: `answered` tells the answer under the number returned.
    /// 0 without one: ask this archive at once.
    quint64 Ask(Question question);
    /// Waits (up to kReadWait) for the answers to the questions asked so far and tells them
    /// (`answered`) before it returns: for one that ends and must not leave them half done.
    void AwaitAnswers();

    /// Stores an event as it arrives. With `ordinal` 0 the archive gives it its ordinal from
    /// where the controller's reading stands (see MarkRewound): after a rewind the n-th time a
    /// reply comes again is its n-th occurrence since the log was last cleared; otherwise the
    /// next ordinal for this raw reply (a new event). With another ordinal the event is stored
    /// unless that ordinal is stored already. Returns false when neither stored nor held;
    /// `duplicate` (when given) tells that it was stored already (never with a background writer).
    bool StoreEvent(qint64 controllerId, ArchivedEvent event, bool* duplicate = nullptr);
    /// A rewind of the controller's log was sent (acknowledged or not: the controller may have
    /// acted on it): from now on, and in every later run, each stored event it sends again is
    /// known, until its log is cleared. Kept in the archive.
    bool MarkRewound(qint64 controllerId);
    /// The controller's log was cleared: the events it stores from now on are new, also those
    /// equal to one archived before.
    bool MarkCleared(qint64 controllerId);
    /// How many events with this raw reply the controller has stored.
    int StoredCount(qint64 controllerId, const QString& raw);
    bool StoreGap(qint64 controllerId, const QDateTime& readAt);
    /// Stores the status unless it equals the last one stored for the controller, the clock
    /// ("clock" key) left out of the comparison. `stored` tells which happened.
    bool StoreStatus(qint64 controllerId, const QString& valuesJson, bool* stored = nullptr);
    bool StoreChange(qint64 controllerId, const ArchivedChange& change);

    /// The records without a serial number of controllers with this firmware, oldest first;
    /// with `raw`, only those holding an event with that reply.
    std::vector<qint64> UnnamedControllers(double firmware, const QString& raw = QString());
    /// Updates the firmware, port and last sighting of a record chosen for a controller.
    bool SeenController(qint64 controllerId, const ControllerKey& key);
    /// Files the records of `fromId` under `intoId` and removes `fromId`: the same controller.
    /// An event both hold is kept once. Two different serial numbers are refused.
    bool Merge(qint64 intoId, qint64 fromId, QString& errText);
    std::optional<ArchivedController> ControllerById(qint64 controllerId);
    /// Gives the record a name (trimmed; "" takes it away). A name another record has, one of
    /// more than kMaxNameLength characters or with a control character is refused; on a server,
    /// only while it can be reached.
    bool Name(qint64 controllerId, const QString& name, QString& errText);

    /// While queueing, the queries answer from the local file: the controllers seen (negative
    /// ids) and what waits in the queue for them.
    std::vector<ArchivedController> Controllers();
    std::optional<ArchivedController> FindController(const QString& serialNumber);
    /// Events in reading order (oldest stored first).
    std::vector<ArchivedEvent> Events(qint64 controllerId, const EventFilter& filter = {});
    std::vector<ArchivedStatus> Statuses(qint64 controllerId);
    std::vector<ArchivedChange> Changes(qint64 controllerId);
    /// Every controller with its last service and what its last visit brought, in the order
    /// they were first seen (HistoryArchiveFleet.cpp).
    std::vector<FleetEntry> Fleet();

    /// Records held while the database could not take them (a lock, a full disk): stored in
    /// order once it can, tried again every kLockedRetryInterval or kFaultRetryInterval. With
    /// a background writer, also those it has not stored yet.
    int heldCount() const;
    /// Stores what is held, waiting (the event loop running) up to `wait` for the database;
    /// true when nothing is held any more. With a background writer, waits for it, and has it
    /// send its local queue when the server is back meanwhile.
    bool Flush(std::chrono::milliseconds wait);

    /// Sends what was queued while the server could not be reached; true when the queue is
    /// empty afterwards. Called by the archive itself once the server answers again (tried in
    /// a thread of its own every kServerRetryInterval).
    bool SendQueue();

signals:
    /// The archive stopped being usable, or the server became unreachable or reachable again:
    /// fault() tells what. Emitted once per change, not per failed call.
    void faultChanged(const QString& fault);
    /// The answer to a question given to Ask.
    void answered(quint64 number, const QVariant& answer);

private:
    friend class ArchiveWriter;
    class Private;
    Private* d;
};
