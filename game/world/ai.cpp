#include "game/world/ai.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "toolkit/xmlelement.h"

#include <algorithm>
#include <cmath>

namespace game
{
namespace
{
bool contains(const std::vector<std::string>& list, const std::string& value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}
} // namespace

AI::AI(EntityManager* manager, Entity* owner) : mManager(manager), mOwner(owner) {}

AI::~AI() = default;

bool AI::load(const brix::XMLElement* definition)
{
    if (!definition)
    {
        mLoaded = false;
        return false;
    }
    mTargetDetectTime = definition->getValueAsFloat("targetdetecttime", 0.0f);
    mTargetReleaseTime = definition->getValueAsFloat("targetreleasetime", 0.0f);
    mTargetTypes.clear();
    for (const brix::XMLElement* child = definition->getChild("targettype"); child;
         child = definition->getNextChild(child, "targettype"))
        mTargetTypes.push_back(child->getValue());
    mTargetNames.clear();
    for (const brix::XMLElement* child = definition->getChild("targetname"); child;
         child = definition->getNextChild(child, "targetname"))
        mTargetNames.push_back(child->getValue());
    mLoaded = true;
    return true;
}

void AI::copyParameters(const AI& other)
{
    mTargetDetectTime = other.mTargetDetectTime;
    mTargetReleaseTime = other.mTargetReleaseTime;
    mTargetTypes = other.mTargetTypes;
    mTargetNames = other.mTargetNames;
    mLoaded = other.mLoaded;
}

bool AI::update()
{
    // Summed in single precision, four ticks make exactly THINK_SECONDS.
    mThinkAccumulator += TICK_SECONDS;
    if (mThinkAccumulator >= THINK_SECONDS)
    {
        think(mThinkAccumulator);
        mThinkAccumulator = 0.0f;
        return true;
    }
    idle();
    return false;
}

void AI::reset()
{
    mTargetId = 0;
    mTargetTimer = 0.0f;
    mTargetDirection = Ogre::Vector2::ZERO;
    mTargetDistance = 0.0f;
    mTargetHorizontalDistance = 0.0f;
    mTargetVisibility = VISIBILITY_NONE;
    mMoveDirection = Ogre::Vector2::ZERO;
    mAimDirection = Ogre::Vector2::UNIT_X;
    mFiring = false;
    mSecondaryAction = false;
}

bool AI::matchesTargetFilters(const Entity* entity) const
{
    if (isOwnerOrSelf(entity))
        return false;
    if (!mTargetTypes.empty() && !contains(mTargetTypes, entity->getType()))
        return false;
    return mTargetNames.empty() || contains(mTargetNames, entity->getName());
}

bool AI::isOwnerOrSelf(const Entity* entity) const
{
    return entity == mOwner || (mOwner->getOwnerId() != 0 && entity->getId() == mOwner->getOwnerId());
}

void AI::dropTarget()
{
    mTargetId = 0;
    mTargetVisibility = VISIBILITY_NONE;
    mTargetTimer = 0.0f;
}

int AI::checkTarget(Entity* target, float range)
{
    if (target->getHealth() <= 0.0f)
        return VISIBILITY_NONE;
    Ogre::Vector3 offset = target->getPosition() - mOwner->getPosition();
    if (offset.squaredLength() > range * range)
        return VISIBILITY_NONE;
    if (!isTargetInView(offset))
        return VISIBILITY_NONE;
    return checkVisibility(target);
}

uint32_t AI::findTarget(float range)
{
    const Ogre::Vector3& position = mOwner->getPosition();
    mCandidates.clear();
    if (mTargetTypes.empty())
        mManager->findEntities(mCandidates, position, range, "");
    else
        for (const std::string& type : mTargetTypes)
            mManager->findEntities(mCandidates, position, range, type);

    const float rangeSquared = range * range;
    uint32_t bestId = 0;
    float bestSquared = rangeSquared + 1.0f;
    for (Entity* candidate : mCandidates)
    {
        if (isOwnerOrSelf(candidate))
            continue;
        if (!mTargetNames.empty() && !contains(mTargetNames, candidate->getName()))
            continue;
        // The cheap distance test before the view and line-of-sight tests.
        Ogre::Vector3 offset = candidate->getPosition() - position;
        float squared = offset.squaredLength();
        if (!(squared < bestSquared) || squared > rangeSquared)
            continue;
        if (candidate->getHealth() <= 0.0f || !isTargetInView(offset) || checkVisibility(candidate) <= 0)
            continue;
        bestId = candidate->getId();
        bestSquared = squared;
    }
    return bestId;
}

void AI::updateTarget(float elapsed, float range)
{
    if (mTargetId != 0)
    {
        Entity* target = mManager->getEntity(mTargetId);
        if (!target || target->getHealth() <= 0.0f)
            dropTarget();
        else
        {
            mTargetVisibility = checkTarget(target, range);
            if (mTargetVisibility > 0)
                mTargetTimer = 0.0f;
            else
            {
                mTargetTimer += elapsed;
                if (mTargetTimer >= mTargetReleaseTime)
                    dropTarget();
            }
        }
    }
    if (mTargetId == 0)
    {
        uint32_t id = findTarget(range);
        if (id == 0)
            mTargetTimer = 0.0f;
        else
        {
            mTargetTimer += elapsed;
            if (mTargetTimer >= mTargetDetectTime && mManager->getEntity(id))
            {
                mTargetId = id;
                mTargetVisibility = VISIBILITY_NONE;
                mTargetTimer = 0.0f;
            }
        }
    }
    updateTargetInfo();
}

void AI::updateTargetInfo()
{
    Entity* target = mTargetId != 0 ? mManager->getEntity(mTargetId) : nullptr;
    if (!target)
        return;
    const Ogre::Vector3 offset = target->getPosition() - mOwner->getPosition();
    mTargetDirection = Ogre::Vector2(offset.x, offset.y);
    mTargetDistance = mTargetDirection.length();
    mTargetHorizontalDistance = std::fabs(offset.x);
    if (mTargetDistance > 0.0f)
        mTargetDirection /= mTargetDistance;
}

void AI::switchToCloserTarget(float range)
{
    if (mTargetId == 0)
        return;
    Entity* held = mManager->getEntity(mTargetId);
    uint32_t id = findTarget(range);
    Entity* closer = id != 0 && id != mTargetId ? mManager->getEntity(id) : nullptr;
    if (!closer)
        return;
    const Ogre::Vector3& position = mOwner->getPosition();
    float heldSquared = held ? (held->getPosition() - position).squaredLength() : INFINITY;
    if ((closer->getPosition() - position).squaredLength() < heldSquared)
    {
        mTargetId = id;
        mTargetTimer = 0.0f;
        mTargetVisibility = VISIBILITY_NONE;
        updateTargetInfo();
    }
}
} // namespace game
