#include "game/world/projectile.h"

namespace game
{
Projectile::Projectile(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = 0;
    mMotionState = 1;
    bindPose();
}
} // namespace game
