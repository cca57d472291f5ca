#include "toolkit/temporaryfile.h"

#include <cerrno>
#include <unistd.h>

namespace brix
{
TemporaryFile::TemporaryFile(const std::string& path)
    : mPath(path), mTemporaryPath(path + ".tmp"), mFile(std::fopen(mTemporaryPath.c_str(), "wb"))
{
}

TemporaryFile::~TemporaryFile()
{
    discard();
}

bool TemporaryFile::write(const void* data, std::size_t size)
{
    if (!mFile || mFailed)
        return false;
    if (size > 0 && std::fwrite(data, 1, size, mFile) != size)
        mFailed = true;
    return !mFailed;
}

bool TemporaryFile::commit()
{
    if (!mFile)
        return false;
    bool written = !mFailed && !std::ferror(mFile) && std::fflush(mFile) == 0 && ::fsync(::fileno(mFile)) == 0;
    int error = errno;
    if (std::fclose(mFile) != 0 && written)
    {
        written = false;
        error = errno;
    }
    mFile = nullptr;
    if (written && std::rename(mTemporaryPath.c_str(), mPath.c_str()) != 0)
    {
        written = false;
        mRenameFailed = true;
        error = errno;
    }
    if (!written)
    {
        std::remove(mTemporaryPath.c_str());
        errno = error;
    }
    return written;
}

void TemporaryFile::discard()
{
    if (!mFile)
        return;
    int error = errno;
    std::fclose(mFile);
    mFile = nullptr;
    std::remove(mTemporaryPath.c_str());
    errno = error;
}
}
