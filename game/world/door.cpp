#include "game/world/door.h"
#include "engine/core/body.h"
#include "engine/core/bodytemplate.h"
#include "engine/core/ogrescene.h"
#include "engine/core/simulator.h"
#include "game/level/level.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "engine/core/audiosample.h"
#include "game/world/mechanismsound.h"
#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

#include <OgreException.h>
#include <OgreMesh.h>
#include <OgreMeshManager.h>
#include <OgreSceneNode.h>

namespace game
{
namespace
{
const std::string HUMAN_TYPE = "human";
const std::string KEY_HOLDER = "player";
} // namespace

Door::Door(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = ATTRIBUTE_BLOCKDAMAGE;
    mMotionState = 1;
    bindMechanismPosition(mStateCodec, mPosition);
    mStateCodec.bind(&mLinearVelocity.z, -VELOCITY_LIMIT, VELOCITY_LIMIT, 6);
    mStateCodec.bind(&mDoorState, 2);
    mStateCodec.bind(&mDenied);
}

Door::~Door() {}

void Door::load(const brix::XMLElement* element)
{
    Entity::load(element);
    mBodyTemplateName = element->getValue("body", "");
    std::string mesh = element->getValue("mesh", "");
    if (mesh.empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "No mesh defined for door '" + mName + "'",
                    "Door::load");
    mMesh = Ogre::MeshManager::getSingleton().load(mesh, "default");
    mMoveSound = MechanismSound::load(element, "movesound");
    mStopSound = MechanismSound::load(element, "stopsound");
    mDenySound = MechanismSound::load(element, "denysound");
    mKeyMask = element->getValueAsInteger("keymask", 0);
    mClosingDelay = static_cast<float>(element->getValueAsInteger("closingdelay", 0));
    mOpeningSpeed = static_cast<float>(element->getValueAsInteger("openingspeed", 0));
    mClosingSpeed = static_cast<float>(element->getValueAsInteger("closingspeed", 0));
}

void Door::copyDefinition(const Entity* entity)
{
    Entity::copyDefinition(entity);
    const Door* prototype = static_cast<const Door*>(entity);
    mBodyTemplateName = prototype->mBodyTemplateName;
    mMesh = prototype->mMesh;
    mMoveSound = prototype->mMoveSound;
    mStopSound = prototype->mStopSound;
    mDenySound = prototype->mDenySound;
    mKeyMask = prototype->mKeyMask;
    mClosingDelay = prototype->mClosingDelay;
    mOpeningSpeed = prototype->mOpeningSpeed;
    mClosingSpeed = prototype->mClosingSpeed;
}

void Door::spawn()
{
    Entity::spawn();
    mSliding = false;
    brix::Simulator* simulator = mManager->getSimulator();
    if (mBodyTemplateName.empty() || !simulator)
        brix::Log::error("Door '%s' has no body; it stays where it stands", mName.c_str());
    else
    {
        mParts.body = simulator->createBody(mBodyTemplateName);
        mParts.body->setUserData(static_cast<Entity*>(this));
        mParts.body->setContactInfoFlags(0);
        mParts.body->deploy(mPosition, mOrientation, mLinearVelocity, mAngularVelocity);
        hangBody();
    }
    mParts.createNode(mManager, mMesh, mPosition, mOrientation);
    mDoorState = CLOSED;
    mPreviousDoorState = CLOSED;
    mTimer = 0;
    mDenied = false;
    mPreviousDenied = false;
    mMoveSoundHandle = 0;
}

void Door::hangBody()
{
    const brix::BodyTemplate* bodyTemplate = mParts.body->getTemplate();
    Level* level = mManager->getLevel();
    std::string problem;
    if (!bodyTemplate || !bodyTemplate->hasJoint())
        problem = "its body template '" + mBodyTemplateName + "' has no joint";
    else if (!level || !level->getBody())
    {
        // A world without a level (a tool, a preview) has nothing to slide along.
        brix::Log::info("Door '" + mName + "' has no level to slide along and stays shut");
        mParts.body->setStatic(true, true);
        return;
    }
    else
    {
        const brix::BodyTemplate::TAxis& axis = bodyTemplate->getJoint().axes[0];
        mClosedThreshold = mPosition.z + axis.low + LIMIT_MARGIN;
        mOpenThreshold = mPosition.z + axis.high - LIMIT_MARGIN;
        try
        {
            level->getBody()->addChild(mParts.body);
            mParts.body->setController(&mController);
            mSliding = true;
            return;
        }
        catch (const Ogre::Exception& e)
        {
            problem = e.getDescription();
        }
    }
    brix::Log::error("Door '" + mName + "' cannot slide and stays shut: " + problem);
    // Shut where it stands: an obstacle, not a loose slab.
    if (mParts.body->getMass() > 0.0f)
        mParts.body->setStatic(true, true);
}

void Door::remove()
{
    Entity::remove();
    MechanismSound::stopLoop(mMoveSound, mMoveSoundHandle);
    mParts.destroyNode(mManager);
    if (mParts.body)
    {
        // The body goes with the door: left on the level it would block the way invisibly and
        // lead contacts back to a deleted entity.
        mParts.body->setController(nullptr);
        mParts.body->setEnabled(false);
        mParts.body->setUserData(nullptr);
        Level* level = mManager->getLevel();
        brix::Body* parent = mSliding && level ? level->getBody() : nullptr;
        bool destroyed = false;
        for (unsigned i = 0; parent && i < parent->numChildren(); ++i)
            if (parent->getChild(i) == mParts.body)
            {
                parent->destroyChild(i);
                destroyed = true;
                break;
            }
        if (!destroyed)
            mManager->getSimulator()->destroyBody(mParts.body);
    }
    mParts.body = nullptr;
    mSliding = false;
}

void Door::kill()
{
    Entity::kill();
    mParts.disableBody();
}

void Door::setDoorState(DoorState state)
{
    mDoorState = state;
    mTimer = 0;
}

void Door::update(uint16_t tick, bool newTick)
{
    if (!mSliding)
        return;
    if (isAuthoritative())
    {
        if (mDoorState == CLOSING && mPosition.z < mClosedThreshold)
            setDoorState(CLOSED);
        else if (mDoorState == OPENING && mPosition.z > mOpenThreshold)
            setDoorState(OPEN);
        mDenied = false;
        mFoundEntities.clear();
        mManager->findEntities(mFoundEntities, Ogre::Vector3(mPosition.x, mPosition.y, 0.0f), REACH,
                               HUMAN_TYPE);
        for (const Entity* human : mFoundEntities)
        {
            if (human->getName() != KEY_HOLDER)
                continue;
            if (static_cast<const Human*>(human)->getKeyMask() & mKeyMask)
            {
                if (mDoorState == CLOSED || mDoorState == CLOSING)
                    mDoorState = OPENING;
                mTimer = 0;
            }
            else
                mDenied = true;
        }
        ++mTimer;
        if (mDoorState == OPEN && mTimer > toTicks(mClosingDelay))
            setDoorState(CLOSING);
        else if (mDoorState == CLOSING && mTimer > MAX_CLOSING_TICKS)
            setDoorState(OPENING);
    }
    if (mDoorState == CLOSING)
        mController.setTarget(Ogre::Vector3(0.0f, 0.0f, -mClosingSpeed));
    else if (mDoorState == OPENING)
        mController.setTarget(Ogre::Vector3(0.0f, 0.0f, mOpeningSpeed));
}

void Door::postUpdate(uint16_t tick, bool newTick)
{
    mPreviousPosition = mPosition;
    mPreviousOrientation = mOrientation;
    mParts.readBack(mPosition, mOrientation, mLinearVelocity, nullptr);
    mTick = tick;
}

void Door::setTick(uint16_t tick)
{
    Entity::setTick(tick);
    mLinearVelocity.x = 0.0f;
    mLinearVelocity.y = 0.0f;
    mOrientation.normalise();
    if (mParts.body)
        mParts.body->warp(mPosition, mOrientation, mLinearVelocity, Ogre::Vector3::ZERO);
}

void Door::setEnabled(bool enabled)
{
    Entity::setEnabled(enabled);
    mParts.setEnabled(enabled, isAuthoritative());
    if (!enabled)
        MechanismSound::stopLoop(mMoveSound, mMoveSoundHandle);
    else if (mDoorState == OPENING || mDoorState == CLOSING)
        MechanismSound::startLoop(mMoveSound, mMoveSoundHandle, mRenderPosition, 1.0f,
                                  brix::AudioSample::DEFAULT_PRIORITY);
}

void Door::interpolate(float frameSeconds, float fraction)
{
    Entity::interpolate(frameSeconds, fraction);
    mParts.place(mRenderPosition, mRenderOrientation);
    if (mDoorState != mPreviousDoorState)
    {
        if (mDoorState == OPENING || mDoorState == CLOSING)
            MechanismSound::startLoop(mMoveSound, mMoveSoundHandle, mRenderPosition, 1.0f,
                                      brix::AudioSample::DEFAULT_PRIORITY);
        else
        {
            MechanismSound::stopLoop(mMoveSound, mMoveSoundHandle);
            MechanismSound::playOnce(mStopSound, mRenderPosition);
        }
    }
    mPreviousDoorState = mDoorState;
    if (mDenied && !mPreviousDenied)
        MechanismSound::playOnce(mDenySound, mRenderPosition);
    mPreviousDenied = mDenied;
}

void Door::applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse)
{
    mParts.applyImpulse(point, impulse);
}
} // namespace game
