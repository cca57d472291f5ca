#pragma once
#include "engine/core/movable.h"

#include <btBulletCollisionCommon.h>

namespace brix
{
// Bullet's all-hits ray callback that can look through one movable's own objects.
class AllHitsRayResultCallback : public btCollisionWorld::AllHitsRayResultCallback
{
public:
    AllHitsRayResultCallback(const btVector3& from, const btVector3& to, const Movable* ignore)
        : btCollisionWorld::AllHitsRayResultCallback(from, to), mIgnore(ignore)
    {
    }

    btScalar addSingleResult(btCollisionWorld::LocalRayResult& result, bool normalInWorldSpace) override
    {
        if (mIgnore && result.m_collisionObject->getUserPointer() == mIgnore)
            return 1.0f;
        mTriangles.push_back(result.m_localShapeInfo ? result.m_localShapeInfo->m_triangleIndex : -1);
        return btCollisionWorld::AllHitsRayResultCallback::addSingleResult(result, normalInWorldSpace);
    }

    // Each hit's triangle of a mesh shape, or -1, in the order of the hits.
    const btAlignedObjectArray<int>& getTriangles() const { return mTriangles; }

private:
    const Movable* mIgnore;
    btAlignedObjectArray<int> mTriangles;
};
} // namespace brix
