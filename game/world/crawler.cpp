#include "game/world/crawler.h"

namespace game
{
Crawler::Crawler(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = ATTRIBUTE_EDITHIDE;
    mMotionState = 1;
    bindPose();
}
} // namespace game
