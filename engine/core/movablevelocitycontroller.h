#pragma once
#include "engine/core/movablecontroller.h"

#include <OgreVector.h>

namespace brix
{
// Pulls a movable toward a target velocity. The force is the velocity error times the gain
// (not scaled by mass, no gravity compensation), clamped per axis to the limit, and replaces
// every other force on the movable.
class MovableVelocityController : public MovableController
{
public:
    MovableVelocityController() = default;
    MovableVelocityController(float gain, float limit);

    void update(Movable* movable, float step) override;

    void setTarget(const Ogre::Vector3& velocity) { mTarget = velocity; }
    void setGain(float gain) { mGain = gain; }
    // Not negative.
    void setLimit(float limit) { mLimit = limit; }
    // Target minus velocity at the last update.
    Ogre::Vector3 getError() const { return mError; }

private:
    Ogre::Vector3 mTarget = Ogre::Vector3::ZERO;
    float mGain = 0.0f;
    float mLimit = 0.0f;
    Ogre::Vector3 mError = Ogre::Vector3::ZERO;
};
} // namespace brix
