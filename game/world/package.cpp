#include "game/world/package.h"

namespace game
{
Package::Package(EntityManager* manager) : Item(manager)
{
    mSupportedAttributes = ATTRIBUTE_EDITNOMOVEZ | ATTRIBUTE_EDITNOROTATE | ATTRIBUTE_EDITHIDE;
    mMotionState = 1;
    bindPose();
}
} // namespace game
