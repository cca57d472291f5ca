#include "game/world/humanai.h"
#include "engine/core/body.h"
#include "engine/core/simulator.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "game/world/humanbody.h"
#include "game/world/weapon.h"
#include "toolkit/xmlelement.h"

#include <OgreMath.h>

#include <algorithm>
#include <cmath>

namespace game
{
namespace
{
// Aim wander while patrolling: a new aim angle (degrees) every few seconds.
constexpr float WANDER_LOWEST_AIM = -20.0f;
constexpr float WANDER_HIGHEST_AIM = 45.0f;
constexpr float WANDER_SHORTEST = 1.0f;
constexpr float WANDER_LONGEST = 4.0f;
// Turn requests of a noise, and at most of a hurt human within the target range.
constexpr float NOISE_TURN_REQUEST = 0.5f;
// Ground steeper than this stops a patrol.
constexpr float MIN_WALKABLE_NORMAL_Y = 0.5f;
// A human target is aimed at between its eyes and its position.
constexpr float AIM_EYE_SHARE = 0.4f;
// The guard backs off only while its target is well inside its range.
constexpr float RETREAT_RANGE_SHARE = 0.9f;
// A hit makes the guard look for a better target within this share of its range.
constexpr float SWITCH_RANGE_SHARE = 0.5f;
constexpr uint32_t SEETHROUGH_MASK = 4;

float randomBetween(float low, float high)
{
    return low + Ogre::Math::UnitRandom() * (high - low);
}

float sideOf(float value)
{
    return value < 0.0f ? -1.0f : 1.0f;
}
} // namespace

HumanAI::HumanAI(EntityManager* manager, Human* owner)
    : AI(manager, owner), mHuman(owner), mEvents(manager->getEventDispatcher())
{
    if (mEvents)
        mEvents->addListener(this);
}

HumanAI::~HumanAI()
{
    if (mEvents)
        mEvents->removeListener(this);
}

bool HumanAI::load(const brix::XMLElement* definition)
{
    if (!AI::load(definition))
        return false;
    mTargetRange = definition->getValueAsFloat("targetrange", 0.0f);
    mMinimumAttackRange = definition->getValueAsFloat("minimumattackrange", 0.0f);
    mMaximumAttackRange = definition->getValueAsFloat("maximumattackrange", 0.0f);
    mPatrolWalkSpeed = definition->getValueAsFloat("patrolwalkspeed", 0.0f);
    mAttackWalkSpeed = definition->getValueAsFloat("attackwalkspeed", 0.0f);
    mAimSpeed = definition->getValueAsFloat("aimspeed", 0.0f);
    mAimTolerance = definition->getValueAsFloat("aimtolerance", 0.0f);
    mDamageStunTime = definition->getValueAsFloat("damagestuntime", 0.0f);
    mIdleTime = definition->getValueAsFloat("idletime", 0.0f);
    mBlockedTime = definition->getValueAsFloat("blockedtime", 0.0f);
    mReactionTime = definition->getValueAsFloat("reactiontime", 0.0f);
    return true;
}

void HumanAI::copyParameters(const AI& other)
{
    AI::copyParameters(other);
    const HumanAI& prototype = static_cast<const HumanAI&>(other);
    mTargetRange = prototype.mTargetRange;
    mMinimumAttackRange = prototype.mMinimumAttackRange;
    mMaximumAttackRange = prototype.mMaximumAttackRange;
    mPatrolWalkSpeed = prototype.mPatrolWalkSpeed;
    mAttackWalkSpeed = prototype.mAttackWalkSpeed;
    mAimSpeed = prototype.mAimSpeed;
    mAimTolerance = prototype.mAimTolerance;
    mDamageStunTime = prototype.mDamageStunTime;
    mIdleTime = prototype.mIdleTime;
    mBlockedTime = prototype.mBlockedTime;
    mReactionTime = prototype.mReactionTime;
}

void HumanAI::reset()
{
    AI::reset();
    mStateTimer = 0.0f;
    mAimWanderTimer = 0.0f;
    mReactionTimer = 0.0f;
    mTurnRequest = 0.0f;
    mAim = 0.0f;
    mAimTarget = REST_AIM;
    mState = IDLE;
    mDirection = 1.0f;
    // The speech state stays: the human speaks on changes, and a guard back in life has
    // nothing new to say.
}

bool HumanAI::isTargetInView(const Ogre::Vector3& offset) const
{
    return offset.x < 0.0f ? mDirection <= 0.0f : mDirection > 0.0f;
}

int HumanAI::checkVisibility(Entity* target)
{
    if (mHuman->getHealth() <= 0.0f)
        return VISIBILITY_CLEAR;
    return mManager->checkVisibility(mHuman, mHuman->getEyePosition(), target, true, SEETHROUGH_MASK, false);
}

void HumanAI::idle()
{
    float error = mAimTarget - mAim;
    float rate;
    if (mAimTolerance > 0.0f)
        rate = Ogre::Math::Clamp(error * mAimSpeed / mAimTolerance, -mAimSpeed, mAimSpeed);
    else
        // No slow-down band: full speed, stopping on the target rather than beyond it.
        rate = Ogre::Math::Clamp(error / TICK_SECONDS, -mAimSpeed, mAimSpeed);
    mAim += rate * TICK_SECONDS;
    float radians = Ogre::Degree(mAim).valueRadians();
    mAimDirection = Ogre::Vector2(std::cos(radians) * mDirection, std::sin(radians));
}

void HumanAI::enterState(int state)
{
    mState = state;
    mStateTimer = 0.0f;
    mFiring = false;
    switch (state)
    {
    case IDLE:
        mMoveDirection = Ogre::Vector2::ZERO;
        mAimTarget = REST_AIM;
        break;
    case PATROL:
        mMoveDirection = Ogre::Vector2(mPatrolWalkSpeed * mDirection, 0.0f);
        mAimWanderTimer = 0.0f;
        break;
    case BLOCKED:
        mMoveDirection = Ogre::Vector2::ZERO;
        break;
    case ATTACK:
        mMoveDirection = Ogre::Vector2::ZERO;
        mReactionTimer = std::max(mReactionTimer, mReactionTime);
        break;
    }
}

void HumanAI::startAttack()
{
    enterState(ATTACK);
    speakAbout(mManager->getEntity(mTargetId));
}

void HumanAI::turnTo(float side)
{
    mDirection = sideOf(side);
    enterState(PATROL);
}

void HumanAI::speakAbout(const Entity* target)
{
    if (target)
        mSpeechState = target->getType() == "human" ? SPEECH_TARGET_HUMAN : SPEECH_TARGET_OTHER;
}

bool HumanAI::isPathClear(float side) const
{
    HumanBody* body = mHuman->getBody();
    if (!body || !body->isOnGround())
        return true;
    brix::Body* active = body->getActiveBody();
    const Ogre::Vector3& position = mHuman->getPosition();

    // Anything in the way along the ground: another entity or a wall.
    Ogre::Vector3 tangent = body->getGroundNormal().crossProduct(Ogre::Vector3::UNIT_Z);
    tangent.z = 0.0f;
    tangent.normalise();
    mPathHits.clear();
    active->trace(position, Ogre::Quaternion::IDENTITY, position + tangent * (PATH_CHECK_DISTANCE * side),
                  &mPathHits);
    for (const brix::TTraceContact& hit : mPathHits)
        if (Entity::ofMovable(hit.movable) || hit.normal.y <= MIN_WALKABLE_NORMAL_Y)
            return false;

    // Level ground below the next step, not deeper than a step down.
    Ogre::Vector3 ahead = position + Ogre::Vector3(PATH_CHECK_DISTANCE * side, 0.0f, 0.0f);
    Ogre::Vector3 below = ahead - Ogre::Vector3(0.0f, body->getStandHeight() + PATH_CHECK_DISTANCE, 0.0f);
    brix::TTraceContact contact;
    contact.distance = -1.0f;
    brix::Movable* hit = mManager->getSimulator()->traceRay(ahead, below, &contact, active);
    return contact.distance >= 0.0f && !Entity::ofMovable(hit);
}

bool HumanAI::readClip(int& clip, int& perClip) const
{
    uint32_t rounds = 0, reserve = 0;
    const Weapon* weapon = mHuman->getWeapon(mHuman->getCurrentWeaponIndex(), rounds, reserve);
    clip = static_cast<int>(rounds);
    perClip = weapon ? weapon->getRoundsPerClip() : 0;
    return weapon != nullptr;
}

void HumanAI::think(float elapsed)
{
    switch (mState)
    {
    case IDLE:
        thinkIdle(elapsed);
        break;
    case PATROL:
    case BLOCKED:
        thinkPatrol(elapsed);
        break;
    default:
        thinkAttack(elapsed);
        break;
    }
    mTurnRequest = 0.0f;
    mReactionTimer = std::max(0.0f, mReactionTimer - elapsed);
}

void HumanAI::thinkIdle(float elapsed)
{
    mStateTimer += elapsed;
    mFiring = false;
    mSecondaryAction = false;
    updateTarget(elapsed, mTargetRange);
    if (mTargetId != 0)
        startAttack();
    else if (mTurnRequest != 0.0f)
        turnTo(mTurnRequest);
    else if (mStateTimer >= mIdleTime)
        enterState(PATROL);
}

void HumanAI::thinkPatrol(float elapsed)
{
    bool clear = isPathClear(mDirection);
    if (clear && mState == BLOCKED)
        enterState(PATROL);
    else if (!clear && mState == PATROL)
        enterState(BLOCKED);

    int clip = 0, perClip = 0;
    mSecondaryAction = mReactionTimer <= 0.0f && readClip(clip, perClip) && clip < perClip;

    mAimWanderTimer -= elapsed;
    if (mAimWanderTimer < 0.0f)
    {
        mAimTarget = randomBetween(WANDER_LOWEST_AIM, WANDER_HIGHEST_AIM);
        mAimWanderTimer = randomBetween(WANDER_SHORTEST, WANDER_LONGEST);
    }

    mStateTimer += elapsed;
    if (mState == BLOCKED && mStateTimer > mBlockedTime)
        turnTo(-mDirection);

    updateTarget(elapsed, mTargetRange);
    if (mTargetId != 0)
        startAttack();
    else if (mTurnRequest != 0.0f && sideOf(mTurnRequest) != mDirection)
        turnTo(-mDirection);
}

void HumanAI::thinkAttack(float elapsed)
{
    const uint32_t previousTarget = mTargetId;
    const int previousVisibility = mTargetVisibility;
    updateTarget(elapsed, mTargetRange);
    Entity* target = mTargetId != 0 ? mManager->getEntity(mTargetId) : nullptr;
    if (!target)
    {
        const Entity* lost = mManager->getEntity(previousTarget);
        mSpeechState = !lost || lost->getHealth() <= 0.0f ? SPEECH_TARGET_KILLED : SPEECH_TARGET_LOST;
        mSecondaryAction = false;
        enterState(IDLE);
        return;
    }

    // Face the target and aim between its eyes and feet.
    Ogre::Vector2 aimPoint(target->getPosition().x, target->getPosition().y);
    if (target->getType() == "human")
        aimPoint.y = AIM_EYE_SHARE * static_cast<Human*>(target)->getEyePosition().y +
                     (1.0f - AIM_EYE_SHARE) * target->getPosition().y;
    Ogre::Vector2 delta = aimPoint - mHuman->getAimOrigin();
    delta.normalise();
    mDirection = sideOf(delta.x);
    mAimTarget = Ogre::Math::ATan2(delta.y, std::fabs(delta.x)).valueDegrees();

    if (previousVisibility < VISIBILITY_CLEAR && mTargetVisibility == VISIBILITY_CLEAR)
        mReactionTimer = std::max(mReactionTimer, mReactionTime);

    mFiring = false;
    mSecondaryAction = false;
    if (mReactionTimer <= 0.0f)
    {
        int clip = 0, perClip = 0;
        if (readClip(clip, perClip) && clip == 0)
            mSecondaryAction = true;
        else if (mTargetVisibility == VISIBILITY_CLEAR && mHuman->getFacing() == mDirection &&
                 std::fabs(mHuman->getAimAngle() - mAimTarget) < mAimTolerance)
            mFiring = true;
    }

    // Keep the distance: back off when too close, close in when too far.
    if (mTargetVisibility > 0)
    {
        float toTarget = sideOf(mTargetDirection.x);
        if (mTargetHorizontalDistance < mMinimumAttackRange && isPathClear(-toTarget) &&
            mTargetDistance < RETREAT_RANGE_SHARE * mTargetRange)
            mMoveDirection = Ogre::Vector2(-toTarget * mAttackWalkSpeed, 0.0f);
        else if (mTargetDistance > mMaximumAttackRange && isPathClear(toTarget))
            mMoveDirection = Ogre::Vector2(toTarget * mAttackWalkSpeed, 0.0f);
        else
            mMoveDirection = Ogre::Vector2::ZERO;
    }

    if (std::fabs(mTurnRequest) >= HIT_TURN_REQUEST)
    {
        if (mTargetVisibility == VISIBILITY_NONE)
        {
            // Shot from where it cannot see: give up the target and face the shooter's side.
            dropTarget();
            mSpeechState = SPEECH_TARGET_LOST;
            turnTo(mTurnRequest);
        }
        else
        {
            switchToCloserTarget(SWITCH_RANGE_SHARE * mTargetRange);
            if (mTargetId != previousTarget)
                speakAbout(mManager->getEntity(mTargetId));
        }
    }
}

void HumanAI::onEvent(unsigned int id, int a, int b, const std::string& text)
{
    if (id != EventDispatcher::Noise && id != EventDispatcher::HumanHurt)
        return;
    if (static_cast<uint32_t>(a) == mHuman->getId() || mHuman->getState() != Entity::ACTIVE)
        return;
    const Entity* source = mManager->getEntity(static_cast<uint32_t>(a));
    if (!source)
        return;
    float dx = source->getPosition().x - mHuman->getPosition().x;
    if (id == EventDispatcher::Noise)
    {
        mTurnRequest = dx > 0.0f ? NOISE_TURN_REQUEST : -NOISE_TURN_REQUEST;
        return;
    }
    Ogre::Vector3 offset = source->getPosition() - mHuman->getPosition();
    float distance = Ogre::Vector2(offset.x, offset.y).length();
    if (mTargetRange > 0.0f && distance <= mTargetRange)
        mTurnRequest = (dx < 0.0f ? -distance : distance) * NOISE_TURN_REQUEST / mTargetRange;
}

void HumanAI::notifyDamage(const Ogre::Vector3& direction)
{
    // A hit without a direction (a fall, a blast's centre) tells nothing of the side.
    if (direction.x != 0.0f)
        mTurnRequest = direction.x > 0.0f ? -1.0f : 1.0f;
    mReactionTimer = std::max(mReactionTimer, mDamageStunTime);
}
} // namespace game
