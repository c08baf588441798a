#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

/// A small tmpfs of its own, for the tests of a full disk. Mounting needs root (as CI runs);
/// elsewhere mounted() is false and the test skips with skipReason().
class SmallDisk
{
public:
    static constexpr const char* kSize = "size=64k";

    explicit SmallDisk(const char* size = kSize) : m_size(size)
    {
        m_mounted =
            m_dir.isValid() && geteuid() == 0 &&
            ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, size) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    static const char* skipReason()
    {
        return "a full disk needs a tmpfs of its own, which only root may mount";
    }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    /// Mounts the disk again read-only, or writable; no file on it may be open for writing.
    bool setReadOnly(bool readOnly)
    {
        return m_mounted && ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs",
                                    MS_REMOUNT | (readOnly ? MS_RDONLY : 0), m_size) == 0;
    }

    /// Fills the disk with a file of its own until `free` bytes or fewer are left.
    bool fill(qint64 free = 0)
    {
        QFile filler(m_dir.filePath(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Append))
            return false;
        const QByteArray block(1024, 'x');
        while (freeBytes() > free && filler.write(block) == block.size() && filler.flush()) {
        }
        return freeBytes() <= free;
    }

    qint64 freeBytes() const
    {
        struct statvfs info
        {
        };
        if (statvfs(QFile::encodeName(m_dir.path()).constData(), &info) != 0)
            return -1;
        return static_cast<qint64>(info.f_bavail) * static_cast<qint64>(info.f_frsize);
    }

private:
    QTemporaryDir m_dir;
    const char* m_size;
    bool m_mounted = false;
};
