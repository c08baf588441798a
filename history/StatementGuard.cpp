#include "history/StatementGuard.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <dlfcn.h>
#include <sys/socket.h>

namespace {

/// The socket of a libpq connection, or -1. libpq is loaded by Qt's PostgreSQL driver: its
/// PQsocket is looked up there rather than linked, so that the program needs no libpq of its own.
int SocketOf(const QString& connectionName)
{
    const QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (!db.isOpen() || db.driverName() != QLatin1String("QPSQL") || !db.driver())
        return -1;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return -1;
    void* const connection = *static_cast<void* const*>(handle.data());
    static const auto pqSocket = []() -> int (*)(const void*) {
        void* const library = dlopen("libpq.so.5", RTLD_NOW | RTLD_NOLOAD);
        return library ? reinterpret_cast<int (*)(const void*)>(dlsym(library, "PQsocket"))
                       : nullptr;
    }();
    return connection && pqSocket ? pqSocket(connection) : -1;
}

} // namespace

QString StatementGuard::Silence()
{
    return QStringLiteral("it did not answer within %1 s (stopped, or a table locked by another "
                          "session)")
        .arg(double(kLimit.count()) / 1000.0);
}

StatementGuard::StatementGuard(const QString& connectionName) : m_socket(SocketOf(connectionName))
{
    if (m_socket < 0)
        return;
    m_watch = std::thread([this] {
        std::unique_lock lock(m_mutex);
        if (m_done.wait_for(lock, kLimit, [this] { return m_returned; }))
            return;
        m_expired = true;
        ::shutdown(m_socket, SHUT_RDWR);
    });
}

StatementGuard::~StatementGuard()
{
    if (!m_watch.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_returned = true;
    }
    m_done.notify_one();
    m_watch.join();
}
