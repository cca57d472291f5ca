#pragma once
#include "engine/core/inputlistener.h"

#include <OgreVector.h>

namespace brix
{
class GamepadLayout;
class OgreMenu;
} // namespace brix

namespace game
{
class Controller;
class EventDispatcher;

// Turns the keyboard into menu commands and typed characters, and posts the menu keys the game
// answers even during play (Escape, T, Tab and F4 to F12) as game events. It listens in the
// menu's input group, which every game mode keeps enabled; navigation and typing act only
// while the menu is visible. Main thread only: input arrives during the input manager's polling.
class MenuController : public brix::InputListener
{
public:
    // GLFW key codes the menu answers to.
    static const brix::KeyCode KEY_T = 84;
    static const brix::KeyCode KEY_ESCAPE = 256;
    static const brix::KeyCode KEY_TAB = 258;
    static const brix::KeyCode KEY_F4 = 293;
    static const brix::KeyCode KEY_F12 = 301;
    static const brix::KeyCode KEY_C = 67;
    static const brix::KeyCode KEY_V = 86;
    static const brix::KeyCode KEY_ENTER = 257;
    static const brix::KeyCode KEY_BACKSPACE = 259;
    static const brix::KeyCode KEY_RIGHT = 262;
    static const brix::KeyCode KEY_LEFT = 263;
    static const brix::KeyCode KEY_DOWN = 264;
    static const brix::KeyCode KEY_UP = 265;
    static const brix::KeyCode KEY_LEFT_CONTROL = 341;
    static const brix::KeyCode KEY_RIGHT_CONTROL = 345;
    // Backspace reaches the menu as this character.
    static const int CHARACTER_BACKSPACE = 8;
    // Typed characters outside this range are not passed on.
    static const unsigned int FIRST_CHARACTER = 32;
    static const unsigned int LAST_CHARACTER = 254;
    // A stick pushed past this steps once; it steps again after coming back within the centre.
    static constexpr float STICK_STEP = 0.5f;
    static constexpr float STICK_CENTRE = 0.25f;

    // Both are borrowed.
    MenuController(brix::OgreMenu* menu, EventDispatcher* dispatcher);
    virtual ~MenuController();

    void onKeyPress(brix::KeyCode key, unsigned int character) override;
    void onKeyRelease(brix::KeyCode key) override;
    void onJoystickMove(unsigned int joystick, unsigned int axis, float position) override;
    void onJoystickButtonPress(unsigned int joystick, unsigned int button) override;

    // The first player's controller (borrowed, may be null): a gamepad controller with a
    // layout also walks the menu; any other leaves only the keyboard.
    void setController(Controller* controller);
    bool hasGamepad() const { return mLayout != nullptr; }
    // Walks the menu with that joystick read through the layout (borrowed; null: no gamepad).
    void bindGamepad(const brix::GamepadLayout* layout, unsigned int joystick);

    bool isControlHeld() const { return mControlHeld; }

private:
    brix::OgreMenu* mMenu;
    EventDispatcher* mDispatcher;
    bool mControlHeld;
    unsigned int mJoystick = 0;
    const brix::GamepadLayout* mLayout = nullptr;
    // -1, 0 or +1 per stick axis while it is pushed.
    Ogre::Vector2 mStickLatch = Ogre::Vector2::ZERO;
};
} // namespace game
