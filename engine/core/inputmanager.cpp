#include "engine/core/inputmanager.h"

#include "toolkit/log.h"

#include <OgreException.h>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <cmath>

template <> brix::InputManager* Ogre::Singleton<brix::InputManager>::msSingleton = nullptr;

namespace brix
{
namespace
{
void forwardKey(GLFWwindow* window, int key, int scancode, int action, int mods)
{
    if (InputManager* manager = InputManager::getSingletonPtr())
        manager->keyCallback(window, key, scancode, action, mods);
}

void forwardCharacter(GLFWwindow* window, unsigned int codepoint)
{
    if (InputManager* manager = InputManager::getSingletonPtr())
        manager->characterCallback(window, codepoint);
}

void forwardMouseButton(GLFWwindow* window, int button, int action, int mods)
{
    if (InputManager* manager = InputManager::getSingletonPtr())
        manager->mouseButtonCallback(window, button, action, mods);
}

void forwardMousePosition(GLFWwindow* window, double x, double y)
{
    if (InputManager* manager = InputManager::getSingletonPtr())
        manager->mousePositionCallback(window, x, y);
}

void forwardMouseScroll(GLFWwindow* window, double x, double y)
{
    if (InputManager* manager = InputManager::getSingletonPtr())
        manager->mouseScrollCallback(window, x, y);
}
} // namespace

InputManager::TJoystickDriver InputManager::m_JoystickDriver = {glfwJoystickPresent, glfwGetJoystickName,
                                                                glfwGetJoystickAxes, glfwGetJoystickButtons};

InputManager::InputManager(GLFWwindow* window, unsigned int deviceMask)
    : mWindow(window), mListenerEnableMask(0xFFFFFFFF), mLastCursorX(0.0), mLastCursorY(0.0),
      mCursorCaptured(false), mDeliveryDepth(0)
{
    Log::info("Detecting joystick devices..");
    unsigned int joysticks = countJoysticks();
    for (unsigned int i = 0; i < joysticks; ++i)
    {
        const char* name = m_JoystickDriver.name(static_cast<int>(i));
        Log::info("Joystick device #%u: %s", i, name ? name : "");
    }

    const char* failure = nullptr;
    if ((deviceMask & KEYBOARD) && !enableInputDevice(KEYBOARD))
        failure = "Keyboard device enabling failed";
    else if ((deviceMask & MOUSE) && !enableInputDevice(MOUSE))
        failure = "Mouse device enabling failed";
    else if ((deviceMask & JOYSTICK) && !enableInputDevice(JOYSTICK))
        failure = "Joystick device enabling failed";
    unsigned int unsupported = deviceMask & ~static_cast<unsigned int>(KEYBOARD | MOUSE | JOYSTICK);
    if (failure || unsupported)
    {
        // The destructor will not run: leave no callback behind on the window.
        disableInputDevice(KEYBOARD);
        disableInputDevice(MOUSE);
        if (failure)
            OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR, failure, "InputManager::InputManager");
        OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR,
                    "Unsupported input device(s) (" + std::to_string(unsupported) + ") specified",
                    "InputManager::InputManager");
    }
}

InputManager::~InputManager()
{
    disableInputDevice(KEYBOARD);
    disableInputDevice(MOUSE);
    mJoysticks.clear();
    mListeners.clear();
}

bool InputManager::enableInputDevice(InputDevice device)
{
    switch (device)
    {
    case KEYBOARD:
        if (!mWindow)
        {
            Log::error("Keyboard input device requires a window");
            return false;
        }
        glfwSetKeyCallback(mWindow, forwardKey);
        glfwSetCharCallback(mWindow, forwardCharacter);
        return true;
    case MOUSE:
        if (!mWindow)
        {
            Log::error("Mouse input device requires a window");
            return false;
        }
        glfwSetInputMode(mWindow, GLFW_CURSOR, GLFW_CURSOR_DISABLED);
        mLastCursorX = 0.0;
        mLastCursorY = 0.0;
        glfwSetCursorPos(mWindow, 0.0, 0.0);
        glfwSetCursorPosCallback(mWindow, forwardMousePosition);
        glfwSetMouseButtonCallback(mWindow, forwardMouseButton);
        glfwSetScrollCallback(mWindow, forwardMouseScroll);
        mCursorCaptured = true;
        return true;
    case JOYSTICK:
        mJoysticks.assign(countJoysticks(), TJoystickState());
        return true;
    default:
        Log::error("Attempt to enable unsupported device");
        return false;
    }
}

void InputManager::disableInputDevice(InputDevice device)
{
    switch (device)
    {
    case KEYBOARD:
        if (!mWindow)
            return;
        glfwSetKeyCallback(mWindow, nullptr);
        glfwSetCharCallback(mWindow, nullptr);
        break;
    case MOUSE:
        if (!mWindow)
            return;
        glfwSetInputMode(mWindow, GLFW_CURSOR, GLFW_CURSOR_NORMAL);
        glfwSetCursorPosCallback(mWindow, nullptr);
        glfwSetMouseButtonCallback(mWindow, nullptr);
        glfwSetScrollCallback(mWindow, nullptr);
        mCursorCaptured = false;
        break;
    case JOYSTICK:
        mJoysticks.clear();
        break;
    default:
        break;
    }
}

unsigned int InputManager::getDeviceCount(InputDevice device) const
{
    switch (device)
    {
    case KEYBOARD:
    case MOUSE:
        return 1;
    case JOYSTICK:
        return countJoysticks();
    default:
        return 0;
    }
}

std::string InputManager::getDeviceIdentifier(InputDevice device, unsigned int index) const
{
    switch (device)
    {
    case KEYBOARD:
        return "Keyboard";
    case MOUSE:
        return "Mouse";
    case JOYSTICK:
    {
        if (index > static_cast<unsigned int>(GLFW_JOYSTICK_LAST) ||
            !m_JoystickDriver.present(static_cast<int>(index)))
            return std::string();
        const char* name = m_JoystickDriver.name(static_cast<int>(index));
        return name ? name : "";
    }
    default:
        return std::string();
    }
}

void InputManager::addListener(InputListener* listener, unsigned int mask)
{
    if (!listener)
        return;
    for (size_t i = 0; i < mListeners.size(); ++i)
    {
        if (mListeners[i].listener == listener)
        {
            mListeners[i].mask = mask;
            updateListenerEnable(i);
            return;
        }
    }
    mListeners.push_back({listener, mask, false});
    updateListenerEnable(mListeners.size() - 1);
}

void InputManager::removeListener(InputListener* listener)
{
    if (!listener)
        return;
    // An entry the listener adds from its onListenerEnable call is a new registration and stays.
    ++mDeliveryDepth;
    size_t count = mListeners.size();
    for (size_t i = 0; i < count && i < mListeners.size(); ++i)
    {
        if (mListeners[i].listener != listener)
            continue;
        bool wasEnabled = mListeners[i].enabled;
        // Out of the list before it hears anything, so it may re-register from the call.
        mListeners[i].listener = nullptr;
        mListeners[i].enabled = false;
        if (wasEnabled)
            listener->onListenerEnable(false);
    }
    if (--mDeliveryDepth == 0)
        dropRemovedListeners();
}

void InputManager::dropRemovedListeners()
{
    std::vector<TListener>::iterator end = mListeners.begin();
    for (const TListener& entry : mListeners)
        if (entry.listener)
            *end++ = entry;
    mListeners.erase(end, mListeners.end());
}

void InputManager::setListenerEnableMask(unsigned int mask)
{
    mListenerEnableMask = mask;
    // Telling a listener is a delivery too: one that leaves from its call must not shift the
    // list under this loop and cost the next one its notice.
    ++mDeliveryDepth;
    for (size_t i = 0; i < mListeners.size(); ++i)
        updateListenerEnable(i);
    if (--mDeliveryDepth == 0)
        dropRemovedListeners();
}

void InputManager::updateListenerEnable(size_t index)
{
    TListener& entry = mListeners[index];
    if (!entry.listener)
        return;
    bool enabled = (entry.mask & mListenerEnableMask) != 0;
    if (enabled == entry.enabled)
        return;
    entry.enabled = enabled;
    // The call may change the list: nothing of the entry is used after it.
    entry.listener->onListenerEnable(enabled);
}

template <class Delivery> void InputManager::deliver(const Delivery& delivery)
{
    ++mDeliveryDepth;
    // Listeners added during the delivery hear the next event, not this one.
    size_t count = mListeners.size();
    for (size_t i = 0; i < count && i < mListeners.size(); ++i)
    {
        InputListener* listener = mListeners[i].listener;
        if (listener && mListeners[i].enabled)
            delivery(listener);
    }
    if (--mDeliveryDepth == 0)
        dropRemovedListeners();
}

void InputManager::update()
{
    for (size_t joystick = 0; joystick < mJoysticks.size(); ++joystick)
    {
        int axisCount = 0;
        const float* axes = m_JoystickDriver.axes(static_cast<int>(joystick), &axisCount);
        if (axes)
        {
            for (unsigned int axis = 0; axis < static_cast<unsigned int>(axisCount) &&
                                        axis < MAX_JOYSTICK_AXES && joystick < mJoysticks.size();
                 ++axis)
            {
                float value = axes[axis];
                if (value == mJoysticks[joystick].axes[axis])
                    continue;
                deliver([&](InputListener* listener)
                        { listener->onJoystickMove(static_cast<unsigned int>(joystick), axis, value); });
                if (joystick < mJoysticks.size())
                    mJoysticks[joystick].axes[axis] = value;
            }
        }
        int buttonCount = 0;
        const unsigned char* buttons = m_JoystickDriver.buttons(static_cast<int>(joystick), &buttonCount);
        if (!buttons)
            continue;
        for (unsigned int button = 0; button < static_cast<unsigned int>(buttonCount) &&
                                      button < MAX_JOYSTICK_BUTTONS && joystick < mJoysticks.size();
             ++button)
        {
            bool pressed = buttons[button] == GLFW_PRESS;
            if (pressed == mJoysticks[joystick].buttons[button])
                continue;
            deliver(
                [&](InputListener* listener)
                {
                    if (pressed)
                        listener->onJoystickButtonPress(static_cast<unsigned int>(joystick), button);
                    else
                        listener->onJoystickButtonRelease(static_cast<unsigned int>(joystick), button);
                });
            if (joystick < mJoysticks.size())
                mJoysticks[joystick].buttons[button] = pressed;
        }
    }
}

void InputManager::keyCallback(GLFWwindow*, int key, int, int action, int)
{
    if (action == GLFW_PRESS)
    {
        if (key == RELEASE_CURSOR_KEY && mCursorCaptured)
        {
            captureCursor(false);
            return;
        }
        deliver([&](InputListener* listener) { listener->onKeyPress(key, 0); });
    }
    else if (action == GLFW_RELEASE)
        deliver([&](InputListener* listener) { listener->onKeyRelease(key); });
}

void InputManager::characterCallback(GLFWwindow*, unsigned int codepoint)
{
    if (codepoint == 0)
        return;
    deliver([&](InputListener* listener) { listener->onKeyPress(0, codepoint); });
}

void InputManager::mouseButtonCallback(GLFWwindow*, int button, int action, int)
{
    if (action == GLFW_PRESS)
    {
        if (!mCursorCaptured)
        {
            captureCursor(true);
            return;
        }
        deliver([&](InputListener* listener) { listener->onMouseButtonPress(button); });
    }
    else if (action == GLFW_RELEASE)
        deliver([&](InputListener* listener) { listener->onMouseButtonRelease(button); });
}

void InputManager::mousePositionCallback(GLFWwindow*, double x, double y)
{
    if (!mCursorCaptured)
    {
        mLastCursorX = x;
        mLastCursorY = y;
        return;
    }
    Ogre::Vector4 motion(static_cast<Ogre::Real>(x - mLastCursorX), static_cast<Ogre::Real>(y - mLastCursorY),
                         0, 0);
    deliver([&](InputListener* listener) { listener->onMouseMove(motion); });
    if (std::fabs(mLastCursorX) > CURSOR_RANGE || std::fabs(mLastCursorY) > CURSOR_RANGE)
    {
        mLastCursorX = 0.0;
        mLastCursorY = 0.0;
        if (mWindow)
            glfwSetCursorPos(mWindow, 0.0, 0.0);
    }
    else
    {
        mLastCursorX = x;
        mLastCursorY = y;
    }
}

void InputManager::mouseScrollCallback(GLFWwindow*, double x, double y)
{
    if (!mCursorCaptured)
        return;
    Ogre::Vector4 scroll(0, 0, static_cast<Ogre::Real>(x), static_cast<Ogre::Real>(y));
    deliver([&](InputListener* listener) { listener->onMouseMove(scroll); });
}

unsigned int InputManager::countJoysticks() const
{
    unsigned int count = 0;
    while (count < MAX_JOYSTICK_COUNT && m_JoystickDriver.present(static_cast<int>(count)))
        ++count;
    return count;
}

void InputManager::captureCursor(bool captured)
{
    if (mWindow)
        glfwSetInputMode(mWindow, GLFW_CURSOR, captured ? GLFW_CURSOR_DISABLED : GLFW_CURSOR_NORMAL);
    mCursorCaptured = captured;
}
} // namespace brix
