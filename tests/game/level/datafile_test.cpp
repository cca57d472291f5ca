#include "support/tempdir.h"
#include "support/workingfolder.h"

#include "game/level/datafile.h"

#include <gtest/gtest.h>

namespace
{
TEST(DataFile, ListsTheShippedFilesWithTheChecksumsOfTheirTrees)
{
    for (const char* file : {"blocks.xml", "levels/sp01.xml", "levels/arena.xml"})
    {
        unsigned checksum = 0;
        ASSERT_TRUE(game::getDataFileChecksum(file, checksum)) << file;
        brix::XMLElement tree("");
        ASSERT_GE(tree.load(file), 0);
        EXPECT_EQ(game::calculateDataChecksum(tree), checksum) << file;
        EXPECT_TRUE(game::isDataFileUnmodified(file)) << file;
    }
    // Names are compared exactly; an unlisted file counts as unmodified.
    unsigned untouched = 12345;
    EXPECT_FALSE(game::getDataFileChecksum("levels/Arena.xml", untouched));
    EXPECT_FALSE(game::getDataFileChecksum("./levels/arena.xml", untouched));
    EXPECT_EQ(12345u, untouched);
    EXPECT_TRUE(game::isDataFileUnmodified("levels/Arena.xml"));
}

TEST(DataFile, TellsAChangedOrMissingShippedFileButNotAReformattedOne)
{
    const std::string shipped = test::readFile(test::sourcePath("levels/sp01.xml"));
    ASSERT_FALSE(shipped.empty());
    test::WorkingFolder folder;
    // The checksum is over the element tree: layout does not count, one changed value does.
    std::string reformatted = shipped;
    for (size_t tab = reformatted.find('\t'); tab != std::string::npos; tab = reformatted.find('\t'))
        reformatted.erase(tab, 1);
    folder.write("levels/sp01.xml", reformatted);
    EXPECT_TRUE(game::isDataFileUnmodified("levels/sp01.xml"));

    std::string changed = shipped;
    changed.replace(changed.find("First Steps"), 5, "Final");
    folder.write("levels/sp01.xml", changed);
    EXPECT_FALSE(game::isDataFileUnmodified("levels/sp01.xml"));

    EXPECT_FALSE(game::isDataFileUnmodified("levels/arena.xml"));
}
} // namespace
