#include "game/world/weapon.h"

namespace game
{
Weapon::Weapon(EntityManager* manager) : Item(manager)
{
    mSupportedAttributes = ATTRIBUTE_EDITNOMOVEZ | ATTRIBUTE_EDITNOROTATE | ATTRIBUTE_EDITHIDE;
    mMotionState = 1;
    bindPose();
}
} // namespace game
