#include "support/tempdir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace test
{
TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "korvane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    mPath = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(mPath, ignored);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string& path, const std::string& content)
{
    // Whole or not at all, as the game writes its files: a service or thread watching the folder
    // never reads one half written. The hidden name is one no watcher lists.
    const size_t slash = path.rfind('/') + 1;
    const std::string temporary = path.substr(0, slash) + "." + path.substr(slash) + ".writing";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << content;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        std::remove(temporary.c_str());
}

std::string sourcePath(const std::string& relative)
{
    const char* root = std::getenv("KORVANE_SOURCE_DIR");
    return std::string(root ? root : ".") + "/" + relative;
}
}
