#pragma once
#include "engine/core/movablecontroller.h"

#include <OgreVector.h>

namespace brix
{
// Pulls a movable toward a target position with a spring and damper, cancelling gravity
// first. The force replaces every other force on the movable (not its children), acts at
// its position, and is clamped per axis to the limit.
class MovablePositionController : public MovableController
{
public:
    MovablePositionController() = default;
    MovablePositionController(float gain, float damping, float limit);

    void update(Movable* movable, float step) override;

    void setTarget(const Ogre::Vector3& target) { mTarget = target; }
    void setGain(float gain) { mGain = gain; }
    void setDamping(float damping) { mDamping = damping; }
    // Not negative.
    void setLimit(float limit) { mLimit = limit; }
    // Target minus position at the last update.
    Ogre::Vector3 getError() const { return mError; }

private:
    Ogre::Vector3 mTarget = Ogre::Vector3::ZERO;
    float mGain = 0.0f;
    float mDamping = 0.0f;
    float mLimit = 0.0f;
    Ogre::Vector3 mError = Ogre::Vector3::ZERO;
};
} // namespace brix
