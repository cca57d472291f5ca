#include "game/world/platform.h"
#include "engine/core/audiosample.h"
#include "engine/core/body.h"
#include "engine/core/ogrescene.h"
#include "engine/core/simulator.h"
#include "game/world/entitymanager.h"
#include "game/world/mechanismsound.h"
#include "game/world/worldlabel.h"
#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

#include <OgreException.h>
#include <OgreMesh.h>
#include <OgreMeshManager.h>
#include <OgreSceneNode.h>
#include <OgreStringConverter.h>

#include <algorithm>
#include <cmath>

namespace game
{
namespace
{
const std::string HUMAN_TYPE = "human";
const char* const LABEL_TYPE = "interaction";
const char* const LABEL_TEXT = "Platform";
const char* const LABEL_TEXT_INCOMING = "Platform (incoming)";
const char* const LABEL_TEXT_BUSY = "Platform (busy)";
// The platform's bodies report contacts of this kind.
constexpr unsigned CONTACT_INFO_FLAGS = 4;
// A turn sharper than 60 degrees ends a segment softly.
constexpr float SOFT_TURN_COSINE = 0.5f;
constexpr int MOTION_WAITING = 3;
constexpr int MOTION_MOVING = 1;
} // namespace

Platform::Platform(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = 0;
    mMotionState = MOTION_MOVING;
    bindMechanismPosition(mStateCodec, mPosition);
    mStateCodec.bind(&mLinearVelocity.x, -VELOCITY_LIMIT, VELOCITY_LIMIT, 6);
    mStateCodec.bind(&mLinearVelocity.y, -VELOCITY_LIMIT, VELOCITY_LIMIT, 6);
    mStateCodec.bind(&mPlatformState, 2);
    mStateCodec.bind(&mTimer, 8);
    mStateCodec.bind(&mIndex, INDEX_BITS);
    mStateCodec.bind(&mCalledTarget, CALLED_TARGET_BITS);
    mStateCodec.bind(&mDirection, -1.0f, 1.0f, 2);
    mStateCodec.bind(&mProgress, 0.0f, 1.0f, 8);
    mStateCodec.bind(&mSegmentDirection, -1.0f, 1.0f, 2);
    mStateCodec.bind(&mRampIn);
    mStateCodec.bind(&mRampOut);
}

Platform::~Platform() {}

void Platform::load(const brix::XMLElement* element)
{
    Entity::load(element);
    mBodyTemplateName = element->getValue("body", "");
    if (mBodyTemplateName.empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                    "No body template defined for platform '" + mName + "'", "Platform::load");
    std::string mesh = element->getValue("mesh", "");
    if (mesh.empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "No mesh defined for platform '" + mName + "'",
                    "Platform::load");
    mMesh = Ogre::MeshManager::getSingleton().load(mesh, "default");
    mStartSound = MechanismSound::load(element, "startsound");
    mMoveSound = MechanismSound::load(element, "movesound");
    mStopSound = MechanismSound::load(element, "stopsound");
    mInteractSound = MechanismSound::load(element, "interactsound");
    mRouteSpeed = element->getValueAsFloat("routespeed", 0.0f);
    mRouteSpeedRamp = element->getValueAsFloat("routespeedramp", 0.0f);
    mRouteWait = element->getValueAsFloat("routewait", 0.0f);
    mControllerGain = element->getValueAsFloat("controller/gain", 0.0f);
    mControllerLimit = element->getValueAsFloat("controller/limit", 0.0f);
    mControllerDamping = element->getValueAsFloat("controller/damping", 0.0f);
    mPositionErrorTolerance = element->getValueAsFloat("positionerrortolerance", 0.0f);
    mCabinCenter =
        Ogre::StringConverter::parseVector3(element->getValue("cabincenter", ""), Ogre::Vector3::ZERO);
    mCabinSize = Ogre::StringConverter::parseVector3(element->getValue("cabinsize", ""), Ogre::Vector3::ZERO);
    mFlags |= ATTRIBUTE_EDITNOMOVEZ | ATTRIBUTE_EDITNOROTATE | ATTRIBUTE_MULTIPOSITION;
}

void Platform::copyDefinition(const Entity* entity)
{
    Entity::copyDefinition(entity);
    const Platform* prototype = static_cast<const Platform*>(entity);
    mBodyTemplateName = prototype->mBodyTemplateName;
    mMesh = prototype->mMesh;
    mStartSound = prototype->mStartSound;
    mMoveSound = prototype->mMoveSound;
    mStopSound = prototype->mStopSound;
    mInteractSound = prototype->mInteractSound;
    mRouteSpeed = prototype->mRouteSpeed;
    mRouteSpeedRamp = prototype->mRouteSpeedRamp;
    mRouteWait = prototype->mRouteWait;
    mControllerGain = prototype->mControllerGain;
    mControllerLimit = prototype->mControllerLimit;
    mControllerDamping = prototype->mControllerDamping;
    mPositionErrorTolerance = prototype->mPositionErrorTolerance;
    mCabinCenter = prototype->mCabinCenter;
    mCabinSize = prototype->mCabinSize;
}

void Platform::addRoutePoint(const Ogre::Vector3& point)
{
    if (mRoutePoints.size() >= MAX_ROUTE_POINTS)
    {
        brix::Log::error("Platform '%s' takes at most %u route points; (%g, %g, %g) is left out",
                         mName.c_str(), MAX_ROUTE_POINTS, point.x, point.y, point.z);
        return;
    }
    mRoutePoints.push_back(point);
}

Ogre::Vector3 Platform::getRoutePoint(unsigned index) const
{
    return index < mRoutePoints.size() ? mRoutePoints[index] : Ogre::Vector3::ZERO;
}

unsigned Platform::nextIndex(unsigned index, float direction) const
{
    if (direction > 0.0f && index + 1 < mRoutePoints.size())
        return index + 1;
    if (direction < 0.0f && index > 0)
        return index - 1;
    return index;
}

Ogre::Vector3 Platform::segmentVector(unsigned index, float direction) const
{
    unsigned next = nextIndex(index, direction);
    if (next == index)
        return Ogre::Vector3::ZERO;
    return (mRoutePoints[next] - mRoutePoints[index]).normalisedCopy();
}

void Platform::startSegment(unsigned index, float direction)
{
    mIndex = index;
    unsigned next = nextIndex(index, direction);
    mSegmentLength = next != index ? (mRoutePoints[next] - mRoutePoints[index]).length() : 0.0f;
    mProgress = 0.0f;
    mSegmentDirection = direction;
    if (mOccupied)
    {
        mRampIn = mRampOut = true;
        return;
    }
    mRampIn = mRampOut;
    mRampOut = mCalledTarget && ((direction < 0.0f && index == mCalledTarget) ||
                                 (direction > 0.0f && index + 2 == mCalledTarget));
    if (segmentVector(index, direction).dotProduct(segmentVector(next, direction)) < SOFT_TURN_COSINE)
        mRampOut = true;
}

bool Platform::continueToCall()
{
    if (!mCalledTarget || mIndex == mCalledTarget - 1)
        return false;
    startSegment(mIndex, mIndex < mCalledTarget - 1 ? 1.0f : -1.0f);
    return true;
}

void Platform::turnAtEnds()
{
    if (mIndex == 0)
        mDirection = 1.0f;
    else if (mIndex + 1 == mRoutePoints.size())
        mDirection = -1.0f;
}

bool Platform::call(const Ogre::Vector3& position)
{
    unsigned count = getRoutePointCount();
    unsigned i = 0;
    for (; i < count; ++i)
    {
        Ogre::Vector3 d = mRoutePoints[i] + mCabinCenter - position;
        if (std::fabs(d.x) <= (mCabinSize.x + CALL_MARGIN) / 2.0f && std::fabs(d.y) <= mCabinSize.y / 2.0f)
            break;
    }
    if (i == count)
        return false;
    if (mCalledTarget)
    {
        if (i + 1 == mCalledTarget && mCalledTarget >= 2 && mCalledTarget < count)
            mDirection = -mDirection;
    }
    else if (mPlatformState == WAITING && mIndex == i)
    {
        if (i > 0 && i + 1 < count)
        {
            mTimer = 0;
            mDirection = -mDirection;
        }
    }
    else if (!mOccupied)
    {
        mCalledTarget = i + 1;
        if (i == 0)
            mDirection = 1.0f;
        else if (i + 1 == count)
            mDirection = -1.0f;
    }
    return true;
}

void Platform::spawn()
{
    Entity::spawn();
    mParts.body = mManager->getSimulator()->createBody(mBodyTemplateName);
    mParts.body->setUserData(static_cast<Entity*>(this));
    mParts.body->setContactInfoFlags(CONTACT_INFO_FLAGS);
    mParts.body->setController(this);
    mParts.body->deploy(mPosition, mOrientation, mLinearVelocity, mAngularVelocity);
    mParts.createNode(mManager, mMesh, mPosition, mOrientation);
    for (const Ogre::Vector3& point : mRoutePoints)
    {
        WorldLabel* label = addWorldLabel(LABEL_TYPE, point);
        if (!label)
            break;
        label->setBoundingBox(
            Ogre::AxisAlignedBox(mCabinCenter - mCabinSize * 0.5f, mCabinCenter + mCabinSize * 0.5f));
        mLabels.push_back(label);
    }
    if (mRoutePoints.size() < 2)
        brix::Log::info("Platform '%s' has %u route points and rests where it stands", mName.c_str(),
                        getRoutePointCount());
    mOccupied = false;
    mPlatformState = mPreviousPlatformState = WAITING;
    mTimer = 0;
    mRampOut = true;
    if (canTravel())
        startSegment(0, -1.0f);
    mDirection = mPreviousDirection = 1.0f;
    mCalledTarget = mPreviousCalledTarget = 0;
    mRampIn = mRampOut = true;
    mCurrentSpeed = 0.0f;
    mPositionError = 0.0f;
    mMoveSoundHandle = 0;
}

void Platform::remove()
{
    Entity::remove();
    for (WorldLabel*& label : mLabels)
        removeWorldLabel(label);
    mLabels.clear();
    MechanismSound::stopLoop(mMoveSound, mMoveSoundHandle);
    mParts.destroyNode(mManager);
    mParts.destroyBody(mManager);
}

void Platform::kill()
{
    Entity::kill();
    mParts.disableBody();
}

void Platform::update(uint16_t tick, bool newTick)
{
    if (newTick)
    {
        mOccupied = false;
        mFoundEntities.clear();
        mManager->findEntities(mFoundEntities, mPosition, REACH, HUMAN_TYPE);
        Ogre::Vector3 cabin = mPosition + mCabinCenter;
        for (const Entity* human : mFoundEntities)
        {
            Ogre::Vector3 d = human->getPosition() - cabin;
            if (std::fabs(d.x) < mCabinSize.x / 2.0f && std::fabs(d.y) < mCabinSize.y / 2.0f)
                mOccupied = true;
        }
    }
    ++mTimer;
    if (!canTravel())
    {
        mMotionState = MOTION_WAITING;
        return;
    }
    if (mPlatformState == MOVING)
    {
        if (mOccupied)
            mRampOut = true;
        if (mPositionError > mPositionErrorTolerance && mTimer > MAX_BLOCKED_TICKS)
        {
            mIndex = nextIndex(mIndex, mSegmentDirection);
            mSegmentDirection = -mSegmentDirection;
            unsigned next = nextIndex(mIndex, mSegmentDirection);
            mSegmentLength = (mRoutePoints[next] - mRoutePoints[mIndex]).length();
            mProgress =
                mSegmentLength > 0.0f
                    ? std::min(1.0f,
                               std::max(0.0f, (mPosition - mRoutePoints[mIndex])
                                                      .dotProduct(segmentVector(mIndex, mSegmentDirection)) /
                                                  mSegmentLength))
                    : 0.0f;
            mTimer = 0;
            mCalledTarget = 0;
        }
        mMotionState = MOTION_MOVING;
        return;
    }
    if (mCalledTarget)
    {
        if (mIndex == mCalledTarget - 1)
            mCalledTarget = 0;
        else if (continueToCall())
        {
            mPlatformState = MOVING;
            mTimer = 0;
        }
    }
    else if (mOccupied && mTimer > toTicks(mRouteWait))
    {
        turnAtEnds();
        startSegment(mIndex, mDirection);
        mPlatformState = MOVING;
        mTimer = 0;
    }
    else if (!mOccupied)
        mTimer = 0;
    mMotionState = MOTION_WAITING;
}

void Platform::update(brix::Movable* movable, float step)
{
    Ogre::Vector3 p = movable->getPosition();
    Ogre::Vector3 v = movable->getLinearVelocity();
    Ogre::Vector3 target = p;
    if (canTravel())
    {
        target = mRoutePoints[mIndex];
        mCurrentSpeed = 0.0f;
        if (mPlatformState == MOVING)
        {
            float speed = mRouteSpeed;
            if (((mRampIn && mProgress < 0.5f) || (mRampOut && mProgress > 0.5f)) && mSegmentLength > 0.0f)
            {
                float r = mRouteSpeedRamp / mSegmentLength;
                if (mProgress < r)
                    speed = mProgress / r * mRouteSpeed;
                else if (mProgress > 1.0f - r)
                    speed = (1.0f - mProgress) / r * mRouteSpeed;
            }
            if (!mOccupied)
                speed *= EMPTY_SPEED_FACTOR;
            speed = std::max(speed, MINIMUM_SPEED);
            mCurrentSpeed = speed;
            unsigned next = nextIndex(mIndex, mSegmentDirection);
            target = mRoutePoints[mIndex] + (mRoutePoints[next] - mRoutePoints[mIndex]) * mProgress;
            if (mPositionError < 1.2f * mPositionErrorTolerance && mSegmentLength > 0.0f)
                mProgress += speed / mSegmentLength * step;
            if ((mProgress >= 1.0f || next == mIndex) && mPositionError <= mPositionErrorTolerance)
            {
                mProgress = 0.0f;
                mIndex = next;
                if (!continueToCall())
                {
                    turnAtEnds();
                    mPlatformState = WAITING;
                    mTimer = 0;
                }
            }
        }
    }
    mPositionError = (target - p).length();
    Ogre::Vector3 force(0.0f, movable->getMass() * GRAVITY, 0.0f);
    if (mPositionError > 0.001f)
        force += (target - p) / mPositionError * std::min(mControllerGain * mPositionError, mControllerLimit);
    force -= mControllerDamping * v;
    movable->clearForces(false);
    movable->addForce(force, Ogre::Vector3::ZERO, false);
}

void Platform::postUpdate(uint16_t tick, bool newTick)
{
    mPreviousPosition = mPosition;
    mPreviousOrientation = mOrientation;
    mParts.readBack(mPosition, mOrientation, mLinearVelocity, nullptr);
    mTick = tick;
}

void Platform::setTick(uint16_t tick)
{
    Entity::setTick(tick);
    mOrientation.normalise();
    if (mParts.body)
        mParts.body->warp(mPosition, mOrientation, mLinearVelocity, Ogre::Vector3::ZERO);
    if (canTravel())
    {
        // A corrupt or foreign index never reaches past the route.
        mIndex = std::min(mIndex, getRoutePointCount() - 1);
        unsigned next = nextIndex(mIndex, mSegmentDirection);
        mSegmentLength = (mRoutePoints[next] - mRoutePoints[mIndex]).length();
    }
}

void Platform::setEnabled(bool enabled)
{
    Entity::setEnabled(enabled);
    mParts.setEnabled(enabled, isAuthoritative());
    // The next frame shows the labels again to whom they concern.
    for (WorldLabel* label : mLabels)
        label->setLayerFlags(0);
    if (!enabled)
        MechanismSound::stopLoop(mMoveSound, mMoveSoundHandle);
    else if (mPlatformState == MOVING)
        MechanismSound::startLoop(mMoveSound, mMoveSoundHandle, mRenderPosition, 0.0f,
                                  brix::AudioSample::DEFAULT_PRIORITY);
}

void Platform::interpolate(float frameSeconds, float fraction)
{
    Entity::interpolate(frameSeconds, fraction);
    mParts.place(mRenderPosition, mRenderOrientation);
    if (mPlatformState != mPreviousPlatformState)
    {
        if (mPlatformState == WAITING)
        {
            MechanismSound::stopLoop(mMoveSound, mMoveSoundHandle);
            MechanismSound::playOnce(mStopSound, mRenderPosition);
        }
        else
        {
            MechanismSound::startLoop(mMoveSound, mMoveSoundHandle, mRenderPosition, 0.0f,
                                      brix::AudioSample::DEFAULT_PRIORITY);
            MechanismSound::playOnce(mStartSound, mRenderPosition);
        }
    }
    mPreviousPlatformState = mPlatformState;
    if (mMoveSoundHandle && mRouteSpeed > 0.0f)
    {
        float s = std::min(1.0f, mCurrentSpeed / mRouteSpeed);
        MechanismSound::adjustLoop(mMoveSound, mMoveSoundHandle, mRenderPosition, std::min(1.0f, 2.0f * s),
                                   0.75f + 0.5f * s);
    }
    if (mCalledTarget != mPreviousCalledTarget || mDirection != mPreviousDirection)
    {
        bool newlyCalled = mCalledTarget && !mPreviousCalledTarget;
        bool atEnd = mIndex == 0 || mIndex + 1 == mRoutePoints.size();
        if (newlyCalled || (mDirection != mPreviousDirection && (mPlatformState == MOVING || !atEnd)))
            MechanismSound::playOnce(mInteractSound,
                                     mCalledTarget ? getRoutePoint(mCalledTarget - 1) : mRenderPosition);
    }
    mPreviousCalledTarget = mCalledTarget;
    mPreviousDirection = mDirection;
    updateLabels();
}

void Platform::updateLabels()
{
    Ogre::Vector2 box(mCabinSize.x + CALL_MARGIN, mCabinSize.y);
    for (unsigned i = 0; i < mLabels.size(); ++i)
    {
        WorldLabel* label = mLabels[i];
        unsigned observers = mManager->getObserverMaskInBox(mRoutePoints[i] + mCabinCenter, box);
        label->setLayerFlags(observers);
        if (!observers)
            continue;
        bool called = mCalledTarget == i + 1;
        if (called)
            label->setText(LABEL_TEXT_INCOMING);
        else if (mOccupied || mCalledTarget)
            label->setText(LABEL_TEXT_BUSY);
        else
            label->setText(LABEL_TEXT);
        int placement = PLACEMENT_NONE;
        if (called || (mPlatformState == WAITING && mIndex == i))
        {
            Ogre::Vector3 way = segmentVector(i, mDirection);
            if (way.y > 0.0f && std::fabs(way.x) <= way.y)
                placement = PLACEMENT_ABOVE;
            else if (way.y < 0.0f && std::fabs(way.x) <= -way.y)
                placement = PLACEMENT_BELOW;
            else if (way.x > 0.0f && std::fabs(way.y) <= way.x)
                placement = PLACEMENT_RIGHT;
            else if (way.x < 0.0f && std::fabs(way.y) <= -way.x)
                placement = PLACEMENT_LEFT;
        }
        label->setPlacement(placement);
    }
}

void Platform::applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse)
{
    mParts.applyImpulse(point, impulse);
}
} // namespace game
