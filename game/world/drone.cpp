#include "game/world/drone.h"
#include "engine/core/body.h"
#include "engine/core/simulator.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "network/networkstatecodec.h"
#include "toolkit/xmlelement.h"

#include <OgreEntity.h>
#include <OgreMath.h>
#include <OgreMeshManager.h>
#include <OgreSceneNode.h>
#include <OgreStringConverter.h>
#include <OgreSubEntity.h>

#include <algorithm>
#include <cmath>

namespace game
{
namespace
{
const char* const LOOP_ANIMATION = "loop";

Ogre::Vector3 parseVector(const brix::XMLElement* element, const char* path)
{
    return Ogre::StringConverter::parseVector3(element->getValue(path, ""), Ogre::Vector3::ZERO);
}
} // namespace

Drone::Drone(EntityManager* manager)
    : Enemy(manager, LOOP_ANIMATION, EventDispatcher::DroneKilled), mAI(manager, this)
{
    mAI.setEventDispatcher(manager->getEventDispatcher());
    mStateCodec.bind(&mAim.x, -1.0f, 1.0f, AIM_BITS);
    mStateCodec.bind(&mAim.y, -1.0f, 1.0f, AIM_BITS);
    mStateCodec.bind(&mAIState, STATE_BITS);
    mDamageTrigger.bind(mStateCodec);
    mShotTrigger.bind(mStateCodec);
}

Drone::~Drone() {}

void Drone::load(const brix::XMLElement* element)
{
    Enemy::load(element);
    loadSounds(element, "wakeupsound", mWakeUpSounds);
    loadSounds(element, "attacksound", mAttackSounds);
    loadSounds(element, "shootsound", mShootSounds);
    mAnimationLengthVariation = element->getValueAsFloat("animationlengthvariation", 0.0f);
    mAttackDamage = element->getValueAsFloat("attackdamage", 0.0f);
    mTiltFactor = element->getValueAsFloat("tiltfactor", 0.0f);
    mTiltLimit = element->getValueAsFloat("tiltlimit", 90.0f);
    mProjectile = element->getValue("projectile/name", "");
    mProjectileSpeed = element->getValueAsFloat("projectile/speed", 0.0f);
    mProjectileOffset = parseVector(element, "projectile/offset");
    mProjectileSpread = element->getValueAsFloat("projectile/spread", 0.0f);
    mShootDelay = element->getValueAsFloat("shootdelay", 0.0f);
    std::string flash = element->getValue("flash/mesh", "");
    mFlashMesh = flash.empty() ? Ogre::MeshPtr() : Ogre::MeshManager::getSingleton().load(flash, "default");
    mFlashOffset = parseVector(element, "flash/offset");
    mAI.load(element->getChild("ai"));
}

void Drone::copyDefinition(const Entity* entity)
{
    Enemy::copyDefinition(entity);
    const Drone* prototype = static_cast<const Drone*>(entity);
    mWakeUpSounds = prototype->mWakeUpSounds;
    mAttackSounds = prototype->mAttackSounds;
    mShootSounds = prototype->mShootSounds;
    mAnimationLengthVariation = prototype->mAnimationLengthVariation;
    mAttackDamage = prototype->mAttackDamage;
    mTiltFactor = prototype->mTiltFactor;
    mTiltLimit = prototype->mTiltLimit;
    mProjectile = prototype->mProjectile;
    mProjectileSpeed = prototype->mProjectileSpeed;
    mProjectileOffset = prototype->mProjectileOffset;
    mProjectileSpread = prototype->mProjectileSpread;
    mShootDelay = prototype->mShootDelay;
    mFlashMesh = prototype->mFlashMesh;
    mFlashOffset = prototype->mFlashOffset;
    mAI.copyParameters(prototype->mAI);
}

void Drone::spawn()
{
    Enemy::spawn();
    if (mFlashMesh)
    {
        mFlash.createNode(mManager, mFlashMesh, mPosition, mOrientation);
        if (mFlash.node)
            mFlash.node->setVisible(false);
    }
    Ogre::Vector3 facing = mOrientation * Ogre::Vector3::UNIT_X;
    mAim = Ogre::Vector2(facing.x, facing.y);
    mAim.normalise();
    mYaw = 0.0f;
    mTilt = 0.0f;
    mMove = Ogre::Vector3::ZERO;
    mShotCooldown = 0.0f;
    mFlashIntensity = 0.0f;
    mCycleLength =
        std::max(0.0f, mAnimationLength + mAnimationLengthVariation * Ogre::Math::SymmetricRandom());
    mAIState = STATE_IDLE;
    mSeenAIState = STATE_IDLE;
    mShotTrigger.reset();
    mAI.reset();
}

void Drone::remove()
{
    mFlash.destroyNode(mManager);
    Enemy::remove();
}

void Drone::update(uint16_t tick, bool newTick)
{
    if (mParts.body)
        mParts.body->setEnabled(true);
    if (!isAuthoritative() || !mAI.isLoaded())
        return;
    mAI.update();
    Ogre::Vector2 move = mAI.getMoveDirection();
    steer(Ogre::Vector3(move.x, move.y, 0.0f), mAI.getAimDirection(), mAI.getState());
    if (mAI.isFiring())
        fireWhenReady();
}

void Drone::onHit(const Ogre::Vector3& direction)
{
    mAI.onHit(direction);
}

void Drone::onContact(const brix::Movable::TContact& contact, Entity* other)
{
    if (mAI.onContact(contact.normal, other) && other && mAttackDamage > 0.0f)
        other->damage(mAttackDamage, contact.position, -contact.normal, mOwnerId);
}

void Drone::steer(const Ogre::Vector3& move, const Ogre::Vector2& aim, unsigned state)
{
    mMove = Ogre::Vector3(move.x, move.y, 0.0f);
    mAim = aim;
    mAIState = state;
}

bool Drone::fireWhenReady()
{
    if (mShotCooldown != 0.0f || mProjectile.empty())
        return false;
    if (mTiltFactor >= 1.0f)
    {
        Ogre::Vector3 facing = mOrientation * Ogre::Vector3::UNIT_X;
        Ogre::Radian angle = facing.angleBetween(Ogre::Vector3(mAim.x, mAim.y, 0.0f));
        if (!(angle < Ogre::Degree(FIRING_ANGLE)))
            return false;
    }
    shoot();
    mShotTrigger.trigger();
    return true;
}

void Drone::shoot()
{
    Ogre::Quaternion turn = Ogre::Vector3::UNIT_X.getRotationTo(
        Ogre::Vector3(std::fabs(mAim.x), mAim.y, 0.0f), Ogre::Vector3::UNIT_Z);
    if (mAim.x < 0.0f)
        turn = Ogre::Quaternion(Ogre::Degree(180.0f), Ogre::Vector3::UNIT_Y) * turn;
    Ogre::Vector3 direction = turn * Ogre::Vector3::UNIT_X.randomDeviant(
                                         Ogre::Degree(Ogre::Math::UnitRandom() * mProjectileSpread));
    float carried = std::max(0.0f, mLinearVelocity.dotProduct(direction));
    // An unknown name is logged and passed over; a full world makes no projectile. The
    // cooldown restarts either way.
    if (Entity* projectile = createNamedEntity(mProjectile, mPosition + turn * mProjectileOffset, turn,
                                               direction * (mProjectileSpeed + carried), Ogre::Vector3::ZERO))
    {
        projectile->setOwnerId(mOwnerId);
        projectile->addRuntimeFlags(RUNTIME_PURGE_AT_ONCE);
    }
    mShotCooldown = mShootDelay;
}

void Drone::update(brix::Movable* movable, float step)
{
    Ogre::Vector3 position = movable->getPosition();
    Ogre::Vector3 velocity = movable->getLinearVelocity();
    Ogre::Vector3 force =
        Ogre::Vector3(0.0f, movable->getMass() * GRAVITY, 0.0f) + STEERING_GAIN * (mMove * mSpeed - velocity);
    force.z -= DEPTH_STIFFNESS * position.z + DEPTH_DAMPING * velocity.z;
    movable->clearForces(false);
    movable->addForce(force, position, false);
}

void Drone::postUpdate(uint16_t tick, bool newTick)
{
    readBody();
    if (mAI.isLoaded())
        handleContacts();
    applyCrushDamage();
    float yawTarget = mAim.x > 0.0f ? 0.0f : -180.0f;
    mYaw += (yawTarget - mYaw) * TURN_RATE;
    // The tilt turns about the drone's own z axis, which the yaw of a drone facing left has
    // reversed: the elevation is measured from the side it faces, so the nose rises toward an
    // aim above it on either side, as a shot leaves it.
    float tiltTarget = 0.0f;
    if (std::fabs(mAim.x) > 0.001f)
        tiltTarget = Ogre::Math::Clamp(Ogre::Radian(std::atan(mAim.y / std::fabs(mAim.x))).valueDegrees() *
                                           mTiltFactor,
                                       -mTiltLimit, mTiltLimit);
    mTilt += (tiltTarget - mTilt) * TURN_RATE;
    // What float steps of a tick would leave over counts as nothing, so the delay ends on its tick.
    if (mShotCooldown > 0.0f)
        mShotCooldown =
            mShotCooldown > TICK_SECONDS + COOLDOWN_TOLERANCE ? mShotCooldown - TICK_SECONDS : 0.0f;
    mOrientation = Ogre::Quaternion(Ogre::Degree(mYaw), Ogre::Vector3::UNIT_Y) *
                   Ogre::Quaternion(Ogre::Degree(mTilt), Ogre::Vector3::UNIT_Z);
    mTick = tick;
}

float Drone::getHeightAboveGround() const
{
    brix::Simulator* simulator = mManager->getSimulator();
    if (!simulator)
        return 0.0f;
    // The contact is written only on a hit: a zero normal means nothing lies below.
    brix::TTraceContact contact;
    simulator->traceRay(mPosition, mPosition - Ogre::Vector3(0.0f, GROUND_PROBE, 0.0f), &contact,
                        mParts.body);
    return contact.normal.y > 0.5f ? mPosition.y - contact.position.y : 0.0f;
}

void Drone::setEnabled(bool enabled)
{
    Enemy::setEnabled(enabled);
    if (!enabled && mFlash.node)
        mFlash.node->setVisible(false);
}

void Drone::interpolate(float frameSeconds, float fraction)
{
    Entity::interpolate(frameSeconds, fraction);
    if (mCycleLength > 0.0f)
        advanceAnimation(frameSeconds / mCycleLength);
    if (mAIState != mSeenAIState)
    {
        if (mAIState == STATE_ATTACK)
            playSound(mAttackSounds, mRenderPosition, 1.0f);
        else if (mAIState == STATE_SEARCH && mSeenAIState == STATE_IDLE)
            playSound(mWakeUpSounds, mRenderPosition, 1.0f);
        mSeenAIState = mAIState;
    }
    playDamageSound();
    if (mShotTrigger.poll())
    {
        playSound(mShootSounds, mRenderPosition, Ogre::Math::RangeRandom(0.9f, 1.1f));
        mFlash.place(mRenderPosition + mRenderOrientation * mFlashOffset, mRenderOrientation);
        mFlashIntensity = 1.0f;
    }
    updateFlash(frameSeconds);
    showNode();
}

void Drone::updateFlash(float frameSeconds)
{
    if (!mFlash.node)
        return;
    if (mFlashIntensity <= 0.0f)
    {
        mFlash.node->setVisible(false);
        return;
    }
    float shade = Ogre::Math::Clamp(mFlashIntensity * 1.5f, 0.0f, 1.0f);
    if (mFlash.meshEntity && mFlash.meshEntity->getNumSubEntities() > 0)
        mFlash.meshEntity->getSubEntity(0)->setCustomParameter(0, Ogre::Vector4(shade, shade, shade, 1.0f));
    mFlash.node->setVisible(true);
    mFlashIntensity = std::max(0.0f, mFlashIntensity - frameSeconds * FLASH_FADE);
}
} // namespace game
