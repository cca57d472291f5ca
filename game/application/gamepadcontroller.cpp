#include "game/application/gamepadcontroller.h"

#include "engine/core/inputmanager.h"
#include "game/application/controltext.h"
#include "toolkit/log.h"

#include <cmath>
#include <set>
#include <vector>

namespace game
{
namespace
{
const TControlText PAD_TEXTS[] = {{"WALK", "left stick"},
                                  {"AIM", "right stick"},
                                  {"JUMP", "lower action button"},
                                  {"CROUCH", "left stick down"},
                                  {"INTERACT", "leftmost action button"},
                                  {"SHOOT", "right trigger button"},
                                  {"SWITCH", "upper action button"},
                                  {"RELOAD", "rightmost action button"},
                                  {"SHIELD", "left trigger button"},
                                  {"INFO", "options/view button"}};

// The controller type of gamepad 0; gamepad n is this plus n.
const int FIRST_GAMEPAD_TYPE = 3;

// Gamepad indices already logged as missing; the controllers are remade at every settings
// change, and the game's main thread alone makes them.
std::set<unsigned int> missingReported;
} // namespace

const std::string GamePadController::AUTOMATIC_LAYOUT = "[Automatic]";
const std::string GamePadController::LAYOUT_FILE = "gamepads.xml";

GamePadController::GamePadController(unsigned short nodeId, unsigned int gamepadIndex,
                                     const std::string& layoutName)
    : Controller(nodeId), mGamepadIndex(gamepadIndex), mLayoutName(layoutName)
{
    mLayout.loadLayouts(LAYOUT_FILE);
    mLayout.setJoystickDeviceIndex(gamepadIndex);
    initializeDevice();
}

void GamePadController::initializeDevice()
{
    using brix::InputManager;
    using brix::Log;

    // What the pad held before belongs to a device that may be gone.
    mLayout.resetState();
    InputManager* input = InputManager::getSingletonPtr();
    if (input)
    {
        input->disableInputDevice(InputManager::JOYSTICK);
        input->enableInputDevice(InputManager::JOYSTICK);
    }
    const unsigned int number = mGamepadIndex + 1;
    if (!input || mGamepadIndex >= input->getDeviceCount(InputManager::JOYSTICK))
    {
        // No pad is the common case, not a fault; said once until a pad turns up.
        if (missingReported.insert(mGamepadIndex).second)
            Log::info("No gamepad %u present", number);
        return;
    }
    missingReported.erase(mGamepadIndex);

    if (mLayoutName != AUTOMATIC_LAYOUT)
    {
        if (!mLayout.setLayout(mLayoutName))
            Log::error("Unknown layout '%s' for gamepad %u", mLayoutName.c_str(), number);
        return;
    }
    const std::string device = input->getDeviceIdentifier(InputManager::JOYSTICK, mGamepadIndex);
    if (mLayout.detectLayout(device))
    {
        Log::info("Detected gamepad layout '%s' for gamepad %u (device id '%s')", mLayout.getLayout().c_str(),
                  number, device.c_str());
        return;
    }
    Log::error("Could not detect layout for gamepad %u (device id '%s')", number, device.c_str());
    std::vector<std::string> names;
    mLayout.getLayoutNames(names);
    if (!names.empty() && mLayout.setLayout(names.front()))
        Log::info("Using first available layout '%s'", names.front().c_str());
}

int GamePadController::getType() const
{
    return FIRST_GAMEPAD_TYPE + static_cast<int>(mGamepadIndex);
}

void GamePadController::update(unsigned short tick)
{
    using brix::GamepadLayout;

    mInput.tick = tick;
    const float walk = mLayout.getAxisPosition(GamepadLayout::AXIS_LEFT_X);
    mInput.move = std::fabs(walk) < WALK_DEAD_ZONE ? 0.0f : walk;

    const float aimX = mLayout.getAxisPosition(GamepadLayout::AXIS_RIGHT_X);
    const float aimY = -mLayout.getAxisPosition(GamepadLayout::AXIS_RIGHT_Y);
    const float length = std::sqrt(aimX * aimX + aimY * aimY);
    if (length >= AIM_DEAD_ZONE)
    {
        mInput.aimX = aimX / length;
        mInput.aimY = aimY / length;
    }

    const float stickY = mLayout.getAxisPosition(GamepadLayout::AXIS_LEFT_Y);
    unsigned int buttons = 0;
    if (stickY > STICK_JUMP_CROUCH)
        buttons |= BUTTON_CROUCH;
    if (mLayout.getButtonState(GamepadLayout::BUTTON_ACTION_BOTTOM) || stickY < -STICK_JUMP_CROUCH)
        buttons |= BUTTON_JUMP;
    if (mLayout.getButtonState(GamepadLayout::BUTTON_RIGHT_TRIGGER) ||
        mLayout.getAxisPosition(GamepadLayout::AXIS_RIGHT_TRIGGER) > TRIGGER_SHOOT)
        buttons |= BUTTON_SHOOT;
    if (mLayout.getButtonState(GamepadLayout::BUTTON_ACTION_TOP))
        buttons |= BUTTON_SWITCH;
    if (mLayout.getButtonState(GamepadLayout::BUTTON_ACTION_RIGHT))
        buttons |= BUTTON_RELOAD;
    if (mLayout.getButtonState(GamepadLayout::BUTTON_ACTION_LEFT))
        buttons |= BUTTON_INTERACT;
    if (mLayout.getButtonState(GamepadLayout::BUTTON_LEFT_TRIGGER))
        buttons |= BUTTON_SHIELD;
    mInput.buttons = buttons;
    mInfoHeld = mLayout.getButtonState(GamepadLayout::BUTTON_SELECT);
    addInput(mInput);
}

std::string GamePadController::getControlText(const std::string& action) const
{
    return findControlText(PAD_TEXTS, action);
}

bool GamePadController::isInfoRequested() const
{
    return mInfoHeld;
}

void GamePadController::onListenerEnable(bool enabled)
{
    if (!enabled)
    {
        mInput.buttons = 0;
        mInput.move = 0.0f;
        mInfoHeld = false;
    }
    layoutListener().onListenerEnable(enabled);
}

void GamePadController::onJoystickMove(unsigned int joystick, unsigned int axis, float position)
{
    layoutListener().onJoystickMove(joystick, axis, position);
}

void GamePadController::onJoystickButtonPress(unsigned int joystick, unsigned int button)
{
    layoutListener().onJoystickButtonPress(joystick, button);
}

void GamePadController::onJoystickButtonRelease(unsigned int joystick, unsigned int button)
{
    layoutListener().onJoystickButtonRelease(joystick, button);
}
} // namespace game
