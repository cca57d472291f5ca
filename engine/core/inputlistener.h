#pragma once
#include <OgreVector.h>

namespace brix
{
// GLFW's key codes and mouse button indices, passed on unchanged.
typedef int KeyCode;
typedef int MouseButton;

// Receiver of keyboard, mouse and joystick input from brix::InputManager. Every operation does
// nothing by default. A listener is removed from the manager before it dies.
class InputListener
{
public:
    // The listener starts or stops hearing input.
    virtual void onListenerEnable(bool enabled) {}
    // A key went down (character 0), or a character was typed (key 0, the Unicode code point).
    virtual void onKeyPress(KeyCode key, unsigned int character) {}
    virtual void onKeyRelease(KeyCode key) {}
    // x and y: cursor motion in pixels since the last event; z and w: horizontal and vertical
    // scroll. One event carries either motion or scroll; the other two are 0.
    virtual void onMouseMove(const Ogre::Vector4& motion) {}
    virtual void onMouseButtonPress(MouseButton button) {}
    virtual void onMouseButtonRelease(MouseButton button) {}
    // The axis's new position, -1 to 1.
    virtual void onJoystickMove(unsigned int joystick, unsigned int axis, float position) {}
    virtual void onJoystickButtonPress(unsigned int joystick, unsigned int button) {}
    virtual void onJoystickButtonRelease(unsigned int joystick, unsigned int button) {}
};
} // namespace brix
