#include "game/world/crawler.h"
#include "engine/core/body.h"
#include "engine/core/simulator.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "game/world/manualshadow.h"
#include "game/world/shadowmanager.h"
#include "toolkit/xmlelement.h"

#include <OgreMath.h>
#include <OgreSceneNode.h>

#include <algorithm>
#include <cmath>

namespace game
{
namespace
{
const char* const MOVE_ANIMATION = "move";
}

Crawler::Crawler(EntityManager* manager)
    : Enemy(manager, MOVE_ANIMATION, EventDispatcher::CrawlerKilled), mAI(manager, this)
{
    mDamageTrigger.bind(mStateCodec);
}

Crawler::~Crawler() {}

void Crawler::load(const brix::XMLElement* element)
{
    Enemy::load(element);
    mShadowRadius = element->getValueAsFloat("shadowradius", 0.0f);
    mAI.load(element->getChild("ai"));
}

void Crawler::copyDefinition(const Entity* entity)
{
    Enemy::copyDefinition(entity);
    const Crawler* prototype = static_cast<const Crawler*>(entity);
    mShadowRadius = prototype->mShadowRadius;
    mAI.copyParameters(prototype->mAI);
}

void Crawler::spawn()
{
    Enemy::spawn();
    if (mShadowRadius > 0.0f && mManager->getShadowManager())
        mShadow = mManager->getShadowManager()->createManualShadow();
    mMoveX = 0.0f;
    mOnGround = false;
    mGroundNormal = Ogre::Vector3::ZERO;
    mGroundDistance = 0.0f;
    mAI.reset();
}

void Crawler::remove()
{
    if (mShadow && mManager->getShadowManager())
        mManager->getShadowManager()->removeShadow(mShadow);
    mShadow = nullptr;
    Enemy::remove();
}

void Crawler::update(uint16_t tick, bool newTick)
{
    if (mParts.body)
        mParts.body->setEnabled(true);
    if (!isAuthoritative() || !mAI.isLoaded())
        return;
    mAI.update();
    mMoveX = mAI.getMoveDirection().x;
}

void Crawler::onHit(const Ogre::Vector3& direction)
{
    mAI.onHit(direction);
}

void Crawler::onContact(const brix::Movable::TContact& contact, Entity* other)
{
    if (mAI.onContact(contact.normal, other))
        selfDestruct();
}

Ogre::Vector3 Crawler::floorTangent(const Ogre::Vector3& normal)
{
    Ogre::Vector3 tangent = normal.crossProduct(Ogre::Vector3::UNIT_Z);
    tangent.z = 0.0f;
    tangent.normalise();
    return tangent;
}

void Crawler::update(brix::Movable* movable, float step)
{
    Ogre::Vector3 position = movable->getPosition();
    Ogre::Vector3 velocity = movable->getLinearVelocity();
    Ogre::Vector3 force = Ogre::Vector3::ZERO;
    if (mOnGround)
    {
        Ogre::Vector3 tangent = floorTangent(mGroundNormal);
        float drive = Ogre::Math::Clamp((mMoveX * mSpeed - tangent.dotProduct(velocity)) * DRIVE_GAIN,
                                        -DRIVE_LIMIT, DRIVE_LIMIT);
        force += tangent * drive;
    }
    force.z -= DEPTH_STIFFNESS * position.z + DEPTH_DAMPING * velocity.z;
    movable->clearForces(false);
    movable->addForce(force, position, false);
}

void Crawler::probeGround()
{
    mOnGround = false;
    mGroundNormal = Ogre::Vector3::ZERO;
    mGroundDistance = 0.0f;
    brix::Simulator* simulator = mManager->getSimulator();
    if (!simulator)
        return;
    // "speed" is also how near the floor must be to stand on it; the shadow looks further.
    float length = std::max(2.0f * mShadowRadius, mSpeed);
    brix::TTraceContact contact;
    simulator->traceRay(mPosition, mPosition - Ogre::Vector3(0.0f, length, 0.0f), &contact, mParts.body);
    if (contact.normal.y <= FLOOR_NORMAL_Y)
        return;
    mGroundNormal = contact.normal;
    mGroundDistance = contact.distance;
    mOnGround = contact.distance <= mSpeed;
}

void Crawler::selfDestruct()
{
    damage(mIntegrity, mPosition, Ogre::Vector3::ZERO, mId);
}

void Crawler::postUpdate(uint16_t tick, bool newTick)
{
    readBody();
    probeGround();
    if (isAuthoritative() && mAI.isLoaded())
    {
        handleContacts();
        if (mAI.isFiring())
            selfDestruct();
    }
    applyCrushDamage();
    if (mOnGround)
        mOrientation = Ogre::Quaternion::Slerp(SLOPE_RATE, mOrientation,
                                               Ogre::Vector3::UNIT_Y.getRotationTo(mGroundNormal), true);
    mTick = tick;
}

void Crawler::setEnabled(bool enabled)
{
    Enemy::setEnabled(enabled);
    if (!enabled && mShadow)
        mShadow->setVisible(false);
}

void Crawler::interpolate(float frameSeconds, float fraction)
{
    Entity::interpolate(frameSeconds, fraction);
    // Walking left runs the animation backwards.
    if (mAnimationLength > 0.0f)
        advanceAnimation(mMoveX * frameSeconds * mSpeed / mAnimationLength);
    playDamageSound();
    updateShadow();
    showNode();
}

void Crawler::updateShadow()
{
    if (!mShadow)
        return;
    if (mGroundDistance <= 0.0f || mGroundDistance >= 2.0f * mShadowRadius)
    {
        mShadow->setVisible(false);
        return;
    }
    mShadow->setPlacement(mRenderPosition - Ogre::Vector3(0.0f, mGroundDistance, 0.0f), mGroundNormal,
                          SHADOW_SIZE);
    mShadow->setAlpha(
        Ogre::Math::Clamp(1.0f - (mGroundDistance - mShadowRadius) / mShadowRadius, 0.0f, 1.0f));
    mShadow->setVisible(true);
}
} // namespace game
