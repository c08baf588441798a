#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

class QThread;

/// Copies what an SQLite file's write-ahead log holds into the file now and then, in a thread
/// with a connection of its own, so that no store waits for it (a checkpoint waits for the
/// disk: milliseconds). Passive: it never holds a writer up.
class WalCheckpointer : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::seconds kInterval{2};

    explicit WalCheckpointer(QObject* parent = nullptr);
    ~WalCheckpointer() override;

    void Start(const QString& path);
    /// Stops, after a checkpoint under way.
    void Stop();
    /// Something was written: the next round checkpoints.
    void Wrote() { ++m_writes; }

private:
    void handleTick();
    void finishJob();

    QTimer m_timer;
    QThread* m_job = nullptr;
    QString m_path;
    quint64 m_writes = 0;
    quint64 m_checkpointed = 0;
};
