#include "game/world/explosion.h"
#include "engine/core/animatedlight.h"
#include "engine/core/ogrescene.h"
#include "game/level/level.h"
#include "game/world/entitymanager.h"
#include "toolkit/xmlelement.h"

#include <OgreEntity.h>
#include <OgreMath.h>
#include <OgreParticleEmitter.h>
#include <OgreSceneNode.h>

#include <cmath>
#include <cstdlib>

namespace game
{
Explosion::Explosion(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = 0;
    mMotionState = 1;
    bindPose();
}

Explosion::~Explosion() {}

void Explosion::load(const brix::XMLElement* element)
{
    Entity::load(element);
    mFlame = element->getValue("flame", "");
    mSmoke = element->getValue("smoke", "");
    mDebris = element->getValue("debris", "");
    mSmokeDelay = element->getValueAsFloat("smokedelay", 0.0f);
    mFragmentRadius = element->getValueAsFloat("fragmentradius", 0.0f);
    mFragmentCount = element->getValueAsInteger("fragmentcount", 0);
    mFragments.clear();
    for (const brix::XMLElement* child = element->getChild("fragment"); child;
         child = element->getNextChild(child, "fragment"))
    {
        TFragment fragment;
        fragment.name = child->getValue("name", "");
        fragment.linearSpeed = child->getValueAsFloat("linearspeed", 0.0f);
        fragment.angularSpeed = child->getValueAsFloat("angularspeed", 0.0f);
        fragment.spread = child->getValueAsFloat("spread", 0.0f);
        mFragments.push_back(fragment);
    }
    loadLight(element->getChild("light"), mLight);
    loadSounds(element, "sound", mSounds);
    mRange = element->getValueAsFloat("range", 0.0f);
    mDamage = element->getValueAsFloat("damage", 0.0f);
    mImpulse = element->getValueAsFloat("impulse", 0.0f);
    mRadius = element->getValueAsFloat("radius", 0.0f);
    mDuration = element->getValueAsFloat("duration", 0.0f);
    mSplat = element->getValue("splat", "");
    mSplatDelay = element->getValueAsFloat("splatdelay", 0.0f);
    mSplatCount = element->getValueAsInteger("splatcount", 1);
    mSplatDistance = element->getValueAsFloat("splatdistance", 0.2f);
}

void Explosion::copyDefinition(const Entity* entity)
{
    Entity::copyDefinition(entity);
    const Explosion* prototype = static_cast<const Explosion*>(entity);
    mFlame = prototype->mFlame;
    mSmoke = prototype->mSmoke;
    mDebris = prototype->mDebris;
    mSmokeDelay = prototype->mSmokeDelay;
    mFragmentRadius = prototype->mFragmentRadius;
    mFragmentCount = prototype->mFragmentCount;
    mFragments = prototype->mFragments;
    mLight = prototype->mLight;
    mSounds = prototype->mSounds;
    mRange = prototype->mRange;
    mDamage = prototype->mDamage;
    mImpulse = prototype->mImpulse;
    mRadius = prototype->mRadius;
    mDuration = prototype->mDuration;
    mSplat = prototype->mSplat;
    mSplatDelay = prototype->mSplatDelay;
    mSplatCount = prototype->mSplatCount;
    mSplatDistance = prototype->mSplatDistance;
}

void Explosion::spawn()
{
    Entity::spawn();
    if (Ogre::SceneManager* sceneManager = mManager->getSceneManager())
    {
        brix::OgreScene scene(sceneManager, 0);
        Ogre::Entity* none = nullptr;
        scene.createSceneNode(mNode, none, mManager->getRootSceneNode(), "");
        mNode->setPosition(mPosition);
        mNode->setOrientation(mOrientation);
        createLight(mLight, mNode, mLightNode, mAnimatedLight);
    }
    Ogre::Vector3 direction = mOrientation * Ogre::Vector3::UNIT_X;
    for (Ogre::ParticleEmitter** emitter : {&mFlameEmitter, &mSmokeEmitter, &mDebrisEmitter})
    {
        const std::string& name =
            emitter == &mFlameEmitter ? mFlame : (emitter == &mSmokeEmitter ? mSmoke : mDebris);
        *emitter = createEmitter(name, mPosition);
        if (*emitter)
            (*emitter)->setDirection(direction);
    }
    mSmokeTimer = mSmokeDelay;
    if (mSmokeTimer > 0.0f && mSmokeEmitter)
        mSmokeEmitter->setEnabled(false);
    playRandomSound(mSounds, mPosition, SOUND_VOLUME, Ogre::Math::RangeRandom(0.8f, 1.2f), false,
                    SOUND_PRIORITY);
    mAgeTicks = 0;
    mSplatDone = false;
    mBlastDone = false;
}

void Explosion::remove()
{
    Entity::remove();
    destroyEmitter(mFlameEmitter);
    destroyEmitter(mSmokeEmitter);
    destroyEmitter(mDebrisEmitter);
    destroyLight(mLightNode, mAnimatedLight);
    if (mNode)
    {
        brix::OgreScene scene(mManager->getSceneManager(), 0);
        Ogre::Entity* none = nullptr;
        scene.destroySceneNode(mNode, none);
    }
}

void Explosion::update(uint16_t tick, bool newTick)
{
    if (isAuthoritative() && !mBlastDone)
    {
        blast();
        throwFragments();
        mBlastDone = true;
    }
    if (!mSplatDone && mAgeTicks > toTicks(mSplatDelay))
        splat();
}

void Explosion::blast()
{
    if (mRange <= 0.0f)
        return;
    mFoundEntities.clear();
    mManager->findEntities(mFoundEntities, mPosition, mRange, "");
    for (Entity* entity : mFoundEntities)
    {
        // The blast never reaches back at itself.
        if (entity == this)
            continue;
        Ogre::Vector3 offset = entity->getPosition() - mPosition;
        float factor = falloff(offset.length(), mRange, FALLOFF_SLOPE);
        if (factor <= 0.0f || !isExposed(entity))
            continue;
        Ogre::Vector3 direction = offset.normalisedCopy();
        if (mImpulse != 0.0f)
            entity->applyImpulse(entity->getPosition(), direction * mImpulse * factor);
        if (mDamage != 0.0f)
            entity->damage(std::fabs(mDamage) * factor, entity->getPosition(),
                           mDamage < 0.0f ? -direction : direction, mOwnerId);
    }
}

bool Explosion::isExposed(const Entity* target)
{
    Ogre::Vector3 direction = (target->getPosition() - mPosition).normalisedCopy();
    int visibility = mManager->checkVisibility(this, mPosition + direction * mRadius, target, false,
                                               ATTRIBUTE_BLOCKDAMAGE, true);
    if (mRadius <= 0.0f || visibility == 2)
        return visibility == 2;
    Ogre::Vector3 side = direction.crossProduct(Ogre::Vector3::UNIT_Z) * mRadius;
    for (const Ogre::Vector3& from : {mPosition + side, mPosition - side})
        if (mManager->checkVisibility(this, from, target, false, ATTRIBUTE_BLOCKDAMAGE, true) == 2)
            return true;
    return false;
}

void Explosion::throwFragments()
{
    if (mFragments.empty() || mFragmentCount <= 0)
        return;
    float angle = Ogre::Math::UnitRandom() * Ogre::Math::PI;
    for (int i = 0; i < mFragmentCount; ++i)
    {
        const TFragment& fragment = mFragments[std::rand() % mFragments.size()];
        Ogre::Vector3 base =
            Ogre::Quaternion(Ogre::Radian(angle), Ogre::Vector3::UNIT_Z) * Ogre::Vector3::UNIT_X;
        Ogre::Vector3 direction =
            base.randomDeviant(Ogre::Radian(Ogre::Degree(fragment.spread))).normalisedCopy();
        float spin = fragment.angularSpeed / Ogre::Math::PI * 0.5f;
        Ogre::Vector3 angular(Ogre::Math::SymmetricRandom() * spin, Ogre::Math::SymmetricRandom() * spin,
                              Ogre::Math::SymmetricRandom() * spin);
        Entity* created = createNamedEntity(fragment.name, mPosition + direction * mFragmentRadius,
                                            Ogre::Vector3::UNIT_X.getRotationTo(direction),
                                            direction * fragment.linearSpeed, angular);
        if (created)
        {
            created->addRuntimeFlags(FRAGMENT_FLAGS);
            created->setOwnerId(mOwnerId);
        }
        angle += Ogre::Math::TWO_PI / mFragmentCount;
    }
}

void Explosion::splat()
{
    mSplatDone = true;
    Level* level = mManager->getLevel();
    if (mSplat.empty() || !level)
        return;
    if (mSplatCount == 1)
    {
        // The x axis points away from the surface the blast sits on: the scorch goes the other way.
        Ogre::Vector3 axis = mOrientation * Ogre::Vector3::UNIT_X;
        level->createDecal(mSplat, mPosition, -axis, mSplatDistance, nullptr, axis);
        return;
    }
    if (mSplatCount > 1)
        level->createScatteredDecals(mSplat, mPosition, static_cast<unsigned>(mSplatCount), mSplatDistance,
                                     nullptr);
}

void Explosion::postUpdate(uint16_t tick, bool newTick)
{
    if (newTick)
        ++mAgeTicks;
    if (isAuthoritative() && mState == ACTIVE && mAgeTicks > toTicks(mDuration))
        kill();
    holdPose(tick);
}

void Explosion::setEnabled(bool enabled)
{
    Entity::setEnabled(enabled);
    if (mNode)
        mNode->setVisible(enabled, true);
}

void Explosion::interpolate(float frameSeconds, float fraction)
{
    Entity::interpolate(frameSeconds, fraction);
    if (mAnimatedLight)
        mAnimatedLight->update(frameSeconds);
    if (mSmokeTimer > 0.0f)
    {
        mSmokeTimer -= frameSeconds;
        if (mSmokeTimer <= 0.0f)
        {
            mSmokeTimer = 0.0f;
            if (mSmokeEmitter)
                mSmokeEmitter->setEnabled(true);
        }
    }
}
} // namespace game
