#include "controller/HistoryRecorder.h"

#include "controller/SetupChange.h"
#include "data/Catalogues.h"
#include "data/EventLog.h"
#include "data/ProfileCompiler.h"
#include "data/SetupBlocks.h"
#include "data/TextNumbers.h"
#include "link/Tarn_Comm.h"
#include "protocol/CommandCodes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

} // namespace

HistoryRecorder::HistoryRecorder(HistoryArchive& archive, Tarn_Comm& link, QObject* parent)
    : QObject(parent), m_archive(archive), m_link(link)
{
    connect(&m_link, &Tarn_Comm::acknowledged, this, &HistoryRecorder::handleAcknowledged);
}

HistoryRecorder::~HistoryRecorder()
{
    if (m_held.empty() || !m_archive.isOpen())
        return;
    if (const std::optional<qint64> id = UnknownController())
        for (HeldEvent& held : m_held)
            Store(*id, std::move(held.event));
}

std::optional<qint64> HistoryRecorder::UnknownController()
{
    ControllerKey unknown;
    unknown.port = KeyOf(m_link).port;
    return m_archive.ControllerId(unknown);
}

void HistoryRecorder::Hold(ArchivedEvent event)
{
    m_held.push_back({std::move(event), m_link.LineFailures});
}

ControllerKey HistoryRecorder::KeyOf(const Tarn_Comm& link)
{
    ControllerKey key;
    key.firmware = link.Inputs.CPUVersion;
    key.port = QStringLiteral("COM%1").arg(link.CommPort);
    if (link.Inputs.CPUVersion >= kAdminDataVersion)
        key.serialNumber = Latin1(link.Inputs.SerialNumber);
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

std::optional<qint64> HistoryRecorder::Controller()
{
    if (!m_archive.isOpen() || m_link.Inputs.CPUVersion <= 0)
        return std::nullopt;
    return m_archive.ControllerId(KeyOf(m_link));
}

void HistoryRecorder::RecordEvent(const Tarn_Inputs& event, const std::string& raw)
{
    if (!m_archive.isOpen())
        return;
    ArchivedEvent stored;
    stored.raw = Latin1(raw);
    stored.eventTime = ToDateTime(event.LogTime);
    stored.code = LogEventCode(raw);
    stored.temperatureCelsius = event.LogTemperatureCelsius;
    stored.text = Latin1(event.LogText);
    stored.readAt = QDateTime::currentDateTimeUtc();
    const std::optional<qint64> id = m_link.IdentityStale ? std::nullopt : Controller();
    if (!id) {
        Hold(std::move(stored));
        return;
    }
    Store(*id, std::move(stored));
}

void HistoryRecorder::Store(qint64 controllerId, ArchivedEvent event)
{
    if (event.gap) {
        m_archive.StoreGap(controllerId, event.readAt);
        return;
    }
    // Since a rewind every stored event comes again, oldest first: the n-th time a reply comes
    // is its n-th occurrence. Otherwise each event is new to the archive.
    event.ordinal = m_rewound && *m_rewound == KeyOf(m_link) ? ++m_seenSinceRewind[event.raw] : 0;
    m_archive.StoreEvent(controllerId, event);
}

void HistoryRecorder::RecordLost()
{
    if (!m_archive.isOpen())
        return;
    ArchivedEvent gap;
    gap.gap = true;
    gap.readAt = QDateTime::currentDateTimeUtc();
    const std::optional<qint64> id = m_link.IdentityStale ? std::nullopt : Controller();
    if (!id) {
        Hold(std::move(gap));
        return;
    }
    Store(*id, std::move(gap));
}

void HistoryRecorder::RecordStatus()
{
    // A read whose version reply told nothing (a refusal) has not named the controller.
    if (m_link.IdentityStale)
        return;
    const std::optional<qint64> id = Controller();
    if (!id)
        return;
    // The events read while the controller was not known belong to this one, unless the line
    // failed after them: another controller may answer since. Those stay with the port.
    if (m_rewoundUnknown) {
        m_rewoundUnknown = false;
        m_rewound = KeyOf(m_link);
    }
    std::vector<HeldEvent> held;
    held.swap(m_held);
    std::optional<qint64> unknown;
    for (HeldEvent& event : held) {
        if (event.lineFailures == m_link.LineFailures)
            Store(*id, std::move(event.event));
        else if (unknown || (unknown = UnknownController()))
            Store(*unknown, std::move(event.event));
    }
    const QString json = StatusJson(m_link.Inputs, m_link.DetectorVoltageSwitch);
    if (m_lastStatus.value(*id) == json)
        return;
    if (m_archive.StoreStatus(*id, json))
        m_lastStatus.insert(*id, json);
}

void HistoryRecorder::handleAcknowledged(int command, const std::string& data)
{
    if (command == TarnCommand::LogControl && data == std::string(1, TarnCommand::LogRewind)) {
        m_rewoundUnknown = m_link.IdentityStale;
        m_rewound = KeyOf(m_link);
        m_seenSinceRewind.clear();
        return;
    }
    if (command == TarnCommand::LogControl && data == SetupBlocks::ClearLogData()) {
        m_rewound.reset();
        m_seenSinceRewind.clear();
    }
    ArchivedChange change;
    if (!SetupChange::Describe(command, data, m_link.Inputs, m_link.DetectorVoltageSwitch, change))
        return;
    const std::optional<qint64> id = Controller();
    if (!id)
        return;
    if (command == TarnCommand::SetZoneProfile)
        KeepDefinitionBefore(*id, change);
    change.writtenAt = QDateTime::currentDateTimeUtc();
    m_archive.StoreChange(*id, change);
}

void HistoryRecorder::KeepDefinitionBefore(qint64 controllerId, ArchivedChange& change)
{
    // The controller cannot be asked for a definition: the one the zone ran is the last one
    // written to it, as long as no profile number was written after it alone; without any,
    // the one the program writes for the profile it ran.
    QJsonObject before = SetupChange::Fields(change.beforeJson);
    const int zone = before.value(QStringLiteral("zone")).toInt();
    std::optional<QString> definition;
    bool known = true;
    for (const ArchivedChange& earlier : m_archive.Changes(controllerId)) {
        const QJsonObject after = SetupChange::Fields(earlier.afterJson);
        if (after.value(QStringLiteral("zone")).toInt() != zone)
            continue;
        if (earlier.command == TarnCommand::SetZoneProfile) {
            known = false;
        } else if (earlier.command == TarnCommand::SetProfileDefinition) {
            definition = after.value(QStringLiteral("definition")).toString();
            known = true;
        }
    }
    if (!definition && known) {
        const Tarn_Profile* profile =
            ProfileCatalogue.Find(DecimalText(before.value(QStringLiteral("profileId")).toInt()));
        const std::string compiled = profile ? CompileProfile(profile->Profile) : std::string();
        if (!compiled.empty() && SetupBlocks::CompiledLengthError(compiled).empty())
            definition = QString::fromLatin1(QByteArray::fromStdString(compiled).toHex());
    }
    if (!definition || !known)
        return;
    before.insert(QStringLiteral("definition"), *definition);
    change.beforeJson = QString::fromUtf8(QJsonDocument(before).toJson(QJsonDocument::Compact));
}
