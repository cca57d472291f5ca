#include "engine/core/movablepositioncontroller.h"
#include "engine/core/movable.h"
#include "engine/core/simulator.h"

namespace brix
{
MovablePositionController::MovablePositionController(float gain, float damping, float limit)
    : mGain(gain), mDamping(damping), mLimit(limit)
{
}

void MovablePositionController::update(Movable* movable, float step)
{
    Ogre::Vector3 force = -movable->getMass() * movable->getSimulator()->getGravity();
    mError = mTarget - movable->getPosition();
    force += mError * mGain;
    force -= movable->getLinearVelocity() * mDamping;
    applyClampedForce(movable, force, mLimit);
}
} // namespace brix
