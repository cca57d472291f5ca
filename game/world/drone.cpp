#include "game/world/drone.h"

namespace game
{
Drone::Drone(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = ATTRIBUTE_EDITHIDE;
    mMotionState = 1;
    bindPose();
}
} // namespace game
