#include "game/world/crawlerai.h"
#include "engine/core/body.h"
#include "engine/core/simulator.h"
#include "game/world/crawler.h"
#include "game/world/entitymanager.h"
#include "toolkit/xmlelement.h"

namespace game
{
CrawlerAI::CrawlerAI(EntityManager* manager, Crawler* owner) : AI(manager, owner), mCrawler(owner) {}

CrawlerAI::~CrawlerAI() {}

bool CrawlerAI::load(const brix::XMLElement* definition)
{
    if (!AI::load(definition))
        return false;
    mStunTime = definition->getValueAsFloat("stuntime", 0.0f);
    mTargetRange = definition->getValueAsFloat("targetrange", 0.0f);
    return true;
}

void CrawlerAI::copyParameters(const AI& other)
{
    AI::copyParameters(other);
    const CrawlerAI& prototype = static_cast<const CrawlerAI&>(other);
    mTargetRange = prototype.mTargetRange;
    mStunTime = prototype.mStunTime;
}

void CrawlerAI::reset()
{
    AI::reset();
    mStunTimer = 0.0f;
    mHitFacing = 0.0f;
}

void CrawlerAI::onHit(const Ogre::Vector3& direction)
{
    mHitFacing = -direction.x;
}

bool CrawlerAI::onContact(const Ogre::Vector3& normal, Entity* other)
{
    return other && matchesTargetFilters(other);
}

void CrawlerAI::think(float elapsed)
{
    if (mHitFacing != 0.0f)
        mAimDirection.x = mHitFacing;
    mFiring = false;
    if (mStunTimer == 0.0f)
    {
        if (canWalk(mAimDirection.x))
            mMoveDirection.x = mAimDirection.x > 0.0f ? 1.0f : -1.0f;
        else
        {
            mAimDirection.x = -mAimDirection.x;
            mStunTimer = mStunTime;
        }
    }
    else
        mMoveDirection.x = 0.0f;
    if (mTargetRange > 0.0f && findTarget(mTargetRange))
        mFiring = true;
    if (mStunTimer > 0.0f)
        mStunTimer = std::max(0.0f, mStunTimer - elapsed);
    mHitFacing = 0.0f;
}

bool CrawlerAI::canWalk(float direction)
{
    float side = direction > 0.0f ? 1.0f : -1.0f;
    brix::Body* body = mCrawler->getBody();
    if (!body || !mCrawler->isOnGround())
        return true;
    const Ogre::Vector3& normal = mCrawler->getGroundNormal();
    Ogre::Vector3 tangent = Crawler::floorTangent(normal);
    Ogre::Vector3 start = mCrawler->getPosition() + normal * LIFT;
    Ogre::Vector3 end = start + tangent * side * LOOK_AHEAD;
    mHits.clear();
    body->trace(start, Ogre::Quaternion::IDENTITY, end, &mHits);
    for (const brix::TTraceContact& hit : mHits)
    {
        if (const Entity* entity = Entity::ofMovable(hit.movable))
        {
            if (entity->getFlags() & Entity::ATTRIBUTE_NOBLOCKAI)
                continue;
            return false;
        }
        if (hit.normal.y <= FLOOR_NORMAL_Y)
            return false;
        end = start + tangent * side * hit.distance;
    }
    brix::TTraceContact below;
    mManager->getSimulator()->traceRay(end, end - Ogre::Vector3(0.0f, STEP_DOWN, 0.0f), &below, nullptr);
    // The contact is written only on a hit: a zero normal is a drop ahead.
    if (below.normal == Ogre::Vector3::ZERO)
        return false;
    return Entity::ofMovable(below.movable) == nullptr;
}
} // namespace game
