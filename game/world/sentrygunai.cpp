#include "game/world/sentrygunai.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "toolkit/xmlelement.h"

#include <cmath>

namespace game
{
namespace
{
constexpr uint32_t SEETHROUGH_MASK = 4;
} // namespace

SentryGunAI::SentryGunAI(EntityManager* manager, Entity* owner) : AI(manager, owner) {}

bool SentryGunAI::load(const brix::XMLElement* definition)
{
    if (!AI::load(definition))
        return false;
    mTargetRange = definition->getValueAsFloat("targetrange", 0.0f);
    mTargetWidth = definition->getValueAsFloat("targetwidth", 0.0f);
    return true;
}

void SentryGunAI::copyParameters(const AI& other)
{
    AI::copyParameters(other);
    const SentryGunAI& prototype = static_cast<const SentryGunAI&>(other);
    mTargetRange = prototype.mTargetRange;
    mTargetWidth = prototype.mTargetWidth;
}

void SentryGunAI::reset()
{
    AI::reset();
    mMode = SEARCHING;
    Ogre::Vector3 facing = mOwner->getOrientation() * Ogre::Vector3::UNIT_X;
    mAimDirection = Ogre::Vector2(facing.x >= 0.0f ? 1.0f : -1.0f, 0.0f);
}

bool SentryGunAI::isTargetInView(const Ogre::Vector3& offset) const
{
    bool facingSide = offset.x < 0.0f ? mAimDirection.x <= 0.0f : mAimDirection.x > 0.0f;
    return facingSide && std::fabs(offset.y) < mTargetWidth;
}

int SentryGunAI::checkVisibility(Entity* target)
{
    return mManager->checkVisibility(mOwner, mOwner->getPosition(), target, true, SEETHROUGH_MASK, false);
}

void SentryGunAI::think(float elapsed)
{
    updateTarget(elapsed, mTargetRange);
    if (mMode == SEARCHING)
    {
        if (mTargetId != 0)
            mMode = TRACKING;
        return;
    }
    if (mTargetId != 0)
        mFiring = mTargetVisibility > 0;
    else
    {
        mFiring = false;
        mMode = SEARCHING;
    }
}
} // namespace game
