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
} // namespace

KeyboardController::KeyboardController(unsigned short nodeId) : Controller(nodeId) {}

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

void KeyboardController::onKeyPress(brix::KeyCode key, unsigned int character)
{
    switch (key)
    {
    case GLFW_KEY_LEFT:
        mArrowWalk = -1.0f;
        mFacing = -1.0f;
        break;
    case GLFW_KEY_RIGHT:
        mArrowWalk = 1.0f;
        mFacing = 1.0f;
        break;
    case GLFW_KEY_A:
        mKeyWalk = -1.0f;
        break;
    case GLFW_KEY_D:
        mKeyWalk = 1.0f;
        break;
    case GLFW_KEY_UP:
        mAimRate = AIM_START_RATE;
        mAimAcceleration = AIM_ACCELERATION;
        break;
    case GLFW_KEY_DOWN:
        mAimRate = -AIM_START_RATE;
        mAimAcceleration = -AIM_ACCELERATION;
        break;
    case GLFW_KEY_F1:
        mInfoHeld = true;
        break;
    default:
        mInput.buttons |= keyButton(key);
        break;
    }
}

void KeyboardController::onKeyRelease(brix::KeyCode key)
{
    // A key lets go only of what it holds itself: with Left and Right both pressed, releasing
    // the first keeps the walk of the second.
    switch (key)
    {
    case GLFW_KEY_LEFT:
        if (mArrowWalk < 0.0f)
            mArrowWalk = 0.0f;
        break;
    case GLFW_KEY_RIGHT:
        if (mArrowWalk > 0.0f)
            mArrowWalk = 0.0f;
        break;
    case GLFW_KEY_A:
        if (mKeyWalk < 0.0f)
            mKeyWalk = 0.0f;
        break;
    case GLFW_KEY_D:
        if (mKeyWalk > 0.0f)
            mKeyWalk = 0.0f;
        break;
    case GLFW_KEY_UP:
        if (mAimAcceleration > 0.0f)
            mAimRate = mAimAcceleration = 0.0f;
        break;
    case GLFW_KEY_DOWN:
        if (mAimAcceleration < 0.0f)
            mAimRate = mAimAcceleration = 0.0f;
        break;
    case GLFW_KEY_F1:
        mInfoHeld = false;
        break;
    default:
        mInput.buttons &= ~keyButton(key);
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

unsigned int KeyboardController::keyButton(brix::KeyCode key)
{
    switch (key)
    {
    case GLFW_KEY_LEFT_CONTROL:
    case GLFW_KEY_RIGHT_CONTROL:
        return BUTTON_SHOOT;
    case GLFW_KEY_F:
        return BUTTON_SWITCH;
    case GLFW_KEY_R:
        return BUTTON_RELOAD;
    case GLFW_KEY_SPACE:
    case GLFW_KEY_W:
        return BUTTON_JUMP;
    case GLFW_KEY_S:
        return BUTTON_CROUCH;
    case GLFW_KEY_E:
        return BUTTON_INTERACT;
    case GLFW_KEY_C:
        return BUTTON_SHIELD;
    default:
        return 0;
    }
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
