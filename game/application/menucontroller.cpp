#include "game/application/menucontroller.h"

#include "engine/presentation/ogremenu.h"
#include "game/world/eventdispatcher.h"

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
} // namespace game
