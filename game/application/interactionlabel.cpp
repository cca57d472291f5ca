#include "game/application/interactionlabel.h"

#include "engine/presentation/ogreobjectbuilder.h"

#include <algorithm>

namespace game
{
namespace
{
const float OUTLINE_ALPHA = 0.2f;
const float TEXT_ALPHA = 0.65f;
// The values addLine is given for the pointer line.
const float POINTER_WIDTH_FROM = 0.8f;
const float POINTER_WIDTH_TO = 0.05f;
} // namespace

InteractionLabel::InteractionLabel(brix::LabelManager* manager) : WorldLabel(manager)
{
    mLayerFlags = 0;
}

InteractionLabel::~InteractionLabel() {}

void InteractionLabel::setBoundingBox(const Ogre::AxisAlignedBox& box)
{
    if (box == mBox)
        return;
    mBox = box;
    markDirty();
}

void InteractionLabel::setPlacement(int placement)
{
    if (placement == mPlacement)
        return;
    mPlacement = placement;
    markDirty();
}

void InteractionLabel::setLayerFlags(unsigned int flags)
{
    mRequestedFlags = flags;
    if (flags != 0)
        WorldLabel::setLayerFlags(flags);
}

unsigned int InteractionLabel::update(float seconds)
{
    if (mRequestedFlags != 0 && mFade < 1.0f)
    {
        markDirty();
        mFade = std::min(1.0f, mFade + FADE_RATE * seconds);
    }
    else if (mRequestedFlags == 0 && mFade > 0.0f)
    {
        markDirty();
        mFade -= FADE_RATE * seconds;
        // A fade that lands on 0 exactly hides too, or the label would stay in its layers.
        if (mFade <= 0.0f)
        {
            mFade = 0.0f;
            WorldLabel::setLayerFlags(0);
        }
    }
    return WorldLabel::update(seconds);
}

void InteractionLabel::rebuild(brix::OgreObjectBuilder& builder)
{
    const Ogre::ColourValue outline(1.0f, 1.0f, 1.0f, OUTLINE_ALPHA * mFade);
    Ogre::Vector3 c = Ogre::Vector3::ZERO;
    Ogre::Vector3 h = Ogre::Vector3::ZERO;
    if (!mBox.isNull())
    {
        c = mBox.getCenter();
        h = mBox.getHalfSize();
        c.z = 0.0f;
        h.z = 0.0f;
        builder.addRectangleOutline(mPosition + c - h, mPosition + c + h, LINE_WIDTH, outline);
    }

    Ogre::Vector3 from, to;
    bool pointer = true;
    switch (mPlacement)
    {
    case PLACEMENT_ABOVE:
        from = Ogre::Vector3(c.x, c.y + h.y + POINTER_GAP, 0.0f);
        to = Ogre::Vector3(c.x, c.y + h.y + POINTER_END, 0.0f);
        break;
    case PLACEMENT_BELOW:
        from = Ogre::Vector3(c.x, c.y - h.y - POINTER_GAP, 0.0f);
        to = Ogre::Vector3(c.x, c.y - h.y - POINTER_END, 0.0f);
        break;
    case PLACEMENT_LEFT:
        from = Ogre::Vector3(c.x - h.x - POINTER_GAP, c.y, 0.0f);
        to = Ogre::Vector3(c.x - h.x - POINTER_END, c.y, 0.0f);
        break;
    case PLACEMENT_RIGHT:
        from = Ogre::Vector3(c.x + h.x + POINTER_GAP, c.y, 0.0f);
        to = Ogre::Vector3(c.x + h.x + POINTER_END, c.y, 0.0f);
        break;
    default:
        pointer = false;
    }
    if (pointer)
        builder.addLine(mPosition + from, mPosition + to, POINTER_WIDTH_FROM, POINTER_WIDTH_TO, outline,
                        outline);

    if (!mText.empty())
    {
        // Standing on a point above the box whatever the side of the line; above the line too
        // when that points up.
        const float lift = mPlacement == PLACEMENT_ABOVE ? POINTER_END : 0.0f;
        builder.addText(mPosition + Ogre::Vector3(0.0f, c.y + h.y + lift + POINTER_GAP, 0.0f), mText,
                        TEXT_SIZE, Ogre::ColourValue(1.0f, 1.0f, 1.0f, TEXT_ALPHA * mFade),
                        brix::OgreObjectBuilder::ALIGN_MIDDLE, brix::OgreObjectBuilder::ALIGN_LEFT, 0.0f);
    }
    mDirtyLayers = 0;
}
} // namespace game
