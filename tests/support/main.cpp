#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
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
    return RUN_ALL_TESTS();
}
