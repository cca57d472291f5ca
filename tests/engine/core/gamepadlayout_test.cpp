#include "engine/core/gamepadlayout.h"

#include "support/logcapture.h"
#include "support/tempdir.h"

#include "toolkit/xmlelement.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using Pad = brix::GamepadLayout;

const char* const GAMEPADS = R"(<gamepads>
    <!-- layouts of this machine -->
    <gamepad>
        <name>Xbox</name>
        <platform>linux</platform>
        <identifier>Xbox 360|"Microsoft X-Box One pad"</identifier>
        <axes><leftx>0</leftx><lefty>1</lefty><lefttrigger>2</lefttrigger><righttrigger>5</righttrigger></axes>
        <buttons><actionbottom>0</actionbottom><start>7</start></buttons>
        <flags>2</flags>
        <note>kept</note>
    </gamepad>
    <gamepad>
        <name>Xbox</name>
        <platform>windows</platform>
        <identifier>XINPUT</identifier>
        <axes><leftx>4</leftx></axes>
        <buttons></buttons>
    </gamepad>
    <gamepad>
        <name>Generic</name>
        <identifier>Pad</identifier>
        <flags>1</flags>
        <axes><lefttrigger>4</lefttrigger><rightx>3</rightx></axes>
        <buttons><dpadup>12</dpadup></buttons>
    </gamepad>
    <gamepad>
        <name>Old</name>
        <platform>windows</platform>
        <axes></axes><buttons></buttons>
    </gamepad>
</gamepads>
)";

class GamepadLayoutTest : public testing::Test
{
protected:
    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        mPad.getLayoutNames(result);
        return result;
    }
    // The layout hears joystick events as the input manager would deliver them.
    brix::InputListener& listener() { return mPad; }

    test::TempDir mDir;
    test::LogCapture mLog;
    Pad mPad;
};
} // namespace

TEST_F(GamepadLayoutTest, LoadsTheLayoutsOfThisPlatformOnly)
{
    test::writeFile(mDir.file("gamepads.xml"), GAMEPADS);
    ASSERT_TRUE(mPad.loadLayouts(mDir.file("gamepads.xml")));
    EXPECT_EQ(names(), (std::vector<std::string>{"Xbox", "Generic"}));
    EXPECT_EQ(mPad.getIdentifier("Xbox"), "Xbox 360|\"Microsoft X-Box One pad\"");
    EXPECT_EQ(mPad.getAxisIndex("Xbox", Pad::AXIS_LEFT_Y), 1u);
    EXPECT_EQ(mPad.getAxisIndex("Xbox", Pad::AXIS_RIGHT_X), Pad::UNDEFINED_INDEX);
    EXPECT_EQ(mPad.getAxisIndex("Xbox", Pad::AXIS_NONE), Pad::UNDEFINED_INDEX);
    EXPECT_EQ(mPad.getButtonIndex("Xbox", Pad::BUTTON_START), 7u);
    EXPECT_EQ(mPad.getButtonIndex("Generic", Pad::BUTTON_DPAD_UP), 12u);
    EXPECT_EQ(mPad.getButtonIndex("Missing", Pad::BUTTON_DPAD_UP), Pad::UNDEFINED_INDEX);
    EXPECT_EQ(mPad.getLayout(), "");
    EXPECT_TRUE(mLog.lines().empty());
}

TEST_F(GamepadLayoutTest, ReportsUnreadableAndIncompleteFiles)
{
    std::string path = mDir.file("gamepads.xml");
    EXPECT_FALSE(mPad.loadLayouts(path));
    test::writeFile(path, "<gamepads><gamepad></gamepads>");
    EXPECT_FALSE(mPad.loadLayouts(path));
    EXPECT_EQ(mLog.lines(), (std::vector<std::string>{"E Error loading '" + path +
                                                          "' file: Unable to open source file '" + path + "'",
                                                      "E Error loading '" + path +
                                                          "' file: Mismatching closing tag 'gamepads' while "
                                                          "expecting 'gamepad' at /gamepads/gamepad"}));

    const std::string good = "<gamepad><name>A</name><axes></axes><buttons></buttons></gamepad>";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"<gamepad><axes></axes><buttons></buttons></gamepad>",
         "E Gamepad layout with no name in 'gamepads.xml'"},
        {"<gamepad><name>B</name><buttons></buttons></gamepad>",
         "E Gamepad layout 'B' with no 'axes' element in 'gamepads.xml'"},
        {"<gamepad><name>B</name><axes></axes></gamepad>",
         "E Gamepad layout 'B' with no 'buttons' element in 'gamepads.xml'"}};
    for (const auto& [second, message] : cases)
    {
        test::writeFile(path, "<gamepads>" + good + second + good + "</gamepads>");
        EXPECT_FALSE(mPad.loadLayouts(path)) << second;
        EXPECT_EQ(names(), std::vector<std::string>{"A"}) << second;
        EXPECT_EQ(mLog.lines().back(), message);
    }
}

TEST_F(GamepadLayoutTest, SavingKeepsOtherPlatformsAndForeignElements)
{
    std::string path = mDir.file("gamepads.xml");
    test::writeFile(path, GAMEPADS);
    ASSERT_TRUE(mPad.loadLayouts(path));
    mPad.setAxisIndex("Xbox", Pad::AXIS_LEFT_Y, Pad::UNDEFINED_INDEX);
    mPad.setButtonIndex("Xbox", Pad::BUTTON_SELECT, 6);
    mPad.setIdentifier("Xbox", "X-Box");
    ASSERT_TRUE(mPad.deleteLayout("Generic"));
    ASSERT_TRUE(mPad.createLayout("Pad", "Gamepad"));
    mPad.setAxisIndex("Pad", Pad::AXIS_RIGHT_Y, 3);
    ASSERT_TRUE(mPad.saveLayouts(path));

    brix::XMLElement saved("gamepads");
    ASSERT_GT(saved.load(path), 0);
    std::vector<std::string> kept;
    for (const brix::XMLElement* pad = saved.getChild("gamepad"); pad;
         pad = saved.getNextChild(pad, "gamepad"))
        kept.push_back(pad->getValue("name", "") + "/" + pad->getValue("platform", ""));
    // "Generic" had no platform: it is read everywhere and so survives; the new one is appended.
    EXPECT_EQ(kept, (std::vector<std::string>{"Xbox/linux", "Xbox/windows", "Generic/", "Old/windows",
                                              "Pad/linux"}));
    const brix::XMLElement* xbox = saved.getChild("gamepad");
    EXPECT_EQ(xbox->getValue("identifier", ""), "X-Box");
    EXPECT_EQ(xbox->getValue("note", ""), "kept");
    EXPECT_EQ(xbox->getValue("flags", ""), "2");
    EXPECT_EQ(xbox->findChild("axes/lefty"), nullptr);
    EXPECT_EQ(xbox->getValue("buttons/select", ""), "6");
    EXPECT_EQ(saved.getNextChild(xbox, "gamepad")->getValue("axes/leftx", ""), "4");
    const brix::XMLElement* added = saved.findChild("gamepad");
    while (added && added->getValue("name", "") != "Pad")
        added = saved.getNextChild(added, "gamepad");
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->findChild("flags"), nullptr);
    EXPECT_EQ(added->getValue("axes/righty", ""), "3");

    // A layout of this platform that no longer exists is dropped.
    mPad.deleteLayout("Pad");
    ASSERT_TRUE(mPad.saveLayouts(path));
    Pad reloaded;
    ASSERT_TRUE(reloaded.loadLayouts(path));
    std::vector<std::string> reloadedNames;
    reloaded.getLayoutNames(reloadedNames);
    EXPECT_EQ(reloadedNames, (std::vector<std::string>{"Xbox", "Generic"}));
    EXPECT_EQ(reloaded.getButtonIndex("Xbox", Pad::BUTTON_SELECT), 6u);
}

TEST_F(GamepadLayoutTest, SavingLeavesAnotherPlatformsLayoutOfTheSameName)
{
    std::string path = mDir.file("gamepads.xml");
    test::writeFile(path,
                    "<gamepads><gamepad><name>Xbox</name><platform>windows</platform><identifier>XINPUT"
                    "</identifier><axes><leftx>4</leftx></axes><buttons></buttons></gamepad></gamepads>");
    ASSERT_TRUE(mPad.loadLayouts(path));
    ASSERT_TRUE(mPad.createLayout("Xbox", "X-Box"));
    mPad.setAxisIndex("Xbox", Pad::AXIS_LEFT_X, 0);
    ASSERT_TRUE(mPad.saveLayouts(path));

    brix::XMLElement saved("gamepads");
    ASSERT_GT(saved.load(path), 0);
    const brix::XMLElement* windows = saved.getChild("gamepad");
    EXPECT_EQ(windows->getValue("identifier", ""), "XINPUT");
    EXPECT_EQ(windows->getValue("axes/leftx", ""), "4");
    const brix::XMLElement* ours = saved.getNextChild(windows, "gamepad");
    ASSERT_NE(ours, nullptr);
    EXPECT_EQ(ours->getValue("platform", ""), "linux");
    EXPECT_EQ(ours->getValue("axes/leftx", ""), "0");
}

TEST_F(GamepadLayoutTest, SavingNeverReplacesAnUnreadableFile)
{
    std::string path = mDir.file("gamepads.xml");
    test::writeFile(path, "<gamepads><gamepad>");
    mPad.createLayout("Pad", "");
    EXPECT_FALSE(mPad.saveLayouts(path));
    EXPECT_EQ(test::readFile(path), "<gamepads><gamepad>");
    EXPECT_EQ(
        mLog.lines().back().rfind("E Error loading '" + path + "' file: Unexpected end of source data", 0),
        0u);

    std::string folder = mDir.file("missing/gamepads.xml");
    EXPECT_FALSE(mPad.saveLayouts(folder));
    EXPECT_EQ(mLog.lines().back().rfind("E Error saving '" + folder + "' file: ", 0), 0u);
}

TEST_F(GamepadLayoutTest, ManagesLayoutsByName)
{
    EXPECT_TRUE(mPad.createLayout("A", "a"));
    EXPECT_FALSE(mPad.createLayout("A", "other"));
    EXPECT_TRUE(mPad.createLayout("B", "b"));
    EXPECT_TRUE(mPad.setLayout("B"));
    EXPECT_FALSE(mPad.setLayout("C"));
    EXPECT_EQ(mPad.getLayout(), "B");

    // Removing a layout before the selected one keeps the selection on the same layout.
    EXPECT_TRUE(mPad.deleteLayout("A"));
    EXPECT_EQ(mPad.getLayout(), "B");
    EXPECT_FALSE(mPad.deleteLayout("A"));
    EXPECT_TRUE(mPad.renameLayout("B", "C"));
    EXPECT_FALSE(mPad.renameLayout("B", "D"));
    EXPECT_EQ(mPad.getLayout(), "C");
    EXPECT_TRUE(mPad.deleteLayout("C"));
    EXPECT_EQ(mPad.getLayout(), "");
    EXPECT_EQ(mPad.getIdentifier("C"), "");
    EXPECT_TRUE(names().empty());
}

TEST_F(GamepadLayoutTest, DetectsALayoutByAnyOfItsPatterns)
{
    test::writeFile(mDir.file("gamepads.xml"), GAMEPADS);
    ASSERT_TRUE(mPad.loadLayouts(mDir.file("gamepads.xml")));
    EXPECT_FALSE(mPad.detectLayout(""));
    EXPECT_TRUE(mPad.detectLayout("Microsoft X-Box One pad (Firmware 2015)"));
    EXPECT_EQ(mPad.getLayout(), "Xbox");
    EXPECT_TRUE(mPad.detectLayout("Logitech Dual Action Pad"));
    EXPECT_EQ(mPad.getLayout(), "Generic");
    EXPECT_TRUE(mPad.detectLayout("Xbox 360 Controller"));
    EXPECT_EQ(mPad.getLayout(), "Xbox");
    // Case matters, and no match keeps the selection.
    EXPECT_FALSE(mPad.detectLayout("xbox 360"));
    EXPECT_EQ(mPad.getLayout(), "Xbox");
}

TEST_F(GamepadLayoutTest, MapsTriggersByTheLayoutFlags)
{
    test::writeFile(mDir.file("gamepads.xml"), GAMEPADS);
    ASSERT_TRUE(mPad.loadLayouts(mDir.file("gamepads.xml")));

    // Nothing selected: nothing heard.
    listener().onJoystickMove(0, 0, 0.5f);
    EXPECT_EQ(mPad.getAxisPosition(Pad::AXIS_LEFT_X), 0);

    // Flag 2: both trigger axes from -1..1 to 0..1.
    mPad.setLayout("Xbox");
    listener().onJoystickMove(0, 2, -1);
    EXPECT_FLOAT_EQ(mPad.getAxisPosition(Pad::AXIS_LEFT_TRIGGER), 0);
    listener().onJoystickMove(0, 2, 1);
    listener().onJoystickMove(0, 5, 0);
    listener().onJoystickMove(0, 1, -0.25f);
    EXPECT_FLOAT_EQ(mPad.getAxisPosition(Pad::AXIS_LEFT_TRIGGER), 1);
    EXPECT_FLOAT_EQ(mPad.getAxisPosition(Pad::AXIS_RIGHT_TRIGGER), 0.5f);
    EXPECT_FLOAT_EQ(mPad.getAxisPosition(Pad::AXIS_LEFT_Y), -0.25f);

    // Flag 1: one axis for both triggers.
    mPad.setLayout("Generic");
    EXPECT_FLOAT_EQ(mPad.getAxisPosition(Pad::AXIS_LEFT_TRIGGER), 0) << "selecting clears the state";
    listener().onJoystickMove(0, 4, -0.5f);
    EXPECT_FLOAT_EQ(mPad.getAxisPosition(Pad::AXIS_LEFT_TRIGGER), 0);
    EXPECT_FLOAT_EQ(mPad.getAxisPosition(Pad::AXIS_RIGHT_TRIGGER), 0.5f);
    listener().onJoystickMove(0, 4, 0.75f);
    EXPECT_FLOAT_EQ(mPad.getAxisPosition(Pad::AXIS_LEFT_TRIGGER), 0.75f);
    EXPECT_FLOAT_EQ(mPad.getAxisPosition(Pad::AXIS_RIGHT_TRIGGER), 0);
    listener().onJoystickMove(0, 3, 0.3f);
    EXPECT_FLOAT_EQ(mPad.getAxisPosition(Pad::AXIS_RIGHT_X), 0.3f);
}

TEST_F(GamepadLayoutTest, FollowsOneJoystickAndForgetsOnDisable)
{
    test::writeFile(mDir.file("gamepads.xml"), GAMEPADS);
    ASSERT_TRUE(mPad.loadLayouts(mDir.file("gamepads.xml")));
    mPad.setLayout("Xbox");
    mPad.setJoystickDeviceIndex(1);
    listener().onJoystickButtonPress(0, 7);
    EXPECT_FALSE(mPad.getButtonState(Pad::BUTTON_START));
    listener().onJoystickButtonPress(1, 7);
    listener().onJoystickButtonPress(1, 0);
    listener().onJoystickButtonPress(1, 9);
    listener().onJoystickMove(1, 0, -1);
    EXPECT_TRUE(mPad.getButtonState(Pad::BUTTON_START));
    EXPECT_EQ(mPad.translateButton(9), Pad::BUTTON_NONE);
    listener().onJoystickButtonRelease(1, 0);
    EXPECT_FALSE(mPad.getButtonState(Pad::BUTTON_ACTION_BOTTOM));

    listener().onListenerEnable(true);
    EXPECT_TRUE(mPad.getButtonState(Pad::BUTTON_START));
    listener().onListenerEnable(false);
    EXPECT_FALSE(mPad.getButtonState(Pad::BUTTON_START));
    EXPECT_EQ(mPad.getAxisPosition(Pad::AXIS_LEFT_X), 0);
}

TEST_F(GamepadLayoutTest, ShippedLayoutsLoadAndDetectCommonPads)
{
    ASSERT_TRUE(mPad.loadLayouts(test::sourcePath("gamepads.xml")));
    EXPECT_TRUE(mPad.detectLayout("Microsoft X-Box 360 pad"));
    EXPECT_EQ(mPad.getLayout(), "Xbox");
    EXPECT_TRUE(mPad.detectLayout("Sony Interactive Entertainment Wireless Controller"));
    EXPECT_EQ(mPad.getLayout(), "DualShock 4");
    for (const std::string& name : names())
        for (unsigned int axis = Pad::AXIS_LEFT_X; axis < Pad::AXIS_COUNT; ++axis)
            EXPECT_LT(mPad.getAxisIndex(name, static_cast<Pad::Axis>(axis)), 16u) << name;
}
