#include "config/FileReplace.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <sys/stat.h>
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

bool WriteAll(const fs::path& file, std::string_view bytes, std::string& errText)
{
    errno = 0;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) {
        errText = ErrnoText(errno ? errno : EIO);
        return false;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    out.close();
    if (!out) {
        errText = ErrnoText(errno ? errno : EIO);
        return false;
    }
    return true;
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
    fs::path target(path);
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::canonical(target, ec);
        if (ec) {
            errText = ec.message();
            return false;
        }
        target = resolved;
    }
    if (!MayWrite(target, errText))
        return false;

    static std::atomic<unsigned> counter{0};
    fs::path temp = target;
    temp += ".tmp" + std::to_string(ProcessId()) + "_" + std::to_string(counter++);
    std::string tempError;
    bool replaced = false;
    if (WriteAll(temp, bytes, tempError)) {
        if (TakeOverAttributes(target, temp)) {
            fs::rename(temp, target, ec);
            replaced = !ec;
        }
        if (!replaced) {
            std::error_code ignored;
            fs::remove(temp, ignored);
        }
    } else {
        std::error_code ignored;
        fs::remove(temp, ignored);
    }
    if (replaced)
        return true;
    // No temporary file could be made or made to look like the old one: the file itself is
    // rewritten, which keeps its owner and permissions.
    return WriteAll(target, bytes, errText);
}
