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

    /// True when this instance now holds the lock (kept until destruction).
    bool TryAcquire();
    QString lockPath() const { return m_lockPath; }

private:
    QString m_lockPath;
    std::unique_ptr<QLockFile> m_lock;
};
