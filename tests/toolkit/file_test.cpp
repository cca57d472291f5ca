#include "toolkit/file.h"

#include "support/logcapture.h"
#include "support/tempdir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using testing::ElementsAre;

namespace
{
class FileTest : public testing::Test
{
protected:
    test::TempDir mDir;
    test::LogCapture mLog;
};

// Sets or clears environment variables for one test and puts them back afterwards.
class UserDataDirectoryTest : public FileTest
{
protected:
    void SetUp() override
    {
        for (const char* name : NAMES)
        {
            const char* value = std::getenv(name);
            mSaved.push_back(value ? std::make_pair(true, std::string(value))
                                   : std::make_pair(false, std::string()));
            unsetenv(name);
        }
    }
    void TearDown() override
    {
        for (size_t i = 0; i < mSaved.size(); ++i)
            if (mSaved[i].first)
                setenv(NAMES[i], mSaved[i].second.c_str(), 1);
            else
                unsetenv(NAMES[i]);
    }

    static constexpr const char* NAMES[] = {"BRIX_USER_DATA_DIR", "XDG_DATA_HOME", "HOME"};
    std::vector<std::pair<bool, std::string>> mSaved;
};
} // namespace

TEST_F(FileTest, TellsFilesFromDirectoriesWithoutLogging)
{
    std::string file = mDir.file("level.xml");
    test::writeFile(file, "<level/>");
    EXPECT_TRUE(brix::File::fileExists(file));
    EXPECT_FALSE(brix::File::directoryExists(file));
    EXPECT_FALSE(brix::File::fileExists(mDir.path()));
    EXPECT_TRUE(brix::File::directoryExists(mDir.path()));
    EXPECT_FALSE(brix::File::fileExists(mDir.file("missing")));
    EXPECT_FALSE(brix::File::directoryExists(mDir.file("missing")));
    EXPECT_TRUE(mLog.lines().empty());
}

TEST_F(FileTest, CreatesOneDirectoryLevelAndLogsTheCauseOfFailure)
{
    std::string levels = mDir.file("levels");
    EXPECT_TRUE(brix::File::createDirectory(levels));
    EXPECT_TRUE(brix::File::directoryExists(levels));
    EXPECT_FALSE(brix::File::createDirectory(levels));
    std::string deep = mDir.file("a/b");
    EXPECT_FALSE(brix::File::createDirectory(deep));
    EXPECT_THAT(mLog.lines(),
                ElementsAre("E Directory (" + levels + ") creation failed: File exists",
                            "E Directory (" + deep + ") creation failed: No such file or directory"));
}

TEST_F(FileTest, RenameReplacesTheTargetAndDeleteRemovesOnlyFiles)
{
    std::string temporary = mDir.file("configuration.xml.tmp");
    std::string target = mDir.file("configuration.xml");
    test::writeFile(temporary, "new");
    test::writeFile(target, "old");
    EXPECT_TRUE(brix::File::renameFile(temporary, target));
    EXPECT_EQ(test::readFile(target), "new");
    EXPECT_FALSE(brix::File::fileExists(temporary));

    EXPECT_FALSE(brix::File::renameFile(temporary, target));
    EXPECT_EQ(test::readFile(target), "new");

    EXPECT_TRUE(brix::File::deleteFile(target));
    EXPECT_FALSE(brix::File::fileExists(target));
    EXPECT_FALSE(brix::File::deleteFile(target));
    EXPECT_FALSE(brix::File::deleteFile(mDir.path()));
    EXPECT_TRUE(brix::File::directoryExists(mDir.path()));

    auto lines = mLog.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              "E File '" + temporary + "' renaming to '" + target + "' failed: No such file or directory");
    EXPECT_EQ(lines[1], "E File '" + target + "' deletion failed: No such file or directory");
    EXPECT_EQ(lines[2], "E File '" + mDir.path() + "' deletion failed: Is a directory");
}

TEST_F(FileTest, SizeAndTimeComeFromTheFileAndAreZeroOnFailure)
{
    std::string file = mDir.file("scores.xml");
    test::writeFile(file, std::string(1234, 'x'));
    utimbuf times{1453384987, 1453384987};
    ASSERT_EQ(utime(file.c_str(), &times), 0);
    EXPECT_EQ(brix::File::fileSize(file), 1234u);
    EXPECT_EQ(brix::File::fileTime(file), 1453384987u);
    // Past 4 GiB, where 32 bits would wrap to a small size (a sparse file costs no disk).
    ASSERT_EQ(truncate(file.c_str(), (off_t(1) << 32) + 1234), 0);
    EXPECT_EQ(brix::File::fileSize(file), (uint64_t(1) << 32) + 1234);
    test::writeFile(file, "");
    EXPECT_EQ(brix::File::fileSize(file), 0u);
    // A pipe with no writer must not block the caller.
    std::string pipe = mDir.file("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(brix::File::fileSize(pipe), 0u);
    EXPECT_TRUE(mLog.lines().empty());

    std::string missing = mDir.file("missing");
    EXPECT_EQ(brix::File::fileSize(missing), 0u);
    EXPECT_EQ(brix::File::fileTime(missing), 0u);
    EXPECT_EQ(brix::File::fileSize(mDir.path()), 0u);
    EXPECT_THAT(mLog.lines(),
                ElementsAre("E Unable to open file '" + missing + "': No such file or directory",
                            "E Unable to open file '" + missing + "': No such file or directory",
                            "E Unable to open file '" + mDir.path() + "': Is a directory"));
}

TEST(FilePath, StandardizesSeparatorsAndJoinsNames)
{
    EXPECT_EQ(brix::File::standardizePath("C:\\data\\levels\\"), "C:/data/levels");
    EXPECT_EQ(brix::File::standardizePath("/"), "");
    EXPECT_EQ(brix::File::standardizePath("a//b///"), "a//b");
    EXPECT_EQ(brix::File::standardizePath("levels"), "levels");
    EXPECT_EQ(brix::File::filePath("", "configuration.xml"), "configuration.xml");
    EXPECT_EQ(brix::File::filePath("/home/p/korvane", "levels"), "/home/p/korvane/levels");
}

TEST_F(UserDataDirectoryTest, OverrideIsTakenAsItStandsAndCreatedOneLevelDeep)
{
    setenv("BRIX_USER_DATA_DIR", "D:\\games\\", 1);
    setenv("XDG_DATA_HOME", mDir.path().c_str(), 1);
    EXPECT_EQ(brix::File::getUserDataDirectory("korvane", false), "D:/games");

    std::string user = mDir.file("user");
    setenv("BRIX_USER_DATA_DIR", (user + "/").c_str(), 1);
    EXPECT_EQ(brix::File::getUserDataDirectory("korvane", true), user);
    EXPECT_TRUE(brix::File::directoryExists(user));
    EXPECT_EQ(brix::File::getUserDataDirectory("korvane", true), user);

    setenv("BRIX_USER_DATA_DIR", mDir.file("x/y").c_str(), 1);
    EXPECT_EQ(brix::File::getUserDataDirectory("korvane", true), "");
    EXPECT_FALSE(brix::File::directoryExists(mDir.file("x")));

    setenv("BRIX_USER_DATA_DIR", "", 1);
    EXPECT_EQ(brix::File::getUserDataDirectory("korvane", true), "");
    EXPECT_EQ(mLog.lines().back(), "E Unable to determine user data directory");
}

TEST_F(UserDataDirectoryTest, FollowsXdgDataHomeThenHomeAndCreatesMissingParents)
{
    std::string dataHome = mDir.file("data/share/");
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    setenv("HOME", mDir.file("home").c_str(), 1);
    EXPECT_EQ(brix::File::getUserDataDirectory("korvane", false), mDir.file("data/share/korvane"));
    EXPECT_FALSE(brix::File::directoryExists(mDir.file("data")));
    EXPECT_EQ(brix::File::getUserDataDirectory("korvane", true), mDir.file("data/share/korvane"));
    EXPECT_TRUE(brix::File::directoryExists(mDir.file("data/share/korvane")));

    // Relative or empty XDG_DATA_HOME is not a valid base.
    for (const char* ignored : {"relative/share", ""})
    {
        setenv("XDG_DATA_HOME", ignored, 1);
        EXPECT_EQ(brix::File::getUserDataDirectory("korvane", true), mDir.file("home/.local/share/korvane"));
    }
    EXPECT_TRUE(brix::File::directoryExists(mDir.file("home/.local/share/korvane")));

    // A plain file in the way is reported, not overwritten.
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", mDir.file("blocked").c_str(), 1);
    test::writeFile(mDir.file("blocked"), "not a folder");
    EXPECT_EQ(brix::File::getUserDataDirectory("korvane", true), "");
    EXPECT_EQ(test::readFile(mDir.file("blocked")), "not a folder");
}
