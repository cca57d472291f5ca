#include "game/application/gamepadcontroller.h"

#include "support/game/inputrig.h"
#include "support/logcapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using game::Controller;
using game::GamePadController;
using test::InputRig;
using Lines = std::vector<std::string>;

// Raw joystick numbers of the "Xbox" layout in gamepads.xml.
enum XboxAxis : unsigned int
{
    LEFT_X = 0,
    LEFT_Y = 1,
    RIGHT_X = 3,
    RIGHT_Y = 4,
    RIGHT_TRIGGER = 5
};
enum XboxButton : unsigned int
{
    ACTION_BOTTOM = 0,
    ACTION_RIGHT = 1,
    ACTION_LEFT = 2,
    ACTION_TOP = 3,
    LEFT_TRIGGER = 4,
    RIGHT_TRIGGER_BUTTON = 5,
    SELECT = 6
};

// Pads plugged in before the input manager starts; the controller is made by each test.
class GamePadControllerTest : public testing::Test
{
protected:
    explicit GamePadControllerTest(unsigned int pads = 1) : rig(brix::InputManager::JOYSTICK, pads) {}

    // Delivers the pads' changes, runs one tick and returns its record.
    Controller::TInput tick(Controller& controller)
    {
        rig.poll();
        controller.update(++mTick);
        Controller::TInput record;
        EXPECT_TRUE(controller.getInput(mTick, record));
        return record;
    }

    // What the controllers logged, without the input manager's own lines about the joysticks.
    Lines logged() const
    {
        Lines lines;
        for (const std::string& line : log.lines())
            if (line.find("oystick") == std::string::npos)
                lines.push_back(line);
        return lines;
    }

    test::LogCapture log;
    InputRig rig;

private:
    unsigned short mTick = 0;
};
} // namespace

TEST_F(GamePadControllerTest, SticksWalkAndAimOnlyOutsideTheirDeadZones)
{
    GamePadController pad(0, 0, "Xbox");
    InputRig::setAxis(0, LEFT_X, 0.09f);
    EXPECT_EQ(tick(pad).move, 0.0f);
    InputRig::setAxis(0, LEFT_X, -0.09f);
    EXPECT_EQ(tick(pad).move, 0.0f);
    InputRig::setAxis(0, LEFT_X, 0.1f);
    EXPECT_FLOAT_EQ(tick(pad).move, 0.1f);
    InputRig::setAxis(0, LEFT_X, -1.0f);
    EXPECT_FLOAT_EQ(tick(pad).move, -1.0f);

    // The right stick's y grows downwards; the aim's upwards.
    InputRig::setAxis(0, RIGHT_X, 0.48f);
    InputRig::setAxis(0, RIGHT_Y, -0.64f);
    Controller::TInput record = tick(pad);
    EXPECT_NEAR(record.aimX, 0.6f, 1e-6f) << "0.8 of the range aims along the stick with length 1";
    EXPECT_NEAR(record.aimY, 0.8f, 1e-6f);
    InputRig::setAxis(0, RIGHT_X, -0.7f);
    InputRig::setAxis(0, RIGHT_Y, 0.0f);
    record = tick(pad);
    EXPECT_NEAR(record.aimX, 0.6f, 1e-6f) << "0.7 of the range keeps the last aim";
    EXPECT_NEAR(record.aimY, 0.8f, 1e-6f);
    InputRig::setAxis(0, RIGHT_X, 0.0f);
    InputRig::setAxis(0, RIGHT_Y, 0.75f);
    record = tick(pad);
    EXPECT_FLOAT_EQ(record.aimX, 0.0f) << "0.75 is far enough";
    EXPECT_FLOAT_EQ(record.aimY, -1.0f);
    InputRig::setAxis(0, RIGHT_Y, 0.0f);
    EXPECT_FLOAT_EQ(tick(pad).aimY, -1.0f) << "letting go of the stick keeps the aim";
}

TEST_F(GamePadControllerTest, ButtonsTriggersAndTheLeftStickHoldTheirBits)
{
    GamePadController pad(0, 0, "Xbox");
    const struct
    {
        unsigned int button;
        unsigned int bit;
    } buttons[] = {
        {ACTION_BOTTOM, Controller::BUTTON_JUMP},   {ACTION_RIGHT, Controller::BUTTON_RELOAD},
        {ACTION_LEFT, Controller::BUTTON_INTERACT}, {ACTION_TOP, Controller::BUTTON_SWITCH},
        {LEFT_TRIGGER, Controller::BUTTON_SHIELD},  {RIGHT_TRIGGER_BUTTON, Controller::BUTTON_SHOOT}};
    for (const auto& entry : buttons)
    {
        InputRig::setButton(0, entry.button, true);
        EXPECT_EQ(tick(pad).buttons, entry.bit) << "button " << entry.button;
        InputRig::setButton(0, entry.button, false);
        EXPECT_EQ(tick(pad).buttons, 0u) << "button " << entry.button;
    }
    InputRig::setButton(0, SELECT, true);
    EXPECT_EQ(tick(pad).buttons, 0u);
    EXPECT_TRUE(pad.isInfoRequested());
    InputRig::setButton(0, SELECT, false);
    tick(pad);
    EXPECT_FALSE(pad.isInfoRequested());

    // The layout reads this trigger from -1 to 1 as 0 to 1: it shoots past the middle.
    InputRig::setAxis(0, RIGHT_TRIGGER, -1.0f);
    EXPECT_EQ(tick(pad).buttons, 0u);
    InputRig::setAxis(0, RIGHT_TRIGGER, 0.0f);
    EXPECT_EQ(tick(pad).buttons, 0u) << "half pressed is not enough";
    InputRig::setAxis(0, RIGHT_TRIGGER, 0.1f);
    EXPECT_EQ(tick(pad).buttons, Controller::BUTTON_SHOOT);
    InputRig::setAxis(0, RIGHT_TRIGGER, -1.0f);

    // The left stick jumps when pushed up past 0.7 and crouches when pushed down past it.
    InputRig::setAxis(0, LEFT_Y, -0.7f);
    EXPECT_EQ(tick(pad).buttons, 0u);
    InputRig::setAxis(0, LEFT_Y, -0.71f);
    EXPECT_EQ(tick(pad).buttons, Controller::BUTTON_JUMP);
    InputRig::setAxis(0, LEFT_Y, 0.7f);
    EXPECT_EQ(tick(pad).buttons, 0u);
    InputRig::setAxis(0, LEFT_Y, 0.71f);
    EXPECT_EQ(tick(pad).buttons, Controller::BUTTON_CROUCH);
    InputRig::setButton(0, ACTION_BOTTOM, true);
    EXPECT_EQ(tick(pad).buttons, Controller::BUTTON_CROUCH | Controller::BUTTON_JUMP);
}

TEST_F(GamePadControllerTest, LosingTheInputReleasesEverything)
{
    GamePadController pad(0, 0, "Xbox");
    InputRig::setAxis(0, LEFT_X, 1.0f);
    InputRig::setButton(0, ACTION_BOTTOM, true);
    InputRig::setButton(0, SELECT, true);
    Controller::TInput record = tick(pad);
    EXPECT_EQ(record.move, 1.0f);
    EXPECT_EQ(record.buttons, Controller::BUTTON_JUMP);

    rig.input().setListenerEnableMask(1);
    EXPECT_FALSE(pad.isInfoRequested());
    record = tick(pad);
    EXPECT_EQ(record.move, 0.0f);
    EXPECT_EQ(record.buttons, 0u);
    EXPECT_FALSE(pad.isInfoRequested());
}

TEST_F(GamePadControllerTest, PicksTheLayoutByNameOrByDeviceAndLogsWhatItChose)
{
    {
        GamePadController pad(0, 0, "[Automatic]");
        EXPECT_EQ(pad.getType(), 3);
        InputRig::setButton(0, ACTION_LEFT, true);
        EXPECT_EQ(tick(pad).buttons, Controller::BUTTON_INTERACT);
        InputRig::setButton(0, ACTION_LEFT, false);
        tick(pad);
    }
    InputRig::plugJoysticks(1, "Mystery Stick");
    {
        GamePadController pad(0, 0, "[Automatic]");
        InputRig::setButton(0, ACTION_LEFT, true);
        EXPECT_EQ(tick(pad).buttons, Controller::BUTTON_INTERACT) << "the first layout, Xbox, is used";
        InputRig::setButton(0, ACTION_LEFT, false);
        tick(pad);
    }
    {
        GamePadController pad(0, 0, "Nope");
        InputRig::setButton(0, ACTION_LEFT, true);
        EXPECT_EQ(tick(pad).buttons, 0u) << "an unknown layout reads nothing";
    }
    EXPECT_EQ(logged(),
              (Lines{"I Detected gamepad layout 'Xbox' for gamepad 1 (device id 'Xbox 360 Controller')",
                     "E Could not detect layout for gamepad 1 (device id 'Mystery Stick')",
                     "I Using first available layout 'Xbox'", "E Unknown layout 'Nope' for gamepad 1"}));
}

namespace
{
class TwoPadSetting : public GamePadControllerTest
{
protected:
    TwoPadSetting() : GamePadControllerTest(1) {}
};
} // namespace

TEST_F(TwoPadSetting, SecondPadMissingIsSaidOnceAndGivesZeroInputUntilItIsFound)
{
    GamePadController first(0, 0, "Xbox");
    GamePadController second(0, 1, "Xbox");
    EXPECT_EQ(second.getType(), 4);
    // No pad is no fault.
    EXPECT_EQ(log.errors(), Lines{});

    InputRig::setAxis(0, LEFT_X, 1.0f);
    InputRig::setButton(0, ACTION_BOTTOM, true);
    Controller::TInput record = tick(second);
    EXPECT_EQ(record.move, 0.0f);
    EXPECT_EQ(record.buttons, 0u);

    // Plugged in and found again: it hears its own pad only.
    InputRig::plugJoysticks(2);
    second.initializeDevice();
    InputRig::setAxis(1, LEFT_X, -0.5f);
    record = tick(second);
    EXPECT_FLOAT_EQ(record.move, -0.5f);
    EXPECT_EQ(record.buttons, 0u);
    first.update(1000);
    Controller::TInput firstRecord;
    first.getInput(1000, firstRecord);
    EXPECT_EQ(firstRecord.move, 1.0f);
    EXPECT_EQ(firstRecord.buttons, Controller::BUTTON_JUMP);

    // Gone again, and looked for at every settings change: said once.
    InputRig::plugJoysticks(1);
    const size_t before = logged().size();
    second.initializeDevice();
    GamePadController remade(0, 1, "Xbox");
    const Lines after = logged();
    EXPECT_EQ(Lines(after.begin() + static_cast<long>(before), after.end()), Lines{"I No gamepad 2 present"});
}
