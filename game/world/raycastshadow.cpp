#include "game/world/raycastshadow.h"

#include "game/world/entity.h"

#include "engine/core/movable.h"
#include "engine/core/simulator.h"

#include <algorithm>

namespace game
{
RayCastShadow::RayCastShadow(ShadowManager* manager) : Shadow(manager) {}

RayCastShadow::~RayCastShadow() = default;

bool RayCastShadow::update(brix::Simulator* simulator, const Ogre::Vector3& lightDirection)
{
    // The contact is written on any hit, also on geometry that carries no movable.
    brix::TTraceContact contact;
    contact.distance = -1.0f;
    if (simulator)
        simulator->traceRay(mOrigin, mOrigin + lightDirection * mLength, &contact, mIgnore);
    // Entities that carry the user data of their movables may refuse shadows; anything else
    // catches them.
    const Entity* entity =
        contact.movable ? static_cast<const Entity*>(contact.movable->getUserData()) : nullptr;
    const bool hit =
        contact.distance >= 0.0f && !(entity && (entity->getFlags() & Entity::ATTRIBUTE_NOSHADOWS));
    if (hit)
    {
        // A prop rising or sinking over the same spot changes how strong its blob is.
        const float alpha = fadeAt(contact.position);
        if (mCurrentRadius != mRadius || contact.position != mHitPoint || contact.normal != mHitNormal ||
            alpha != mAlpha)
        {
            mHitPoint = contact.position;
            mHitNormal = contact.normal;
            mCurrentRadius = mRadius;
            mAlpha = alpha;
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
        addQuad(object, mHitPoint, mHitNormal, mCurrentRadius, mAlpha);
    mChanged = false;
}

float RayCastShadow::fadeAt(const Ogre::Vector3& hitPoint) const
{
    // Full strength up to one radius from the origin, gone at the ray's end. A ray no longer
    // than the radius leaves nothing to fade over: the blob stays full.
    const float fade = mLength - mRadius;
    if (fade <= 0.0f)
        return 1.0f;
    return std::clamp(1.0f - (hitPoint.distance(mOrigin) - mRadius) / fade, 0.0f, 1.0f);
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
