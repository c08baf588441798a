#include "controller/HistoryRecorder.h"

#include "controller/ArchiveRead.h"
#include "controller/HistoryWords.h"
#include "controller/SetupChange.h"
#include "data/Catalogues.h"
#include "data/EventLog.h"
#include "data/ProfileCompiler.h"
#include "data/SetupBlocks.h"
#include "data/TextNumbers.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <utility>

namespace {

/// Firmware from which the controller reports its serial number.
constexpr double kAdminDataVersion = 2.07;

QDateTime ToDateTime(const TarnDateTime& value)
{
    if (value.IsZero())
        return QDateTime();
    // The controller's clock as it reads: marked UTC only so that nothing converts it.
    return QDateTime(QDate(value.Year(), value.Month(), value.Day()),
                     QTime(value.Hour(), value.Minute(), value.Second()), Qt::UTC);
}

QJsonValue Date(const TarnDateTime& value)
{
    const QDateTime time = ToDateTime(value);
    return time.isValid() ? QJsonValue(time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")))
                          : QJsonValue();
}

QJsonArray Bits(int count, const std::function<bool(int16_t)>& bit)
{
    QJsonArray bits;
    for (int16_t i = 0; i < count; ++i)
        bits.append(bit(i));
    return bits;
}

/// The compiled definition Tarn.INI gives a profile, as hex; none when it has no valid one.
std::optional<QString> CatalogueDefinition(int profileId)
{
    const Tarn_Profile* profile = ProfileCatalogue.Find(DecimalText(profileId));
    const std::string compiled = profile ? CompileProfile(profile->Profile) : std::string();
    if (compiled.empty() || !SetupBlocks::CompiledLengthError(compiled).empty())
        return std::nullopt;
    return QString::fromLatin1(QByteArray::fromStdString(compiled).toHex());
}

/// The recorder listening to each link, for what only the history knows about its controller.
QHash<const Tarn_Comm*, HistoryRecorder*>& Recorders()
{
    static QHash<const Tarn_Comm*, HistoryRecorder*> recorders;
    return recorders;
}

} // namespace

HistoryRecorder::HistoryRecorder(HistoryArchive& archive, Tarn_Comm& link, QObject* parent)
    : QObject(parent), m_archive(archive), m_link(link)
{
    connect(&m_link, &Tarn_Comm::acknowledged, this, &HistoryRecorder::handleAcknowledged);
    connect(&m_link, &Tarn_Comm::requestSent, this, &HistoryRecorder::handleRequestSent);
    connect(&m_link, &Tarn_Comm::linkStateChanged, this, &HistoryRecorder::handleLinkState);
    connect(&m_archive, &HistoryArchive::answered, this, &HistoryRecorder::handleAnswered);
    Recorders().insert(&m_link, this);
    // The records are stored beside the link, not in its way: a database that does not answer
    // holds no request, no output's off word, no signal.
    m_archive.StoreInBackground();
}

HistoryRecorder::~HistoryRecorder()
{
    if (Recorders().value(&m_link) == this)
        Recorders().remove(&m_link);
    if (!m_archive.isOpen())
        return;
    // Records whose controller's record was still being looked up: the writer's answers, or
    // looked up now (a record it was still making would otherwise be made twice).
    m_ending = true;
    if (m_weighing != 0 || !m_lookups.isEmpty())
        m_archive.AwaitAnswers();
    const QHash<quint64, ControllerKey> lookups = std::exchange(m_lookups, {});
    for (const ControllerKey& key : lookups)
        if (const std::optional<qint64> id = m_archive.ControllerId(key)) {
            m_ids.insert(key.serialNumber, *id);
            FileHeld(key.serialNumber, *id);
        }
    if (m_held.empty())
        return;
    if (!m_link.IdentityStale) {
        if (const std::optional<qint64> id = Controller(true)) {
            StoreHeld(*id);
            return;
        }
    }
    StoreHeld(std::nullopt);
}

ControllerKey HistoryRecorder::KeyOf(const Tarn_Comm& link)
{
    ControllerKey key;
    key.firmware = link.Inputs.CPUVersion;
    key.port = QStringLiteral("COM%1").arg(link.CommPort);
    if (link.Inputs.CPUVersion >= kAdminDataVersion)
        key.serialNumber = ControllerKey{Latin1(link.Inputs.SerialNumber), 0, {}}.SerialName();
    return key;
}

QString HistoryRecorder::StatusJson(const Tarn_Inputs& inputs, int16_t voltageSwitch)
{
    QJsonObject status;
    status.insert(QStringLiteral("version"), inputs.CPUVersion);
    status.insert(QStringLiteral("clock"), Date(inputs.CPUDateTime));
    status.insert(QStringLiteral("temperatureCelsius"), inputs.TemperatureCelsius);
    status.insert(QStringLiteral("delays"),
                  QJsonObject{{QStringLiteral("detectorAlarm"), inputs.DetectorAlarmDelay},
                              {QStringLiteral("detectorReset"), inputs.DetectorResetDelay},
                              {QStringLiteral("manualAlarm"), inputs.ManualAlarmDelay},
                              {QStringLiteral("manualStop"), inputs.ManualStopDelay},
                              {QStringLiteral("voltageSwitch"), voltageSwitch}});
    QJsonArray zones;
    for (int16_t z = 0; z < Tarn_Inputs::kZones; ++z)
        zones.append(QJsonObject{{QStringLiteral("profileId"), inputs.ProfileID(z)},
                                 {QStringLiteral("profileName"), Latin1(inputs.ProfileName(z))},
                                 {QStringLiteral("message"), inputs.Messages(z)},
                                 {QStringLiteral("outputs"), inputs.OutPuts(z)}});
    status.insert(QStringLiteral("zones"), zones);
    status.insert(
        QStringLiteral("inputs"),
        QJsonObject{
            {QStringLiteral("detectors"),
             Bits(Tarn_Inputs::kDetectors, [&](int16_t i) { return inputs.Detector(i); })},
            {QStringLiteral("manualReleases"),
             Bits(Tarn_Inputs::kManualTriggers,
                  [&](int16_t i) { return inputs.ManualTrigger(i); })},
            {QStringLiteral("universalIO"),
             Bits(Tarn_Inputs::kUniversalIOs, [&](int16_t i) { return inputs.UniversalIO(i); })}});
    if (inputs.CPUVersion >= kAdminDataVersion)
        status.insert(QStringLiteral("admin"),
                      QJsonObject{{QStringLiteral("serialNumber"), Latin1(inputs.SerialNumber)},
                                  {QStringLiteral("manufactured"), Date(inputs.Manufactured)},
                                  {QStringLiteral("installed"), Date(inputs.Installed)},
                                  {QStringLiteral("lastService"), Date(inputs.LastService)},
                                  {QStringLiteral("serviceBefore"), Date(inputs.LastService2)}});
    return QString::fromUtf8(QJsonDocument(status).toJson(QJsonDocument::Compact));
}

bool HistoryRecorder::Settle(std::chrono::milliseconds wait)
{
    const QDeadlineTimer deadline(wait);
    for (;;) {
        if ((!m_held.empty() || !m_heldStatus.isEmpty() || !m_heldChanges.empty()) &&
            m_archive.isOpen() && !m_link.IdentityStale)
            if (const std::optional<qint64> id = Controller(true))
                FileHeld(KeyOf(m_link).serialNumber, *id);
        // Events of a controller not known stay held: no wait tells which one sent them.
        if ((m_held.empty() && m_lookups.isEmpty() && m_weighing == 0 &&
             m_archive.Flush(std::chrono::milliseconds(0))) ||
            !m_archive.isOpen() || deadline.hasExpired() ||
            (!m_held.empty() && m_link.IdentityStale))
            break;
        QEventLoop pause;
        QTimer::singleShot(HistoryArchive::kLockedRetryInterval, &pause, &QEventLoop::quit);
        pause.exec();
    }
    // What was queued for a server that is back meanwhile goes to it before the program ends.
    if (m_held.empty() && m_archive.isQueueing())
        m_archive.Flush(qMin(kQueueSendTime, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 deadline.remainingTimeAsDuration())));
    m_unarchived += m_archive.heldCount();
    return unarchived() == 0;
}

void HistoryRecorder::NotKept()
{
    if (!m_archive.fault().isEmpty())
        ++m_unarchived;
}

void HistoryRecorder::RecordEvent(const Tarn_Inputs& event, const std::string& raw)
{
    if (!m_archive.isOpen()) {
        NotKept();
        return;
    }
    ArchivedEvent stored;
    stored.raw = Latin1(raw);
    stored.eventTime = ToDateTime(event.LogTime);
    stored.code = LogEventCode(raw);
    stored.temperatureCelsius = event.LogTemperatureCelsius;
    stored.text = Latin1(event.LogText);
    stored.readAt = QDateTime::currentDateTimeUtc();
    Hold(std::move(stored));
}

void HistoryRecorder::Hold(ArchivedEvent event)
{
    if (m_link.IdentityStale)
        ForgetUnnamed();
    const ControllerKey key = KeyOf(m_link);
    std::optional<ControllerKey> source;
    if (!m_link.IdentityStale && !key.serialNumber.isEmpty())
        source = key;
    m_held.push_back({std::move(event), m_link.LineFailures, key.serialNumber, source});
    const std::optional<qint64> id = m_link.IdentityStale ? std::nullopt : Controller(false);
    if (id)
        StoreHeld(*id);
}

void HistoryRecorder::Store(qint64 controllerId, ArchivedEvent event)
{
    if (event.gap) {
        if (!m_archive.StoreGap(controllerId, event.readAt) && !m_archive.fault().isEmpty())
            ++m_unarchived;
        return;
    }
    // The archive numbers it from where the controller's reading stands (MarkRewound).
    event.ordinal = 0;
    if (!m_archive.StoreEvent(controllerId, event) && !m_archive.fault().isEmpty())
        ++m_unarchived;
}

void HistoryRecorder::StoreHeld(std::optional<qint64> controllerId)
{
    // Its answer stores them (FileHeld): a record looked up here as well could be made twice.
    for (const HeldEvent& event : m_held)
        if (event.source && LookingUp(event.source->serialNumber))
            return;
    std::vector<HeldEvent> held;
    held.swap(m_held);
    const std::vector<HeldMark> marks = std::exchange(m_heldMarks, {});
    // What was read from the controller on the link since the line last failed, and what was
    // read before or from another controller.
    const QString serial = KeyOf(m_link).serialNumber;
    std::optional<qint64> now = controllerId;
    std::optional<qint64> before;
    // Events read from a controller known by its serial number go under its record, wherever
    // the link stands now.
    std::vector<std::optional<qint64>> own(held.size());
    std::vector<qint64> owners;
    for (size_t i = 0; i < held.size(); ++i) {
        if (held[i].lineFailures == m_link.LineFailures && held[i].serialNumber == serial)
            continue;
        own[i] = SourceController(held[i].source);
        if (own[i] && std::find(owners.begin(), owners.end(), *own[i]) == owners.end())
            owners.push_back(*own[i]);
    }
    auto mark = marks.begin();
    // Kept in every record in use: whoever answered may be either. A record made after a mark
    // holds nothing the mark could concern.
    const auto markUpTo = [&](size_t at) {
        for (; mark != marks.end() && mark->at <= at; ++mark) {
            std::vector<qint64> ids = owners;
            for (const std::optional<qint64>& id : {now, before})
                if (id && std::find(ids.begin(), ids.end(), *id) == ids.end())
                    ids.push_back(*id);
            for (const qint64 id : ids)
                mark->rewound ? m_archive.MarkRewound(id) : m_archive.MarkCleared(id);
        }
    };
    for (size_t i = 0; i < held.size(); ++i) {
        markUpTo(i);
        if (own[i]) {
            Store(*own[i], std::move(held[i].event));
            continue;
        }
        std::optional<qint64>& into =
            held[i].lineFailures == m_link.LineFailures && held[i].serialNumber == serial ? now
                                                                                          : before;
        if (into || (into = UnknownController()))
            Store(*into, std::move(held[i].event));
    }
    markUpTo(held.size());
}

bool HistoryRecorder::HoldsFrom(const QString& serialNumber) const
{
    return std::any_of(m_held.begin(), m_held.end(), [&](const HeldEvent& held) {
        return held.source && held.source->serialNumber == serialNumber;
    });
}

std::optional<qint64> HistoryRecorder::SourceController(const std::optional<ControllerKey>& source)
{
    if (!source)
        return std::nullopt;
    if (const auto known = m_ids.constFind(source->serialNumber); known != m_ids.constEnd())
        return *known;
    // Its record could not be looked up while it answered (the database locked): made now.
    const std::optional<qint64> id = m_archive.ControllerId(*source);
    if (id)
        m_ids.insert(source->serialNumber, *id);
    return id;
}

std::optional<qint64> HistoryRecorder::UnknownController()
{
    ControllerKey unknown;
    unknown.port = KeyOf(m_link).port;
    return m_archive.ControllerId(unknown);
}

void HistoryRecorder::RecordLost()
{
    if (!m_archive.isOpen()) {
        if (!m_archive.fault().isEmpty())
            ++m_unarchived;
        return;
    }
    ArchivedEvent gap;
    gap.gap = true;
    gap.readAt = QDateTime::currentDateTimeUtc();
    Hold(std::move(gap));
}

void HistoryRecorder::BeginFunctionTest(const QStringList& outputs)
{
    m_test = FunctionTest(outputs);
}

void HistoryRecorder::NoteInputsRead()
{
    m_test.NoteInputs(m_link.Inputs);
}

void HistoryRecorder::EndFunctionTest()
{
    if (!m_test.isRunning())
        return;
    ArchivedChange change = m_test.Finish();
    m_test = FunctionTest();
    if (!m_archive.isOpen()) {
        NotKept();
        return;
    }
    if (m_link.IdentityStale)
        return;
    if (const std::optional<qint64> id = Controller(true))
        FileChange(*id, -1, change);
    else if (const QString serial = KeyOf(m_link).serialNumber; LookingUp(serial))
        m_heldChanges.push_back({serial, -1, change});
    else
        NotKept();
}

void HistoryRecorder::RecordStatus()
{
    m_test.NoteInputs(m_link.Inputs);
    // A read whose version reply told nothing (a refusal) has not named the controller.
    if (m_link.IdentityStale)
        return;
    const QString json = StatusJson(m_link.Inputs, m_link.DetectorVoltageSwitch);
    const QString serial = KeyOf(m_link).serialNumber;
    const std::optional<qint64> id = Controller(true);
    if (!id) {
        if (LookingUp(serial))
            m_heldStatus.insert(serial, json);
        else
            NotKept();
        return;
    }
    // The events read while the controller was not known belong to this one (and a rewind
    // sent meanwhile).
    StoreHeld(*id);
    // Its last sighting (the record was found once for the run).
    if (!serial.isEmpty())
        m_archive.SeenController(*id, KeyOf(m_link));
    FileStatus(*id, json);
}

void HistoryRecorder::FileStatus(qint64 controllerId, const QString& json)
{
    if (m_lastStatus.value(controllerId) == json)
        return;
    if (m_archive.StoreStatus(controllerId, json))
        m_lastStatus.insert(controllerId, json);
}

bool HistoryRecorder::needsIdentity() const
{
    return !m_held.empty() && (m_link.IdentityStale || m_link.Inputs.CPUVersion <= 0 ||
                               !LookingUp(KeyOf(m_link).serialNumber));
}

void HistoryRecorder::FileHeld(const QString& serialNumber, qint64 controllerId)
{
    if (!m_link.IdentityStale && KeyOf(m_link).serialNumber == serialNumber)
        StoreHeld(controllerId);
    else if (!m_link.IdentityStale && HoldsFrom(serialNumber)) {
        // Held for this answer while another controller answers: stored with that one's.
        if (const std::optional<qint64> now = Controller(false))
            StoreHeld(*now);
    }
    if (const QString status = m_heldStatus.take(serialNumber); !status.isEmpty())
        FileStatus(controllerId, status);
    std::vector<HeldChange> changes;
    changes.swap(m_heldChanges);
    for (HeldChange& held : changes) {
        if (held.serialNumber == serialNumber)
            FileChange(controllerId, held.command, std::move(held.change));
        else
            m_heldChanges.push_back(std::move(held));
    }
}

void HistoryRecorder::handleLinkState()
{
    // Another controller may be on the cable once it is read again: one without a serial
    // number is then told apart afresh.
    if (m_link.IdentityStale)
        ForgetUnnamed();
}

void HistoryRecorder::handleRequestSent(int command, const std::string& data)
{
    if (command != TarnCommand::LogControl || data != std::string(1, TarnCommand::LogRewind) ||
        !m_archive.isOpen())
        return;
    // Kept in the archive as soon as it is sent: the controller may rewind though its answer is
    // lost, and any later run must know that its events come again.
    const std::optional<qint64> id =
        m_link.IdentityStale || !m_held.empty() ? std::nullopt : Controller(false);
    if (id)
        m_archive.MarkRewound(*id);
    else
        m_heldMarks.push_back({m_held.size(), true});
}

void HistoryRecorder::handleAcknowledged(int command, const std::string& data)
{
    if (command == TarnCommand::LogControl && data == std::string(1, TarnCommand::LogRewind))
        return;
    if (command == TarnCommand::LogControl && data == SetupBlocks::ClearLogData() &&
        !m_link.IdentityStale) {
        if (const std::optional<qint64> id = Controller(true)) {
            StoreHeld(*id);
            // Events still held (their record being looked up) were read before the clear.
            if (m_held.empty())
                m_archive.MarkCleared(*id);
            else
                m_heldMarks.push_back({m_held.size(), false});
        } else if (LookingUp(KeyOf(m_link).serialNumber)) {
            m_heldMarks.push_back({m_held.size(), false});
        }
    }
    ArchivedChange change;
    if (!SetupChange::Describe(command, data, m_link.Inputs, m_link.DetectorVoltageSwitch, change))
        return;
    change.summary = HistoryWords::ChangeText(change);
    // A write that changed nothing is no change: pressing Set again files no row.
    if (change.summary.isEmpty())
        return;
    change.writtenAt = QDateTime::currentDateTimeUtc();
    if (const std::optional<qint64> id = Controller(true))
        FileChange(*id, command, std::move(change));
    else if (const QString serial = KeyOf(m_link).serialNumber; LookingUp(serial))
        m_heldChanges.push_back({serial, command, std::move(change)});
    else
        NotKept();
}

void HistoryRecorder::FileChange(qint64 controllerId, int command, ArchivedChange change)
{
    const bool definition = command == TarnCommand::SetProfileDefinition;
    if (!definition && command != TarnCommand::SetZoneProfile) {
        StoreChange(controllerId, std::move(change));
        return;
    }
    const QJsonObject fields =
        SetupChange::Fields(definition ? change.afterJson : change.beforeJson);
    const int zone = fields.value(QStringLiteral("zone")).toInt();
    if (zone < 1 || zone > SetupBlocks::kZones) {
        StoreChange(controllerId, std::move(change));
        return;
    }
    // What the zone runs when the history knows no definition written to it: the one the
    // program writes for its profile (the catalogue is this thread's).
    const std::optional<QString> catalogue =
        CatalogueDefinition(definition ? m_link.Inputs.ProfileID(static_cast<int16_t>(zone - 1))
                                       : fields.value(QStringLiteral("profileId")).toInt());
    std::optional<SetupChange::WrittenDefinition>& known =
        m_zoneWrites[controllerId][std::size_t(zone - 1)];
    const std::optional<SetupChange::WrittenDefinition> before = known;
    // What the zone holds from now on, whatever the archive held before.
    if (definition)
        known = SetupChange::WrittenDefinition{
            fields.value(QStringLiteral("definition")).toString(), true};
    else
        known = SetupChange::WrittenDefinition{std::nullopt, false};
    if (before) {
        if (FileChangeAfter(*before, command, change, catalogue))
            StoreChange(controllerId, std::move(change));
        return;
    }
    // Decided from the changes filed in earlier runs, which the writer reads after those filed
    // before: a server that does not answer holds the writer, not this thread, which is inside
    // the link's signal here.
    const HistoryArchive::Question file = [controllerId, command, change, catalogue,
                                           zone](HistoryArchive& archive) {
        ArchivedChange filed = change;
        if (FileChangeAfter(SetupChange::LastDefinition(archive.Changes(controllerId), zone),
                            command, filed, catalogue))
            archive.StoreChange(controllerId, filed);
        return QVariant();
    };
    // Without a writer, filed at once.
    if (m_archive.Ask(file) == 0)
        file(m_archive);
}

void HistoryRecorder::StoreChange(qint64 controllerId, ArchivedChange change)
{
    // In order with the changes decided by the writer.
    if (m_archive.Ask([controllerId, change](HistoryArchive& archive) {
            archive.StoreChange(controllerId, change);
            return QVariant();
        }) == 0)
        m_archive.StoreChange(controllerId, change);
}

bool HistoryRecorder::FileChangeAfter(SetupChange::WrittenDefinition last, int command,
                                      ArchivedChange& change,
                                      const std::optional<QString>& catalogue)
{
    if (!last.confirmed)
        return true;
    // Never written by the program: the zone runs what Tarn.INI defines for its profile.
    if (!last.definition)
        last.definition = catalogue;
    if (command == TarnCommand::SetProfileDefinition)
        return last.definition !=
               SetupChange::Fields(change.afterJson).value(QStringLiteral("definition")).toString();
    // Kept with a zone's profile change, for its undo: the definition the zone ran before. The
    // controller cannot be asked for it: it is the last one written to the zone, as long as no
    // profile number was written after it alone.
    if (last.definition) {
        QJsonObject before = SetupChange::Fields(change.beforeJson);
        before.insert(QStringLiteral("definition"), *last.definition);
        change.beforeJson = QString::fromUtf8(QJsonDocument(before).toJson(QJsonDocument::Compact));
    }
    return true;
}

HistoryRecorder* HistoryRecorder::For(const Tarn_Comm& link)
{
    return Recorders().value(&link);
}

std::array<bool, SetupBlocks::kZones> HistoryRecorder::UnconfirmedDefinitions()
{
    const std::optional<qint64> id = ControllerNow();
    if (!id)
        return {};
    // Read by the writer, after the changes filed before: a server that does not answer holds
    // the writer, not this thread.
    std::array<bool, SetupBlocks::kZones> unconfirmed =
        SetupChange::UnconfirmedDefinitions(ArchiveRead::Read<std::vector<ArchivedChange>>(
            m_archive,
            [record = *id](HistoryArchive& archive) { return archive.Changes(record); }));
    // What this run wrote, also while it waits for the database.
    if (const auto known = m_zoneWrites.constFind(*id); known != m_zoneWrites.constEnd())
        for (std::size_t zone = 0; zone < unconfirmed.size(); ++zone)
            if ((*known)[zone])
                unconfirmed[zone] = !(*known)[zone]->confirmed;
    return unconfirmed;
}
