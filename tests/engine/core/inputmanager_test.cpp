#include "engine/core/inputmanager.h"

#include "support/ogre/ogrewindow.h"

#include <OgreException.h>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace
{
// Writes every call it hears into a shared journal as "name:call(arguments)".
class RecordingListener : public brix::InputListener
{
public:
    RecordingListener(const std::string& name, std::vector<std::string>& journal)
        : mName(name), mJournal(journal)
    {
    }

    void onListenerEnable(bool enabled) override
    {
        note("enable(" + std::to_string(enabled) + ")");
        if (onEnable)
            onEnable(enabled);
    }
    void onKeyPress(brix::KeyCode key, unsigned int character) override
    {
        note("press(" + std::to_string(key) + "," + std::to_string(character) + ")");
        if (onPress)
            onPress();
    }
    void onKeyRelease(brix::KeyCode key) override { note("release(" + std::to_string(key) + ")"); }
    void onMouseMove(const Ogre::Vector4& m) override
    {
        note("move(" + std::to_string(int(m.x)) + "," + std::to_string(int(m.y)) + "," +
             std::to_string(int(m.z)) + "," + std::to_string(int(m.w)) + ")");
    }
    void onMouseButtonPress(brix::MouseButton button) override
    {
        note("click(" + std::to_string(button) + ")");
    }
    void onMouseButtonRelease(brix::MouseButton button) override
    {
        note("unclick(" + std::to_string(button) + ")");
    }
    void onJoystickMove(unsigned int joystick, unsigned int axis, float position) override
    {
        note("axis(" + std::to_string(joystick) + "," + std::to_string(axis) + "," +
             std::to_string(int(position * 100)) + ")");
    }
    void onJoystickButtonPress(unsigned int joystick, unsigned int button) override
    {
        note("button(" + std::to_string(joystick) + "," + std::to_string(button) + ")");
    }
    void onJoystickButtonRelease(unsigned int joystick, unsigned int button) override
    {
        note("unbutton(" + std::to_string(joystick) + "," + std::to_string(button) + ")");
    }

    std::function<void()> onPress;
    std::function<void(bool)> onEnable;

private:
    void note(const std::string& call) { mJournal.push_back(mName + ":" + call); }

    std::string mName;
    std::vector<std::string>& mJournal;
};

// Joysticks stand-in: which indices are present, and their axes and buttons.
struct FakeJoysticks
{
    static bool present[16];
    static float axes[20];
    static int axisCount;
    static unsigned char buttons[40];
    static int buttonCount;

    static int isPresent(int joystick) { return joystick >= 0 && joystick < 16 && present[joystick]; }
    static const char* name(int joystick) { return isPresent(joystick) ? "Test Pad" : nullptr; }
    static const float* getAxes(int joystick, int* count)
    {
        *count = isPresent(joystick) ? axisCount : 0;
        return isPresent(joystick) ? axes : nullptr;
    }
    static const unsigned char* getButtons(int joystick, int* count)
    {
        *count = isPresent(joystick) ? buttonCount : 0;
        return isPresent(joystick) ? buttons : nullptr;
    }
};
bool FakeJoysticks::present[16];
float FakeJoysticks::axes[20];
int FakeJoysticks::axisCount;
unsigned char FakeJoysticks::buttons[40];
int FakeJoysticks::buttonCount;

class InputManagerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        mSavedDriver = brix::InputManager::m_JoystickDriver;
        brix::InputManager::m_JoystickDriver = {FakeJoysticks::isPresent, FakeJoysticks::name,
                                                FakeJoysticks::getAxes, FakeJoysticks::getButtons};
        FakeJoysticks::present[0] = FakeJoysticks::present[1] = FakeJoysticks::present[3] = true;
        FakeJoysticks::axisCount = 20;
        FakeJoysticks::buttonCount = 40;
    }
    void TearDown() override
    {
        brix::InputManager::m_JoystickDriver = mSavedDriver;
        FakeJoysticks::present[0] = FakeJoysticks::present[1] = FakeJoysticks::present[3] = false;
        std::fill(std::begin(FakeJoysticks::axes), std::end(FakeJoysticks::axes), 0.0f);
        std::fill(std::begin(FakeJoysticks::buttons), std::end(FakeJoysticks::buttons), 0);
    }

    test::OgreWindow mWindow;
    std::vector<std::string> mJournal;
    brix::InputManager::TJoystickDriver mSavedDriver;
};
} // namespace

TEST_F(InputManagerTest, EnablesListenersByMaskAndTellsOnlyChanges)
{
    brix::InputManager input(mWindow.window(), brix::InputManager::KEYBOARD);
    RecordingListener never("never", mJournal), menu("menu", mJournal), game("game", mJournal);
    input.addListener(&never, 0);
    input.addListener(&menu, 1);
    input.addListener(&game, 2);
    EXPECT_EQ(mJournal, (std::vector<std::string>{"menu:enable(1)", "game:enable(1)"}));

    mJournal.clear();
    input.setListenerEnableMask(0xFFFFFFFF);
    EXPECT_TRUE(mJournal.empty());
    input.setListenerEnableMask(2);
    input.keyCallback(mWindow.window(), 65, 0, GLFW_PRESS, 0);
    EXPECT_EQ(mJournal, (std::vector<std::string>{"menu:enable(0)", "game:press(65,0)"}));

    // Adding again replaces the mask.
    mJournal.clear();
    input.addListener(&menu, 3);
    input.removeListener(&game);
    input.keyCallback(mWindow.window(), 65, 0, GLFW_RELEASE, 0);
    EXPECT_EQ(mJournal, (std::vector<std::string>{"menu:enable(1)", "game:enable(0)", "menu:release(65)"}));
}

TEST_F(InputManagerTest, DeliversKeysAndCharactersInOrderWithoutRepeats)
{
    brix::InputManager input(mWindow.window(), brix::InputManager::KEYBOARD);
    RecordingListener first("first", mJournal), second("second", mJournal);
    input.addListener(&first, 1);
    input.addListener(&second, 1);
    mJournal.clear();

    input.keyCallback(mWindow.window(), 65, 38, GLFW_PRESS, 0);
    input.characterCallback(mWindow.window(), 97);
    input.keyCallback(mWindow.window(), 65, 38, GLFW_REPEAT, 0);
    input.characterCallback(mWindow.window(), 0);
    input.keyCallback(mWindow.window(), 65, 38, GLFW_RELEASE, 0);
    EXPECT_EQ(mJournal,
              (std::vector<std::string>{"first:press(65,0)", "second:press(65,0)", "first:press(0,97)",
                                        "second:press(0,97)", "first:release(65)", "second:release(65)"}));
}

TEST_F(InputManagerTest, FirstClickCapturesTheCursorAndF2FreesIt)
{
    brix::InputManager input(mWindow.window(), brix::InputManager::KEYBOARD | brix::InputManager::MOUSE);
    RecordingListener listener("l", mJournal);
    input.addListener(&listener, 1);
    mJournal.clear();

    // Captured from the start: motion is relative, scroll is delivered, F2 is swallowed.
    input.mousePositionCallback(mWindow.window(), 5, -3);
    input.mouseScrollCallback(mWindow.window(), 0, 2);
    input.keyCallback(mWindow.window(), 291, 0, GLFW_PRESS, 0);
    // Free: nothing but releases and keys.
    input.mousePositionCallback(mWindow.window(), 50, 50);
    input.mouseScrollCallback(mWindow.window(), 0, 1);
    input.mouseButtonCallback(mWindow.window(), 0, GLFW_PRESS, 0);
    input.mouseButtonCallback(mWindow.window(), 0, GLFW_RELEASE, 0);
    // Captured again by that click: motion continues from the last stored position.
    input.mousePositionCallback(mWindow.window(), 52, 49);
    input.mouseButtonCallback(mWindow.window(), 1, GLFW_PRESS, 0);
    input.keyCallback(mWindow.window(), 291, 0, GLFW_RELEASE, 0);
    EXPECT_EQ(mJournal, (std::vector<std::string>{"l:move(5,-3,0,0)", "l:move(0,0,0,2)", "l:unclick(0)",
                                                  "l:move(2,-1,0,0)", "l:click(1)", "l:release(291)"}));
    EXPECT_EQ(glfwGetInputMode(mWindow.window(), GLFW_CURSOR), GLFW_CURSOR_DISABLED);
}

TEST_F(InputManagerTest, KeepsTheCapturedCursorNearTheOrigin)
{
    brix::InputManager input(mWindow.window(), brix::InputManager::MOUSE);
    RecordingListener listener("l", mJournal);
    input.addListener(&listener, 1);
    mJournal.clear();

    input.mousePositionCallback(mWindow.window(), 1001, 0);
    // The stored position was out of range: the motion counts from it, then it is reset to 0.
    input.mousePositionCallback(mWindow.window(), 1011, 0);
    input.mousePositionCallback(mWindow.window(), 4, 0);
    EXPECT_EQ(mJournal,
              (std::vector<std::string>{"l:move(1001,0,0,0)", "l:move(10,0,0,0)", "l:move(4,0,0,0)"}));
}

TEST_F(InputManagerTest, CountsJoysticksAtConsecutiveIndicesAndDeliversChangesOnly)
{
    brix::InputManager input(mWindow.window(), brix::InputManager::JOYSTICK);
    EXPECT_EQ(input.getDeviceCount(brix::InputManager::JOYSTICK), 2u);
    EXPECT_EQ(input.getDeviceCount(brix::InputManager::KEYBOARD), 1u);
    EXPECT_EQ(input.getDeviceCount(static_cast<brix::InputManager::InputDevice>(8)), 0u);
    EXPECT_EQ(input.getDeviceIdentifier(brix::InputManager::JOYSTICK, 3), "Test Pad");
    EXPECT_EQ(input.getDeviceIdentifier(brix::InputManager::JOYSTICK, 2), "");
    EXPECT_EQ(input.getDeviceIdentifier(brix::InputManager::MOUSE, 0), "Mouse");

    RecordingListener listener("l", mJournal);
    input.addListener(&listener, 1);
    mJournal.clear();
    FakeJoysticks::axes[2] = 0.5f;
    FakeJoysticks::axes[16] = 1.0f; // beyond the axes followed
    FakeJoysticks::buttons[31] = GLFW_PRESS;
    FakeJoysticks::buttons[32] = GLFW_PRESS;
    input.update();
    input.update();
    FakeJoysticks::buttons[31] = GLFW_RELEASE;
    input.update();
    // Both joysticks report the same stand-in state.
    EXPECT_EQ(mJournal, (std::vector<std::string>{"l:axis(0,2,50)", "l:button(0,31)", "l:axis(1,2,50)",
                                                  "l:button(1,31)", "l:unbutton(0,31)", "l:unbutton(1,31)"}));
}

TEST_F(InputManagerTest, RejectsUnsupportedDevicesAndLeavesNoCallbacks)
{
    try
    {
        brix::InputManager input(mWindow.window(), brix::InputManager::KEYBOARD | 8 | 16);
        FAIL() << "no exception";
    }
    catch (const Ogre::InternalErrorException& e)
    {
        EXPECT_EQ(e.getDescription(), "Unsupported input device(s) (24) specified");
    }
    EXPECT_EQ(brix::InputManager::getSingletonPtr(), nullptr);
    EXPECT_EQ(glfwSetKeyCallback(mWindow.window(), nullptr), nullptr);

    {
        brix::InputManager input(nullptr, 0);
        EXPECT_FALSE(input.enableInputDevice(brix::InputManager::MOUSE));
        EXPECT_FALSE(input.enableInputDevice(static_cast<brix::InputManager::InputDevice>(3)));
    }
    EXPECT_THROW(brix::InputManager(nullptr, brix::InputManager::KEYBOARD), Ogre::InternalErrorException);
}

TEST_F(InputManagerTest, ListenersMayComeAndGoWhileInputIsDelivered)
{
    brix::InputManager input(mWindow.window(), brix::InputManager::KEYBOARD);
    RecordingListener menu("menu", mJournal), editor("editor", mJournal), hud("hud", mJournal);
    // The menu opens the editor and drops the hud on a key press; the editor closes itself.
    menu.onPress = [&]
    {
        input.removeListener(&hud);
        input.addListener(&editor, 1);
    };
    editor.onPress = [&] { input.removeListener(&editor); };
    input.addListener(&menu, 1);
    input.addListener(&hud, 1);
    mJournal.clear();

    input.keyCallback(mWindow.window(), 32, 0, GLFW_PRESS, 0);
    EXPECT_EQ(mJournal, (std::vector<std::string>{"menu:press(32,0)", "hud:enable(0)", "editor:enable(1)"}));

    mJournal.clear();
    menu.onPress = nullptr;
    input.keyCallback(mWindow.window(), 32, 0, GLFW_PRESS, 0);
    input.keyCallback(mWindow.window(), 32, 0, GLFW_PRESS, 0);
    EXPECT_EQ(mJournal, (std::vector<std::string>{"menu:press(32,0)", "editor:press(32,0)",
                                                  "editor:enable(0)", "menu:press(32,0)"}));
}

TEST_F(InputManagerTest, AListenerLeavingWhenDisabledCostsNoOtherItsNotice)
{
    brix::InputManager input(mWindow.window(), brix::InputManager::KEYBOARD);
    RecordingListener menu("menu", mJournal), game("game", mJournal), hud("hud", mJournal);
    // The menu goes away as soon as it loses the input.
    menu.onEnable = [&](bool enabled)
    {
        if (!enabled)
            input.removeListener(&menu);
    };
    input.addListener(&menu, 1);
    input.addListener(&game, 1);
    input.addListener(&hud, 1);
    mJournal.clear();

    input.setListenerEnableMask(2);
    EXPECT_EQ(mJournal, (std::vector<std::string>{"menu:enable(0)", "game:enable(0)", "hud:enable(0)"}));

    mJournal.clear();
    input.setListenerEnableMask(1);
    input.keyCallback(mWindow.window(), 65, 0, GLFW_PRESS, 0);
    EXPECT_EQ(mJournal, (std::vector<std::string>{"game:enable(1)", "hud:enable(1)", "game:press(65,0)",
                                                  "hud:press(65,0)"}));
}
