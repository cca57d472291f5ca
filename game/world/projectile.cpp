#include "game/world/projectile.h"
#include "engine/core/animatedlight.h"
#include "engine/core/audiosample.h"
#include "engine/core/particle.h"
#include "engine/core/simulator.h"
#include "game/world/entitymanager.h"
#include "toolkit/xmlelement.h"

#include <OgreEntity.h>
#include <OgreException.h>
#include <OgreMath.h>
#include <OgreMesh.h>
#include <OgreMeshManager.h>
#include <OgreParticleEmitter.h>
#include <OgreSceneNode.h>

#include <algorithm>
#include <cmath>

namespace game
{
namespace
{
// Motion states: nothing to show is never sent; anything else every pass.
constexpr int MOTION_HIDDEN = 0;
constexpr int MOTION_SHOWN = 1;

// The rotation that turns the x axis onto the direction; none for a zero direction.
Ogre::Quaternion turnXOnto(const Ogre::Vector3& direction)
{
    if (direction.isZeroLength())
        return Ogre::Quaternion::IDENTITY;
    return Ogre::Vector3::UNIT_X.getRotationTo(direction);
}
} // namespace

Projectile::Projectile(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = 0;
    mMotionState = MOTION_SHOWN;
    mStateCodec.bind(&mPosition.x, -POSITION_XY_LIMIT, POSITION_XY_LIMIT, POSITION_XY_BITS);
    mStateCodec.bind(&mPosition.y, -POSITION_XY_LIMIT, POSITION_XY_LIMIT, POSITION_XY_BITS);
    mStateCodec.bind(&mPosition.z, -POSITION_Z_LIMIT, POSITION_Z_LIMIT, POSITION_Z_BITS);
    for (float* component : {&mLinearVelocity.x, &mLinearVelocity.y, &mLinearVelocity.z})
        mStateCodec.bind(component, -VELOCITY_LIMIT, VELOCITY_LIMIT, VELOCITY_BITS);
}

Projectile::~Projectile() {}

void Projectile::load(const brix::XMLElement* element)
{
    Entity::load(element);
    mMass = element->getValueAsFloat("mass", 0.0f);
    if (!(mMass > 0.0f))
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "No mass defined for projectile '" + mName + "'",
                    "Projectile::load");
    std::string mesh = element->getValue("mesh", "");
    mMesh = mesh.empty() ? Ogre::MeshPtr() : Ogre::MeshManager::getSingleton().load(mesh, "default");
    mSound = loadSound(element, "sound");
    mSoundLooping =
        !element->getValue("sound", "").empty() && element->getValueAsBoolean("soundlooping", false);
    loadLight(element->getChild("light"), mLight);
    loadImpactSound(element->getChild("contact"), mContact);
    mRotation = element->getValueAsFloat("rotation", 0.0f);
    mExplosion = element->getValue("explosion", "");
    mExplosionOrientation = element->getValueAsFloat("explosionorientation", 1.0f);
    mImpulse = element->getValueAsFloat("impulse", 0.0f);
    mDamage = element->getValueAsFloat("damage", 0.0f);
    mEffect = element->getValue("effect", "");
    mNoExplosionTypes.clear();
    for (const brix::XMLElement* child = element->getChild("noexplosiontype"); child;
         child = element->getNextChild(child, "noexplosiontype"))
        mNoExplosionTypes.push_back(child->getValue());
    loadPeriodicDamage(element->getChild("periodicdamage"), mPeriodicDamage);
    mDistanceLimit = element->getValueAsFloat("distancelimit", 0.0f);
    mFlags |= ATTRIBUTE_SEETHROUGH | ATTRIBUTE_NOBLOCKAI | ATTRIBUTE_EDITHIDE;
    bool shown = mMesh || !element->getValue("sound", "").empty() || !mEffect.empty() || mLight.range > 0.0f;
    mMotionState = shown ? MOTION_SHOWN : MOTION_HIDDEN;
}

void Projectile::copyDefinition(const Entity* entity)
{
    Entity::copyDefinition(entity);
    const Projectile* prototype = static_cast<const Projectile*>(entity);
    mMass = prototype->mMass;
    mMesh = prototype->mMesh;
    mSound = prototype->mSound;
    mSoundLooping = prototype->mSoundLooping;
    mLight = prototype->mLight;
    mContact = prototype->mContact;
    mRotation = prototype->mRotation;
    mExplosion = prototype->mExplosion;
    mExplosionOrientation = prototype->mExplosionOrientation;
    mImpulse = prototype->mImpulse;
    mDamage = prototype->mDamage;
    mEffect = prototype->mEffect;
    mNoExplosionTypes = prototype->mNoExplosionTypes;
    mPeriodicDamage = prototype->mPeriodicDamage;
    mDistanceLimit = prototype->mDistanceLimit;
}

void Projectile::spawn()
{
    Entity::spawn();
    if (brix::Simulator* simulator = mManager->getSimulator())
    {
        mParticle = simulator->createParticle(mMass);
        mParticle->setContactInfoFlags(0xFFFFFFFFu);
        mParticle->setUserData(static_cast<Entity*>(this));
        mParticle->deploy(mPosition, mOrientation, mLinearVelocity, mAngularVelocity);
    }
    createMeshNode(mMesh, mNode, mMeshEntity);
    if (mNode)
        createLight(mLight, mNode, mLightNode, mAnimatedLight);
    if (mSound)
        mSoundHandle = mSound->play(mPosition, 1.0f, 1.0f, mSoundLooping, -1);
    mEmitter = createEmitter(mEffect, mPosition);
    mSpinAngle = 0.0f;
    mTravelledDistance = 0.0f;
}

void Projectile::remove()
{
    Entity::remove();
    destroyEmitter(mEmitter);
    if (mSoundHandle)
        mSound->stop(mSoundHandle);
    mSoundHandle = 0;
    destroyLight(mLightNode, mAnimatedLight);
    destroyMeshNode(mNode, mMeshEntity);
    if (mParticle)
    {
        // Gone at the simulator's next flush; no contact of the coming step leads back here.
        mParticle->setUserData(nullptr);
        mManager->getSimulator()->destroyParticle(mParticle);
        mParticle = nullptr;
    }
}

void Projectile::kill()
{
    Entity::kill();
    if (mParticle)
        mParticle->setEnabled(false);
}

void Projectile::postUpdate(uint16_t tick, bool newTick)
{
    mPreviousPosition = mPosition;
    mPreviousOrientation = mOrientation;
    if (mParticle)
    {
        mPosition = mParticle->getPosition();
        mLinearVelocity = mParticle->getLinearVelocity();
        mTravelledDistance += mPosition.distance(mPreviousPosition);
        if (isAuthoritative())
        {
            if (mParticle->numContacts() > 0)
                hit();
            // The aura also burns at the point of impact, on the tick the shot dies.
            applyPeriodicDamage(mPeriodicDamage);
            // Only the host's shot runs out: a joiner's copy flies the ticks after each of the
            // host's states again, so its count runs far ahead of the way it went.
            if (mState == ACTIVE && mDistanceLimit > 0.0f && mTravelledDistance > mDistanceLimit)
                kill();
        }
    }
    mTick = tick;
}

void Projectile::hit()
{
    const brix::Movable::TContact& contact = mParticle->getContact(0);
    Entity* target = contact.movable ? static_cast<Entity*>(contact.movable->getUserData()) : nullptr;
    Ogre::Vector3 direction = mLinearVelocity.normalisedCopy();
    if (target && mImpulse != 0.0f)
        target->applyImpulse(contact.position, mLinearVelocity * mMass * mImpulse);
    if (target && mDamage != 0.0f)
        target->damage(mDamage, contact.position, direction, mOwnerId);
    if (!mExplosion.empty() && !(target && isNoExplosionType(target)))
    {
        Ogre::Vector3 facing =
            direction * (1.0f - mExplosionOrientation) - contact.normal * mExplosionOrientation;
        // An unknown name is logged and passed over.
        if (Entity* explosion = createNamedEntity(mExplosion, contact.position, turnXOnto(facing),
                                                  Ogre::Vector3::ZERO, Ogre::Vector3::ZERO))
            explosion->setOwnerId(mOwnerId);
    }
    kill();
}

bool Projectile::isNoExplosionType(const Entity* entity) const
{
    if (mNoExplosionTypes.empty())
        return false;
    std::string type = entity->getType();
    return std::find(mNoExplosionTypes.begin(), mNoExplosionTypes.end(), type) != mNoExplosionTypes.end();
}

void Projectile::setTick(uint16_t tick)
{
    Entity::setTick(tick);
    if (mParticle)
        mParticle->warp(mPosition, Ogre::Quaternion::IDENTITY, mLinearVelocity, Ogre::Vector3::ZERO);
}

void Projectile::setEnabled(bool enabled)
{
    Entity::setEnabled(enabled);
    if (mNode)
        mNode->setVisible(enabled, true);
    if (mParticle && !isAuthoritative())
        mParticle->setEnabled(enabled);
    if (mSound && mSoundLooping)
    {
        if (enabled && !mSoundHandle)
            mSoundHandle = mSound->play(mRenderPosition, 1.0f, 1.0f, true, -1);
        else if (!enabled && mSoundHandle)
        {
            mSound->stop(mSoundHandle);
            mSoundHandle = 0;
        }
    }
    if (mEmitter)
        mEmitter->setEnabled(enabled);
}

void Projectile::interpolate(float frameSeconds, float fraction)
{
    Entity::interpolate(frameSeconds, fraction);
    Ogre::Quaternion q = turnXOnto(mLinearVelocity);
    Ogre::Quaternion orientation = q;
    if (mRotation != 0.0f)
    {
        mSpinAngle = std::fmod(mSpinAngle + frameSeconds * mRotation, Ogre::Math::TWO_PI);
        if (mSpinAngle < 0.0f)
            mSpinAngle += Ogre::Math::TWO_PI;
        orientation = q * Ogre::Quaternion(Ogre::Radian(mSpinAngle), Ogre::Vector3::UNIT_X);
    }
    if (mNode)
    {
        mNode->setPosition(mRenderPosition);
        mNode->setOrientation(orientation);
    }
    if (mSoundHandle)
        mSound->adjust(mSoundHandle, mRenderPosition, 1.0f, 1.0f);
    if (mAnimatedLight)
        mAnimatedLight->update(frameSeconds);
    if (mEmitter)
    {
        mEmitter->setDirection(q * Ogre::Vector3::UNIT_X);
        mEmitter->setPosition(mRenderPosition);
    }
}

} // namespace game
