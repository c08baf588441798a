#include "ui/main/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#endif

namespace {
constexpr int kHashChars = 16;

/// True when the lock names no process, or a process of this machine that no longer exists.
bool OwnerHasEnded(const QLockFile& lock)
{
    qint64 pid = 0;
    QString host;
    QString application;
    if (!lock.getLockInfo(&pid, &host, &application) || pid <= 0)
        return true;
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        return false;
#ifdef Q_OS_UNIX
    // EPERM: the process exists but belongs to somebody else.
    return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
#else
    return false;
#endif
}
} // namespace

SingleInstance::SingleInstance(const QString& programFolder)
{
    QString folder;
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Without XDG_RUNTIME_DIR Qt warns and makes up a folder of its own; the temp folder serves.
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
#else
    folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
#endif
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::tempPath();
    const QByteArray hash =
        QCryptographicHash::hash(QDir::cleanPath(programFolder).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(kHashChars);
    m_lockPath = QDir(folder).filePath(QStringLiteral("tarnconf-%1.lock").arg(QLatin1String(hash)));
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Outcome SingleInstance::TryAcquire()
{
    m_reason.clear();
    if (m_lock && m_lock->isLocked())
        return Outcome::Acquired;
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // A lock is stale only when its owner has gone, never because of its age.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return Outcome::Acquired;
    switch (m_lock->error()) {
    case QLockFile::LockFailedError:
        if (OwnerHasEnded(*m_lock)) {
            m_reason = QStringLiteral("the lock file %1 names no running instance and cannot "
                                      "be removed")
                           .arg(m_lockPath);
            return Outcome::Unavailable;
        }
        return Outcome::HeldByAnother;
    case QLockFile::PermissionError:
        m_reason = QStringLiteral("the lock file %1 cannot be created (permission denied)")
                       .arg(m_lockPath);
        return Outcome::Unavailable;
    default:
        m_reason = QStringLiteral("the lock file %1 cannot be created").arg(m_lockPath);
        return Outcome::Unavailable;
    }
}
