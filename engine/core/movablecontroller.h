#pragma once
#include <OgreVector.h>

namespace brix
{
class Movable;

// Steers one movable from inside the physics step. A body calls it before handing its
// forces to the physics library; a particle after it has moved. The step is in seconds.
class MovableController
{
public:
    virtual ~MovableController() = default;
    virtual void update(Movable* movable, float step) = 0;

protected:
    // Clamps each component of the force to [-limit, limit] on its own and makes it the
    // movable's only force (children keep theirs), acting at its position so it adds no torque.
    static void applyClampedForce(Movable* movable, Ogre::Vector3 force, float limit);
};
} // namespace brix
