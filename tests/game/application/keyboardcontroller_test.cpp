#include "game/application/keyboardcontroller.h"

#include "support/game/inputrig.h"

#include <OgreMath.h>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{
using game::Controller;
using game::KeyboardController;

// A keyboard controller hearing a real input manager; ticks count from 1.
class KeyboardControllerTest : public testing::Test
{
protected:
    KeyboardControllerTest() : rig(brix::InputManager::KEYBOARD | brix::InputManager::MOUSE), controller(0) {}

    // Runs one tick and returns its record.
    Controller::TInput tick()
    {
        controller.update(++mTick);
        Controller::TInput record;
        EXPECT_TRUE(controller.getInput(mTick, record));
        return record;
    }

    static float sinDegrees(float degrees) { return std::sin(Ogre::Math::DegreesToRadians(degrees)); }
    static float cosDegrees(float degrees) { return std::cos(Ogre::Math::DegreesToRadians(degrees)); }

    test::InputRig rig;
    KeyboardController controller;

private:
    unsigned short mTick = 0;
};

const float EPSILON = 1e-4f;
} // namespace

TEST_F(KeyboardControllerTest, UpSpeedsTheAimUpToItsLimitAndDownSwingsItToTheLowerOne)
{
    Controller::TInput record = tick();
    EXPECT_FLOAT_EQ(record.aimX, 1.0f) << "starts facing right at the horizontal";
    EXPECT_FLOAT_EQ(record.aimY, 0.0f);

    // The rate starts at 30 degrees a second and grows by 11.25 each tick: after n ticks the
    // angle is 0.025 * (30 n + 5.625 n (n + 1)).
    rig.press(GLFW_KEY_UP);
    record = tick();
    EXPECT_NEAR(record.aimY, sinDegrees(1.03125f), EPSILON);
    for (int n = 2; n <= 15; ++n)
        record = tick();
    EXPECT_NEAR(record.aimY, sinDegrees(45.0f), EPSILON);
    for (int n = 16; n <= 22; ++n)
        record = tick();
    EXPECT_NEAR(record.aimY, sinDegrees(87.65625f), EPSILON);
    record = tick();
    EXPECT_NEAR(record.aimY, sinDegrees(88.0f), EPSILON) << "the angle stops at 88 degrees";
    for (int n = 24; n <= 40; ++n)
        record = tick();
    EXPECT_NEAR(record.aimX, cosDegrees(88.0f), EPSILON);
    EXPECT_NEAR(record.aimY, sinDegrees(88.0f), EPSILON);

    // Down from 88: the rate reaches 300 after 24 ticks (102.375 degrees down) and grows no
    // further, so the 25th tick turns 7.5 degrees, not 7.78.
    rig.release(GLFW_KEY_UP);
    record = tick();
    EXPECT_NEAR(record.aimY, sinDegrees(88.0f), EPSILON) << "releasing Up stops the aim at once";
    rig.press(GLFW_KEY_DOWN);
    for (int n = 1; n <= 24; ++n)
        record = tick();
    EXPECT_NEAR(record.aimY, sinDegrees(88.0f - 102.375f), EPSILON);
    record = tick();
    EXPECT_NEAR(record.aimY, sinDegrees(88.0f - 109.875f), EPSILON);
    for (int n = 26; n <= 30; ++n)
        record = tick();
    EXPECT_NEAR(record.aimY, sinDegrees(88.0f - 147.375f), EPSILON);
    record = tick();
    EXPECT_NEAR(record.aimY, sinDegrees(-65.0f), EPSILON) << "the angle stops at -65 degrees";
    record = tick();
    EXPECT_NEAR(record.aimY, sinDegrees(-65.0f), EPSILON);
    EXPECT_NEAR(record.aimX, cosDegrees(-65.0f), EPSILON);
}

TEST_F(KeyboardControllerTest, KeysLetGoOnlyOfWhatTheyHold)
{
    // Left, then Right, then letting go of Left keeps walking right.
    rig.press(GLFW_KEY_LEFT);
    EXPECT_EQ(tick().move, -1.0f);
    rig.press(GLFW_KEY_RIGHT);
    rig.release(GLFW_KEY_LEFT);
    EXPECT_EQ(tick().move, 1.0f);
    rig.release(GLFW_KEY_RIGHT);
    EXPECT_EQ(tick().move, 0.0f);

    // The same for D then A; and the arrows win over A and D while both are held.
    rig.press(GLFW_KEY_D);
    rig.press(GLFW_KEY_A);
    rig.release(GLFW_KEY_D);
    EXPECT_EQ(tick().move, -1.0f);
    rig.press(GLFW_KEY_RIGHT);
    EXPECT_EQ(tick().move, 1.0f);
    rig.release(GLFW_KEY_RIGHT);
    EXPECT_EQ(tick().move, -1.0f);
    rig.release(GLFW_KEY_A);
    EXPECT_EQ(tick().move, 0.0f);

    // Up held, Down pressed and Up let go: the aim keeps turning down.
    rig.press(GLFW_KEY_UP);
    rig.press(GLFW_KEY_DOWN);
    rig.release(GLFW_KEY_UP);
    EXPECT_LT(tick().aimY, 0.0f);
    rig.release(GLFW_KEY_DOWN);
    const float stopped = tick().aimY;
    EXPECT_EQ(tick().aimY, stopped);

    // The arrows turn the aim to the side walked, and it stays there; A and D do not turn it.
    rig.press(GLFW_KEY_LEFT);
    rig.release(GLFW_KEY_LEFT);
    rig.press(GLFW_KEY_D);
    EXPECT_LT(tick().aimX, 0.0f);
    rig.press(GLFW_KEY_RIGHT);
    EXPECT_GT(tick().aimX, 0.0f);
}

TEST_F(KeyboardControllerTest, EachKeyHoldsItsButtonAndLosingTheInputReleasesAll)
{
    const struct
    {
        brix::KeyCode key;
        unsigned int button;
    } keys[] = {{GLFW_KEY_LEFT_CONTROL, Controller::BUTTON_SHOOT},
                {GLFW_KEY_RIGHT_CONTROL, Controller::BUTTON_SHOOT},
                {GLFW_KEY_F, Controller::BUTTON_SWITCH},
                {GLFW_KEY_R, Controller::BUTTON_RELOAD},
                {GLFW_KEY_SPACE, Controller::BUTTON_JUMP},
                {GLFW_KEY_W, Controller::BUTTON_JUMP},
                {GLFW_KEY_S, Controller::BUTTON_CROUCH},
                {GLFW_KEY_E, Controller::BUTTON_INTERACT},
                {GLFW_KEY_C, Controller::BUTTON_SHIELD}};
    for (const auto& entry : keys)
    {
        rig.press(entry.key);
        EXPECT_EQ(tick().buttons, entry.button) << "key " << entry.key;
        rig.release(entry.key);
        EXPECT_EQ(tick().buttons, 0u) << "key " << entry.key;
    }
    // Typed characters arrive as key 0 and hold nothing.
    rig.type('c');
    EXPECT_EQ(tick().buttons, 0u);

    rig.press(GLFW_KEY_F1);
    EXPECT_TRUE(controller.isInfoRequested());
    rig.release(GLFW_KEY_F1);
    EXPECT_FALSE(controller.isInfoRequested());

    rig.press(GLFW_KEY_LEFT_CONTROL);
    rig.press(GLFW_KEY_SPACE);
    rig.press(GLFW_KEY_LEFT);
    rig.press(GLFW_KEY_D);
    rig.press(GLFW_KEY_UP);
    rig.press(GLFW_KEY_F1);
    Controller::TInput record = tick();
    EXPECT_EQ(record.buttons, Controller::BUTTON_SHOOT | Controller::BUTTON_JUMP);
    EXPECT_EQ(record.move, -1.0f);

    // The menu opens: only the menu's group hears input.
    rig.input().setListenerEnableMask(1);
    record = tick();
    EXPECT_EQ(record.buttons, 0u);
    EXPECT_EQ(record.move, 0.0f);
    EXPECT_FALSE(controller.isInfoRequested());
    const float aim = record.aimY;
    EXPECT_EQ(tick().aimY, aim) << "the aim stops turning";
    rig.input().setListenerEnableMask(3);
    EXPECT_EQ(tick().buttons, 0u) << "enabling again holds nothing";
}

TEST_F(KeyboardControllerTest, MouseAimsOnceThePointerIsLongEnough)
{
    rig.moveMouse(0, -200);
    rig.click(GLFW_MOUSE_BUTTON_LEFT);
    EXPECT_EQ(tick().buttons, 0u) << "without mouse aiming the mouse does nothing";
    EXPECT_EQ(controller.getPointerDirection(), Ogre::Vector2::ZERO);
    EXPECT_EQ(controller.getType(), 1);

    controller.setMouseEnabled(true);
    EXPECT_EQ(controller.getType(), 2);
    EXPECT_EQ(controller.getPointerDirection(), Ogre::Vector2(1.0f, 0.0f));
    Controller::TInput record = tick();
    EXPECT_FLOAT_EQ(record.aimX, 1.0f);
    EXPECT_FLOAT_EQ(record.aimY, 0.0f);

    // 200 pixels up lift the pointer by 1; it is kept to length 1.
    rig.moveMouse(0, -200);
    EXPECT_NEAR(controller.getPointerDirection().x, std::sqrt(0.5f), EPSILON);
    EXPECT_NEAR(controller.getPointerDirection().y, std::sqrt(0.5f), EPSILON);
    record = tick();
    EXPECT_NEAR(record.aimX, std::sqrt(0.5f), EPSILON);
    EXPECT_NEAR(record.aimY, std::sqrt(0.5f), EPSILON);

    // Pulled back near the centre: (0.1, 0.15) is shorter than 0.2 and the aim stays.
    const Ogre::Vector2 pointer = controller.getPointerDirection();
    rig.moveMouse((0.1f - pointer.x) * 200, -(0.15f - pointer.y) * 200);
    EXPECT_NEAR(controller.getPointerDirection().x, 0.1f, EPSILON);
    record = tick();
    EXPECT_NEAR(record.aimX, std::sqrt(0.5f), EPSILON);
    EXPECT_NEAR(record.aimY, std::sqrt(0.5f), EPSILON);
    // To (-0.1, 0.15 + 0.06): length 0.233, so the aim follows it.
    rig.moveMouse(40, 0);
    rig.moveMouse(-80, -12);
    record = tick();
    const float length = std::sqrt(0.1f * 0.1f + 0.21f * 0.21f);
    EXPECT_NEAR(record.aimX, -0.1f / length, EPSILON);
    EXPECT_NEAR(record.aimY, 0.21f / length, EPSILON);
    // The arrow keys no longer aim.
    rig.press(GLFW_KEY_UP);
    rig.press(GLFW_KEY_RIGHT);
    EXPECT_NEAR(tick().aimX, -0.1f / length, EPSILON);
    rig.release(GLFW_KEY_UP);
    rig.release(GLFW_KEY_RIGHT);

    rig.click(GLFW_MOUSE_BUTTON_LEFT);
    rig.click(GLFW_MOUSE_BUTTON_RIGHT);
    rig.click(GLFW_MOUSE_BUTTON_MIDDLE);
    EXPECT_EQ(tick().buttons,
              Controller::BUTTON_SHOOT | Controller::BUTTON_RELOAD | Controller::BUTTON_SWITCH);
    rig.unclick(GLFW_MOUSE_BUTTON_RIGHT);
    EXPECT_EQ(tick().buttons, Controller::BUTTON_SHOOT | Controller::BUTTON_SWITCH);
    // What the hints name for each action, with the mouse and without it.
    auto texts = [&]
    {
        std::string shown;
        for (const char* action :
             {"WALK", "AIM", "JUMP", "CROUCH", "INTERACT", "SHOOT", "SWITCH", "RELOAD", "SHIELD", "INFO"})
            shown += controller.getControlText(action) + "|";
        return shown;
    };
    EXPECT_EQ(texts(), "A and D|mouse|SPACE|S|E|left mouse button or CTRL|middle mouse button or F|"
                       "right mouse button or R|C|F1|");

    // Switched off with buttons held: their release still lets go of them.
    controller.setMouseEnabled(false);
    EXPECT_EQ(texts(), "A and D|arrow keys|SPACE|S|E|CTRL|F|R|C|F1|");
    EXPECT_EQ(controller.getPointerDirection(), Ogre::Vector2::ZERO);
    rig.unclick(GLFW_MOUSE_BUTTON_LEFT);
    rig.unclick(GLFW_MOUSE_BUTTON_MIDDLE);
    EXPECT_EQ(tick().buttons, 0u);
}

TEST(KeyboardControllers, TwoPlayersShareTheKeysBothLayoutsActOn)
{
    using Names = std::vector<std::string>;
    const Names keys = {"A", "D", "Left", "Right", "Space", "W", "S", "Ctrl", "R", "F", "E", "C", "F1"};
    // Up and Down aim only without the mouse; both players on the mouse share it too.
    EXPECT_EQ(KeyboardController::getSharedControls(1, 2), keys);
    EXPECT_EQ(KeyboardController::getSharedControls(2, 1), keys);
    Names aiming = keys;
    aiming.insert(aiming.begin() + 4, {"Up", "Down"});
    EXPECT_EQ(KeyboardController::getSharedControls(1, 1), aiming);
    Names mouse = keys;
    mouse.push_back("mouse");
    EXPECT_EQ(KeyboardController::getSharedControls(2, 2), mouse);
    // A gamepad shares no key.
    EXPECT_EQ(KeyboardController::getSharedControls(1, 3), Names());
    EXPECT_EQ(KeyboardController::getSharedControls(4, 2), Names());
}
