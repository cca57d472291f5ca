#include "game/world/humanbody.h"
#include "engine/core/body.h"
#include "engine/core/bodytemplate.h"
#include "engine/core/simulator.h"
#include "game/world/entity.h"

#include <OgreQuaternion.h>

#include <algorithm>

namespace game
{
HumanBody::HumanBody(brix::Simulator* simulator, Entity* owner, const std::string& bodyName,
                     float standHeight)
    : mSimulator(simulator), mStandHeight(standHeight)
{
    mStandingBody = simulator->createBody(bodyName + "standing");
    mCrouchingBody = simulator->createBody(bodyName + "crouching");
    for (brix::Body* body : {mStandingBody, mCrouchingBody})
    {
        body->setContactInfoFlags(0xFFFFFFFFu);
        body->setUserData(owner);
        body->setController(this);
        body->deploy(Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO,
                     Ogre::Vector3::ZERO);
    }
    mCrouchingBody->setEnabled(false);
    computeExtents();
    mHits.reserve(4);
}

HumanBody::~HumanBody()
{
    for (brix::Body* body : {mStandingBody, mCrouchingBody})
    {
        // Out of the world and without owner and controller until the simulator's next
        // flush deletes it, so no contact or step of the meantime leads back to us.
        body->setEnabled(false);
        body->setUserData(nullptr);
        body->setController(nullptr);
        mSimulator->destroyBody(body);
    }
}

void HumanBody::computeExtents()
{
    float bottom[2] = {0.0f, 0.0f};
    float top[2] = {0.0f, 0.0f};
    const brix::Body* bodies[2] = {mStandingBody, mCrouchingBody};
    for (int i = 0; i < 2; ++i)
    {
        const brix::BodyTemplate* bodyTemplate = bodies[i]->getTemplate();
        for (unsigned s = 0; s < bodyTemplate->numShapes(); ++s)
        {
            const brix::BodyTemplate::TShape& shape = bodyTemplate->getShape(s);
            bottom[i] = std::min(bottom[i], shape.position.y - shape.size.y * 0.5f);
            top[i] = std::max(top[i], shape.position.y + shape.size.y * 0.5f);
        }
    }
    mStandingFootDepth = -bottom[0];
    mCrouchingFootDepth = -bottom[1];
    mExtraHeight = top[0] - top[1];
}

void HumanBody::update(brix::Movable* movable, float step)
{
    Ogre::Vector3 p = movable->getPosition();
    Ogre::Vector3 v = movable->getLinearVelocity();
    Ogre::Vector3 force = Ogre::Vector3::ZERO;
    float mass = movable->getMass();
    if (mJumping && v.y <= 0.0f)
        mJumping = false;
    if (mOnGround)
    {
        // Along the slope: +x on flat ground.
        Ogre::Vector3 tangent = mGroundNormal.crossProduct(Ogre::Vector3::UNIT_Z);
        tangent.z = 0.0f;
        tangent.normalise();
        float speed = tangent.dotProduct(v - mGroundVelocity);
        float walkForce =
            std::max(-MAX_WALK_FORCE, std::min(MAX_WALK_FORCE, (mWalk * WALK_SPEED - speed) * WALK_GAIN));
        // A crouched body rests on its shape; carry its weight along the slope so it does
        // not slide down.
        if (mCrouched && mStandingFootDepth > getHeightAboveGround())
            walkForce += Ogre::Vector3::UNIT_Y.dotProduct(tangent) * GRAVITY * mass;
        force += tangent * walkForce;
    }
    else if ((mWalk > 0.0f && v.x < AIR_SPEED * mWalk) || (mWalk < 0.0f && v.x > AIR_SPEED * mWalk))
        force.x += mWalk * AIR_FORCE;
    if (mPlayerControlled && mJumpInput && mOnGround && !mJumping)
    {
        float boost = mGroundVelocity.y + JUMP_SPEED - v.y;
        if (boost > 0.0f)
            movable->applyImpulse(Ogre::Vector3(0.0f, boost * mass, 0.0f), p, false);
        mJumping = true;
    }
    if (mOnGround && !mJumping &&
        ((mPlayerControlled && !mCrouchInput) || (!mPlayerControlled && !mCrouched)))
        force.y += std::max(-MAX_HOVER_FORCE,
                            std::min(MAX_HOVER_FORCE, (mStandHeight - mHeightAboveGround) * HOVER_STIFFNESS -
                                                          (v.y - mGroundVelocity.y) * HOVER_DAMPING));
    force.z += (mDepthTarget - p.z) * DEPTH_STIFFNESS - v.z * DEPTH_DAMPING;
    movable->clearForces(false);
    movable->addForce(force, p, false);
}

void HumanBody::place(const Ogre::Vector3& position, const Ogre::Vector3& velocity, bool jumping,
                      bool crouched, bool onGround)
{
    for (brix::Body* body : {mStandingBody, mCrouchingBody})
        body->warp(position, Ogre::Quaternion::IDENTITY, velocity, Ogre::Vector3::ZERO);
    mPosition = position;
    mVelocity = velocity;
    mOnGround = onGround;
    mJumping = jumping;
    if (crouched != mCrouched)
        switchBody(crouched);
}

void HumanBody::switchBody(bool crouched)
{
    brix::Body* from = crouched ? mStandingBody : mCrouchingBody;
    brix::Body* to = crouched ? mCrouchingBody : mStandingBody;
    bool enabled = from->isEnabled();
    to->warp(mPosition, Ogre::Quaternion::IDENTITY, mVelocity, Ogre::Vector3::ZERO);
    from->setEnabled(false);
    to->setEnabled(enabled);
    mCrouched = crouched;
}

void HumanBody::sense()
{
    brix::Body* body = getActiveBody();
    mPosition = body->getPosition();
    mVelocity = body->getLinearVelocity();

    mOnGround = false;
    mGroundNormal = Ogre::Vector3::ZERO;
    mGroundVelocity = Ogre::Vector3::ZERO;
    mHeightAboveGround = 0.0f;
    mHasShadowAnchor = false;
    mImpactSpeed = 0.0f;
    if (!body->isEnabled())
        return;

    mHits.clear();
    body->trace(mPosition + Ogre::Vector3(0.0f, GROUND_PROBE_UP, 0.0f), Ogre::Quaternion::IDENTITY,
                mPosition - Ogre::Vector3(0.0f, GROUND_PROBE_DOWN, 0.0f), &mHits);
    for (const brix::TTraceContact& hit : mHits)
    {
        Ogre::Vector3 ground =
            hit.movable ? hit.movable->getLinearVelocityAtPoint(hit.position) : Ogre::Vector3::ZERO;
        testGroundHit(hit, -hit.normal.dotProduct(mVelocity - ground));
    }
    if (!mOnGround)
    {
        // The contact is written on any hit, also on geometry without a movable.
        brix::TTraceContact hit;
        mSimulator->traceRay(mPosition, mPosition - Ogre::Vector3(0.0f, GROUND_PROBE_DOWN, 0.0f), &hit, body);
        if (hit.normal != Ogre::Vector3::ZERO)
        {
            Ogre::Vector3 ground =
                hit.movable ? hit.movable->getLinearVelocityAtPoint(hit.position) : Ogre::Vector3::ZERO;
            testGroundHit(hit, -hit.normal.dotProduct(mVelocity - ground));
        }
    }

    mHeadroom = NO_CEILING;
    mHits.clear();
    body->trace(mPosition - Ogre::Vector3(0.0f, HEADROOM_PROBE_DOWN, 0.0f), Ogre::Quaternion::IDENTITY,
                mPosition + Ogre::Vector3(0.0f, HEADROOM_PROBE_UP, 0.0f), &mHits);
    for (const brix::TTraceContact& hit : mHits)
        if (hit.normal.y < CEILING_NORMAL_Y)
            mHeadroom = std::min(mHeadroom, hit.position.y - mPosition.y);
}

void HumanBody::testGroundHit(const brix::TTraceContact& hit, float approach)
{
    if (hit.normal.y <= MIN_GROUND_NORMAL_Y)
        return;
    const Entity* entity = hit.movable ? static_cast<const Entity*>(hit.movable->getUserData()) : nullptr;
    if ((!entity || !(entity->getFlags() & Entity::ATTRIBUTE_NOSHADOWS)) &&
        (!mHasShadowAnchor || mShadowAnchorPoint.y < hit.position.y))
    {
        mHasShadowAnchor = true;
        mShadowAnchorPoint = hit.position;
        mShadowAnchorNormal = hit.normal;
    }
    float height = mPosition.y - hit.position.y;
    if (height <= 0.8f * mCrouchingFootDepth)
        return;
    if (height < mStandHeight + GROUND_MARGIN)
    {
        mOnGround = true;
        mGroundVelocity =
            hit.movable ? hit.movable->getLinearVelocityAtPoint(hit.position) : Ogre::Vector3::ZERO;
        mImpactSpeed = std::max(mImpactSpeed, approach);
    }
    if (hit.normal.y > mGroundNormal.y)
    {
        mGroundNormal = hit.normal;
        mHeightAboveGround = height;
    }
}

void HumanBody::tick(uint16_t tick)
{
    mTick = tick;
    if (!mPlayerControlled || mCrouchInput == mCrouched)
        return;
    if (mCrouchInput)
        switchBody(true);
    else if (mStandingFootDepth < getHeightAboveGround() && mExtraHeight < mHeadroom)
        switchBody(false);
}

float HumanBody::getShadowStrength() const
{
    if (!mHasShadowAnchor)
        return 0.0f;
    float strength =
        1.0f - (mPosition.y - mShadowAnchorPoint.y - mStandHeight) / (SHADOW_FADE_HEIGHT - mStandHeight);
    return std::max(0.0f, std::min(1.0f, strength));
}

float HumanBody::getLegExtension() const
{
    if (!mOnGround)
        return 1.0f;
    float range = mStandHeight - mStandingFootDepth;
    if (range <= 0.0f)
        return 1.0f;
    return std::max(0.0f, std::min(1.0f, (mHeightAboveGround - mStandingFootDepth) / range));
}

float HumanBody::getCrouchFactor() const
{
    if (!mOnGround)
        return 0.0f;
    float range = mStandingFootDepth - mCrouchingFootDepth;
    // Equal foot depths: the body has no crouch to show.
    if (range <= 0.0f)
        return 0.0f;
    return std::max(0.0f, std::min(1.0f, (mStandingFootDepth - mHeightAboveGround) / range));
}

void HumanBody::setEnabled(bool enabled)
{
    getActiveBody()->setEnabled(enabled);
}

void HumanBody::applyImpulse(const Ogre::Vector3& impulse, const Ogre::Vector3& position)
{
    getActiveBody()->applyImpulse(impulse, position, false);
}

float HumanBody::getSensorValue() const
{
    brix::Body* body = getActiveBody();
    return body->numSensors() > 0 ? body->getSensorValue(0) : 0.0f;
}
} // namespace game
