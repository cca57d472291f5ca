#pragma once
#include "engine/core/closestrayresultcallback.h"
#include "engine/core/movable.h"

#include <btBulletCollisionCommon.h>

namespace brix
{
// Bullet's closest-hit convex sweep callback that looks through one movable's own objects.
class ClosestConvexResultCallback : public btCollisionWorld::ClosestConvexResultCallback
{
public:
    ClosestConvexResultCallback(const btVector3& from, const btVector3& to, const Movable* ignore)
        : btCollisionWorld::ClosestConvexResultCallback(from, to), mIgnore(ignore)
    {
    }

    btScalar addSingleResult(btCollisionWorld::LocalConvexResult& result, bool normalInWorldSpace) override
    {
        if (mIgnore && result.m_hitCollisionObject->getUserPointer() == mIgnore)
            return 1.0f;
        return btCollisionWorld::ClosestConvexResultCallback::addSingleResult(result, normalInWorldSpace);
    }

    // The ignored movable's objects are passed over before any narrow-phase work: a sweep that
    // starts inside its own body would otherwise solve that overlap on every call.
    bool needsCollision(btBroadphaseProxy* proxy) const override
    {
        return !isIgnoredProxy(proxy, mIgnore) &&
               btCollisionWorld::ClosestConvexResultCallback::needsCollision(proxy);
    }

private:
    const Movable* mIgnore;
};
} // namespace brix
