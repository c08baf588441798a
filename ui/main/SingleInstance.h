#pragma once

#include <QString>

#include <memory>

class QLockFile;

/// Tells whether another instance of the program runs on the same program folder: a lock
/// file in the user's runtime folder, named after the program folder.
class SingleInstance
{
public:
    explicit SingleInstance(const QString& programFolder);
    ~SingleInstance();

    enum class Outcome
    {
        /// This instance now holds the lock (kept until destruction).
        Acquired,
        /// A running instance holds it.
        HeldByAnother,
        /// The lock could not be taken for another reason (see reason()): a folder that
        /// cannot be written, a stale lock of another user. That is no other instance.
        Unavailable
    };

    Outcome TryAcquire();
    /// Why the last TryAcquire gave Unavailable.
    QString reason() const { return m_reason; }
    QString lockPath() const { return m_lockPath; }

private:
    QString m_lockPath;
    QString m_reason;
    std::unique_ptr<QLockFile> m_lock;
};
