#include "config/FileReplace.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string ErrnoText(int error)
{
    return std::generic_category().message(error);
}

long ProcessId()
{
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<long>(getpid());
#endif
}

/// False, with the reason, for a file the user may not write or that is marked read-only;
/// checked on the permission bits as well, so that read-only holds even for root.
bool MayWrite(const fs::path& file, std::string& errText)
{
    std::error_code ec;
    const auto status = fs::status(file, ec);
    if (ec || !fs::exists(status))
        return true;
    if (fs::is_directory(status)) {
        errText = ErrnoText(EISDIR);
        return false;
    }
    const bool writeBit = (status.permissions() & fs::perms::owner_write) != fs::perms::none;
#ifdef _WIN32
    const bool allowed = _access(file.string().c_str(), 2) == 0;
#else
    const bool allowed = access(file.c_str(), W_OK) == 0;
#endif
    if (!writeBit || !allowed) {
        errText = ErrnoText(EACCES);
        return false;
    }
    return true;
}

/// Opens `file` for writing: a new file only (none of that name may exist), or the file
/// itself, emptied. -1 with errno set when it cannot be opened.
int OpenForWriting(const fs::path& file, bool newFile)
{
#ifdef _WIN32
    const int flags = _O_WRONLY | _O_BINARY | _O_CREAT | (newFile ? _O_EXCL : _O_TRUNC);
    return _wopen(file.c_str(), flags, _S_IREAD | _S_IWRITE);
#else
    const int flags = O_WRONLY | O_CLOEXEC | O_CREAT | (newFile ? O_EXCL : O_TRUNC);
    return open(file.c_str(), flags, 0666);
#endif
}

/// Writes all of `bytes`, flushes them to the disk and closes `fd`, which it always does.
bool WriteSyncClose(int fd, std::string_view bytes, std::string& errText)
{
    int error = 0;
    while (!bytes.empty() && error == 0) {
#ifdef _WIN32
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1u << 30));
        const int written = _write(fd, bytes.data(), static_cast<unsigned>(chunk));
#else
        const ssize_t written = write(fd, bytes.data(), bytes.size());
#endif
        if (written > 0)
            bytes.remove_prefix(static_cast<std::size_t>(written));
        else if (written == 0)
            error = EIO;
        else if (errno != EINTR)
            error = errno;
    }
#ifdef _WIN32
    if (error == 0 && _commit(fd) != 0)
        error = errno;
    if (_close(fd) != 0 && error == 0)
        error = errno;
#else
    // A device or a pipe has no disk to flush to (EINVAL).
    if (error == 0 && fsync(fd) != 0 && errno != EINVAL)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
#endif
    if (error != 0) {
        errText = ErrnoText(error);
        return false;
    }
    return true;
}

/// Flushes the folder's entries to the disk, so that a rename in it survives a loss of power.
void SyncFolder(const fs::path& folder)
{
#ifndef _WIN32
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    // Some file systems cannot flush a folder; the rename itself is done.
    fsync(fd);
    close(fd);
#else
    (void)folder;
#endif
}

/// True when a file could not be created because the user may not write the folder, the
/// one case in which a file is rewritten in place.
bool FolderRefused(int error)
{
    return error == EACCES || error == EPERM;
}

bool RewriteInPlace(const fs::path& file, std::string_view bytes, std::string& errText)
{
    const int fd = OpenForWriting(file, false);
    if (fd < 0) {
        errText = ErrnoText(errno);
        return false;
    }
    return WriteSyncClose(fd, bytes, errText);
}

/// True for an existing target that is not a plain file (a device such as /dev/null, a
/// pipe): it is written, never replaced.
bool IsSpecialFile(const fs::path& target)
{
    std::error_code ec;
    const auto status = fs::status(target, ec);
    return !ec && fs::exists(status) && !fs::is_regular_file(status);
}

/// The file that a save to `path` writes: the target of a link; false when there is none.
bool ResolveTarget(const std::string& path, fs::path& target, std::string& errText)
{
    target = fs::path(path);
    std::error_code ec;
    if (!fs::is_symlink(target, ec))
        return true;
    const fs::path resolved = fs::canonical(target, ec);
    if (ec) {
        errText = ec.message();
        return false;
    }
    target = resolved;
    return true;
}

fs::path TemporaryName(const fs::path& target)
{
    static std::atomic<unsigned> counter{0};
    fs::path temp = target;
    temp += ".tmp" + std::to_string(ProcessId()) + "_" + std::to_string(counter++);
    return temp;
}

/// Gives `temp` the permissions and owner of `target`; false when the owner cannot be kept.
bool TakeOverAttributes(const fs::path& target, const fs::path& temp)
{
    std::error_code ec;
    const auto status = fs::status(target, ec);
    if (ec || !fs::exists(status))
        return true;
#ifndef _WIN32
    struct stat old
    {
    };
    if (stat(target.c_str(), &old) != 0)
        return false;
    struct stat made
    {
    };
    if (stat(temp.c_str(), &made) != 0)
        return false;
    if ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) &&
        chown(temp.c_str(), old.st_uid, old.st_gid) != 0)
        return false;
#endif
    fs::permissions(temp, status.permissions(), ec);
    return !ec;
}

} // namespace

bool ReplaceFileContent(const std::string& path, std::string_view bytes, std::string& errText)
{
    fs::path target;
    if (!ResolveTarget(path, target, errText) || !MayWrite(target, errText))
        return false;
    if (IsSpecialFile(target))
        return RewriteInPlace(target, bytes, errText);

    const fs::path temp = TemporaryName(target);
    const int fd = OpenForWriting(temp, true);
    if (fd < 0) {
        const int error = errno;
        if (FolderRefused(error))
            return RewriteInPlace(target, bytes, errText);
        errText = ErrnoText(error);
        return false;
    }
    std::error_code ec;
    if (!WriteSyncClose(fd, bytes, errText)) {
        fs::remove(temp, ec);
        return false;
    }
    if (TakeOverAttributes(target, temp)) {
        fs::rename(temp, target, ec);
        if (!ec) {
            SyncFolder(target.parent_path());
            return true;
        }
    }
    fs::remove(temp, ec);
    // The whole content could be written, but not made to look like the old file or put in
    // its place: the file itself is rewritten, which keeps its owner and permissions.
    return RewriteInPlace(target, bytes, errText);
}

bool CanReplaceFile(const std::string& path, std::string& errText)
{
    fs::path target;
    if (!ResolveTarget(path, target, errText) || !MayWrite(target, errText))
        return false;
    if (IsSpecialFile(target))
        return true;
    const fs::path temp = TemporaryName(target);
    const int fd = OpenForWriting(temp, true);
    if (fd >= 0) {
        std::string ignored;
        WriteSyncClose(fd, {}, ignored);
        std::error_code ec;
        fs::remove(temp, ec);
        return true;
    }
    const int error = errno;
    std::error_code ec;
    if (FolderRefused(error) && fs::exists(target, ec))
        return true;
    errText = ErrnoText(error);
    return false;
}
