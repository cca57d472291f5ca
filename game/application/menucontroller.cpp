#include "game/application/menucontroller.h"

#include "engine/core/gamepadlayout.h"
#include "engine/presentation/ogremenu.h"
#include "game/application/gamepadcontroller.h"
#include "game/world/eventdispatcher.h"

#include <cmath>

namespace game
{
namespace
{
bool isControl(brix::KeyCode key)
{
    return key == MenuController::KEY_LEFT_CONTROL || key == MenuController::KEY_RIGHT_CONTROL;
}
} // namespace

MenuController::MenuController(brix::OgreMenu* menu, EventDispatcher* dispatcher)
    : mMenu(menu), mDispatcher(dispatcher), mControlHeld(false)
{
}

MenuController::~MenuController() {}

void MenuController::onKeyPress(brix::KeyCode key, unsigned int character)
{
    // Game events, whether or not the menu is visible; the function keys carry their number.
    if (key == KEY_ESCAPE)
        mDispatcher->post(EventDispatcher::MenuEscape, 0, 0, std::string());
    else if (key == KEY_T)
        mDispatcher->post(EventDispatcher::MenuChat, 0, 0, std::string());
    else if (key == KEY_TAB)
        mDispatcher->post(EventDispatcher::MenuScoreboard, 0, 0, std::string());
    else if (key >= KEY_F4 && key <= KEY_F12)
        mDispatcher->post(EventDispatcher::MenuCommand, 4 + (key - KEY_F4), 0, std::string());
    else if (isControl(key))
        mControlHeld = true;

    if (!mMenu->isVisible())
        return;

    switch (key)
    {
    case KEY_UP:
        mMenu->handleCommand(brix::OgreMenuItem::COMMAND_UP);
        return;
    case KEY_DOWN:
        mMenu->handleCommand(brix::OgreMenuItem::COMMAND_DOWN);
        return;
    case KEY_LEFT:
        mMenu->handleCommand(brix::OgreMenuItem::COMMAND_LEFT);
        return;
    case KEY_RIGHT:
        mMenu->handleCommand(brix::OgreMenuItem::COMMAND_RIGHT);
        return;
    case KEY_ENTER:
        mMenu->handleCommand(brix::OgreMenuItem::COMMAND_ACTIVATE);
        return;
    default:
        break;
    }
    if (mControlHeld && key == KEY_C)
        mMenu->handleCommand(brix::OgreMenuItem::COMMAND_COPY);
    else if (mControlHeld && key == KEY_V)
        mMenu->handleCommand(brix::OgreMenuItem::COMMAND_PASTE);
    if (key == KEY_BACKSPACE)
        mMenu->handleCharacter(CHARACTER_BACKSPACE);
    if (mControlHeld)
        return;
    if (character >= FIRST_CHARACTER && character <= LAST_CHARACTER)
        mMenu->handleCharacter(static_cast<int>(character));
}

void MenuController::onKeyRelease(brix::KeyCode key)
{
    if (isControl(key))
        mControlHeld = false;
}
void MenuController::setController(Controller* controller)
{
    bindGamepad(nullptr, 0);
    // Types 3 and 4 are the first and the second gamepad.
    const int type = controller ? controller->getType() : 0;
    if (type != 3 && type != 4)
        return;
    const brix::GamepadLayout& layout = static_cast<GamePadController*>(controller)->getGamepadLayout();
    if (!layout.getLayout().empty())
        bindGamepad(&layout, static_cast<unsigned int>(type - 3));
}

void MenuController::bindGamepad(const brix::GamepadLayout* layout, unsigned int joystick)
{
    mLayout = layout;
    mJoystick = joystick;
    mStickLatch = Ogre::Vector2::ZERO;
}

void MenuController::onJoystickMove(unsigned int joystick, unsigned int axis, float position)
{
    if (!mMenu->isVisible() || !mLayout || joystick != mJoystick)
        return;
    const brix::GamepadLayout::Axis kind = mLayout->translateAxis(axis);
    if (kind != brix::GamepadLayout::AXIS_LEFT_X && kind != brix::GamepadLayout::AXIS_LEFT_Y)
        return;
    const bool vertical = kind == brix::GamepadLayout::AXIS_LEFT_Y;
    float& latch = vertical ? mStickLatch.y : mStickLatch.x;
    if (mStickLatch == Ogre::Vector2::ZERO)
    {
        if (position < -STICK_STEP)
        {
            mMenu->handleCommand(vertical ? brix::OgreMenuItem::COMMAND_UP
                                          : brix::OgreMenuItem::COMMAND_LEFT);
            latch = -1.0f;
        }
        else if (position > STICK_STEP)
        {
            mMenu->handleCommand(vertical ? brix::OgreMenuItem::COMMAND_DOWN
                                          : brix::OgreMenuItem::COMMAND_RIGHT);
            latch = 1.0f;
        }
    }
    else if (std::abs(position) < STICK_CENTRE)
        latch = 0.0f;
}

void MenuController::onJoystickButtonPress(unsigned int joystick, unsigned int button)
{
    if (!mLayout || joystick != mJoystick)
        return;
    const brix::GamepadLayout::Button kind = mLayout->translateButton(button);
    if (kind == brix::GamepadLayout::BUTTON_SELECT)
    {
        mDispatcher->post(EventDispatcher::MenuEscape, 0, 0, std::string());
        return;
    }
    if (!mMenu->isVisible())
        return;
    switch (kind)
    {
    case brix::GamepadLayout::BUTTON_ACTION_BOTTOM:
        mMenu->handleCommand(brix::OgreMenuItem::COMMAND_ACTIVATE);
        break;
    case brix::GamepadLayout::BUTTON_ACTION_RIGHT:
        mDispatcher->post(EventDispatcher::MenuEscape, 0, 0, std::string());
        break;
    case brix::GamepadLayout::BUTTON_DPAD_UP:
        mMenu->handleCommand(brix::OgreMenuItem::COMMAND_UP);
        break;
    case brix::GamepadLayout::BUTTON_DPAD_DOWN:
        mMenu->handleCommand(brix::OgreMenuItem::COMMAND_DOWN);
        break;
    case brix::GamepadLayout::BUTTON_DPAD_LEFT:
        mMenu->handleCommand(brix::OgreMenuItem::COMMAND_LEFT);
        break;
    case brix::GamepadLayout::BUTTON_DPAD_RIGHT:
        mMenu->handleCommand(brix::OgreMenuItem::COMMAND_RIGHT);
        break;
    default:
        break;
    }
}
} // namespace game
