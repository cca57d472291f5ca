#include "skeletonbuilder.h"

#include <OgreAnimation.h>
#include <OgreBone.h>
#include <OgreKeyFrame.h>
#include <OgreSkeletonManager.h>
#include <OgreSkeletonSerializer.h>

#include <stdexcept>

namespace assetgen
{
unsigned SkeletonBuilder::addBone(const std::string& name, const std::string& parent,
                                  const Ogre::Vector3& position, const Ogre::Quaternion& orientation)
{
    if (!parent.empty())
        getHandle(parent);
    mBones.push_back({name, parent, position, orientation});
    return unsigned(mBones.size() - 1);
}

unsigned SkeletonBuilder::getHandle(const std::string& name) const
{
    for (size_t i = 0; i < mBones.size(); ++i)
        if (mBones[i].name == name)
            return unsigned(i);
    throw std::invalid_argument("unknown bone '" + name + "'");
}

void SkeletonBuilder::addAnimation(const std::string& name, float length)
{
    mAnimations.push_back({name, length, {}});
}

void SkeletonBuilder::setKey(const std::string& animation, float time, const std::string& bone,
                             const Ogre::Quaternion& rotation, const Ogre::Vector3& translation)
{
    getHandle(bone);
    for (TAnimation& entry : mAnimations)
        if (entry.name == animation)
        {
            entry.keys.push_back({time, bone, rotation, translation});
            return;
        }
    throw std::invalid_argument("unknown animation '" + animation + "'");
}

bool SkeletonBuilder::write(const std::string& path, const std::string& name)
{
    Ogre::SkeletonPtr skeleton = Ogre::SkeletonManager::getSingleton().create(
        name, Ogre::ResourceGroupManager::DEFAULT_RESOURCE_GROUP_NAME, true);
    for (size_t i = 0; i < mBones.size(); ++i)
    {
        Ogre::Bone* bone = skeleton->createBone(mBones[i].name, Ogre::ushort(i));
        if (!mBones[i].parent.empty())
            skeleton->getBone(Ogre::ushort(getHandle(mBones[i].parent)))->addChild(bone);
        bone->setPosition(mBones[i].position);
        bone->setOrientation(mBones[i].orientation);
    }
    skeleton->setBindingPose();
    for (const TAnimation& entry : mAnimations)
    {
        Ogre::Animation* animation = skeleton->createAnimation(entry.name, entry.length);
        animation->setInterpolationMode(Ogre::Animation::IM_LINEAR);
        animation->setRotationInterpolationMode(Ogre::Animation::RIM_LINEAR);
        for (const TKey& key : entry.keys)
        {
            Ogre::ushort handle = Ogre::ushort(getHandle(key.bone));
            Ogre::NodeAnimationTrack* track =
                animation->hasNodeTrack(handle)
                    ? animation->getNodeTrack(handle)
                    : animation->createNodeTrack(handle, skeleton->getBone(handle));
            Ogre::TransformKeyFrame* frame = track->createNodeKeyFrame(key.time);
            frame->setRotation(key.rotation);
            frame->setTranslate(key.translation);
        }
    }
    Ogre::SkeletonSerializer serializer;
    serializer.exportSkeleton(skeleton.get(), path);
    return true;
}
} // namespace assetgen
