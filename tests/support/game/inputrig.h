#pragma once
#include "support/ogre/ogrewindow.h"

#include "engine/core/inputmanager.h"

#include <memory>
#include <string>

namespace test
{
// Joysticks that stand in for hardware through brix::InputManager's joystick driver while this
// lives: all released and centred, count of them plugged in. Input managers made meanwhile find
// them; InputRig's static operations plug, move and press them. One at a time.
class FakeJoysticks
{
public:
    explicit FakeJoysticks(unsigned int count = 0);
    ~FakeJoysticks();
    FakeJoysticks(const FakeJoysticks&) = delete;
    FakeJoysticks& operator=(const FakeJoysticks&) = delete;

private:
    brix::InputManager::TJoystickDriver mSavedDriver;
};

// A window with brix::InputManager on it, and up to four joysticks that stand in for hardware
// through the manager's joystick driver. Input goes in the way GLFW hands it over, so listeners
// hear it through the manager's own delivery. One at a time: the joysticks are process-wide.
class InputRig
{
public:
    static const int MAX_AXES = 16;
    static const int MAX_BUTTONS = 32;

    // deviceMask: brix::InputManager::InputDevice bits. The joysticks plugged in before the
    // manager exists are found when it starts.
    explicit InputRig(unsigned int deviceMask, unsigned int joysticks = 0);
    ~InputRig();
    InputRig(const InputRig&) = delete;
    InputRig& operator=(const InputRig&) = delete;

    brix::InputManager& input() { return *mInput; }

    void press(int key);
    void release(int key);
    // A typed character, as GLFW reports it after the key.
    void type(unsigned int character);
    // Cursor motion in pixels; the captured cursor reports it as relative motion.
    void moveMouse(double dx, double dy);
    void click(int button);
    void unclick(int button);

    // Joysticks 0 to count - 1 are present, named name; the manager notices on its next
    // re-enable of the joystick device class.
    static void plugJoysticks(unsigned int count, const std::string& name = "Xbox 360 Controller");
    static void setAxis(unsigned int joystick, unsigned int axis, float position);
    static void setButton(unsigned int joystick, unsigned int button, bool pressed);
    // Polls the joysticks: the manager delivers what changed.
    void poll();

private:
    OgreWindow mWindow;
    FakeJoysticks mJoysticks;
    std::unique_ptr<brix::InputManager> mInput;
    double mCursorX = 0.0;
    double mCursorY = 0.0;
};
} // namespace test
