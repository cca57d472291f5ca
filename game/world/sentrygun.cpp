#include "game/world/sentrygun.h"

namespace game
{
SentryGun::SentryGun(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = ATTRIBUTE_EDITNOMOVEZ | ATTRIBUTE_EDITNOROTATE | ATTRIBUTE_EDITHIDE;
    mMotionState = 1;
    bindPose();
}
} // namespace game
