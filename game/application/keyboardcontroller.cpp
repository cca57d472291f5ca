#include "game/application/keyboardcontroller.h"

#include "game/application/controltext.h"

#include <OgreMath.h>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>

namespace game
{
namespace
{
const TControlText KEY_TEXTS[] = {
    {"WALK", "A and D"}, {"AIM", "arrow keys"}, {"JUMP", "SPACE"}, {"CROUCH", "S"}, {"INTERACT", "E"},
    {"SHOOT", "CTRL"},   {"SWITCH", "F"},       {"RELOAD", "R"},   {"SHIELD", "C"}, {"INFO", "F1"}};

const TControlText MOUSE_TEXTS[] = {{"WALK", "A and D"},
                                    {"AIM", "mouse"},
                                    {"JUMP", "SPACE"},
                                    {"CROUCH", "S"},
                                    {"INTERACT", "E"},
                                    {"SHOOT", "left mouse button or CTRL"},
                                    {"SWITCH", "middle mouse button or F"},
                                    {"RELOAD", "right mouse button or R"},
                                    {"SHIELD", "C"},
                                    {"INFO", "F1"}};

// What a key does while held: walk and face that way (the arrows), walk only (A and D), turn
// the aim (Up and Down, only without mouse aiming), hold a button, or ask for the controls.
enum KeyRole
{
    ARROW_WALK,
    KEY_WALK,
    AIM,
    BUTTON,
    INFO
};

struct TKey
{
    brix::KeyCode code;
    // As the player knows the key.
    const char* name;
    KeyRole role;
    // The walk or aim direction, or the button held.
    int value;
};

// Every key the controller acts on; the arrows and A and D walk by -1 or 1, Up and Down turn
// the aim up (1) or down (-1).
const TKey KEYS[] = {{GLFW_KEY_A, "A", KEY_WALK, -1},
                     {GLFW_KEY_D, "D", KEY_WALK, 1},
                     {GLFW_KEY_LEFT, "Left", ARROW_WALK, -1},
                     {GLFW_KEY_RIGHT, "Right", ARROW_WALK, 1},
                     {GLFW_KEY_UP, "Up", AIM, 1},
                     {GLFW_KEY_DOWN, "Down", AIM, -1},
                     {GLFW_KEY_SPACE, "Space", BUTTON, Controller::BUTTON_JUMP},
                     {GLFW_KEY_W, "W", BUTTON, Controller::BUTTON_JUMP},
                     {GLFW_KEY_S, "S", BUTTON, Controller::BUTTON_CROUCH},
                     {GLFW_KEY_LEFT_CONTROL, "Ctrl", BUTTON, Controller::BUTTON_SHOOT},
                     {GLFW_KEY_RIGHT_CONTROL, "Ctrl", BUTTON, Controller::BUTTON_SHOOT},
                     {GLFW_KEY_R, "R", BUTTON, Controller::BUTTON_RELOAD},
                     {GLFW_KEY_F, "F", BUTTON, Controller::BUTTON_SWITCH},
                     {GLFW_KEY_E, "E", BUTTON, Controller::BUTTON_INTERACT},
                     {GLFW_KEY_C, "C", BUTTON, Controller::BUTTON_SHIELD},
                     {GLFW_KEY_F1, "F1", INFO, 0}};

const TKey* findKey(brix::KeyCode code)
{
    for (const TKey& key : KEYS)
        if (key.code == code)
            return &key;
    return nullptr;
}

// The names of the keys a layout acts on, each once, in the table's order.
std::vector<std::string> keyNames(bool mouseEnabled)
{
    std::vector<std::string> names;
    for (const TKey& key : KEYS)
        if ((key.role != AIM || !mouseEnabled) &&
            std::find(names.begin(), names.end(), key.name) == names.end())
            names.push_back(key.name);
    return names;
}
} // namespace

KeyboardController::KeyboardController(unsigned short nodeId) : Controller(nodeId) {}

std::vector<std::string> KeyboardController::getSharedControls(int type, int otherType)
{
    std::vector<std::string> shared;
    auto keyboard = [](int controllerType) { return controllerType == 1 || controllerType == 2; };
    if (!keyboard(type) || !keyboard(otherType))
        return shared;
    const std::vector<std::string> others = keyNames(otherType == 2);
    for (const std::string& name : keyNames(type == 2))
        if (std::find(others.begin(), others.end(), name) != others.end())
            shared.push_back(name);
    if (type == 2 && otherType == 2)
        shared.push_back("mouse");
    return shared;
}

void KeyboardController::setMouseEnabled(bool enabled)
{
    mMouseEnabled = enabled;
    mPointer = enabled ? Ogre::Vector2(1.0f, 0.0f) : Ogre::Vector2::ZERO;
    mPointerLength = enabled ? 1.0f : 0.0f;
}

int KeyboardController::getType() const
{
    return mMouseEnabled ? 2 : 1;
}

void KeyboardController::update(unsigned short tick)
{
    mInput.tick = tick;
    if (mMouseEnabled)
    {
        // A pointer near the centre gives no direction: the last aim stays.
        if (mPointerLength > MIN_POINTER_LENGTH)
        {
            mInput.aimX = mPointer.x / mPointerLength;
            mInput.aimY = mPointer.y / mPointerLength;
        }
    }
    else
    {
        mAimRate = Ogre::Math::Clamp(mAimRate + mAimAcceleration * TICK_SECONDS, -MAX_AIM_RATE, MAX_AIM_RATE);
        mAimAngle = Ogre::Math::Clamp(mAimAngle + mAimRate * TICK_SECONDS, MIN_AIM_ANGLE, MAX_AIM_ANGLE);
        if (mArrowWalk != 0.0f)
            mFacing = mArrowWalk;
        const float radians = Ogre::Math::DegreesToRadians(mAimAngle);
        mInput.aimX = std::cos(radians) * mFacing;
        mInput.aimY = std::sin(radians);
        mPointer = Ogre::Vector2::ZERO;
        mPointerLength = 0.0f;
    }
    mInput.move = mArrowWalk != 0.0f ? mArrowWalk : mKeyWalk;
    addInput(mInput);
}

Ogre::Vector2 KeyboardController::getPointerDirection() const
{
    return mPointer;
}

std::string KeyboardController::getControlText(const std::string& action) const
{
    return mMouseEnabled ? findControlText(MOUSE_TEXTS, action) : findControlText(KEY_TEXTS, action);
}

bool KeyboardController::isInfoRequested() const
{
    return mInfoHeld;
}

void KeyboardController::onListenerEnable(bool enabled)
{
    if (enabled)
        return;
    mInput.buttons = 0;
    mAimRate = 0.0f;
    mAimAcceleration = 0.0f;
    mArrowWalk = 0.0f;
    mKeyWalk = 0.0f;
    mInfoHeld = false;
}

void KeyboardController::onKeyPress(brix::KeyCode key, unsigned int)
{
    holdKey(key, true);
}

void KeyboardController::onKeyRelease(brix::KeyCode key)
{
    holdKey(key, false);
}

void KeyboardController::holdKey(brix::KeyCode key, bool held)
{
    const TKey* binding = findKey(key);
    if (!binding)
        return;
    // A key lets go only of what it holds itself: with Left and Right both pressed, releasing
    // the first keeps the walk of the second.
    const float direction = static_cast<float>(binding->value);
    const unsigned int button = static_cast<unsigned int>(binding->value);
    switch (binding->role)
    {
    case ARROW_WALK:
        if (held)
            mArrowWalk = mFacing = direction;
        else if (mArrowWalk == direction)
            mArrowWalk = 0.0f;
        break;
    case KEY_WALK:
        if (held)
            mKeyWalk = direction;
        else if (mKeyWalk == direction)
            mKeyWalk = 0.0f;
        break;
    case AIM:
        if (held)
        {
            mAimRate = AIM_START_RATE * direction;
            mAimAcceleration = AIM_ACCELERATION * direction;
        }
        else if (mAimAcceleration * direction > 0.0f)
            mAimRate = mAimAcceleration = 0.0f;
        break;
    case BUTTON:
        mInput.buttons = held ? mInput.buttons | button : mInput.buttons & ~button;
        break;
    case INFO:
        mInfoHeld = held;
        break;
    }
}

void KeyboardController::onMouseMove(const Ogre::Vector4& motion)
{
    if (!mMouseEnabled)
        return;
    mPointer += Ogre::Vector2(motion.x, -motion.y) / MOUSE_PIXELS_PER_UNIT;
    mPointerLength = mPointer.length();
    if (mPointerLength > 1.0f)
    {
        mPointer /= mPointerLength;
        mPointerLength = 1.0f;
    }
}

void KeyboardController::onMouseButtonPress(brix::MouseButton button)
{
    if (mMouseEnabled)
        mInput.buttons |= mouseButton(button);
}

void KeyboardController::onMouseButtonRelease(brix::MouseButton button)
{
    // Also without mouse aiming: a button held while it was switched off must not stay down.
    mInput.buttons &= ~mouseButton(button);
}

unsigned int KeyboardController::mouseButton(brix::MouseButton button)
{
    switch (button)
    {
    case GLFW_MOUSE_BUTTON_LEFT:
        return BUTTON_SHOOT;
    case GLFW_MOUSE_BUTTON_RIGHT:
        return BUTTON_RELOAD;
    case GLFW_MOUSE_BUTTON_MIDDLE:
        return BUTTON_SWITCH;
    default:
        return 0;
    }
}
} // namespace game
