#include "engine/presentation/ogremenutitleitem.h"
#include "engine/presentation/ogreimagearray.h"
#include "engine/presentation/ogremenupage.h"
#include "engine/presentation/ogreobjectbuilder.h"

namespace brix
{
namespace
{
// Titles stand this much larger than item text, with this much room under them.
const float TITLE_SIZE = 1.6f;
const float TITLE_GAP = 0.03f;
} // namespace

OgreMenuTitleItem::OgreMenuTitleItem(OgreMenuPage* page, const std::string& name, const std::string& title)
    : OgreMenuItem(page, name), mTitle(title), mImages(nullptr), mImageIndex(0), mImageHeight(0)
{
    mState = STATE_INACTIVE;
}

void OgreMenuTitleItem::setTitle(const std::string& title)
{
    mTitle = title;
    mPage->setModified();
}

void OgreMenuTitleItem::setImage(const OgreImageArray* images, unsigned int index, float height)
{
    // A new array needs a section of its own material.
    if (images != mImages)
        mPage->setMaterialsChanged();
    mImages = images;
    mImageIndex = index;
    mImageHeight = height;
    mPage->setModified();
}

unsigned int OgreMenuTitleItem::getCustomMaterialCount() const
{
    return mImages ? 1 : 0;
}

const void* OgreMenuTitleItem::getCustomMaterialId(unsigned int index) const
{
    return index == 0 ? mImages : nullptr;
}

std::string OgreMenuTitleItem::getCustomMaterial(unsigned int index) const
{
    return index == 0 && mImages ? mImages->getMaterial() : std::string();
}

Ogre::Vector2 OgreMenuTitleItem::rebuild(OgreObjectBuilder* builder, const Ogre::Vector3& position,
                                         const void* customMaterialId, bool selected)
{
    if (!customMaterialId)
    {
        if (!mTitle.empty())
            mSize = builder->addText(position, mTitle, TITLE_SIZE * mPage->getTextSize(),
                                     mPage->getTextColor(false), OgreObjectBuilder::ALIGN_MIDDLE,
                                     OgreObjectBuilder::ALIGN_RIGHT, 0);
        else if (mImages)
            mSize = Ogre::Vector2(mImages->getAspectRatio() * mImageHeight, mImageHeight);
        else
            mSize = Ogre::Vector2(0, 0);
        mSize.y += TITLE_GAP;
    }
    else if (mImages && customMaterialId == mImages)
    {
        Ogre::Vector2 uv1, uv2;
        mImages->getUV(mImageIndex, uv1, uv2);
        builder->addImage(Ogre::Vector3(position.x - mSize.x / 2, position.y, position.z),
                          Ogre::Vector3(position.x + mSize.x / 2, position.y - mSize.y, position.z), uv1, uv2,
                          Ogre::ColourValue::White);
    }
    return mSize;
}
} // namespace brix
