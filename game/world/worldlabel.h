#pragma once
#include "engine/presentation/label.h"

#include <OgreAxisAlignedBox.h>
#include <OgreVector.h>

#include <string>

namespace game
{
// What the world sets on the labels it floats over its objects. The application registers the
// label types "character" (over humans: name, speech, aim line and marker) and "interaction"
// (at objects a player can use: caption, outline box, pointer line), both deriving from this
// class, so that entities reach them without knowing how they are drawn. Each kind ignores
// the values that belong to the other.
class WorldLabel : public brix::Label
{
public:
    explicit WorldLabel(brix::LabelManager* manager);

    // The name or caption; all layers are redrawn, only when it differs.
    void setText(const std::string& text);
    const std::string& getText() const { return mText; }

    // Interaction labels: the box around the label position that the outline follows, and the
    // side (0 none, 1 above, 2 below, 3 left, 4 right) of the pointer line.
    virtual void setBoundingBox(const Ogre::AxisAlignedBox& box) {}
    virtual void setPlacement(int placement) {}

    // Character labels: a chat line shown for the given seconds, the aim line and the aim
    // marker as offsets from the label position in the x/y plane ((0, 0) hides the marker).
    virtual void setSpeech(const std::string& text, float seconds) {}
    virtual void setAimLine(const Ogre::Vector2& start, const Ogre::Vector2& end) {}
    virtual void setAimMarker(const Ogre::Vector2& offset) {}

protected:
    std::string mText;
};
} // namespace game
