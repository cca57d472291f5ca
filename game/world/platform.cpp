#include "game/world/platform.h"

namespace game
{
Platform::Platform(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = 0;
    mMotionState = 1;
    bindPose();
}

Ogre::Vector3 Platform::getWaypoint(unsigned index) const
{
    return index < mWaypoints.size() ? mWaypoints[index] : Ogre::Vector3::ZERO;
}
} // namespace game
