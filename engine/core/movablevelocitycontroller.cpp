#include "engine/core/movablevelocitycontroller.h"
#include "engine/core/movable.h"

namespace brix
{
MovableVelocityController::MovableVelocityController(float gain, float limit) : mGain(gain), mLimit(limit) {}

void MovableVelocityController::update(Movable* movable, float step)
{
    mError = mTarget - movable->getLinearVelocity();
    applyClampedForce(movable, mError * mGain, mLimit);
}
} // namespace brix
