#include "engine/core/ogretransform.h"

#include <OgreMatrix3.h>

namespace brix
{
Ogre::Quaternion OgreTransform::makeRotation(const Ogre::Vector3& degrees)
{
    Ogre::Matrix3 matrix;
    matrix.FromEulerAnglesXYZ(Ogre::Degree(degrees.x), Ogre::Degree(degrees.y), Ogre::Degree(degrees.z));
    return Ogre::Quaternion(matrix);
}

Ogre::Quaternion OgreTransform::makeRotationToX(const Ogre::Vector3& direction)
{
    Ogre::Vector3 side = direction.crossProduct(Ogre::Vector3::UNIT_Y);
    if (side.isZeroLength())
        side = direction.crossProduct(Ogre::Vector3::UNIT_X);
    side.normalise();
    return Ogre::Quaternion(direction, side.crossProduct(direction), side);
}

Ogre::Matrix4 OgreTransform::makeTransformation(const Ogre::Vector3& position,
                                                const Ogre::Quaternion& orientation)
{
    Ogre::Matrix4 matrix;
    matrix.makeTransform(position, Ogre::Vector3::UNIT_SCALE, orientation);
    return matrix;
}
} // namespace brix
