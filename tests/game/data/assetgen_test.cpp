// The committed content is exactly what the generators make, so no one edits an output by
// hand or forgets to regenerate after changing a generator.
#include "support/ogre/assetgroup.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace
{
// The files a generator made in output's folder, as paths from the source root.
std::vector<std::string> madeFiles(const test::TempDir& output, const std::string& folder)
{
    std::vector<std::string> made;
    if (DIR* directory = opendir(output.file(folder).c_str()))
    {
        while (dirent* entry = readdir(directory))
            if (entry->d_name[0] != '.' && entry->d_type != DT_DIR)
                made.push_back(folder + "/" + entry->d_name);
        closedir(directory);
    }
    return made;
}

void expectCommitted(const test::TempDir& output, const std::vector<std::string>& made)
{
    for (const std::string& file : made)
    {
        std::string committed = test::readFile(test::sourcePath(file));
        EXPECT_FALSE(committed.empty()) << file << " is not committed";
        EXPECT_TRUE(committed == test::readFile(output.file(file)))
            << file << " differs from what the generator makes";
    }
}
} // namespace

TEST(AssetGenerator, RemakesTheCommittedFilesByteForByte)
{
    // The generator is built beside the test programs.
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof(self) - 1), 0);
    std::string generator = std::string(self);
    generator = generator.substr(0, generator.rfind('/')) + "/assetgen";
    ASSERT_TRUE(std::ifstream(generator).good()) << generator << " is not built";
    test::TempDir output;
    ASSERT_EQ(std::system((generator + " " + output.path() + " > /dev/null 2>&1").c_str()), 0);

    std::vector<std::string> made = madeFiles(output, "data");
    made.push_back("blocks.xml");
    ASSERT_GT(made.size(), 60u);
    expectCommitted(output, made);
}

// The sound pack's pictures (the help panels the game shows among them) are what its texture
// generator makes from the committed font.
TEST(SoundPackGenerator, RemakesTheCommittedTexturesByteForByte)
{
    test::TempDir output;
    ASSERT_EQ(mkdir(output.file("data").c_str(), 0755), 0);
    for (const char* font : {"data/menufont.fontdef", "data/menufont.png"})
        test::writeFile(output.file(font), test::readFile(test::sourcePath(font)));
    const std::string make =
        "python3 -c \"import sys; sys.path.insert(0, '" + test::sourcePath("tools/soundgen") +
        "'); import textures; textures.write_all('" + output.path() + "')\" > /dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0);

    std::vector<std::string> made = madeFiles(output, "data"),
                             particles = madeFiles(output, "data/particles");
    made.insert(made.end(), particles.begin(), particles.end());
    made.erase(std::remove_if(made.begin(), made.end(),
                              [](const std::string& file)
                              { return file.find("/menufont.") != std::string::npos; }),
               made.end());
    ASSERT_GT(made.size(), 10u);
    expectCommitted(output, made);
}
