#include "support/workingfolder.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace test
{
const char* const WorkingFolder::GAME_DATA_FOLDERS[] = {"data", "levels", "loader"};

WorkingFolder::WorkingFolder(bool withGameData) : mPrevious(fs::current_path().string())
{
    if (withGameData)
    {
        const fs::path source = fs::canonical(sourcePath("."));
        setenv("KORVANE_SOURCE_DIR", source.c_str(), 1);
        const fs::path target = mDir.path();
        for (const fs::directory_entry& entry : fs::directory_iterator(source))
            if (entry.is_regular_file() && entry.path().extension() == ".xml")
                fs::copy_file(entry.path(), target / entry.path().filename());
        for (const char* folder : GAME_DATA_FOLDERS)
            if (fs::is_directory(source / folder))
                fs::copy(source / folder, target / folder, fs::copy_options::recursive);
    }
    fs::current_path(mDir.path());
}

WorkingFolder::~WorkingFolder()
{
    std::error_code ignored;
    fs::current_path(mPrevious, ignored);
}

void WorkingFolder::write(const std::string& relative, const std::string& content) const
{
    const fs::path target = fs::path(mDir.path()) / relative;
    fs::create_directories(target.parent_path());
    writeFile(target.string(), content);
}
} // namespace test
