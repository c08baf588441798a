#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class HistoryArchive;
class QThread;

/// Stores an archive's records from a thread of its own, on a connection of its own: a server
/// that stops answering, a table another session locked or a server far away then holds no
/// call of the program's thread. The records are taken in the order they came, a batch of them
/// in one transaction; held, queued and said as the archive itself does (see HistoryArchive).
class ArchiveWriter : public QObject
{
    Q_OBJECT

public:
    /// A record as the archive stores it, run against the writer's own archive.
    using Record = std::function<bool(HistoryArchive&, QString&)>;
    /// A question to the writer's archive (a lookup that may create a record).
    using Question = std::function<QVariant(HistoryArchive&)>;
    /// The most records stored in one transaction.
    static constexpr int kBatchSize = 500;
    /// How often what the writer's archive holds is looked at while it holds records.
    static constexpr std::chrono::milliseconds kHeldCheckInterval{250};

    /// Opens a second archive like `archive` (its folder and database) in the writer's thread;
    /// its faults are said by `archive`.
    explicit ArchiveWriter(HistoryArchive& archive, const QString& program, const QString& folder,
                           const QString& database);
    /// Stores what was given (each held record tried once more) and ends the thread.
    ~ArchiveWriter() override;

    void Add(Record record);
    /// Records given and not yet taken by the writer's archive (stored, queued or held).
    int pending() const { return m_pending.load(); }
    /// Records the writer's archive holds until its database can take them.
    int held() const { return m_held.load(); }
    /// Records the writer's archive could neither store nor hold.
    int lost() const { return m_lost.load() + m_refused.load(); }
    bool queueing() const { return m_queueing.load(); }
    /// Asked to send its local queue, and not done yet.
    bool sending() const { return m_sending.load(); }
    /// Waits (blocking) up to `wait` until every record given is taken; true when they are.
    bool WaitTaken(std::chrono::milliseconds wait);
    /// Asks the writer's archive to store what it holds now, and to send its local queue when
    /// it has one.
    void Poke(bool sendQueue);
    /// Has the writer's archive answer `question` after the records given before it; told by
    /// `answered` under `number`.
    void Ask(quint64 number, Question question);

signals:
    /// Emitted from the writer's thread.
    void answered(quint64 number, const QVariant& answer);

private:
    void Take();
    void Note(HistoryArchive& archive);

    QThread* m_thread = nullptr;
    /// Lives in m_thread; owns the writer's archive.
    QObject* m_worker = nullptr;
    HistoryArchive* m_archive = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_taken;
    std::deque<Record> m_records;
    std::atomic<int> m_pending{0};
    std::atomic<int> m_held{0};
    std::atomic<int> m_lost{0};
    /// Records the database refused for what they hold (HistoryArchive::lostCount).
    std::atomic<int> m_refused{0};
    std::atomic<bool> m_queueing{false};
    std::atomic<bool> m_scheduled{false};
    std::atomic<bool> m_poked{false};
    std::atomic<bool> m_sending{false};
};
