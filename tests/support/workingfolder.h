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
    // The game opens these by relative path: every ".xml" file at the source root and the
    // folders below.
    static const char* const GAME_DATA_FOLDERS[];

    // With game data, the folder starts with a copy of the source tree's game data, so that
    // whatever is deleted, saved or regenerated there leaves the source tree alone, and
    // KORVANE_SOURCE_DIR is set to the source tree's absolute path (and stays set), so that
    // sourcePath() still names the source tree from the new working folder. A folder the source
    // tree lacks is left out; throws when a copy fails.
    explicit WorkingFolder(bool withGameData = false);
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
