// The recorder's finding of the record of the controller on the link: by its serial number,
// or, without one, by the events it holds; asked of the archive's writer while the records wait.

#include "controller/HistoryRecorder.h"

#include "link/Tarn_Comm.h"

namespace {
/// Asks the archive's writer for the record of `key` (made when there is none): its id, or
/// nothing when the database could not say. 0 without a writer.
quint64 AskControllerId(HistoryArchive& archive, const ControllerKey& key)
{
    return archive.Ask([key](HistoryArchive& writers) {
        const std::optional<qint64> id = writers.ControllerId(key);
        return id ? QVariant(*id) : QVariant();
    });
}
} // namespace

std::optional<qint64> HistoryRecorder::Controller(bool decide)
{
    if (!m_archive.isOpen() || m_link.Inputs.CPUVersion <= 0)
        return std::nullopt;
    const ControllerKey key = KeyOf(m_link);
    if (!key.serialNumber.isEmpty()) {
        // Asked once per run: every event read would otherwise wait for the database.
        if (const auto known = m_ids.constFind(key.serialNumber); known != m_ids.constEnd())
            return *known;
        if (LookingUp(key.serialNumber))
            return std::nullopt;
        // By the writer: a server that does not answer now holds the records, not the program.
        if (!m_ending) {
            const quint64 asked = AskControllerId(m_archive, key);
            if (asked) {
                m_lookups.insert(asked, key);
                return std::nullopt;
            }
        }
        const std::optional<qint64> id = m_archive.ControllerId(key);
        if (id)
            m_ids.insert(key.serialNumber, *id);
        return id;
    }
    if (m_unnamed && m_unnamedFirmware == key.firmware)
        return m_unnamed;
    if (m_unnamedFirmware != key.firmware) {
        ForgetUnnamed();
        m_unnamedFirmware = key.firmware;
    }
    // Without a serial number the controller is told apart by its events: a record that holds
    // one of the events read is its own, unless another record holds one of them too.
    if (m_weighing != 0) {
        if (!m_ending) {
            m_decideWhenWeighed = m_decideWhenWeighed || decide;
            return std::nullopt;
        }
        // Weighed here instead: the writer's answer is not waited for.
        for (const QString& raw : std::exchange(m_weighingRaws, {}))
            m_weighed.remove(raw);
        m_weighing = 0;
        m_creating = false;
    }
    QStringList raws;
    for (const HeldEvent& held : m_held)
        if (const ArchivedEvent& event = held.event; !event.gap && !m_weighed.contains(event.raw)) {
            m_weighed.insert(event.raw);
            raws << event.raw;
        }
    if (!m_ending && (!raws.isEmpty() || !m_others)) {
        // By the writer: a server that does not answer holds the records, not the program.
        const double firmware = key.firmware;
        const bool askOthers = !m_others;
        const quint64 asked = m_archive.Ask([firmware, raws, askOthers](HistoryArchive& archive) {
            QVariantList evidence;
            for (const QString& raw : raws)
                for (const qint64 id : archive.UnnamedControllers(firmware, raw))
                    evidence << id;
            QVariantMap answer{{QStringLiteral("evidence"), evidence}};
            if (askOthers)
                answer.insert(QStringLiteral("others"),
                              !archive.UnnamedControllers(firmware).empty());
            return QVariant(answer);
        });
        if (asked != 0) {
            m_weighing = asked;
            m_weighingRaws = raws;
            m_decideWhenWeighed = decide;
            return std::nullopt;
        }
    }
    for (const QString& raw : raws)
        for (const qint64 id : m_archive.UnnamedControllers(key.firmware, raw))
            m_evidence.insert(id);
    return Weighed(key, decide);
}

std::optional<qint64> HistoryRecorder::Weighed(const ControllerKey& key, bool decide)
{
    if (m_evidence.size() == 1) {
        m_unnamed = *m_evidence.begin();
        m_archive.SeenController(*m_unnamed, key);
        return m_unnamed;
    }
    // Asked once per controller on the cable, not per event read.
    if (!m_others)
        m_others = !m_archive.UnnamedControllers(key.firmware).empty();
    const bool others = *m_others;
    if (others && !decide && m_evidence.empty())
        return std::nullopt;
    if (!m_ending) {
        // A new record, made by the writer too.
        const quint64 asked = AskControllerId(m_archive, key);
        if (asked != 0) {
            m_weighing = asked;
            m_creating = true;
            return std::nullopt;
        }
    }
    return NewUnnamed(key, m_archive.ControllerId(key), others);
}

std::optional<qint64> HistoryRecorder::NewUnnamed(const ControllerKey& key,
                                                  std::optional<qint64> id, bool others)
{
    m_unnamed = id;
    if (m_unnamed && others)
        emit notice(QStringLiteral("The controller on %1 (firmware %2) has no serial number, "
                                   "and its events do not tell which controller of the service "
                                   "history it is: its records go under a new record, number "
                                   "%3. Records of one controller can be merged (tarn history "
                                   "merge).")
                        .arg(key.port, QString::number(key.firmware, 'f', 2))
                        .arg(*m_unnamed));
    if (m_unnamed && others)
        emit unnamedUnsure(*m_unnamed);
    return m_unnamed;
}

void HistoryRecorder::Refiled(qint64 from, qint64 into)
{
    if (m_unnamed == from)
        m_unnamed = into;
    // What this run wrote to the zones of the record merged away is the other's now.
    if (const auto written = m_zoneWrites.constFind(from); written != m_zoneWrites.constEnd()) {
        m_zoneWrites.insert(into, *written);
        m_zoneWrites.remove(from);
    }
}

void HistoryRecorder::ForgetUnnamed()
{
    m_unnamed.reset();
    m_others.reset();
    // An answer still to come weighs for another controller.
    m_weighing = 0;
    m_weighingRaws.clear();
    m_decideWhenWeighed = false;
    m_creating = false;
    m_evidence.clear();
    m_weighed.clear();
}

void HistoryRecorder::Weighed(const QVariant& answer)
{
    m_weighing = 0;
    m_weighingRaws.clear();
    const bool decide = std::exchange(m_decideWhenWeighed, false);
    if (std::exchange(m_creating, false)) {
        if (!answer.isValid() || m_link.IdentityStale)
            return;
        const std::optional<qint64> id =
            NewUnnamed(KeyOf(m_link), answer.toLongLong(), m_others.value_or(false));
        if (id)
            FileHeld(QString(), *id);
        return;
    }
    const QVariantMap weighed = answer.toMap();
    for (const QVariant& id : weighed.value(QStringLiteral("evidence")).toList())
        m_evidence.insert(id.toLongLong());
    if (const QVariant others = weighed.value(QStringLiteral("others")); others.isValid())
        m_others = others.toBool();
    if (m_link.IdentityStale || !m_archive.isOpen())
        return;
    // What waited for the weighing: the events, and a status read or a write meanwhile.
    if (const std::optional<qint64> id = Controller(decide || m_heldStatus.contains(QString())))
        FileHeld(QString(), *id);
}

bool HistoryRecorder::LookingUp(const QString& serialNumber) const
{
    // One without a serial number: while the writer weighs its events.
    if (serialNumber.isEmpty())
        return m_weighing != 0;
    for (const ControllerKey& key : m_lookups)
        if (key.serialNumber == serialNumber)
            return true;
    return false;
}

void HistoryRecorder::handleAnswered(quint64 number, const QVariant& answer)
{
    if (number != 0 && number == m_weighing) {
        Weighed(answer);
        return;
    }
    const auto asked = m_lookups.constFind(number);
    if (asked == m_lookups.constEnd())
        return;
    const QString serial = asked->serialNumber;
    m_lookups.erase(asked);
    // Not found (the database could not say): asked again by the next record, or Settle.
    if (!answer.isValid())
        return;
    m_ids.insert(serial, answer.toLongLong());
    FileHeld(serial, answer.toLongLong());
}

std::optional<qint64> HistoryRecorder::ControllerNow()
{
    if (m_link.IdentityStale)
        return std::nullopt;
    const QString serial = KeyOf(m_link).serialNumber;
    // Nothing more is asked of the writer until the record is known.
    const bool ending = std::exchange(m_ending, true);
    // A record the writer may be making now: its answer, not a second record of this thread.
    if (LookingUp(serial))
        m_archive.AwaitAnswers();
    const bool waited = LookingUp(serial);
    // The writer's answer, when it comes, is not needed any more.
    for (auto it = m_lookups.begin(); it != m_lookups.end();)
        it = it->serialNumber == serial ? m_lookups.erase(it) : std::next(it);
    const std::optional<qint64> id = Controller(false);
    m_ending = ending;
    if (id && waited)
        FileHeld(serial, *id);
    return id;
}
