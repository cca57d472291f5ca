#include "game/world/droneai.h"
#include "game/world/drone.h"
#include "game/world/entitymanager.h"
#include "toolkit/xmlelement.h"

#include <OgreMath.h>

namespace game
{
namespace
{
Ogre::Vector2 planar(const Ogre::Vector3& v)
{
    return Ogre::Vector2(v.x, v.y);
}
} // namespace

DroneAI::DroneAI(EntityManager* manager, Drone* owner) : AI(manager, owner), mDrone(owner) {}

DroneAI::~DroneAI()
{
    if (mEventDispatcher)
        mEventDispatcher->removeListener(this);
}

void DroneAI::setEventDispatcher(EventDispatcher* dispatcher)
{
    if (mEventDispatcher)
        mEventDispatcher->removeListener(this);
    mEventDispatcher = dispatcher;
    if (mEventDispatcher)
        mEventDispatcher->addListener(this);
}

bool DroneAI::load(const brix::XMLElement* definition)
{
    if (!AI::load(definition))
        return false;
    mIdleTargetRange = definition->getValueAsFloat("idletargetrange", 0.0f);
    mActiveTargetRange = definition->getValueAsFloat("activetargetrange", 0.0f);
    mIdlePhaseTime = definition->getValueAsFloat("idlephasetime", 0.0f);
    mSearchPhaseTime = definition->getValueAsFloat("searchphasetime", 0.0f);
    mPhaseTimeVariation = definition->getValueAsFloat("phasetimevariation", 0.0f);
    mAttackDistance = definition->getValueAsFloat("attackdistance", 0.0f);
    mRetreatDistance = definition->getValueAsFloat("retreatdistance", 0.0f);
    mRetreatTime = definition->getValueAsFloat("retreattime", 0.0f);
    mLimitFieldOfView = definition->getValueAsBoolean("limitfieldofview", false);
    mMinimumHeight = definition->getValueAsFloat("minimumheight", 0.0f);
    return true;
}

void DroneAI::copyParameters(const AI& other)
{
    AI::copyParameters(other);
    const DroneAI& prototype = static_cast<const DroneAI&>(other);
    mIdleTargetRange = prototype.mIdleTargetRange;
    mActiveTargetRange = prototype.mActiveTargetRange;
    mIdlePhaseTime = prototype.mIdlePhaseTime;
    mSearchPhaseTime = prototype.mSearchPhaseTime;
    mPhaseTimeVariation = prototype.mPhaseTimeVariation;
    mAttackDistance = prototype.mAttackDistance;
    mRetreatDistance = prototype.mRetreatDistance;
    mRetreatTime = prototype.mRetreatTime;
    mLimitFieldOfView = prototype.mLimitFieldOfView;
    mMinimumHeight = prototype.mMinimumHeight;
}

void DroneAI::reset()
{
    AI::reset();
    mState = IDLE;
    mPhaseTimer = 0.0f;
    mStateTimer = 0.0f;
    mStimulus = Ogre::Vector2::ZERO;
    // A drone that comes to life in sight of a target attacks at once, whatever its facing.
    bool limited = mLimitFieldOfView;
    mLimitFieldOfView = false;
    uint32_t found = findTarget(mIdleTargetRange);
    mLimitFieldOfView = limited;
    if (found && mManager->getEntity(found))
    {
        mTargetId = found;
        updateTargetInfo();
        if (mTargetDirection != Ogre::Vector2::ZERO)
            mAimDirection = mTargetDirection;
        mState = ATTACK;
    }
}

bool DroneAI::isTargetInView(const Ogre::Vector3& offset) const
{
    if (!mLimitFieldOfView)
        return true;
    return (offset.x >= 0.0f && mAimDirection.x > 0.0f) || (offset.x < 0.0f && mAimDirection.x <= 0.0f);
}

int DroneAI::checkVisibility(Entity* target)
{
    if (mOwner->getHealth() <= 0.0f)
        return 2;
    return mManager->checkVisibility(mOwner, mOwner->getPosition(), target, true,
                                     Entity::ATTRIBUTE_SEETHROUGH, false);
}

void DroneAI::onHit(const Ogre::Vector3& direction)
{
    offerPush(Ogre::Vector2(-direction.x, -direction.y));
}

void DroneAI::onEvent(unsigned int id, int a, int b, const std::string& text)
{
    if (id != EventDispatcher::Noise)
        return;
    const Entity* source = mManager->getEntity(static_cast<uint32_t>(a));
    if (!source)
        return;
    Ogre::Vector3 offset = source->getPosition() - mOwner->getPosition();
    if (offset.squaredLength() > mActiveTargetRange * mActiveTargetRange)
        return;
    offerPush(planar(offset).normalisedCopy() * NOISE_PUSH);
}

void DroneAI::offerPush(const Ogre::Vector2& push)
{
    if (push.squaredLength() > mStimulus.squaredLength())
        mStimulus = push;
}

void DroneAI::setMovement(const Ogre::Vector2& direction, bool alsoAim, bool keepHeight)
{
    mMoveDirection = direction;
    // A zero direction leaves the aim: a drone always faces somewhere.
    if (alsoAim && direction != Ogre::Vector2::ZERO)
        mAimDirection = direction.normalisedCopy();
    if (keepHeight && mMinimumHeight > 0.0f && mMoveDirection.y < 0.0f)
    {
        float height = mDrone->getHeightAboveGround();
        if (height > 0.0f && height < mMinimumHeight)
            deflect(Ogre::Vector2::UNIT_Y);
    }
}

void DroneAI::deflect(const Ogre::Vector2& normal)
{
    float length = mMoveDirection.length();
    if (length <= 0.0f)
        return;
    Ogre::Vector2 unit = mMoveDirection / length;
    unit -= DEFLECTION * unit.dotProduct(normal) * normal;
    unit.normalise();
    mMoveDirection = unit * length;
}

void DroneAI::chooseRandomDirection()
{
    Ogre::Vector2 direction(Ogre::Math::RangeRandom(-1.0f, 1.0f), Ogre::Math::RangeRandom(-1.0f, 1.0f));
    direction.normalise();
    setMovement(direction, true, true);
}

float DroneAI::randomPhase(float phaseTime) const
{
    float spread = phaseTime * mPhaseTimeVariation;
    return Ogre::Math::RangeRandom(-spread, spread);
}

void DroneAI::setState(State state)
{
    if (mState == ATTACK)
        mFiring = false;
    mState = state;
    mPhaseTimer = 0.0f;
    mStateTimer = 0.0f;
    if (state == IDLE)
    {
        mMoveDirection = Ogre::Vector2::ZERO;
        mPhaseTimer = randomPhase(mIdlePhaseTime);
    }
    else if (state == SEARCH)
    {
        mPhaseTimer = randomPhase(mSearchPhaseTime);
        mStateTimer = randomPhase(mSearchPhaseTime);
    }
}

void DroneAI::enterAttack()
{
    if (mState == ATTACK)
        mFiring = false;
    mState = ATTACK;
    mPhaseTimer = 0.0f;
    mStateTimer = 0.0f;
}

void DroneAI::think(float elapsed)
{
    switch (mState)
    {
    case IDLE:
        thinkIdle(elapsed);
        break;
    case SEARCH:
        thinkSearch(elapsed);
        break;
    case ATTACK:
        thinkAttack(elapsed);
        break;
    case RETREAT:
        thinkRetreat(elapsed);
        break;
    default:
        thinkEvade(elapsed);
        break;
    }
    mStimulus = Ogre::Vector2::ZERO;
}

void DroneAI::thinkIdle(float elapsed)
{
    mPhaseTimer += elapsed;
    updateTarget(elapsed, mIdleTargetRange);
    if (mTargetId)
    {
        enterAttack();
        return;
    }
    if (mStimulus != Ogre::Vector2::ZERO)
    {
        mAimDirection = mStimulus.normalisedCopy();
        mPhaseTimer = -mIdlePhaseTime * mPhaseTimeVariation;
        if (isPushStrong())
        {
            setMovement(mAimDirection, true, true);
            setState(SEARCH);
        }
        return;
    }
    if (mPhaseTimer >= mIdlePhaseTime)
    {
        mAimDirection =
            Ogre::Math::UnitRandom() <= 0.5f ? Ogre::Vector2::UNIT_X : Ogre::Vector2::NEGATIVE_UNIT_X;
        mPhaseTimer = randomPhase(mIdlePhaseTime);
    }
}

void DroneAI::thinkSearch(float elapsed)
{
    mPhaseTimer += elapsed;
    mStateTimer += elapsed;
    updateTarget(elapsed, mActiveTargetRange);
    if (mTargetId)
        enterAttack();
    else if (isPushStrong())
    {
        setMovement(mStimulus.normalisedCopy(), true, true);
        mPhaseTimer = 0.0f;
    }
    else if (mStateTimer > SEARCH_TIME)
        setState(IDLE);
    else if (mPhaseTimer > mSearchPhaseTime)
    {
        chooseRandomDirection();
        mPhaseTimer = randomPhase(mSearchPhaseTime);
    }
    else if (mMinimumHeight > 0.0f)
        setMovement(mMoveDirection, false, true);
}

void DroneAI::thinkAttack(float elapsed)
{
    updateTarget(elapsed, mActiveTargetRange);
    if (!mTargetId)
    {
        setState(SEARCH);
        return;
    }
    if (mAttackDistance > 0.0f)
    {
        float difference = mTargetDistance - mAttackDistance;
        if (std::fabs(difference) <= DISTANCE_TOLERANCE)
        {
            mMoveDirection = Ogre::Vector2::ZERO;
            if (mTargetDirection != Ogre::Vector2::ZERO)
                mAimDirection = mTargetDirection;
        }
        else
        {
            float share = Ogre::Math::Clamp(difference * 5.0f / mAttackDistance, -1.0f, 1.0f);
            setMovement(share * mTargetDirection, true, true);
            // Backing away, it keeps facing its target.
            if (share < 0.0f)
                mAimDirection = -mAimDirection;
        }
    }
    else
    {
        mMoveDirection = mTargetDirection;
        if (mTargetDirection != Ogre::Vector2::ZERO)
            mAimDirection = mTargetDirection.normalisedCopy();
    }
    mFiring = mTargetVisibility == 2 && mTargetDistance < mAttackDistance * FIRING_REACH;
}

void DroneAI::thinkRetreat(float elapsed)
{
    mStateTimer += elapsed;
    if (mStateTimer < mRetreatTime && mTargetDistance < mRetreatDistance)
    {
        updateTarget(elapsed, mActiveTargetRange);
        if (!mTargetId)
            setState(SEARCH);
    }
    else if (mTargetId)
        enterAttack();
}

void DroneAI::thinkEvade(float elapsed)
{
    mPhaseTimer += elapsed;
    if (mPhaseTimer < EVADE_TIME)
        return;
    updateTarget(elapsed, mActiveTargetRange);
    if (mTargetId)
        enterAttack();
    else
        setState(SEARCH);
}

bool DroneAI::onContact(const Ogre::Vector3& contactNormal, Entity* other)
{
    Ogre::Vector2 normal = planar(contactNormal);
    normal.normalise();
    switch (mState)
    {
    case ATTACK:
        if (other && matchesTargetFilters(other))
        {
            if (mTargetDirection.dotProduct(normal) >= 0.0f)
                return false;
            if (mRetreatDistance <= 0.0f)
                return true;
            mFiring = false;
            mState = RETREAT;
            mPhaseTimer = 0.0f;
            mStateTimer = 0.0f;
            setMovement(-mMoveDirection, false, true);
            return true;
        }
        if (other && (other->getFlags() & Entity::ATTRIBUTE_NOBLOCKAI))
            return false;
        mFiring = false;
        mPhaseTimer = 0.0f;
        mStateTimer = 0.0f;
        mState = EVADE;
        deflect(normal);
        return false;
    case IDLE:
        if (other)
            offerPush(normal * -TOUCH_PUSH);
        return false;
    case SEARCH:
    case EVADE:
        deflect(normal);
        return false;
    default:
        return false;
    }
}
} // namespace game
