#include "support/game/inputrig.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <algorithm>

namespace test
{
namespace
{
struct TFakeJoystick
{
    float axes[InputRig::MAX_AXES];
    unsigned char buttons[InputRig::MAX_BUTTONS];
};

TFakeJoystick g_Joysticks[brix::InputManager::MAX_JOYSTICK_COUNT];
unsigned int g_JoystickCount = 0;
std::string g_JoystickName;

int isPresent(int joystick)
{
    return joystick >= 0 && static_cast<unsigned int>(joystick) < g_JoystickCount;
}

const char* name(int joystick)
{
    return isPresent(joystick) ? g_JoystickName.c_str() : nullptr;
}

const float* axes(int joystick, int* count)
{
    *count = isPresent(joystick) ? InputRig::MAX_AXES : 0;
    return isPresent(joystick) ? g_Joysticks[joystick].axes : nullptr;
}

const unsigned char* buttons(int joystick, int* count)
{
    *count = isPresent(joystick) ? InputRig::MAX_BUTTONS : 0;
    return isPresent(joystick) ? g_Joysticks[joystick].buttons : nullptr;
}

void resetJoysticks()
{
    for (TFakeJoystick& joystick : g_Joysticks)
    {
        std::fill(std::begin(joystick.axes), std::end(joystick.axes), 0.0f);
        std::fill(std::begin(joystick.buttons), std::end(joystick.buttons), GLFW_RELEASE);
    }
}
} // namespace

FakeJoysticks::FakeJoysticks(unsigned int count) : mSavedDriver(brix::InputManager::m_JoystickDriver)
{
    brix::InputManager::m_JoystickDriver = {isPresent, name, axes, buttons};
    resetJoysticks();
    InputRig::plugJoysticks(count);
}

FakeJoysticks::~FakeJoysticks()
{
    InputRig::plugJoysticks(0);
    resetJoysticks();
    brix::InputManager::m_JoystickDriver = mSavedDriver;
}

InputRig::InputRig(unsigned int deviceMask, unsigned int joysticks)
    : mJoysticks(joysticks), mInput(std::make_unique<brix::InputManager>(mWindow.window(), deviceMask))
{
}

InputRig::~InputRig()
{
    mInput.reset();
}

void InputRig::press(int key)
{
    mInput->keyCallback(mWindow.window(), key, 0, GLFW_PRESS, 0);
}

void InputRig::release(int key)
{
    mInput->keyCallback(mWindow.window(), key, 0, GLFW_RELEASE, 0);
}

void InputRig::type(unsigned int character)
{
    mInput->characterCallback(mWindow.window(), character);
}

void InputRig::moveMouse(double dx, double dy)
{
    mCursorX += dx;
    mCursorY += dy;
    mInput->mousePositionCallback(mWindow.window(), mCursorX, mCursorY);
}

void InputRig::click(int button)
{
    mInput->mouseButtonCallback(mWindow.window(), button, GLFW_PRESS, 0);
}

void InputRig::unclick(int button)
{
    mInput->mouseButtonCallback(mWindow.window(), button, GLFW_RELEASE, 0);
}

void InputRig::plugJoysticks(unsigned int count, const std::string& joystickName)
{
    g_JoystickCount = std::min(count, brix::InputManager::MAX_JOYSTICK_COUNT);
    g_JoystickName = joystickName;
}

void InputRig::setAxis(unsigned int joystick, unsigned int axis, float position)
{
    g_Joysticks[joystick].axes[axis] = position;
}

void InputRig::setButton(unsigned int joystick, unsigned int button, bool pressed)
{
    g_Joysticks[joystick].buttons[button] = pressed ? GLFW_PRESS : GLFW_RELEASE;
}

void InputRig::poll()
{
    mInput->update();
}
} // namespace test
