#include "game/world/sentrygun.h"
#include "engine/core/audiosample.h"
#include "engine/core/body.h"
#include "engine/core/ogrescene.h"
#include "engine/core/simulator.h"
#include "engine/presentation/labelmanager.h"
#include "game/world/entitymanager.h"
#include "game/world/worldlabel.h"
#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

#include <OgreAnimationState.h>
#include <OgreEntity.h>
#include <OgreException.h>
#include <OgreLight.h>
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
const char* const ARMED = "armed";
const char* const DISARMED = "disarmed";
const char* const LABEL_TYPE = "interaction";
const char* const RECOIL_ANIMATION = "recoil";
const char* const POWERED_ANIMATION = "powered";
const char* const RESOURCE_GROUP = "default";

Ogre::MeshPtr loadMesh(const std::string& name)
{
    return Ogre::MeshManager::getSingleton().load(name, RESOURCE_GROUP);
}

Ogre::Vector3 parseVector(const brix::XMLElement* element, const char* path)
{
    return Ogre::StringConverter::parseVector3(element->getValue(path, ""), Ogre::Vector3::ZERO);
}
} // namespace

SentryGun::SentryGun(EntityManager* manager) : Entity(manager), mAI(manager, this)
{
    mSupportedAttributes = ATTRIBUTE_EDITNOMOVEZ | ATTRIBUTE_EDITNOROTATE | ATTRIBUTE_EDITHIDE;
    mMotionState = 1;
    bindPose(ORIENTATION_BITS);
    mStateCodec.bind(&mPowerState, 3);
    mStateCodec.bind(&mArmed);
    mStateCodec.bind(&mHasTarget);
    mStateCodec.bind(&mTimer, 8);
}

SentryGun::~SentryGun()
{
    if (mState != INACTIVE)
        remove();
}

void SentryGun::load(const brix::XMLElement* element)
{
    Entity::load(element);
    std::string mesh = element->getValue("mesh", "");
    if (mesh.empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "No mesh defined for prop '" + mName + "'",
                    "SentryGun::load");
    mMesh = loadMesh(mesh);
    mBodyTemplateName = element->getValue("body", "");
    mShotSound = loadSound(element, "shootsound");
    mLoopSound = loadSound(element, "loopsound");
    mBeepSound = loadSound(element, "armedbeepsound");
    mDisarmSound = loadSound(element, "disarmsound");
    mIntegrity = element->getValueAsFloat("integrity", 0.0f);
    mExplosion = element->getValue("explosion", "");
    mShootDelay = element->getValueAsFloat("shootdelay", 0.0f);
    mPowerUpTime = element->getValueAsFloat("poweruptime", 0.0f);
    mPowerDownTime = element->getValueAsFloat("powerdowntime", 0.0f);
    mPowerDownDelay = element->getValueAsFloat("powerdowndelay", 0.0f);
    mPoweredAnimationScale = element->getValueAsFloat("poweredanimationscale", 1.0f);
    if (const brix::XMLElement* flash = element->getChild("flash"))
    {
        std::string flashMesh = flash->getValue("mesh", "");
        if (!flashMesh.empty())
            mFlashMesh = loadMesh(flashMesh);
        mFlashOffset = parseVector(flash, "offset");
        mFlashColour =
            Ogre::StringConverter::parseColourValue(flash->getValue("color", ""), Ogre::ColourValue::Black);
        mFlashRange = flash->getValueAsFloat("range", 0.0f);
    }
    if (const brix::XMLElement* projectile = element->getChild("projectile"))
    {
        mProjectile = projectile->getValue("name", "");
        mProjectileSpeed = projectile->getValueAsFloat("speed", 0.0f);
        mProjectileOffset = parseVector(projectile, "offset");
        mProjectileSpread = projectile->getValueAsFloat("spread", 0.0f);
    }
    mAI.load(element->getChild("ai"));
}

void SentryGun::copyDefinition(const Entity* entity)
{
    Entity::copyDefinition(entity);
    const SentryGun* prototype = static_cast<const SentryGun*>(entity);
    mBodyTemplateName = prototype->mBodyTemplateName;
    mMesh = prototype->mMesh;
    mShotSound = prototype->mShotSound;
    mLoopSound = prototype->mLoopSound;
    mBeepSound = prototype->mBeepSound;
    mDisarmSound = prototype->mDisarmSound;
    mIntegrity = prototype->mIntegrity;
    mExplosion = prototype->mExplosion;
    mShootDelay = prototype->mShootDelay;
    mPowerUpTime = prototype->mPowerUpTime;
    mPowerDownTime = prototype->mPowerDownTime;
    mPowerDownDelay = prototype->mPowerDownDelay;
    mPoweredAnimationScale = prototype->mPoweredAnimationScale;
    mFlashMesh = prototype->mFlashMesh;
    mFlashOffset = prototype->mFlashOffset;
    mFlashColour = prototype->mFlashColour;
    mFlashRange = prototype->mFlashRange;
    mProjectile = prototype->mProjectile;
    mProjectileSpeed = prototype->mProjectileSpeed;
    mProjectileOffset = prototype->mProjectileOffset;
    mProjectileSpread = prototype->mProjectileSpread;
    mAI.copyParameters(prototype->mAI);
}

void SentryGun::getInitialStates(std::vector<std::string>& states) const
{
    states.push_back(ARMED);
    states.push_back(DISARMED);
}

void SentryGun::setInitialState(const std::string& state)
{
    if (state == DISARMED)
        mInitialArmed = false;
    else
    {
        if (state != ARMED)
            brix::Log::error("Unsupported initial state '%s' for sentrygun", state.c_str());
        mInitialArmed = true;
    }
}

void SentryGun::spawn()
{
    Entity::spawn();
    brix::Simulator* simulator = mManager->getSimulator();
    if (!mBodyTemplateName.empty() && simulator)
    {
        mParts.body = simulator->createBody(mBodyTemplateName);
        mParts.body->setUserData(static_cast<Entity*>(this));
        mParts.body->setContactInfoFlags(0);
        mParts.body->deploy(mPosition, mOrientation, mLinearVelocity, mAngularVelocity);
        mParts.body->setStatic(true, true);
    }
    mParts.createNode(mManager, mMesh, mPosition, mOrientation);
    if (mParts.meshEntity)
    {
        Ogre::AxisAlignedBox box = mParts.meshEntity->getBoundingBox();
        box.scale(Ogre::Vector3(INTERACTION_BOX_SCALE));
        box.transform(Ogre::Matrix4(mOrientation));
        mInteractionBox = box;
        Ogre::AnimationStateSet* states = mParts.meshEntity->getAllAnimationStates();
        if (states && states->hasAnimationState(RECOIL_ANIMATION))
        {
            mRecoilAnimation = states->getAnimationState(RECOIL_ANIMATION);
            mRecoilAnimation->setEnabled(false);
            mRecoilAnimation->setLoop(false);
        }
        if (states && states->hasAnimationState(POWERED_ANIMATION))
        {
            mPoweredAnimation = states->getAnimationState(POWERED_ANIMATION);
            mPoweredAnimation->setEnabled(true);
            mPoweredAnimation->setLoop(true);
        }
    }
    if (Ogre::SceneManager* sceneManager = mManager->getSceneManager())
    {
        brix::OgreScene scene(sceneManager, 0);
        if (mFlashMesh)
        {
            scene.createSceneNode(mFlashNode, mFlashEntity, mManager->getRootSceneNode(),
                                  mFlashMesh->getName());
            mFlashNode->setVisible(false, true);
        }
        if (mFlashRange > 0.0f && mParts.node)
        {
            scene.createSceneNode(mLightNode, mLight, mParts.node);
            mLightNode->setPosition(mFlashOffset);
            mLight->setType(Ogre::Light::LT_POINT);
            mLight->setDiffuseColour(mFlashColour);
            mLight->setSpecularColour(mFlashColour);
            brix::OgreScene::setLightRange(mLight, mFlashRange);
            mLight->setVisible(false);
        }
    }
    if (brix::LabelManager* labels = mManager->getLabelManager())
    {
        mLabel = static_cast<WorldLabel*>(labels->addLabel(LABEL_TYPE, mPosition));
        mLabel->setBoundingBox(mInteractionBox);
    }
    mDamage = 0.0f;
    mFlashIntensity = 0.0f;
    mPoweredPhase = 0.0f;
    mArmed = mLastArmed = mInitialArmed;
    mPowerState = mLastPowerState = OFF;
    mPowerLevel = 0.0f;
    mHasTarget = false;
    mTimer = 0;
    mLoopSoundHandle = 0;
    mBeepCountdown = BEEP_FRAMES;
    mAI.reset();
}

void SentryGun::remove()
{
    Entity::remove();
    stopLoopSound();
    if (mLabel)
        mManager->getLabelManager()->removeLabel(mLabel);
    mLabel = nullptr;
    mRecoilAnimation = nullptr;
    mPoweredAnimation = nullptr;
    if (mLightNode || mFlashNode)
    {
        brix::OgreScene scene(mManager->getSceneManager(), 0);
        if (mLightNode)
            scene.destroySceneNode(mLightNode, mLight);
        if (mFlashNode)
            scene.destroySceneNode(mFlashNode, mFlashEntity);
    }
    mParts.destroyNode(mManager);
    mParts.destroyBody(mManager);
}

void SentryGun::kill()
{
    Entity::kill();
    mParts.disableBody();
}

float SentryGun::getHealth() const
{
    return mIntegrity > 0.0f ? 1.0f - mDamage : 0.0f;
}

void SentryGun::setArmed(bool armed)
{
    if (armed && !mArmed && isAuthoritative())
        mAI.reset();
    mArmed = armed;
}

unsigned SentryGun::ticksOf(float seconds)
{
    // The small allowance keeps times like 0.3 s at their whole ticks despite float rounding.
    return seconds > 0.0f ? static_cast<unsigned>(seconds * TICKS_PER_SECOND + 1e-3f) : 0;
}

// Tick

void SentryGun::update(uint16_t tick, bool newTick)
{
    if (isAuthoritative())
    {
        if (mAI.isLoaded() && mArmed)
        {
            mAI.update();
            mHasTarget = mAI.hasTarget();
        }
        else
            mHasTarget = false;
    }
    runPowerStates();
}

void SentryGun::runPowerStates()
{
    const unsigned shootTicks = ticksOf(mShootDelay);
    switch (mPowerState)
    {
    case OFF:
        if (mHasTarget)
        {
            mPowerState = POWERING_UP;
            mTimer = ticksOf(mPowerUpTime);
        }
        break;
    case POWERING_UP:
        if (mTimer == 0)
        {
            mPowerState = READY;
            mTimer = ticksOf(mPowerDownDelay);
        }
        break;
    case POWERING_DOWN:
        if (mHasTarget)
        {
            // Resumes from the level reached.
            mPowerState = POWERING_UP;
            mTimer = static_cast<unsigned>(static_cast<float>(ticksOf(mPowerUpTime)) * (1.0f - mPowerLevel));
        }
        else if (mTimer == 0)
            mPowerState = OFF;
        break;
    case READY:
        if (mHasTarget)
        {
            fire();
            mPowerState = FIRED;
            mTimer = shootTicks;
        }
        else if (mTimer == 0 || !mArmed)
        {
            mPowerState = POWERING_DOWN;
            mTimer = ticksOf(mPowerDownTime);
        }
        break;
    case FIRED:
        // A shoot delay shorter than the fired time ends with its timer.
        if (shootTicks - std::min(mTimer, shootTicks) >= FIRED_TICKS || mTimer == 0)
            mPowerState = RELOADING;
        break;
    default:
        if (mTimer == 0)
        {
            mPowerState = READY;
            mTimer = ticksOf(mPowerDownDelay);
        }
        break;
    }

    switch (mPowerState)
    {
    case OFF:
        mPowerLevel = 0.0f;
        break;
    case POWERING_UP:
        mPowerLevel = mPowerUpTime > 0.0f ? 1.0f - mTimer * TICK_SECONDS / mPowerUpTime : 1.0f;
        break;
    case POWERING_DOWN:
        mPowerLevel = mPowerDownTime > 0.0f ? mTimer * TICK_SECONDS / mPowerDownTime : 0.0f;
        break;
    default:
        mPowerLevel = 1.0f;
        break;
    }
    mPowerLevel = Ogre::Math::Clamp(mPowerLevel, 0.0f, 1.0f);

    if (mTimer > 0)
        --mTimer;
}

void SentryGun::fire()
{
    if (!isAuthoritative() || mProjectile.empty())
        return;
    Ogre::Vector3 direction = mOrientation * Ogre::Vector3::UNIT_X.randomDeviant(
                                                 Ogre::Degree(Ogre::Math::UnitRandom() * mProjectileSpread));
    Entity* projectile = createNamedEntity(mProjectile, mPosition + mOrientation * mProjectileOffset,
                                           mOrientation, direction * mProjectileSpeed, Ogre::Vector3::ZERO);
    if (!projectile)
        return;
    projectile->setOwnerId(mOwnerId);
    projectile->addRuntimeFlags(RUNTIME_PURGE_AT_ONCE);
}

void SentryGun::postUpdate(uint16_t tick, bool newTick)
{
    mPreviousPosition = mPosition;
    mPreviousOrientation = mOrientation;
    mParts.readBack(mPosition, mOrientation, mLinearVelocity, &mAngularVelocity);
    mTick = tick;
}

void SentryGun::setTick(uint16_t tick)
{
    Entity::setTick(tick);
    mOrientation.normalise();
    if (mParts.body)
        mParts.body->warp(mPosition, mOrientation, mLinearVelocity, mAngularVelocity);
}

void SentryGun::setEnabled(bool enabled)
{
    Entity::setEnabled(enabled);
    mParts.setEnabled(enabled, isAuthoritative());
    if (!enabled)
    {
        if (mFlashNode)
            mFlashNode->setVisible(false, true);
        if (mLight)
            mLight->setVisible(false);
        if (mLabel)
            mLabel->setLayerFlags(0);
        stopLoopSound();
    }
}

void SentryGun::damage(float amount, const Ogre::Vector3& point, const Ogre::Vector3& direction,
                       uint32_t attackerId)
{
    if (mState != ACTIVE || mIntegrity <= 0.0f)
        return;
    mDamage = std::max(0.0f, mDamage + amount / mIntegrity);
    if (mDamage < 1.0f - DEATH_TOLERANCE)
        return;
    mDamage = 1.0f;
    kill();
    if (mExplosion.empty())
        return;
    Entity* explosion =
        createNamedEntity(mExplosion, mPosition, Ogre::Vector3::UNIT_X.getRotationTo(Ogre::Vector3::UNIT_Y),
                          Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
    if (explosion)
        explosion->setOwnerId(attackerId);
}

// Frame

void SentryGun::interpolate(float frameSeconds, float fraction)
{
    Entity::interpolate(frameSeconds, fraction);
    mParts.place(mRenderPosition, mRenderOrientation);
    if (mPowerState != mLastPowerState)
    {
        if (mPowerState == FIRED)
            presentPowerChange();
        mLastPowerState = mPowerState;
    }
    if (mRecoilAnimation)
    {
        bool recoiling = mPowerState == FIRED || mPowerState == RELOADING;
        mRecoilAnimation->setEnabled(recoiling);
        if (recoiling)
        {
            float progress = mShootDelay > 0.0f ? 1.0f - mTimer * TICK_SECONDS / mShootDelay : 1.0f;
            mRecoilAnimation->setTimePosition(mRecoilAnimation->getLength() *
                                              Ogre::Math::Clamp(progress, 0.0f, 1.0f));
        }
    }
    mPoweredPhase += mPoweredAnimationScale * mPowerLevel * TICK_SECONDS;
    if (mPoweredPhase > 1.0f)
        mPoweredPhase -= 1.0f;
    if (mPoweredAnimation)
        mPoweredAnimation->setTimePosition(mPoweredAnimation->getLength() * mPoweredPhase);
    updateSounds(frameSeconds);
    updateFlash(frameSeconds);
    updateLabel();
}

void SentryGun::presentPowerChange()
{
    mFlashIntensity = 1.0f;
    if (mFlashNode && mParts.node)
    {
        const Ogre::Quaternion& orientation = mParts.node->getOrientation();
        mFlashNode->setPosition(mParts.node->getPosition() + orientation * mFlashOffset);
        mFlashNode->setOrientation(
            orientation * Ogre::Quaternion(Ogre::Radian(Ogre::Math::RangeRandom(0.0f, Ogre::Math::TWO_PI)),
                                           Ogre::Vector3::UNIT_X));
    }
    if (mShotSound)
        mShotSound->play(mRenderPosition, SHOT_GAIN,
                         Ogre::Math::RangeRandom(1.0f - SHOT_PITCH_VARIATION, 1.0f + SHOT_PITCH_VARIATION),
                         false, -1);
}

void SentryGun::updateSounds(float frameSeconds)
{
    if (mLoopSound && mPowerState != OFF)
    {
        float pitch = 0.5f + 0.5f * mPowerLevel;
        if (!mLoopSoundHandle)
            mLoopSoundHandle =
                mLoopSound->play(mRenderPosition, mPowerLevel, pitch, true, LOOP_SOUND_PRIORITY);
        else
            mLoopSound->adjust(mLoopSoundHandle, mRenderPosition, mPowerLevel, pitch);
    }
    if (mArmed && mBeepSound && --mBeepCountdown == 0)
    {
        mBeepSound->play(mRenderPosition, 1.0f, 1.0f, false, -1);
        mBeepCountdown = BEEP_FRAMES;
    }
    if (mArmed != mLastArmed)
    {
        if (mDisarmSound)
            mDisarmSound->play(mRenderPosition, 1.0f, 1.0f, false, -1);
        mBeepCountdown = BEEP_FRAMES;
        mLastArmed = mArmed;
    }
}

void SentryGun::updateFlash(float frameSeconds)
{
    if (mFlashIntensity <= 0.0f)
        return;
    float shown = Ogre::Math::Clamp(FLASH_BOOST * mFlashIntensity, 0.0f, 1.0f);
    if (mFlashEntity && mFlashEntity->getNumSubEntities() > 0)
    {
        mFlashEntity->getSubEntity(0)->setCustomParameter(0, Ogre::Vector4(shown, shown, shown, 1.0f));
        mFlashNode->setVisible(true, true);
    }
    if (mLight)
    {
        mLight->setVisible(true);
        mLight->setDiffuseColour(mFlashColour * shown);
        mLight->setSpecularColour(mFlashColour * shown);
    }
    mFlashIntensity = std::max(0.0f, mFlashIntensity - FLASH_FADE * frameSeconds);
    if (mFlashIntensity <= 0.0f)
    {
        if (mFlashNode)
            mFlashNode->setVisible(false, true);
        if (mLight)
            mLight->setVisible(false);
    }
}

void SentryGun::updateLabel()
{
    if (!mLabel)
        return;
    mLabel->setPosition(mPosition);
    mLabel->setText(mArmed ? "Sentry gun (armed)" : "Sentry gun (disarmed)");
    mLabel->setLayerFlags(mManager->getObserverMaskInRadius(mPosition, LABEL_RADIUS));
}

void SentryGun::stopLoopSound()
{
    if (mLoopSoundHandle && mLoopSound)
        mLoopSound->stop(mLoopSoundHandle);
    mLoopSoundHandle = 0;
}
} // namespace game
