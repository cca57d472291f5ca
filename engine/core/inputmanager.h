#pragma once
#include "engine/core/inputlistener.h"

#include <OgreSingleton.h>

#include <string>
#include <vector>

struct GLFWwindow;

namespace brix
{
// Turns GLFW's keyboard, character, mouse, scroll and joystick input into calls on registered
// listeners. A listener hears input while its own mask and the global enable mask share a bit.
// The mouse is captured (cursor hidden, unbounded) once enabled; F2 frees it and the next click
// captures it again. Main thread only: the callbacks run inside GLFW's event polling and
// update() in the game's update. Listeners may be added and removed while input is delivered.
class InputManager : public Ogre::Singleton<InputManager>
{
public:
    enum InputDevice
    {
        KEYBOARD = 1,
        MOUSE = 2,
        JOYSTICK = 4
    };

    static constexpr unsigned int MAX_JOYSTICK_COUNT = 4;
    static constexpr unsigned int MAX_JOYSTICK_AXES = 16;
    static constexpr unsigned int MAX_JOYSTICK_BUTTONS = 32;
    // The key that frees a captured cursor.
    static constexpr int RELEASE_CURSOR_KEY = 291;
    // The captured cursor is brought back to the origin once it strays this far.
    static constexpr int CURSOR_RANGE = 1000;

    // GLFW's joystick queries; tests stand in for hardware by replacing them.
    struct TJoystickDriver
    {
        int (*present)(int joystick);
        const char* (*name)(int joystick);
        const float* (*axes)(int joystick, int* count);
        const unsigned char* (*buttons)(int joystick, int* count);
    };
    static TJoystickDriver m_JoystickDriver;

    // Enables the devices of deviceMask (InputDevice bits); throws Ogre::InternalErrorException
    // when one fails or the mask holds other bits.
    InputManager(GLFWwindow* window, unsigned int deviceMask);
    ~InputManager();
    InputManager(const InputManager&) = delete;
    InputManager& operator=(const InputManager&) = delete;

    bool enableInputDevice(InputDevice device);
    void disableInputDevice(InputDevice device);
    // 1 for keyboard and mouse; the joysticks present at consecutive indices from 0, at most 4.
    unsigned int getDeviceCount(InputDevice device) const;
    // "Keyboard", "Mouse", or the joystick's name; empty for a device that is not there.
    std::string getDeviceIdentifier(InputDevice device, unsigned int index) const;

    // Adding a listener again replaces its mask.
    void addListener(InputListener* listener, unsigned int mask);
    void removeListener(InputListener* listener);
    void setListenerEnableMask(unsigned int mask);
    unsigned int getListenerEnableMask() const { return mListenerEnableMask; }

    // Polls the joysticks and delivers their changes; once per frame.
    void update();

    void keyCallback(GLFWwindow* window, int key, int scancode, int action, int mods);
    void characterCallback(GLFWwindow* window, unsigned int codepoint);
    void mouseButtonCallback(GLFWwindow* window, int button, int action, int mods);
    void mousePositionCallback(GLFWwindow* window, double x, double y);
    void mouseScrollCallback(GLFWwindow* window, double x, double y);

private:
    struct TListener
    {
        InputListener* listener; // null once removed during a delivery
        unsigned int mask;
        bool enabled;
    };

    struct TJoystickState
    {
        float axes[MAX_JOYSTICK_AXES];
        bool buttons[MAX_JOYSTICK_BUTTONS];
    };

    unsigned int countJoysticks() const;
    void captureCursor(bool captured);
    // Recomputes one entry's enabled state and tells the listener when it changed.
    void updateListenerEnable(size_t index);
    // Compacts the entries removed during a delivery out of the list.
    void dropRemovedListeners();
    // Calls deliver on every enabled listener present when the delivery began.
    template <class Delivery> void deliver(const Delivery& delivery);

    GLFWwindow* mWindow;
    std::vector<TListener> mListeners;
    unsigned int mListenerEnableMask;
    double mLastCursorX;
    double mLastCursorY;
    std::vector<TJoystickState> mJoysticks;
    bool mCursorCaptured;
    // Nesting of deliveries: entries removed meanwhile are dropped when it returns to 0.
    unsigned int mDeliveryDepth;
};
} // namespace brix
