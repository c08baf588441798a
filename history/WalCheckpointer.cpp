#include "history/WalCheckpointer.h"

#include "history/ArchiveConnection.h"

#include <QThread>

WalCheckpointer::WalCheckpointer(QObject* parent) : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &WalCheckpointer::handleTick);
}

WalCheckpointer::~WalCheckpointer()
{
    Stop();
}

void WalCheckpointer::Start(const QString& path)
{
    Stop();
    m_path = path;
    m_writes = m_checkpointed = 0;
    m_timer.start(kInterval);
}

void WalCheckpointer::Stop()
{
    m_timer.stop();
    finishJob();
}

void WalCheckpointer::finishJob()
{
    if (!m_job)
        return;
    m_job->wait();
    delete m_job;
    m_job = nullptr;
}

void WalCheckpointer::handleTick()
{
    if (m_job && !m_job->isFinished())
        return;
    finishJob();
    if (m_writes == m_checkpointed)
        return;
    m_checkpointed = m_writes;
    m_job = QThread::create([path = m_path] {
        ArchiveConnection db;
        QString ignored;
        if (db.OpenSqlite(path, std::chrono::milliseconds(0), ignored))
            db.Exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"), ignored);
    });
    m_job->start();
}
