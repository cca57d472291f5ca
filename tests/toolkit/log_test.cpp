#include "toolkit/log.h"
#include "toolkit/task.h"
#include "toolkit/thread.h"

#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <type_traits>
#include <vector>

namespace
{
std::vector<std::string> lines(const std::string& path)
{
    std::istringstream in(test::readFile(path));
    std::vector<std::string> result;
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

class LogTest : public testing::Test
{
protected:
    void TearDown() override { brix::Log::close(); }
    test::TempDir mDir;
    std::string mPath = mDir.file("application.log");
};
} // namespace

TEST_F(LogTest, WritesNothingBeforeOpen)
{
    brix::Log::error("lost %d", 1);
    brix::Log::info(std::string("lost too"));
    EXPECT_FALSE(brix::Log::isOpen());
}

TEST_F(LogTest, OpenEmptiesOrAppendsAndStampsEachLine)
{
    ASSERT_TRUE(brix::Log::open(mPath.c_str(), false));
    brix::Log::close();
    ASSERT_TRUE(brix::Log::open(mPath.c_str(), false));
    auto first = lines(mPath);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_TRUE(
        std::regex_match(first[0], std::regex(R"(X \d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} Log opened)")))
        << first[0];
    brix::Log::close();

    ASSERT_TRUE(brix::Log::open(mPath.c_str(), true));
    brix::Log::close();
    auto all = lines(mPath);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[1].substr(26), "Log closed");
    EXPECT_EQ(all[2].substr(26), "Log opened");

    // Opening another file finishes the one that was open, with its closing line.
    ASSERT_TRUE(brix::Log::open(mPath.c_str(), false));
    ASSERT_TRUE(brix::Log::open(mDir.file("other.log").c_str(), false));
    brix::Log::info("elsewhere");
    all = lines(mPath);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].substr(26), "Log closed");
    EXPECT_EQ(lines(mDir.file("other.log")).size(), 2u);
}

TEST_F(LogTest, OpenFailsOnAMissingFolder)
{
    ASSERT_TRUE(brix::Log::open(mPath.c_str(), false));
    EXPECT_FALSE(brix::Log::open(mDir.file("no/such/folder.log").c_str(), false));
    EXPECT_FALSE(brix::Log::isOpen());
    brix::Log::error("lost");
    EXPECT_EQ(lines(mPath).size(), 2u);
}

TEST_F(LogTest, LevelFiltersMessagesAndIsResetByOpen)
{
    brix::Log::setLevel(brix::Log::NONE);
    ASSERT_TRUE(brix::Log::open(mPath.c_str(), false));
    EXPECT_EQ(brix::Log::getLevel(), brix::Log::DEBUG);

    brix::Log::setLevel(brix::Log::ERROR);
    brix::Log::info("hidden");
    brix::Log::debug(std::string("hidden"));
    brix::Log::error("shown %s", "here");
    brix::Log::setLevel(brix::Log::NONE);
    brix::Log::error("hidden");
    // The configuration allows levels up to 7: stored as they are without a line of their
    // own, they pass every message. The level type holds any int, so such a value is defined.
    EXPECT_TRUE((std::is_same<std::underlying_type<brix::Log::Level>::type, int>::value));
    brix::Log::setLevel(static_cast<brix::Log::Level>(7));
    EXPECT_EQ(static_cast<int>(brix::Log::getLevel()), 7);
    brix::Log::debug("shown at %d", 7);

    auto all = lines(mPath);
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[1].substr(0, 2) + all[1].substr(26), "X Log level set to ERROR");
    EXPECT_EQ(all[2].substr(0, 2) + all[2].substr(26), "E shown here");
    EXPECT_EQ(all[3].substr(0, 2) + all[3].substr(26), "X Log level set to NONE");
    EXPECT_EQ(all[4].substr(0, 2) + all[4].substr(26), "D shown at 7");
}

TEST_F(LogTest, FormattedTextIsCutAt1023BytesButStringsAreWhole)
{
    ASSERT_TRUE(brix::Log::open(mPath.c_str(), false));
    std::string longText(2000, 'a');
    longText += "%d";
    brix::Log::info("%s", longText.c_str());
    brix::Log::info(longText);
    auto all = lines(mPath);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].substr(26), std::string(1023, 'a'));
    EXPECT_EQ(all[2].substr(26), longText);
}

namespace
{
class Chatter : public brix::Task
{
public:
    explicit Chatter(char letter) : mText(300, letter) {}
    void execute() override
    {
        for (int i = 0; i < 500; ++i)
            brix::Log::info(mText);
    }

private:
    std::string mText;
};
} // namespace

TEST_F(LogTest, LinesFromSeveralThreadsNeverInterleave)
{
    ASSERT_TRUE(brix::Log::open(mPath.c_str(), false));
    std::vector<Chatter> tasks{Chatter('a'), Chatter('b'), Chatter('c'), Chatter('d')};
    std::vector<brix::Thread> threads(tasks.size());
    for (size_t i = 0; i < tasks.size(); ++i)
        ASSERT_TRUE(threads[i].start(&tasks[i]));
    for (auto& thread : threads)
        thread.wait();

    auto all = lines(mPath);
    ASSERT_EQ(all.size(), 1u + 4 * 500);
    for (size_t i = 1; i < all.size(); ++i)
    {
        std::string text = all[i].substr(26);
        ASSERT_EQ(text, std::string(300, text[0])) << "line " << i;
    }
}
