#pragma once
#include "engine/core/inputlistener.h"

#include <string>
#include <vector>

namespace brix
{
class XMLElement;

// Maps the numbered axes and buttons of one joystick onto named gamepad controls through named
// layouts kept in "gamepads.xml". While registered with brix::InputManager and enabled, it follows
// one joystick and keeps the present position of each named axis and the state of each button.
// Main thread only.
class GamepadLayout : public InputListener
{
public:
    enum Axis
    {
        AXIS_NONE = 0,
        AXIS_LEFT_X,
        AXIS_LEFT_Y,
        AXIS_LEFT_TRIGGER,
        AXIS_RIGHT_X,
        AXIS_RIGHT_Y,
        AXIS_RIGHT_TRIGGER,
        AXIS_COUNT
    };

    enum Button
    {
        BUTTON_NONE = 0,
        BUTTON_LEFT_TRIGGER,
        BUTTON_RIGHT_TRIGGER,
        BUTTON_DPAD_UP,
        BUTTON_DPAD_RIGHT,
        BUTTON_DPAD_DOWN,
        BUTTON_DPAD_LEFT,
        BUTTON_ACTION_TOP,
        BUTTON_ACTION_RIGHT,
        BUTTON_ACTION_BOTTOM,
        BUTTON_ACTION_LEFT,
        BUTTON_LEFT_STICK,
        BUTTON_RIGHT_STICK,
        BUTTON_SELECT,
        BUTTON_START,
        BUTTON_COUNT
    };

    // Layout flags. The left-trigger axis carries both triggers: positive values the left one,
    // negative values the right one.
    static constexpr unsigned int FLAG_SHARED_TRIGGER_AXIS = 1;
    // The trigger axes report -1 to 1 and are mapped to 0 to 1.
    static constexpr unsigned int FLAG_FULL_RANGE_TRIGGERS = 2;

    static constexpr unsigned int UNDEFINED_INDEX = 0xFFFFFFFF;
    // The platform whose layouts this build reads and writes; others are kept on saving.
    static const std::string m_Platform;
    // Element names of the axes and buttons in "gamepads.xml", by Axis and Button.
    static const std::string m_AxisElementNames[AXIS_COUNT];
    static const std::string m_ButtonElementNames[BUTTON_COUNT];

    struct Layout
    {
        std::string name;
        // Patterns of joystick names, separated by "|".
        std::string identifier;
        unsigned int flags;
        unsigned int axisIndices[AXIS_COUNT];
        unsigned int buttonIndices[BUTTON_COUNT];
    };

    GamepadLayout();
    virtual ~GamepadLayout();

    // Replaces every layout with this platform's layouts of the file. On an incomplete layout the
    // ones read before it stay and the result is false. Nothing is selected afterwards.
    bool loadLayouts(const std::string& path);
    // Writes the layouts into the file, keeping what it holds for other platforms.
    bool saveLayouts(const std::string& path);

    // False when the name is taken.
    bool createLayout(const std::string& name, const std::string& identifier);
    bool deleteLayout(const std::string& name);
    // The new name is not checked against the others.
    bool renameLayout(const std::string& name, const std::string& newName);
    bool layoutExists(const std::string& name) const;
    // Appends every layout's name, in order.
    void getLayoutNames(std::vector<std::string>& names) const;
    void setIdentifier(const std::string& name, const std::string& identifier);
    // Empty for an unknown name.
    std::string getIdentifier(const std::string& name) const;
    void setAxisIndex(const std::string& name, Axis axis, unsigned int index);
    void setButtonIndex(const std::string& name, Button button, unsigned int index);
    // UNDEFINED_INDEX for an unknown name.
    unsigned int getAxisIndex(const std::string& name, Axis axis) const;
    unsigned int getButtonIndex(const std::string& name, Button button) const;

    // The empty name selects nothing. Selecting clears the state; an unknown name gives false
    // and changes nothing.
    bool setLayout(const std::string& name);
    std::string getLayout() const;
    // Selects the first layout with a pattern found in the device identifier (a joystick's name).
    bool detectLayout(const std::string& deviceIdentifier);
    // Follows that joystick from now on; clears the state.
    void setJoystickDeviceIndex(unsigned int index);
    unsigned int getJoystickDeviceIndex() const { return mJoystickDeviceIndex; }
    // All axes centred, all buttons released.
    void resetState();
    // -1 to 1 for sticks, 0 to 1 for triggers.
    float getAxisPosition(Axis axis) const;
    bool getButtonState(Button button) const;
    // The first control of the selected layout on that joystick axis or button; none without one.
    Axis translateAxis(unsigned int axis) const;
    Button translateButton(unsigned int button) const;

private:
    void onListenerEnable(bool enabled) override;
    void onJoystickMove(unsigned int joystick, unsigned int axis, float position) override;
    void onJoystickButtonPress(unsigned int joystick, unsigned int button) override;
    void onJoystickButtonRelease(unsigned int joystick, unsigned int button) override;

    Layout* findLayout(const std::string& name);
    const Layout* findLayout(const std::string& name) const;
    const Layout* selectedLayout() const;
    // True for a "gamepad" entry of this platform or of none.
    static bool isReadHere(const XMLElement* element);
    bool readLayout(const XMLElement* element, Layout& layout) const;
    void writeLayout(const Layout& layout, XMLElement* element) const;
    // The joystick numbers of the named controls 1 to count - 1 under element ("axes" or
    // "buttons"); a control without its child has none, and control 0 never has one.
    static void readIndices(const XMLElement* element, const std::string names[], unsigned int indices[],
                            unsigned int count);
    // Writes the defined numbers and removes the children of the undefined ones.
    static void writeIndices(XMLElement* element, const std::string names[], const unsigned int indices[],
                             unsigned int count);
    void setButton(unsigned int joystick, unsigned int button, bool pressed);

    std::vector<Layout> mLayouts;
    unsigned int mSelectedLayout;
    unsigned int mJoystickDeviceIndex;
    float mAxisPositions[AXIS_COUNT];
    bool mButtonStates[BUTTON_COUNT];
};
} // namespace brix
