#pragma once
#include <string>

namespace test
{
// A fresh folder under the system's temporary folder, removed with everything in it
// when the object dies.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return mPath; }
    // The path of a file inside the folder.
    std::string file(const std::string& name) const { return mPath + "/" + name; }

private:
    std::string mPath;
};

// Reads a whole file; empty when it cannot be read.
std::string readFile(const std::string& path);
// Writes a whole file, replacing it at once (never seen half written).
void writeFile(const std::string& path, const std::string& content);
// The path of a file in the source tree (tests run from the source root).
std::string sourcePath(const std::string& relative);
}
