#include "game/world/shield.h"

namespace game
{
Shield::Shield(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = 0;
    mMotionState = 1;
    bindPose();
}
} // namespace game
