#include "engine/presentation/label.h"

namespace brix
{
Label::Label(LabelManager* manager)
    : mManager(manager), mPosition(Ogre::Vector3::ZERO), mDirtyLayers(0), mLayerFlags(0xFFFFFFFF),
      mExpired(false)
{
}

Label::~Label() {}

void Label::setPosition(const Ogre::Vector3& position)
{
    if (position != mPosition)
    {
        mPosition = position;
        mDirtyLayers |= mLayerFlags;
    }
}

void Label::setLayerFlags(unsigned int flags)
{
    if (flags != mLayerFlags)
    {
        mDirtyLayers |= mLayerFlags ^ flags;
        mLayerFlags = flags;
    }
}

unsigned int Label::update(float seconds)
{
    return mDirtyLayers;
}
} // namespace brix
