#include "toolkit/temporaryfile.h"

#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(TemporaryFile, ReplacesTheTargetOnlyOnCommit)
{
    test::TempDir dir;
    const std::string path = dir.file("level.xml");
    test::writeFile(path, "old");
    {
        brix::TemporaryFile file(path);
        ASSERT_TRUE(file.isOpen());
        EXPECT_TRUE(file.write("new", 3));
        EXPECT_EQ(test::readFile(path), "old");
        // Dropped without commit: the old file stays and the temporary goes.
    }
    EXPECT_EQ(test::readFile(path), "old");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    brix::TemporaryFile file(path);
    EXPECT_TRUE(file.write("new", 3));
    EXPECT_TRUE(file.commit());
    EXPECT_EQ(test::readFile(path), "new");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_FALSE(file.commit()) << "a second commit has nothing to put in place";
}

TEST(TemporaryFile, FailsWithoutTouchingTheTarget)
{
    test::TempDir dir;
    brix::TemporaryFile missing(dir.file("no/such/folder/file"));
    EXPECT_FALSE(missing.isOpen());
    EXPECT_FALSE(missing.write("x", 1));
    EXPECT_FALSE(missing.commit());

    // A folder in the target's place cannot be replaced by a file.
    const std::string folder = dir.file("folder");
    std::filesystem::create_directories(folder + "/inside");
    brix::TemporaryFile file(folder);
    ASSERT_TRUE(file.isOpen());
    EXPECT_TRUE(file.write("x", 1));
    EXPECT_FALSE(file.commit());
    EXPECT_TRUE(file.renameFailed());
    EXPECT_TRUE(std::filesystem::is_directory(folder + "/inside"));
    EXPECT_FALSE(std::filesystem::exists(folder + ".tmp"));
}
