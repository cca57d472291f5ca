#include "engine/core/movablecontroller.h"
#include "engine/core/movable.h"

#include <algorithm>

namespace brix
{
void MovableController::applyClampedForce(Movable* movable, Ogre::Vector3 force, float limit)
{
    for (int axis = 0; axis < 3; ++axis)
        force[axis] = std::min(std::max(force[axis], -limit), limit);
    movable->clearForces(false);
    movable->addForce(force, movable->getPosition(), false);
}
} // namespace brix
