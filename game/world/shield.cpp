#include "game/world/shield.h"
#include "engine/core/animatedlight.h"
#include "engine/core/body.h"
#include "engine/core/ogrescene.h"
#include "engine/core/simulator.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "game/world/mechanismsound.h"
#include "toolkit/math.h"
#include "toolkit/xmlelement.h"

#include <OgreException.h>
#include <OgreMesh.h>
#include <OgreMeshManager.h>
#include <OgreSceneNode.h>

namespace game
{
Shield::Shield(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = 0;
    mMotionState = 1;
    mLight.colour = Ogre::ColourValue::White;
    bindMechanismPosition(mStateCodec, mPosition);
    for (float* component : {&mLinearVelocity.x, &mLinearVelocity.y, &mLinearVelocity.z})
        mStateCodec.bind(component, -VELOCITY_LIMIT, VELOCITY_LIMIT, 6);
    mStateCodec.bind(&mOn);
}

Shield::~Shield() {}

void Shield::load(const brix::XMLElement* element)
{
    Entity::load(element);
    mBodyTemplateName = element->getValue("body", "");
    if (mBodyTemplateName.empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "No body defined for shield '" + mName + "'",
                    "Shield::load");
    std::string mesh = element->getValue("mesh", "");
    if (mesh.empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "No mesh defined for shield '" + mName + "'",
                    "Shield::load");
    mMesh = Ogre::MeshManager::getSingleton().load(mesh, "default");
    mLoopSound = MechanismSound::load(element, "sound");
    mPowerUpSound = MechanismSound::load(element, "powerupsound");
    mPowerDownSound = MechanismSound::load(element, "powerdownsound");
    loadLight(element->getChild("light"), mLight);
    mControllerGain = element->getValueAsFloat("controller/gain", 0.0f);
    mControllerDamping = element->getValueAsFloat("controller/damping", 0.0f);
    mControllerLimit = element->getValueAsFloat("controller/limit", 0.0f);
    mFlags |= ATTRIBUTE_SEETHROUGH | ATTRIBUTE_NOSHADOWS | ATTRIBUTE_EDITHIDE;
}

void Shield::copyDefinition(const Entity* entity)
{
    Entity::copyDefinition(entity);
    const Shield* prototype = static_cast<const Shield*>(entity);
    mBodyTemplateName = prototype->mBodyTemplateName;
    mMesh = prototype->mMesh;
    mLoopSound = prototype->mLoopSound;
    mPowerUpSound = prototype->mPowerUpSound;
    mPowerDownSound = prototype->mPowerDownSound;
    mLight = prototype->mLight;
    mControllerGain = prototype->mControllerGain;
    mControllerDamping = prototype->mControllerDamping;
    mControllerLimit = prototype->mControllerLimit;
    mController.setGain(mControllerGain);
    mController.setDamping(mControllerDamping);
    mController.setLimit(mControllerLimit);
}

void Shield::spawn()
{
    Entity::spawn();
    mParts.body = mManager->getSimulator()->createBody(mBodyTemplateName);
    mParts.body->setUserData(static_cast<Entity*>(this));
    mParts.body->setContactInfoFlags(0);
    mParts.body->deploy(mPosition, mOrientation, mLinearVelocity, mAngularVelocity);
    mParts.body->setController(&mController);
    mParts.createNode(mManager, mMesh, mPosition, mOrientation);
    if (mParts.node)
        createLight(mLight, mParts.node, mLightNode, mAnimatedLight);
    MechanismSound::playOnce(mPowerUpSound, mPosition);
    mLoopSoundHandle = 0;
    MechanismSound::startLoop(mLoopSound, mLoopSoundHandle, mPosition, 1.0f, HUM_PRIORITY);
    mController.setTarget(mPosition);
    mIntensity = 0.0f;
    mOn = true;
    mPreviousOn = true;
}

void Shield::remove()
{
    Entity::remove();
    MechanismSound::stopLoop(mLoopSound, mLoopSoundHandle);
    destroyLight(mLightNode, mAnimatedLight);
    mParts.destroyNode(mManager);
    mParts.destroyBody(mManager);
    mOwner = nullptr;
}

void Shield::kill()
{
    Entity::kill();
    mParts.disableBody();
}

void Shield::setOwner(Human* owner)
{
    mOwner = owner;
    mOwnerEntityId = owner ? owner->getId() : 0;
}

Human* Shield::getLivingOwner()
{
    if (mOwner && mManager->getEntity(mOwnerEntityId) != mOwner)
        mOwner = nullptr;
    return mOwner;
}

void Shield::setPowered(bool powered)
{
    if (mParts.body)
        mParts.body->setEnabled(powered);
    mOn = powered;
}

void Shield::switchOff()
{
    setPowered(false);
}

void Shield::damage(float amount, const Ogre::Vector3& point, const Ogre::Vector3& direction,
                    uint32_t attackerId)
{
    if (mOn && mState == ACTIVE)
        if (Human* owner = getLivingOwner())
            owner->drainShieldEnergy(amount * HIT_DRAIN);
}

void Shield::postUpdate(uint16_t tick, bool newTick)
{
    mPreviousPosition = mPosition;
    mPreviousOrientation = mOrientation;
    mParts.readBack(mPosition, mOrientation, mLinearVelocity, &mAngularVelocity);
    if (newTick)
        brix::Math::adjustBlendFactor(mIntensity, mOn, POWER_SECONDS, POWER_SECONDS, TICK_SECONDS);
    if (isAuthoritative())
    {
        // An owner that has left the world takes its shield's energy with it.
        if (mOn && mOwner && !getLivingOwner())
            switchOff();
        else if (mOn && mOwner)
        {
            bool energy = mOwner->drainShieldEnergy(DRAIN_PER_TICK);
            bool near =
                mOwner->getPosition().squaredDistance(mPosition) <= MAX_OWNER_DISTANCE * MAX_OWNER_DISTANCE;
            bool held = mController.getError().squaredLength() <= MAX_TARGET_ERROR * MAX_TARGET_ERROR;
            if (!energy || !near || !held)
                switchOff();
        }
        if (!mOn && mIntensity <= 0.0f && mState == ACTIVE)
            kill();
    }
    mTick = tick;
}

void Shield::setTick(uint16_t tick)
{
    Entity::setTick(tick);
    mOrientation.normalise();
    if (mParts.body)
        mParts.body->warp(mPosition, mOrientation, mLinearVelocity, mAngularVelocity);
}

void Shield::setEnabled(bool enabled)
{
    Entity::setEnabled(enabled);
    mParts.setEnabled(enabled, isAuthoritative());
    if (enabled)
        MechanismSound::startLoop(mLoopSound, mLoopSoundHandle, mRenderPosition, mIntensity, HUM_PRIORITY);
    else
        MechanismSound::stopLoop(mLoopSound, mLoopSoundHandle);
}

void Shield::interpolate(float frameSeconds, float fraction)
{
    Entity::interpolate(frameSeconds, fraction);
    mParts.place(mRenderPosition, mRenderOrientation);
    if (mParts.node)
        mParts.node->setScale(1.0f, mIntensity, mIntensity);
    if (mOn != mPreviousOn)
        MechanismSound::playOnce(mOn ? mPowerUpSound : mPowerDownSound, mRenderPosition);
    mPreviousOn = mOn;
    MechanismSound::adjustLoop(mLoopSound, mLoopSoundHandle, mRenderPosition, mIntensity, 1.0f);
    if (mAnimatedLight)
    {
        mAnimatedLight->update(frameSeconds);
        mAnimatedLight->setColor(mLight.colour * mIntensity);
    }
}

void Shield::applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse)
{
    mParts.applyImpulse(point, impulse);
}
} // namespace game
