#pragma once
#include <cstdio>
#include <string>

namespace brix
{
// Writes a file the safe way: everything goes to "<path>.tmp", and only commit() puts it in
// place, after it is on disk, by renaming it over the old file. Until then, and whenever
// something fails, the old file stays whole; an uncommitted temporary is removed.
class TemporaryFile
{
public:
    explicit TemporaryFile(const std::string& path);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // False when the temporary file could not be created; errno tells why.
    bool isOpen() const { return mFile != nullptr; }
    // The open temporary file, for writers that stream into it; null when not open.
    std::FILE* get() const { return mFile; }
    const std::string& getTemporaryPath() const { return mTemporaryPath; }

    // Appends bytes; false (and remembered) when they do not all reach the file.
    bool write(const void* data, std::size_t size);
    // Flushes, syncs, closes and renames over the target. False when any step or any
    // earlier write failed; errno then tells why, and the target is untouched.
    bool commit();
    // After a failed commit: true when the file was written whole but could not be renamed.
    bool renameFailed() const { return mRenameFailed; }

private:
    void discard();

    std::string mPath;
    std::string mTemporaryPath;
    std::FILE* mFile;
    bool mFailed = false;
    bool mRenameFailed = false;
};
}
