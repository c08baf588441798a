#include "ui/main/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace {
constexpr int kHashChars = 16;
}

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

bool SingleInstance::TryAcquire()
{
    if (m_lock && m_lock->isLocked())
        return true;
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // A lock is stale only when its owner has gone, never because of its age.
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}
