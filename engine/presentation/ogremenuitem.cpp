#include "engine/presentation/ogremenuitem.h"
#include "engine/presentation/ogremenulistener.h"
#include "engine/presentation/ogremenupage.h"
#include "engine/presentation/ogreobjectbuilder.h"

#include <algorithm>

namespace brix
{
namespace
{
// A disabled item's text keeps this share of its alpha.
const float DISABLED_TEXT_ALPHA = 0.3f;
// Descriptions are drawn at this share of the text size, this far under the item.
const float DESCRIPTION_SIZE = 0.5f;
const float DESCRIPTION_GAP = 0.01f;
// The markers stand this far outside the text, in scene units whatever the text size.
const float MARKER_GAP = 0.01f;
} // namespace

OgreMenuItem::OgreMenuItem(OgreMenuPage* page, const std::string& name)
    : mPage(page), mName(name), mState(STATE_NORMAL), mSize(0, 0)
{
}

OgreMenuItem::~OgreMenuItem() {}

void OgreMenuItem::setState(State state)
{
    if (state == mState)
        return;
    mState = state;
    mPage->checkCurrentItem();
    // The state decides whether and how the item is drawn.
    mPage->setModified();
}

Ogre::ColourValue OgreMenuItem::getTextColour(bool selected) const
{
    Ogre::ColourValue colour = mPage->getTextColor(selected);
    if (mState == STATE_DISABLED)
        colour.a *= DISABLED_TEXT_ALPHA;
    return colour;
}

void OgreMenuItem::notifyValueChanged()
{
    mPage->notifyListener(this, OgreMenuListener::EVENT_VALUE_CHANGED);
    mPage->setModified();
}

Ogre::Vector2 OgreMenuItem::rebuildBasicTextItem(OgreObjectBuilder* builder, const Ogre::Vector3& position,
                                                 const std::string& format, const std::string& text,
                                                 const std::string& description, bool angleMarkers,
                                                 bool selected)
{
    const float height = mPage->getTextSize();
    const Ogre::ColourValue colour = getTextColour(selected);
    const Ogre::Vector2 textSize =
        builder->addTextFormatted(position, format, text, height, colour, OgreObjectBuilder::ALIGN_MIDDLE,
                                  OgreObjectBuilder::ALIGN_RIGHT);
    Ogre::Vector2 size = textSize;
    size.y = std::max(size.y, height);
    if (selected)
    {
        if (!description.empty())
        {
            const float gap = DESCRIPTION_GAP * height;
            const Ogre::Vector2 d =
                builder->addText(Ogre::Vector3(position.x, position.y - size.y - gap, position.z),
                                 description, DESCRIPTION_SIZE * height, colour,
                                 OgreObjectBuilder::ALIGN_MIDDLE, OgreObjectBuilder::ALIGN_RIGHT, 0);
            size.x = std::max(size.x, d.x);
            size.y += d.y + gap;
        }
        const float m = textSize.x * 0.5f + MARKER_GAP;
        builder->addText(Ogre::Vector3(position.x - m, position.y, position.z), angleMarkers ? "<" : "[",
                         height, colour, OgreObjectBuilder::ALIGN_RIGHT, OgreObjectBuilder::ALIGN_RIGHT, 0);
        builder->addText(Ogre::Vector3(position.x + m, position.y, position.z), angleMarkers ? ">" : "]",
                         height, colour, OgreObjectBuilder::ALIGN_LEFT, OgreObjectBuilder::ALIGN_RIGHT, 0);
    }
    return size;
}
} // namespace brix
