#pragma once
#include <OgreQuaternion.h>
#include <OgreSkeleton.h>
#include <OgreVector.h>

#include <map>
#include <string>
#include <vector>

namespace assetgen
{
// A skeleton described bone by bone and key by key, then made as an OGRE skeleton (registered
// under its name, so meshes written afterwards can link it) and written to a file. Keys are
// rotations and translations relative to the bone's binding pose, as OGRE applies them.
class SkeletonBuilder
{
public:
    // Returns the bone's handle; the parent must have been added before (empty: a root bone).
    unsigned addBone(const std::string& name, const std::string& parent, const Ogre::Vector3& position,
                     const Ogre::Quaternion& orientation = Ogre::Quaternion::IDENTITY);
    unsigned getHandle(const std::string& name) const;

    void addAnimation(const std::string& name, float length);
    void setKey(const std::string& animation, float time, const std::string& bone,
                const Ogre::Quaternion& rotation, const Ogre::Vector3& translation = Ogre::Vector3::ZERO);

    // Makes the OGRE skeleton under the given resource name and writes it to the path.
    bool write(const std::string& path, const std::string& name);

private:
    struct TBone
    {
        std::string name;
        std::string parent;
        Ogre::Vector3 position;
        Ogre::Quaternion orientation;
    };
    struct TKey
    {
        float time;
        std::string bone;
        Ogre::Quaternion rotation;
        Ogre::Vector3 translation;
    };
    struct TAnimation
    {
        std::string name;
        float length;
        std::vector<TKey> keys;
    };

    std::vector<TBone> mBones;
    std::vector<TAnimation> mAnimations;
};
} // namespace assetgen
