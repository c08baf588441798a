#include "history/ArchiveWriter.h"

#include "history/HistoryArchivePrivate.h"

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

ArchiveWriter::ArchiveWriter(HistoryArchive& archive, const QString& program, const QString& folder,
                             const QString& database)
{
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("history writer"));
    m_worker = new QObject;
    m_worker->moveToThread(m_thread);
    m_thread->start();
    // The writer's archive is made, opened and closed in its thread: its connections, timers
    // and probes are that thread's.
    QMetaObject::invokeMethod(
        m_worker,
        [this, &archive, program, folder, database] {
            m_archive = new HistoryArchive(program, m_worker);
            // Said by `archive` while this is its writer (not once it was closed meanwhile).
            QObject::connect(m_archive, &HistoryArchive::faultChanged, &archive,
                             [this, &archive](const QString& fault) {
                                 if (archive.d->writer.get() == this)
                                     archive.d->setFault(fault);
                             });
            // While it holds records, what it holds is looked at again.
            auto* check = new QTimer(m_worker);
            check->setInterval(kHeldCheckInterval);
            QObject::connect(check, &QTimer::timeout, m_worker, [this, check] {
                Note(*m_archive);
                if (m_archive->heldCount() == 0)
                    check->stop();
            });
            QObject::connect(m_archive, &HistoryArchive::faultChanged, check,
                             qOverload<>(&QTimer::start));
            m_archive->Open(folder, database);
            Note(*m_archive);
        },
        Qt::QueuedConnection);
}

ArchiveWriter::~ArchiveWriter()
{
    QMetaObject::invokeMethod(
        m_worker,
        [this] {
            Take();
            m_archive->Close();
            Note(*m_archive);
            delete m_worker;
            m_worker = nullptr;
            m_archive = nullptr;
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    m_thread->wait();
    delete m_thread;
}

void ArchiveWriter::Add(Record record)
{
    {
        std::lock_guard lock(m_mutex);
        m_records.push_back(std::move(record));
        ++m_pending;
    }
    if (!m_scheduled.exchange(true))
        QMetaObject::invokeMethod(
            m_worker, [this] { Take(); }, Qt::QueuedConnection);
}

void ArchiveWriter::Take()
{
    m_scheduled = false;
    for (;;) {
        std::vector<Record> batch;
        {
            std::lock_guard lock(m_mutex);
            while (!m_records.empty() && batch.size() < size_t(kBatchSize)) {
                batch.push_back(std::move(m_records.front()));
                m_records.pop_front();
            }
        }
        if (batch.empty())
            break;
        const int lost = m_archive->d->keepAll(batch);
        m_lost += lost;
        Note(*m_archive);
        {
            std::lock_guard lock(m_mutex);
            m_pending -= int(batch.size());
        }
        m_taken.notify_all();
    }
}

void ArchiveWriter::Note(HistoryArchive& archive)
{
    m_held = archive.heldCount();
    m_queueing = archive.isQueueing();
    m_refused = archive.lostCount();
}

bool ArchiveWriter::WaitTaken(std::chrono::milliseconds wait)
{
    std::unique_lock lock(m_mutex);
    return m_taken.wait_for(lock, wait, [this] { return m_pending.load() == 0; });
}

void ArchiveWriter::Poke(bool sendQueue)
{
    if (sendQueue)
        m_sending = true;
    // One at a time: a writer waiting for its database is not asked again meanwhile.
    if (m_poked.exchange(true) && !sendQueue)
        return;
    QMetaObject::invokeMethod(
        m_worker,
        [this, sendQueue] {
            m_poked = false;
            Take();
            if (m_archive->heldCount() > 0)
                m_archive->d->storeHeld();
            if (sendQueue && m_archive->isQueueing() && m_archive->heldCount() == 0)
                m_archive->SendQueue();
            Note(*m_archive);
            if (sendQueue)
                m_sending = false;
        },
        Qt::QueuedConnection);
}

void ArchiveWriter::Ask(quint64 number, Question question)
{
    // Counted with the records: a query waiting for them reads what the answer created.
    ++m_pending;
    QMetaObject::invokeMethod(
        m_worker,
        [this, number, question = std::move(question)] {
            Take();
            const QVariant answer = question(*m_archive);
            Note(*m_archive);
            // Posted before it counts as taken: one that waited for it finds it.
            emit answered(number, answer);
            {
                std::lock_guard lock(m_mutex);
                --m_pending;
            }
            m_taken.notify_all();
        },
        Qt::QueuedConnection);
}
