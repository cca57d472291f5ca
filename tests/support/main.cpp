#include "support/workingfolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

// Tests that open a window use the X server started for the whole test run; its display
// number is in the file KORVANE_DISPLAY_FILE names.
static void useTestDisplay()
{
    const char* file = std::getenv("KORVANE_DISPLAY_FILE");
    if (!file)
        return;
    std::ifstream in(file);
    std::string number;
    if (in >> number)
        setenv("DISPLAY", (":" + number).c_str(), 1);
}

int main(int argc, char** argv)
{
    useTestDisplay();
    setenv("ALSOFT_DRIVERS", "null", 0);
    testing::InitGoogleTest(&argc, argv);
    // The tests start from the source root but run in a copy of the game's data: whatever the
    // code under test deletes, saves or regenerates by relative path, the source tree and the
    // tests after this one stay as they were. Listing the tests needs no copy.
    std::unique_ptr<test::WorkingFolder> folder;
    if (!testing::GTEST_FLAG(list_tests))
        folder = std::make_unique<test::WorkingFolder>(true);
    return RUN_ALL_TESTS();
}
