#pragma once
#include "support/tempdir.h"

#include <string>

namespace test
{
// Makes a fresh temporary folder the working folder for the life of the object, for code that
// reads files by relative paths; the previous working folder comes back afterwards.
class WorkingFolder
{
public:
    WorkingFolder();
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    const std::string& path() const { return mDir.path(); }
    // Writes a file at a path relative to the folder, making its folders first.
    void write(const std::string& relative, const std::string& content) const;

private:
    TempDir mDir;
    std::string mPrevious;
};
} // namespace test
