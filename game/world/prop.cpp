#include "game/world/prop.h"
#include "engine/core/animatedlight.h"
#include "engine/core/audiomanager.h"
#include "engine/core/audiosample.h"
#include "engine/core/body.h"
#include "engine/core/ogrescene.h"
#include "engine/core/simulator.h"
#include "game/level/level.h"
#include "game/world/entitymanager.h"
#include "game/world/raycastshadow.h"
#include "game/world/shadowmanager.h"
#include "toolkit/xmlelement.h"

#include <OgreAnimationState.h>
#include <OgreEntity.h>
#include <OgreException.h>
#include <OgreMath.h>
#include <OgreMesh.h>
#include <OgreMeshManager.h>
#include <OgreParticleEmitter.h>
#include <OgreSceneNode.h>
#include <OgreStringConverter.h>

#include <algorithm>
#include <cmath>

namespace game
{
namespace
{
constexpr uint32_t ALL_ATTRIBUTES = 0x777F;
constexpr float LINEAR_VELOCITY_LIMIT = 5.0f;
constexpr float ANGULAR_VELOCITY_LIMIT = 2.0f;
constexpr unsigned VELOCITY_BITS = 6;
// The animation of a mesh that a prop plays over and over.
const char* const LOOP_ANIMATION = "loop";
} // namespace

Prop::Prop(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = ALL_ATTRIBUTES;
    mMotionState = MOTION_MOVING;
    bindPose();
    for (float* component : {&mLinearVelocity.x, &mLinearVelocity.y, &mLinearVelocity.z})
        mStateCodec.bind(component, -LINEAR_VELOCITY_LIMIT, LINEAR_VELOCITY_LIMIT, VELOCITY_BITS);
    for (float* component : {&mAngularVelocity.x, &mAngularVelocity.y, &mAngularVelocity.z})
        mStateCodec.bind(component, -ANGULAR_VELOCITY_LIMIT, ANGULAR_VELOCITY_LIMIT, VELOCITY_BITS);
}

Prop::~Prop() {}

void Prop::load(const brix::XMLElement* element)
{
    Entity::load(element);
    mBodyTemplateName = element->getValue("body", "");
    std::string mesh = element->getValue("mesh", "");
    if (mesh.empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "No mesh defined for prop '" + mName + "'",
                    "Prop::load");
    mMesh = Ogre::MeshManager::getSingleton().load(mesh, "default");
    std::string sound = element->getValue("sound", "");
    if (!sound.empty() && brix::AudioManager::getSingletonPtr())
        mSound = brix::AudioManager::getSingleton().load(sound, "default");
    mSoundLooping = element->getValueAsBoolean("soundlooping", false);
    loadLight(element->getChild("light"), mLight);
    loadImpactSound(element->getChild("contact"), mContactSound);
    mSplat = element->getValue("contact/splat", "");
    mIntegrity = element->getValueAsFloat("integrity", 0.0f);
    mExplosion = element->getValue("explosion", "");
    mEffect = element->getValue("effect", "");
    mEffectOffset =
        Ogre::StringConverter::parseVector3(element->getValue("effectoffset", ""), Ogre::Vector3::ZERO);
    mDuration = element->getValueAsFloat("duration", 0.0f);
    mMinimumVelocity = element->getValueAsFloat("minimumvelocity", 0.0f);
    loadProximityTrigger(element->getChild("proximitytrigger"), mProximityTrigger);
    mAnimationLength = element->getValueAsFloat("animationlength", 0.0f);
    mAnimationLengthVariation = element->getValueAsFloat("animationlengthvariation", 0.0f);
    loadItemDrop(element->getChild("items"), mItemDrop);
    mShadowRadius = element->getValueAsFloat("shadowradius", 0.0f);
    mSpawners.clear();
    for (const brix::XMLElement* child = element->getChild("spawnpoint"); child;
         child = element->getNextChild(child, "spawnpoint"))
    {
        mSpawners.emplace_back();
        loadSpawner(child, mSpawners.back());
    }
    loadPeriodicDamage(element->getChild("periodicdamage"), mPeriodicDamage);
}

void Prop::copyDefinition(const Entity* entity)
{
    Entity::copyDefinition(entity);
    const Prop* prototype = static_cast<const Prop*>(entity);
    mBodyTemplateName = prototype->mBodyTemplateName;
    mMesh = prototype->mMesh;
    mSound = prototype->mSound;
    mSoundLooping = prototype->mSoundLooping;
    mLight = prototype->mLight;
    mContactSound = prototype->mContactSound;
    mSplat = prototype->mSplat;
    mIntegrity = prototype->mIntegrity;
    mExplosion = prototype->mExplosion;
    mEffect = prototype->mEffect;
    mEffectOffset = prototype->mEffectOffset;
    mDuration = prototype->mDuration;
    mMinimumVelocity = prototype->mMinimumVelocity;
    mProximityTrigger = prototype->mProximityTrigger;
    mAnimationLength = prototype->mAnimationLength;
    mAnimationLengthVariation = prototype->mAnimationLengthVariation;
    mItemDrop = prototype->mItemDrop;
    mShadowRadius = prototype->mShadowRadius;
    mSpawners = prototype->mSpawners;
    mPeriodicDamage = prototype->mPeriodicDamage;
}

void Prop::spawn()
{
    Entity::spawn();
    brix::Simulator* simulator = mManager->getSimulator();
    if (!mBodyTemplateName.empty() && simulator)
    {
        mBody = simulator->createBody(mBodyTemplateName);
        mBody->setUserData(static_cast<Entity*>(this));
        mBody->setContactInfoFlags(0xFFFFFFFFu);
        mBody->deploy(mPosition, mOrientation, mLinearVelocity, mAngularVelocity);
        if (mFlags & (ATTRIBUTE_STATIC | ATTRIBUTE_IMMOVABLE))
            mBody->setStatic(true, true);
    }
    if (Ogre::SceneManager* sceneManager = mManager->getSceneManager())
    {
        brix::OgreScene scene(sceneManager, 0);
        scene.createSceneNode(mNode, mMeshEntity, mManager->getRootSceneNode(), mMesh->getName());
        mNode->setPosition(mPosition);
        mNode->setOrientation(mOrientation);
        Ogre::AnimationStateSet* states = mMeshEntity->getAllAnimationStates();
        if (states && states->hasAnimationState(LOOP_ANIMATION))
        {
            mAnimationState = states->getAnimationState(LOOP_ANIMATION);
            mAnimationState->setEnabled(true);
            mAnimationState->setLoop(true);
        }
    }
    if (!(mFlags & ATTRIBUTE_STATIC) && mNode)
        createLight(mLight, mNode, mLightNode, mAnimatedLight);
    if (mSound)
    {
        if (mSoundLooping)
            playLoopingSound();
        else
            mSound->play(mPosition, 1.0f, 1.0f, false, SOUND_PRIORITY);
    }
    mEmitter = createEmitter(mEffect, mPosition);
    if (mShadowRadius > 0.0f && mManager->getShadowManager())
        mShadow = mManager->getShadowManager()->createRayCastShadow();
    for (TSpawner& spawner : mSpawners)
        spawner.timerTicks =
            static_cast<unsigned>(Ogre::Math::UnitRandom() * 0.5f * toTicks(spawner.interval));
    mAgeTicks = 0;
    mLargestImpact = 0.0f;
    mDamage = 0.0f;
    mAnimationPhase = Ogre::Math::UnitRandom();
    mInstanceAnimationLength =
        std::max(0.0f, Ogre::Math::SymmetricRandom() * mAnimationLengthVariation + mAnimationLength);
}

void Prop::playLoopingSound()
{
    if (mSound && mSoundLooping && !mSoundHandle)
        mSoundHandle = mSound->play(mPosition, 1.0f, 1.0f, true, LOOPING_SOUND_PRIORITY);
}

void Prop::stopLoopingSound()
{
    if (mSound && mSoundHandle)
        mSound->stop(mSoundHandle);
    mSoundHandle = 0;
}

void Prop::remove()
{
    Entity::remove();
    if (mShadow && mManager->getShadowManager())
        mManager->getShadowManager()->removeShadow(mShadow);
    mShadow = nullptr;
    destroyEmitter(mEmitter);
    stopLoopingSound();
    mAnimationState = nullptr;
    destroyLight(mLightNode, mAnimatedLight);
    if (mNode)
    {
        brix::OgreScene scene(mManager->getSceneManager(), 0);
        scene.destroySceneNode(mNode, mMeshEntity);
    }
    if (mBody)
    {
        // The body lives on until the simulator's next flush: out of the world and without
        // its entity, so no contact of the coming step leads back to this deleted prop.
        mBody->setEnabled(false);
        mBody->setUserData(nullptr);
        mManager->getSimulator()->destroyBody(mBody);
    }
    mBody = nullptr;
}

void Prop::kill()
{
    Entity::kill();
    if (mBody)
        mBody->setEnabled(false);
}

void Prop::postUpdate(uint16_t tick, bool newTick)
{
    mPreviousPosition = mPosition;
    mPreviousOrientation = mOrientation;
    if (mBody && !(mFlags & ATTRIBUTE_STATIC))
    {
        mPosition = mBody->getPosition();
        mOrientation = mBody->getOrientation();
        mLinearVelocity = mBody->getLinearVelocity();
        mAngularVelocity = mBody->getAngularVelocity();
        mMotionState = mBody->isAtRest() ? MOTION_AT_REST : MOTION_MOVING;
        if (newTick)
            for (unsigned i = 0; i < mBody->numContacts(); ++i)
            {
                const brix::Movable::TContact& contact = mBody->getContact(i);
                float impact = contact.speed;
                const Entity* other =
                    contact.movable ? static_cast<const Entity*>(contact.movable->getUserData()) : nullptr;
                // A light prop takes the blow of a heavy one harder; static bodies weigh nothing here.
                float mass = mBody->getMass();
                if (other && !(other->getFlags() & ATTRIBUTE_STATIC) && mass > 0.0f)
                    impact *= contact.movable->getMass() / mass;
                if (impact > mLargestImpact)
                {
                    mLargestImpact = impact;
                    mContactPoint = contact.position;
                    mContactNormal = contact.normal;
                }
            }
    }
    if (!isAuthoritative())
    {
        mTick = tick;
        return;
    }
    bool dies =
        mMinimumVelocity > 0.0f && mLinearVelocity.squaredLength() < mMinimumVelocity * mMinimumVelocity;
    ++mAgeTicks;
    if (mDuration > 0.0f && mAgeTicks > toTicks(mDuration))
        dies = true;
    if (checkProximityTrigger(mProximityTrigger, mAgeTicks))
        dies = true;
    for (TSpawner& spawner : mSpawners)
        updateSpawner(spawner);
    applyPeriodicDamage(mPeriodicDamage);
    if (dies && mState == ACTIVE)
        die(mOwnerId);
    mTick = tick;
}

void Prop::die(uint32_t ownerId)
{
    if (!mExplosion.empty())
    {
        Entity* explosion = createNamedEntity(mExplosion, mPosition,
                                              Ogre::Vector3::UNIT_X.getRotationTo(Ogre::Vector3::UNIT_Y),
                                              Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
        if (explosion)
            explosion->setOwnerId(ownerId);
    }
    dropItem(mItemDrop);
    kill();
}

void Prop::damage(float amount, const Ogre::Vector3& point, const Ogre::Vector3& direction,
                  uint32_t attackerId)
{
    if (mState != ACTIVE || mIntegrity <= 0.0f)
        return;
    mDamage += amount / mIntegrity;
    if (mDamage < 1.0f - BREAK_TOLERANCE)
        return;
    mDamage = 1.0f;
    die(attackerId);
}

float Prop::getHealth() const
{
    return mIntegrity > 0.0f ? 1.0f - mDamage : 0.0f;
}

void Prop::applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse)
{
    if (!mBody)
        return;
    if (!(mFlags & ATTRIBUTE_STATIC))
        mBody->applyImpulse(impulse, point, false);
    float mass = mBody->getMass();
    if (mass > 0.0f)
        mLargestImpact = std::max(mLargestImpact, impulse.length() / mass);
}

bool Prop::getLight(Ogre::Vector3& offset, Ogre::ColourValue& colour, float& range, float& angle) const
{
    if (mLight.range <= 0.0f)
        return false;
    offset = mLight.offset;
    colour = mLight.colour;
    range = mLight.range;
    angle = mLight.angle;
    return true;
}

void Prop::setEnabled(bool enabled)
{
    Entity::setEnabled(enabled);
    if (mNode)
        mNode->setVisible(enabled, true);
    if (mBody && !isAuthoritative())
        mBody->setEnabled(enabled);
    if (mShadow)
        mShadow->setVisible(enabled);
    if (mEmitter)
        mEmitter->setEnabled(enabled);
    if (enabled)
        playLoopingSound();
    else
        stopLoopingSound();
}

void Prop::setTick(uint16_t tick)
{
    Entity::setTick(tick);
    mOrientation.normalise();
    if (mBody)
        mBody->warp(mPosition, mOrientation, mLinearVelocity, mAngularVelocity);
}

void Prop::interpolate(float frameSeconds, float fraction)
{
    Entity::interpolate(frameSeconds, fraction);
    if (!(mFlags & ATTRIBUTE_STATIC))
    {
        if (mNode)
        {
            mNode->setPosition(mRenderPosition);
            mNode->setOrientation(mRenderOrientation);
        }
        if (mSoundHandle)
            mSound->adjust(mSoundHandle, mRenderPosition, 1.0f, 1.0f);
    }
    if (mAnimationState && mInstanceAnimationLength > 0.0f)
    {
        mAnimationPhase = std::fmod(mAnimationPhase + frameSeconds / mInstanceAnimationLength, 1.0f);
        mAnimationState->setTimePosition(mAnimationState->getLength() * mAnimationPhase);
    }
    // An impact that reaches the contact sound's minimum sounds (and splats) at most every
    // cooldown; a weaker one waits for a stronger.
    if (mLargestImpact > 0.0f && mLargestImpact >= mContactSound.minimumSpeed)
    {
        if (!mContactSound.sounds.empty() && mImpactCooldown == 0.0f)
        {
            playImpactSound(mContactSound, mLargestImpact);
            if (!mSplat.empty() && mManager->getLevel())
                mManager->getLevel()->createDecal(mSplat, mContactPoint, -mContactNormal, SPLAT_DISTANCE,
                                                  mBody, Ogre::Vector3::ZERO);
            mImpactCooldown = IMPACT_SOUND_COOLDOWN;
        }
        mLargestImpact = 0.0f;
    }
    mImpactCooldown = std::max(0.0f, mImpactCooldown - frameSeconds);
    if (mEmitter)
        mEmitter->setPosition(mRenderPosition + mRenderOrientation * mEffectOffset);
    if (mAnimatedLight)
        mAnimatedLight->update(frameSeconds);
    if (mShadow)
        mShadow->setOrigin(mRenderPosition, mShadowRadius, mBody);
}
} // namespace game
