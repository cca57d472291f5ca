#pragma once
#include <OgreQuaternion.h>
#include <OgreVector.h>

#include <LinearMath/btQuaternion.h>
#include <LinearMath/btTransform.h>
#include <LinearMath/btVector3.h>

namespace brix
{
// Conversions between OGRE's and Bullet's vectors, rotations and poses.
class BulletConversion
{
public:
    static btVector3 toBullet(const Ogre::Vector3& v) { return btVector3(v.x, v.y, v.z); }
    static btQuaternion toBullet(const Ogre::Quaternion& q) { return btQuaternion(q.x, q.y, q.z, q.w); }
    static btTransform toBullet(const Ogre::Quaternion& q, const Ogre::Vector3& v)
    {
        return btTransform(toBullet(q), toBullet(v));
    }
    static Ogre::Vector3 toOgre(const btVector3& v) { return Ogre::Vector3(v.x(), v.y(), v.z()); }
    static Ogre::Quaternion toOgre(const btQuaternion& q)
    {
        return Ogre::Quaternion(q.w(), q.x(), q.y(), q.z());
    }

private:
    BulletConversion() = delete;
};
} // namespace brix
