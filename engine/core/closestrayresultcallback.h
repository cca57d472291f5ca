#pragma once
#include "engine/core/movable.h"

#include <btBulletCollisionCommon.h>

namespace brix
{
// Whether a broadphase proxy is one of the objects of the movable that a query looks through.
inline bool isIgnoredProxy(const btBroadphaseProxy* proxy, const Movable* ignore)
{
    const btCollisionObject* object = static_cast<const btCollisionObject*>(proxy->m_clientObject);
    return ignore && object && object->getUserPointer() == ignore;
}

// Bullet's closest-hit ray callback that looks through one movable's own objects.
class ClosestRayResultCallback : public btCollisionWorld::ClosestRayResultCallback
{
public:
    ClosestRayResultCallback(const btVector3& from, const btVector3& to, const Movable* ignore)
        : btCollisionWorld::ClosestRayResultCallback(from, to), mIgnore(ignore)
    {
    }

    btScalar addSingleResult(btCollisionWorld::LocalRayResult& result, bool normalInWorldSpace) override
    {
        if (mIgnore && result.m_collisionObject->getUserPointer() == mIgnore)
            return 1.0f;
        mTriangle = result.m_localShapeInfo ? result.m_localShapeInfo->m_triangleIndex : -1;
        return btCollisionWorld::ClosestRayResultCallback::addSingleResult(result, normalInWorldSpace);
    }

    // The closest hit's triangle of a mesh shape, or -1.
    int getTriangle() const { return mTriangle; }

    // The ignored movable's objects are passed over before any narrow-phase work: a sweep that
    // starts inside its own body would otherwise solve that overlap on every call.
    bool needsCollision(btBroadphaseProxy* proxy) const override
    {
        return !isIgnoredProxy(proxy, mIgnore) &&
               btCollisionWorld::ClosestRayResultCallback::needsCollision(proxy);
    }

private:
    const Movable* mIgnore;
    int mTriangle = -1;
};
} // namespace brix
