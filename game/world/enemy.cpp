#include "game/world/enemy.h"
#include "engine/core/audiosample.h"
#include "engine/core/body.h"
#include "engine/core/simulator.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "network/networkstatecodec.h"
#include "toolkit/xmlelement.h"

#include <OgreAnimationState.h>
#include <OgreEntity.h>
#include <OgreException.h>
#include <OgreMath.h>
#include <OgreMeshManager.h>
#include <OgreSceneNode.h>

#include <cmath>

namespace game
{
Enemy::Enemy(EntityManager* manager, const char* animationName, unsigned killEvent)
    : Entity(manager), mAnimationName(animationName), mKillEvent(killEvent)
{
    mSupportedAttributes = ATTRIBUTE_EDITHIDE;
    mMotionState = 1;
    bindMechanismPosition(mStateCodec, mPosition);
    for (float* component : {&mLinearVelocity.x, &mLinearVelocity.y, &mLinearVelocity.z})
        mStateCodec.bind(component, -VELOCITY_LIMIT, VELOCITY_LIMIT, VELOCITY_BITS);
}

Enemy::~Enemy() {}

void Enemy::load(const brix::XMLElement* element)
{
    Entity::load(element);
    mBodyTemplateName = element->getValue("body", "");
    std::string mesh = element->getValue("mesh", "");
    if (mesh.empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "No mesh defined for prop '" + mName + "'",
                    getType() == "drone" ? "Drone::load" : "Crawler::load");
    mMesh = Ogre::MeshManager::getSingleton().load(mesh, "default");
    loadSounds(element, "animationsound", mAnimationSounds);
    loadSounds(element, "damagesound", mDamageSounds);
    mSpeed = element->getValueAsFloat("speed", 0.0f);
    mAnimationLength = element->getValueAsFloat("animationlength", 0.0f);
    mIntegrity = element->getValueAsFloat("integrity", 0.0f);
    mExplosion = element->getValue("explosion", "");
    mKillScore = element->getValueAsInteger("killscore", 0);
    loadForceDamage(element->getChild("crushdamage"), mCrushDamage);
}

void Enemy::copyDefinition(const Entity* entity)
{
    Entity::copyDefinition(entity);
    const Enemy* prototype = static_cast<const Enemy*>(entity);
    mBodyTemplateName = prototype->mBodyTemplateName;
    mMesh = prototype->mMesh;
    mAnimationSounds = prototype->mAnimationSounds;
    mDamageSounds = prototype->mDamageSounds;
    mSpeed = prototype->mSpeed;
    mAnimationLength = prototype->mAnimationLength;
    mIntegrity = prototype->mIntegrity;
    mExplosion = prototype->mExplosion;
    mKillScore = prototype->mKillScore;
    mCrushDamage = prototype->mCrushDamage;
}

void Enemy::spawn()
{
    Entity::spawn();
    brix::Simulator* simulator = mManager->getSimulator();
    if (!mBodyTemplateName.empty() && simulator)
    {
        mParts.body = simulator->createBody(mBodyTemplateName);
        mParts.body->setUserData(static_cast<Entity*>(this));
        mParts.body->setContactInfoFlags(CONTACT_INFO_FLAGS);
        mParts.body->setController(this);
        mParts.body->deploy(mPosition, mOrientation, mLinearVelocity, mAngularVelocity);
    }
    mParts.createNode(mManager, mMesh, mPosition, mOrientation);
    if (mParts.meshEntity)
    {
        Ogre::AnimationStateSet* states = mParts.meshEntity->getAllAnimationStates();
        if (states && states->hasAnimationState(mAnimationName))
        {
            mAnimationState = states->getAnimationState(mAnimationName);
            mAnimationState->setEnabled(true);
            mAnimationState->setLoop(true);
        }
    }
    mDamage = 0.0f;
    mCrushDamage.timerTicks = 0;
    mAnimationPhase = Ogre::Math::UnitRandom();
    mDamageTrigger.reset();
}

void Enemy::remove()
{
    Entity::remove();
    mAnimationState = nullptr;
    mParts.destroyNode(mManager);
    mParts.destroyBody(mManager);
}

void Enemy::kill()
{
    Entity::kill();
    mParts.disableBody();
}

void Enemy::setTick(uint16_t tick)
{
    Entity::setTick(tick);
    if (mParts.body)
        mParts.body->warp(mPosition, mOrientation, mLinearVelocity, mAngularVelocity);
}

void Enemy::setEnabled(bool enabled)
{
    Entity::setEnabled(enabled);
    mParts.setEnabled(enabled, isAuthoritative());
    // A damage change from before this entity showed plays no sound.
    if (enabled)
        mDamageTrigger.poll();
}

void Enemy::damage(float amount, const Ogre::Vector3& point, const Ogre::Vector3& direction,
                   uint32_t attackerId)
{
    if (mState != ACTIVE || mIntegrity <= 0.0f)
        return;
    onHit(direction);
    mDamage += amount / mIntegrity;
    if (mDamage < 1.0f - DEATH_TOLERANCE)
    {
        mDamageTrigger.trigger();
        return;
    }
    mDamage = 1.0f;
    kill();
    if (!mExplosion.empty())
        if (Entity* explosion = createNamedEntity(mExplosion, mPosition,
                                                  Ogre::Vector3::UNIT_X.getRotationTo(Ogre::Vector3::UNIT_Y),
                                                  Ogre::Vector3::ZERO, Ogre::Vector3::ZERO))
            explosion->setOwnerId(attackerId);
    if (EventDispatcher* events = mManager->getEventDispatcher())
        events->post(mKillEvent, static_cast<int>(mId), static_cast<int>(attackerId), "");
}

void Enemy::applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse)
{
    mParts.applyImpulse(point, impulse);
}

float Enemy::getHealth() const
{
    return mIntegrity > 0.0f ? 1.0f - mDamage : 0.0f;
}

void Enemy::readBody()
{
    mPreviousPosition = mPosition;
    mPreviousOrientation = mOrientation;
    if (!mParts.body)
        return;
    mPosition = mParts.body->getPosition();
    mLinearVelocity = mParts.body->getLinearVelocity();
}

void Enemy::handleContacts()
{
    brix::Body* body = mParts.body;
    if (!body || !isAuthoritative())
        return;
    for (unsigned i = 0; i < body->numContacts() && mState == ACTIVE; ++i)
    {
        const brix::Movable::TContact& contact = body->getContact(i);
        onContact(contact, Entity::ofMovable(contact.movable));
    }
}

void Enemy::applyCrushDamage()
{
    brix::Body* body = mParts.body;
    if (body && isAuthoritative() && mState == ACTIVE && body->numSensors() > 0)
        applyForceDamage(mCrushDamage, body->getSensorValue(0), mIntegrity);
}

void Enemy::advanceAnimation(float phaseStep)
{
    if (!mAnimationState)
        return;
    mAnimationPhase += phaseStep;
    if (mAnimationPhase > 1.0f || mAnimationPhase < 0.0f)
    {
        mAnimationPhase -= std::floor(mAnimationPhase);
        playSound(mAnimationSounds, mPosition, Ogre::Math::RangeRandom(0.8f, 1.2f));
    }
    mAnimationState->setTimePosition(mAnimationState->getLength() * mAnimationPhase);
}

void Enemy::playDamageSound()
{
    if (mDamageTrigger.poll())
        playSound(mDamageSounds, mRenderPosition, Ogre::Math::RangeRandom(0.8f, 1.2f));
}

void Enemy::showNode()
{
    mParts.place(mRenderPosition, mRenderOrientation);
    if (mParts.node)
        mParts.node->setVisible(true);
}

void Enemy::playSound(const SoundList& sounds, const Ogre::Vector3& position, float pitch) const
{
    playRandomSound(sounds, position, 1.0f, pitch, false, -1);
}
} // namespace game
