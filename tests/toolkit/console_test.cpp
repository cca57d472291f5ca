#include "toolkit/console.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
class RecordingCommand : public brix::ConsoleCommand
{
public:
    bool execute(const std::vector<std::string>& words) override
    {
        mWords = words;
        return true;
    }
    std::vector<std::string> mWords;
};

void type(brix::Console& console, const std::string& text)
{
    for (char c : text)
        console.putChar(c);
}

std::vector<std::string> allOutput(const brix::Console& console)
{
    std::vector<std::string> out;
    console.getOutput(out, 100, 0);
    return out;
}
} // namespace

TEST(Console, TypedSetStoresTheQuotedValueAfterEchoingTheLine)
{
    brix::Console console(10);
    std::string name = "nobody";
    console.addVariable("name", "Player name", brix::Console::VT_STRING, 0, 0, &name);
    type(console, "set name \"Ann Lee\"\r");
    EXPECT_EQ("Ann Lee", name);
    EXPECT_EQ(std::vector<std::string>{"set name \"Ann Lee\""}, allOutput(console));
    EXPECT_EQ("", console.getCommandLine());

    EXPECT_TRUE(console.parseAndExecute("get\tname"));
    EXPECT_EQ("name = 'Ann Lee'", allOutput(console)[0]);
}

TEST(Console, CommandLineEditing)
{
    brix::Console console(10);
    type(console, "ab\x01\x80");
    EXPECT_EQ("ab", console.getCommandLine());
    EXPECT_EQ(2u, console.getCommandLineModCount());
    console.putChar(10);
    EXPECT_EQ("a", console.getCommandLine());
    type(console, "\n\n\r");
    EXPECT_EQ("", console.getCommandLine());
    EXPECT_EQ(4u, console.getCommandLineModCount());
    EXPECT_EQ(0, console.getOutputLenght());
}

TEST(Console, ErrorsArePrintedAndReturnFalse)
{
    brix::Console console(20);
    RecordingCommand command;
    console.addCommand("go", "Go somewhere", 1, 2, &command);
    int number = 3;
    console.addVariable("count", "A number", brix::Console::VT_INT, 0, 10, &number);

    struct
    {
        std::string line;
        std::string error;
    } cases[] = {
        {"go \"north", "Error: Unterminated quotation"},
        {" \t ", "Error: Unable to parse command"},
        {"jump high", "Error: Unknown command: 'jump'"},
        {"go", "Error: Too few parameters for command"},
        {"go a b c", "Error: Too many parameters for command"},
        {"get nothing", "Error: Variable not found"},
        {"set count 4", "Error: Unexpected variable type"},
        {"get count", "Error: Unexpected variable type"},
    };
    for (const auto& c : cases)
    {
        EXPECT_FALSE(console.parseAndExecute(c.line)) << c.line;
        EXPECT_EQ(c.error, allOutput(console)[0]) << c.line;
    }
    EXPECT_EQ(3, number);
    EXPECT_TRUE(command.mWords.empty());

    // Empty quotes give no word; a closing quote ends its word.
    EXPECT_TRUE(console.parseAndExecute("go \"\" \"a b\"c"));
    EXPECT_EQ((std::vector<std::string>{"go", "a b", "c"}), command.mWords);

    console.removeCommand("go");
    type(console, "go x\r");
    std::vector<std::string> newest;
    console.getOutput(newest, 2, 0);
    EXPECT_EQ((std::vector<std::string>{"Error: Unknown command: 'go'", "go x"}), newest);
}

TEST(Console, OutputKeepsTheNewestLines)
{
    brix::Console console(2);
    console.print("one");
    console.print("two");
    console.print("three");
    EXPECT_EQ(2, console.getOutputLenght());
    EXPECT_EQ(3u, console.getOutputModCount());

    std::vector<std::string> out{"stale"};
    console.getOutput(out, 1, 0);
    EXPECT_EQ(std::vector<std::string>{"three"}, out);
    console.getOutput(out, 5, 1);
    EXPECT_EQ(std::vector<std::string>{"two"}, out);
    console.getOutput(out, 5, 2);
    EXPECT_TRUE(out.empty());
    console.getOutput(out, 5, -1);
    EXPECT_TRUE(out.empty());
    console.getOutput(out, 0, 0);
    EXPECT_TRUE(out.empty());
}

TEST(Console, FirstRegistrationOfANameWins)
{
    brix::Console console(10);
    std::string first = "1", second = "2";
    console.addVariable("v", "", brix::Console::VT_STRING, 0, 0, &first);
    console.addVariable("v", "", brix::Console::VT_STRING, 0, 0, &second);
    console.addVariable("none", "", brix::Console::VT_STRING, 0, 0, nullptr);
    EXPECT_TRUE(console.parseAndExecute("set v x"));
    EXPECT_EQ("x", first);
    EXPECT_EQ("2", second);
    EXPECT_FALSE(console.parseAndExecute("get none"));
    console.removeVariable("v");
    EXPECT_FALSE(console.parseAndExecute("get v"));
}
