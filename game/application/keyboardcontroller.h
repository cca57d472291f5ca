#pragma once
#include "game/world/controller.h"

#include <string>
#include <vector>

namespace game
{
// A player's controls on the keyboard, optionally aiming with the mouse. Keys and mouse events
// only note what is held; update() turns that into the tick's record. Without the mouse the
// arrow keys swing the aim up and down at a rate that speeds up while the key is held, and
// the walk direction sets which side the aim faces. Main thread only.
//
//   Left / Right arrow   walk, and face that way     A / D        walk
//   Up / Down arrow      aim up / down                Control      shoot
//   F                    switch weapon                R            reload
//   Space or W           jump                         S            crouch
//   E                    interact                     C            shield
//   F1                   show the controls
// With the mouse: left button shoots, right reloads, middle switches.
class KeyboardController : public Controller
{
public:
    // Seconds of one fixed tick.
    static constexpr float TICK_SECONDS = 0.025f;
    // Aiming by keys, in degrees: the rate an arrow key starts at, how fast it grows while the
    // key is held, its limit, and the limits of the angle above (positive) and below the
    // horizontal.
    static constexpr float AIM_START_RATE = 30.0f;
    static constexpr float AIM_ACCELERATION = 450.0f;
    static constexpr float MAX_AIM_RATE = 300.0f;
    static constexpr float MIN_AIM_ANGLE = -65.0f;
    static constexpr float MAX_AIM_ANGLE = 88.0f;
    // Aiming by mouse: pixels of motion for one unit of the pointer vector, and the length
    // below which the pointer is too short to give a direction.
    static constexpr float MOUSE_PIXELS_PER_UNIT = 200.0f;
    static constexpr float MIN_POINTER_LENGTH = 0.2f;

    // Mouse aiming starts off, facing right at the horizontal.
    explicit KeyboardController(unsigned short nodeId);

    // Switching on points the mouse pointer straight ahead (1, 0); switching off clears it.
    void setMouseEnabled(bool enabled);

    // What the layouts of two controller types (1 the keyboard, 2 the keyboard with mouse
    // aiming, any other none) both act on, so that one press drives both players: the names
    // of the keys, in the order of the key table, and "mouse" when both aim with it. Up and
    // Down do not aim with the mouse.
    static std::vector<std::string> getSharedControls(int type, int otherType);

    // 2 with mouse aiming, else 1.
    int getType() const override;
    void update(unsigned short tick) override;
    Ogre::Vector2 getPointerDirection() const override;
    std::string getControlText(const std::string& action) const override;
    bool isInfoRequested() const override;

    // Losing the input (focus, menu) releases everything held; enabling changes nothing.
    void onListenerEnable(bool enabled) override;
    void onKeyPress(brix::KeyCode key, unsigned int character) override;
    void onKeyRelease(brix::KeyCode key) override;
    void onMouseMove(const Ogre::Vector4& motion) override;
    void onMouseButtonPress(brix::MouseButton button) override;
    void onMouseButtonRelease(brix::MouseButton button) override;

private:
    // What the key does, pressed or released; nothing for a key the controller does not use.
    void holdKey(brix::KeyCode key, bool held);
    // The button bit a mouse button holds; 0 for none.
    static unsigned int mouseButton(brix::MouseButton button);

    bool mMouseEnabled = false;
    TInput mInput;
    // Degrees above the horizontal, its rate per second and the rate's change per second.
    float mAimAngle = 0.0f;
    float mFacing = 1.0f;
    float mAimRate = 0.0f;
    float mAimAcceleration = 0.0f;
    // -1, 0 or 1 from the arrow keys and from A and D; the arrows win.
    float mArrowWalk = 0.0f;
    float mKeyWalk = 0.0f;
    Ogre::Vector2 mPointer = Ogre::Vector2::ZERO;
    float mPointerLength = 0.0f;
    bool mInfoHeld = false;
};
} // namespace game
