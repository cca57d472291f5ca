#pragma once
#include "engine/core/gamepadlayout.h"
#include "game/world/controller.h"

#include <string>

namespace game
{
// A player's controls on one gamepad, read through the layouts of "gamepads.xml", which name the
// pad's raw axes and buttons. The left stick walks (and jumps or crouches when pushed far up or
// down), the right stick aims; the triggers and action buttons do the rest:
//
//   right trigger         shoot          left trigger          shield
//   upper action button   switch weapon  rightmost action      reload
//   lower action button   jump           leftmost action       interact
//   select (options/view) show the controls
// The pad's input arrives through the controller's listener side and is kept by the layout;
// update() reads it into the tick's record. Main thread only.
class GamePadController : public Controller
{
public:
    // The layout name that picks the layout from the pad's device name.
    static const std::string AUTOMATIC_LAYOUT;
    static const std::string LAYOUT_FILE;

    // Stick positions nearer the centre than this walk nowhere.
    static constexpr float WALK_DEAD_ZONE = 0.1f;
    // The right stick aims only when pushed at least this far; nearer the centre the last aim
    // stays.
    static constexpr float AIM_DEAD_ZONE = 0.75f;
    // The left stick pushed further than this up jumps, down crouches.
    static constexpr float STICK_JUMP_CROUCH = 0.7f;
    // The trigger axis pressed further than this shoots.
    static constexpr float TRIGGER_SHOOT = 0.5f;

    // gamepadIndex: 0-based joystick number; layoutName: a layout of the file or AUTOMATIC_LAYOUT.
    // Finds the pad at once; a missing pad or layout is logged and yields zero input.
    GamePadController(unsigned short nodeId, unsigned int gamepadIndex, const std::string& layoutName);

    // Looks for the joysticks again and selects the layout for the pad.
    void initializeDevice() override;
    // 3 for gamepad 0, 4 for gamepad 1.
    int getType() const override;
    void update(unsigned short tick) override;
    std::string getControlText(const std::string& action) const override;
    bool isInfoRequested() const override;
    // The layout the pad is read through; none is selected when no pad matched.
    const brix::GamepadLayout& getGamepadLayout() const { return mLayout; }
    unsigned int getGamepadIndex() const { return mGamepadIndex; }

    // Losing the input releases every button and stops the walk.
    void onListenerEnable(bool enabled) override;
    void onJoystickMove(unsigned int joystick, unsigned int axis, float position) override;
    void onJoystickButtonPress(unsigned int joystick, unsigned int button) override;
    void onJoystickButtonRelease(unsigned int joystick, unsigned int button) override;

private:
    // The layout's listener side, which it keeps private: the controller hears for it.
    brix::InputListener& layoutListener() { return mLayout; }

    unsigned int mGamepadIndex;
    std::string mLayoutName;
    brix::GamepadLayout mLayout;
    TInput mInput;
    bool mInfoHeld = false;
};
} // namespace game
