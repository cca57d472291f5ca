#include "support/workingfolder.h"

#include <filesystem>
#include <stdexcept>

namespace test
{
WorkingFolder::WorkingFolder() : mPrevious(std::filesystem::current_path().string())
{
    std::filesystem::current_path(mDir.path());
}

WorkingFolder::~WorkingFolder()
{
    std::error_code ignored;
    std::filesystem::current_path(mPrevious, ignored);
}

void WorkingFolder::write(const std::string& relative, const std::string& content) const
{
    const std::filesystem::path target = std::filesystem::path(mDir.path()) / relative;
    std::filesystem::create_directories(target.parent_path());
    writeFile(target.string(), content);
}
} // namespace test
