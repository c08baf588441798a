#pragma once

#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

/// Bounds the time one call may wait for a PostgreSQL server: libpq waits for an answer as long
/// as the connection stands, and a server whose processes are stopped (or a silent proxy) keeps
/// it standing for ever. When the call has not returned within kLimit, the connection's socket is
/// shut down from a thread of the guard's: the call fails at once, as after a lost connection,
/// and the archive goes on with its local queue. Nothing happens for SQLite or once the call
/// returned in time.
class StatementGuard
{
public:
    static constexpr std::chrono::milliseconds kLimit{1500};

    /// `connectionName`: the QSqlDatabase connection the call uses; guarded only when it is a
    /// PostgreSQL one whose socket can be found.
    explicit StatementGuard(const QString& connectionName);
    ~StatementGuard();
    StatementGuard(const StatementGuard&) = delete;
    StatementGuard& operator=(const StatementGuard&) = delete;

    /// The socket was shut down: the call ran out of time.
    bool expired() const { return m_expired; }
    /// Why a call that ran out of time failed, for messages.
    static QString Silence();

private:
    int m_socket = -1;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_returned = false;
    bool m_expired = false;
    std::thread m_watch;
};
