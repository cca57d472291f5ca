#include "toolkit/file.h"
#include "toolkit/log.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace brix
{
namespace
{
std::string errorText(int error)
{
    char buffer[256];
    return strerror_r(error, buffer, sizeof(buffer));
}

const char* environment(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

// The current user's home folder: $HOME, else the password database.
std::string homeDirectory()
{
    if (const char* home = environment("HOME"))
        return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size : 16384);
    passwd entry;
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return std::string();
}

// Creates the directory and any missing folders above it.
bool createDirectories(const std::string& path)
{
    if (path.empty() || File::directoryExists(path))
        return !path.empty();
    std::string::size_type slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !createDirectories(path.substr(0, slash)))
        return false;
    return File::createDirectory(path);
}

// Opens the file for reading (never waiting on a pipe) and reads its status. An open
// failure, a directory included, is logged with the open message; a status failure with
// the caller's message.
bool statFile(const std::string& path, struct stat& status, const char* statusMessage)
{
    int handle = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0)
    {
        Log::error("Unable to open file '%s': %s", path.c_str(), errorText(errno).c_str());
        return false;
    }
    bool statted = fstat(handle, &status) == 0;
    int error = errno;
    close(handle);
    if (!statted)
    {
        Log::error(statusMessage, path.c_str(), errorText(error).c_str());
        return false;
    }
    if (S_ISDIR(status.st_mode))
    {
        Log::error("Unable to open file '%s': %s", path.c_str(), errorText(EISDIR).c_str());
        return false;
    }
    return true;
}
} // namespace

bool File::fileExists(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

bool File::directoryExists(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool File::createDirectory(const std::string& path)
{
    if (mkdir(path.c_str(), 0777) != 0)
    {
        Log::error("Directory (%s) creation failed: %s", path.c_str(), errorText(errno).c_str());
        return false;
    }
    return true;
}

bool File::deleteFile(const std::string& path)
{
    if (unlink(path.c_str()) != 0)
    {
        Log::error("File '%s' deletion failed: %s", path.c_str(), errorText(errno).c_str());
        return false;
    }
    return true;
}

bool File::renameFile(const std::string& oldPath, const std::string& newPath)
{
    if (rename(oldPath.c_str(), newPath.c_str()) != 0)
    {
        Log::error("File '%s' renaming to '%s' failed: %s", oldPath.c_str(), newPath.c_str(),
                   errorText(errno).c_str());
        return false;
    }
    return true;
}

std::uint64_t File::fileSize(const std::string& path)
{
    struct stat status;
    if (!statFile(path, status, "Unable to get size for file '%s': %s"))
        return 0;
    return static_cast<std::uint64_t>(status.st_size);
}

unsigned File::fileTime(const std::string& path)
{
    struct stat status;
    if (!statFile(path, status, "Unable to get last write time for file '%s': %s"))
        return 0;
    return static_cast<unsigned>(status.st_mtim.tv_sec);
}

std::string File::standardizePath(const std::string& path)
{
    std::string result = path;
    for (char& c : result)
        if (c == '\\')
            c = '/';
    std::string::size_type last = result.find_last_not_of('/');
    result.erase(last == std::string::npos ? 0 : last + 1);
    return result;
}

std::string File::filePath(const std::string& directory, const std::string& name)
{
    return directory.empty() ? name : directory + "/" + name;
}

std::string File::getUserDataDirectory(const std::string& applicationName, bool create)
{
    std::string directory;
    bool createParents = false;
    if (const char* overridden = std::getenv("BRIX_USER_DATA_DIR"))
        directory = overridden;
    else
    {
        // A relative XDG_DATA_HOME is invalid and ignored, as the XDG rules ask.
        std::string base;
        const char* dataHome = environment("XDG_DATA_HOME");
        if (dataHome && dataHome[0] == '/')
            base = dataHome;
        else
        {
            std::string home = homeDirectory();
            if (!home.empty())
                base = standardizePath(home) + "/.local/share";
        }
        if (!base.empty())
            directory = standardizePath(base) + "/" + applicationName;
        createParents = true;
    }

    if (directory.empty())
    {
        Log::error("Unable to determine user data directory");
        return directory;
    }
    directory = standardizePath(directory);
    if (create && !directoryExists(directory))
    {
        bool created = createParents ? createDirectories(directory) : createDirectory(directory);
        if (!created)
            return std::string();
    }
    return directory;
}
} // namespace brix
