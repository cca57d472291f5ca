// The committed content is exactly what the generators make, so no one edits an output by
// hand or forgets to regenerate after changing a generator.
#include "support/ogre/assetgroup.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

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

    std::vector<std::string> made;
    DIR* directory = opendir(output.file("data").c_str());
    ASSERT_NE(directory, nullptr);
    while (dirent* entry = readdir(directory))
        if (entry->d_name[0] != '.')
            made.push_back(std::string("data/") + entry->d_name);
    closedir(directory);
    made.push_back("blocks.xml");
    ASSERT_GT(made.size(), 60u);
    for (const std::string& file : made)
    {
        std::string committed = test::readFile(test::sourcePath(file));
        EXPECT_FALSE(committed.empty()) << file << " is not committed";
        EXPECT_TRUE(committed == test::readFile(output.file(file)))
            << file << " differs from what the generator makes";
    }
}
