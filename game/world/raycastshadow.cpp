#include "game/world/raycastshadow.h"

#include "engine/core/simulator.h"

#include <algorithm>

namespace game
{
RayCastShadow::RayCastShadow(ShadowManager* manager) : Shadow(manager) {}

RayCastShadow::~RayCastShadow() = default;

bool RayCastShadow::update(brix::Simulator* simulator, const Ogre::Vector3& lightDirection)
{
    brix::TTraceContact contact;
    const bool hit =
        simulator && simulator->traceRay(mOrigin, mOrigin + lightDirection * mLength, &contact, mIgnore);
    if (hit)
    {
        if (mCurrentRadius == 0.0f || contact.position != mHitPoint || contact.normal != mHitNormal)
        {
            mHitPoint = contact.position;
            mHitNormal = contact.normal;
            mCurrentRadius = mRadius;
            mChanged = true;
        }
    }
    else if (mCurrentRadius > 0.0f)
    {
        mCurrentRadius = 0.0f;
        mChanged = true;
    }
    return mChanged;
}

void RayCastShadow::addGeometry(Ogre::ManualObject* object)
{
    if (mCurrentRadius > 0.0f)
    {
        // Full strength up to one radius from the origin, gone at the ray's end. A ray no
        // longer than the radius leaves nothing to fade over: the blob stays full.
        const float fade = mLength - mCurrentRadius;
        const float distance = mHitPoint.distance(mOrigin) - mCurrentRadius;
        const float alpha = fade > 0.0f ? std::clamp(1.0f - distance / fade, 0.0f, 1.0f) : 1.0f;
        addQuad(object, mHitPoint, mHitNormal, mCurrentRadius, alpha);
    }
    mChanged = false;
}

void RayCastShadow::setOrigin(const Ogre::Vector3& origin, float radius, brix::Movable* ignore)
{
    mOrigin = origin;
    mRadius = radius;
    mIgnore = ignore;
}

void RayCastShadow::setLength(float length)
{
    mLength = length;
}
} // namespace game
