#pragma once
#include <OgreMatrix4.h>
#include <OgreQuaternion.h>
#include <OgreVector.h>

namespace brix
{
// Conversions between the data files' Euler angles and directions and OGRE's rotations.
class OgreTransform
{
public:
    // Euler angles in degrees about x, y and z, applied as OGRE's XYZ order.
    static Ogre::Quaternion makeRotation(const Ogre::Vector3& degrees);
    // A rotation whose local x axis is the given direction (which must not be zero).
    static Ogre::Quaternion makeRotationToX(const Ogre::Vector3& direction);
    static Ogre::Matrix4 makeTransformation(const Ogre::Vector3& position,
                                            const Ogre::Quaternion& orientation);

private:
    OgreTransform() = delete;
};
} // namespace brix
