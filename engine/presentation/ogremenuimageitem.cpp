#include "engine/presentation/ogremenuimageitem.h"
#include "engine/presentation/ogreimagearray.h"
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenupage.h"
#include "engine/presentation/ogreobjectbuilder.h"

#include <algorithm>

namespace brix
{
namespace
{
// While selected the whole item grows by this factor.
const float SELECTED_SCALE = 1.2f;
const float TITLE_GAP = 1.01f;
const float DESCRIPTION_SIZE = 0.4f;
const float DESCRIPTION_GAP = 0.01f;
const float DISABLED_IMAGE_ALPHA = 0.5f;
} // namespace

OgreMenuImageItem::OgreMenuImageItem(OgreMenuPage* page, const std::string& name, const std::string& title,
                                     const std::string& description, float height,
                                     const OgreImageArray* images, unsigned int index)
    : OgreMenuChoiceItem(page, name, title, description, images ? images->getCount() : 0, index),
      mHeight(height), mImages(images)
{
}

unsigned int OgreMenuImageItem::getCustomMaterialCount() const
{
    return mImages ? 1 : 0;
}

const void* OgreMenuImageItem::getCustomMaterialId(unsigned int index) const
{
    return index == 0 ? mImages : nullptr;
}

std::string OgreMenuImageItem::getCustomMaterial(unsigned int index) const
{
    return index == 0 && mImages ? mImages->getMaterial() : std::string();
}

Ogre::Vector2 OgreMenuImageItem::rebuild(OgreObjectBuilder* builder, const Ogre::Vector3& position,
                                         const void* customMaterialId, bool selected)
{
    const float textSize = mPage->getTextSize() * (selected ? SELECTED_SCALE : 1.0f);
    const float h = std::max(mHeight, textSize);
    const float w = (mImages ? mImages->getAspectRatio() : 1.0f) * h / mPage->getMenu()->getAspectRatio();
    const float t = mTitle.empty() ? 0.0f : TITLE_GAP * textSize;
    if (!customMaterialId)
    {
        const Ogre::ColourValue colour = getTextColour(selected);
        mSize = Ogre::Vector2(w, h);
        if (!mTitle.empty())
        {
            const Ogre::Vector2 r =
                builder->addText(position, mTitle + ":", textSize, colour, OgreObjectBuilder::ALIGN_MIDDLE,
                                 OgreObjectBuilder::ALIGN_RIGHT, 0);
            mSize.x = std::max(mSize.x, r.x);
            mSize.y += r.y + DESCRIPTION_GAP * textSize;
        }
        if (selected && !mDescription.empty())
        {
            const float gap = DESCRIPTION_GAP * textSize;
            const Ogre::Vector2 d =
                builder->addText(Ogre::Vector3(position.x, position.y - mSize.y - gap, position.z),
                                 mDescription, DESCRIPTION_SIZE * textSize, colour,
                                 OgreObjectBuilder::ALIGN_MIDDLE, OgreObjectBuilder::ALIGN_RIGHT, 0);
            mSize.x = std::max(mSize.x, d.x);
            mSize.y += d.y + gap;
        }
        if (selected)
        {
            const float y = position.y - t - h / 2;
            builder->addText(Ogre::Vector3(position.x - w / 2, y, position.z), "<", textSize, colour,
                             OgreObjectBuilder::ALIGN_RIGHT, OgreObjectBuilder::ALIGN_MIDDLE, 0);
            builder->addText(Ogre::Vector3(position.x + w / 2, y, position.z), ">", textSize, colour,
                             OgreObjectBuilder::ALIGN_LEFT, OgreObjectBuilder::ALIGN_MIDDLE, 0);
        }
    }
    else if (mImages && customMaterialId == mImages)
    {
        Ogre::Vector2 uv1, uv2;
        mImages->getUV(mIndex, uv1, uv2);
        Ogre::ColourValue colour = Ogre::ColourValue::White;
        if (mState == STATE_DISABLED)
            colour.a = DISABLED_IMAGE_ALPHA;
        builder->addImage(Ogre::Vector3(position.x - w / 2, position.y - t, position.z),
                          Ogre::Vector3(position.x + w / 2, position.y - t - h, position.z), uv1, uv2,
                          colour);
    }
    return mSize;
}
} // namespace brix
