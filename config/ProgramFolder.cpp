#include "config/ProgramFolder.h"
#include "config/AsciiText.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

std::string WithoutTrailingSeparators(std::string folder)
{
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
        folder.pop_back();
    return folder;
}

std::string ExecutablePath()
{
#ifdef _WIN32
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::string(buffer, length);
#else
    char buffer[PATH_MAX + 1] = {};
    const ssize_t length = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (length <= 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(length));
#endif
}

std::string& UserProgramFolder()
{
    static std::string folder;
    return folder;
}

bool TarnHomeSet()
{
    const char* home = std::getenv("TARN_HOME");
    return home && *home;
}

std::string ExecutableFolder()
{
    const std::string exe = ExecutablePath();
    if (!exe.empty()) {
        const std::string folder = fs::path(exe).parent_path().string();
        if (!folder.empty())
            return WithoutTrailingSeparators(folder);
    }
    std::error_code ec;
    return WithoutTrailingSeparators(fs::current_path(ec).string());
}

} // namespace

void SetUserProgramFolder(const std::string& folder)
{
    UserProgramFolder() = folder.empty() ? folder : WithoutTrailingSeparators(folder);
}

bool UsesUserProgramFolder()
{
    if (TarnHomeSet() || UserProgramFolder().empty())
        return false;
    return FindFileNoCase(ExecutableFolder(), kIniFileName).empty();
}

std::string ProgramFolder()
{
    if (TarnHomeSet())
        return WithoutTrailingSeparators(std::getenv("TARN_HOME"));
    if (UsesUserProgramFolder())
        return UserProgramFolder();
    return ExecutableFolder();
}

bool PrepareUserProgramFolder(const std::string& folder, const std::string& sampleIni,
                              std::string& errText)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec)) {
        errText = "Cannot create the folder " + folder + ": " + ec.message();
        return false;
    }
    if (!FindFileNoCase(folder, kIniFileName).empty())
        return true;
    // copy_file without overwrite fails rather than replace a file made meanwhile.
    const fs::path target = fs::path(folder) / kIniFileName;
    if (!fs::copy_file(sampleIni, target, fs::copy_options::none, ec)) {
        if (fs::exists(target))
            return true;
        errText = "Cannot copy " + sampleIni + " to " + target.string() + ": " + ec.message();
        return false;
    }
    // The sample may come read-only from a package; the user's copy is the user's to change.
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                    ec);
    return true;
}

std::string ProgramFile(const std::string& name)
{
    const std::string folder = ProgramFolder();
    // An existing file of the same name in other letter case is the same file, as it is
    // on the system the configuration files come from.
    const std::string existing = FindFileNoCase(folder, name);
    if (!existing.empty())
        return existing;
    return folder + kSeparator + name;
}

std::string FindFileNoCase(const std::string& folder, const std::string& name)
{
    std::error_code ec;
    const fs::path exact = fs::path(folder) / name;
    if (fs::is_regular_file(exact, ec))
        return folder + kSeparator + name;

    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (!it->is_regular_file(entryError))
            continue;
        const std::string candidate = it->path().filename().string();
        if (EqualNoCase(candidate, name))
            return folder + kSeparator + candidate;
    }
    return {};
}
