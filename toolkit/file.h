#pragma once
#include <cstdint>
#include <string>

namespace brix
{
// File-system helpers and the per-user data directory. Paths use "/" and carry no
// trailing "/". Failures of the changing operations are logged as errors; the queries
// fileExists and directoryExists never log.
class File
{
public:
    // True when something that is not a directory exists at the path.
    static bool fileExists(const std::string& path);
    static bool directoryExists(const std::string& path);
    // Creates one directory; its parent must exist.
    static bool createDirectory(const std::string& path);
    static bool deleteFile(const std::string& path);
    // Replaces a file already at the new path, so writers can rename a finished temporary
    // file over the old one.
    static bool renameFile(const std::string& oldPath, const std::string& newPath);
    // Size in bytes; 0 on failure.
    static std::uint64_t fileSize(const std::string& path);
    // Time of the last change in seconds since 1970-01-01 UTC (lower 32 bits, so it
    // wraps in 2106); 0 on failure.
    static unsigned fileTime(const std::string& path);

    // Turns every "\" into "/" and removes trailing "/" ("/" alone becomes empty).
    static std::string standardizePath(const std::string& path);
    // directory + "/" + name, or the name alone when the directory is empty.
    static std::string filePath(const std::string& directory, const std::string& name);

    // BRIX_USER_DATA_DIR when set (taken as it stands), else $XDG_DATA_HOME/<application>,
    // else ~/.local/share/<application>. With create set, a missing directory is created
    // (for the XDG forms with its missing parents). Empty when none can be found or made:
    // the caller then works without per-user files.
    static std::string getUserDataDirectory(const std::string& applicationName, bool create);

private:
    File() = delete;
};
} // namespace brix
