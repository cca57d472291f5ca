#pragma once
#include "game/world/worldlabel.h"

#include <string>

namespace game
{
// The label at an object a player can use: the outline of the object's box, a pointer line on
// one side of it and a caption above it. It fades in as players come near (its layer flags
// become non-zero) and fades out before it hides when they go. Made by the label manager for
// the type "interaction"; it shows nothing until it first gets layer flags.
class InteractionLabel : public WorldLabel
{
public:
    // Fade per second: a whole fade takes 0.4 s.
    static constexpr float FADE_RATE = 2.5f;
    static constexpr float TEXT_SIZE = 0.25f;
    static constexpr float LINE_WIDTH = 0.05f;
    // The pointer line runs from this far beyond the box's edge...
    static constexpr float POINTER_GAP = 0.075f;
    // ...to this far.
    static constexpr float POINTER_END = 0.4f;

    enum Placement
    {
        PLACEMENT_NONE = 0,
        PLACEMENT_ABOVE = 1,
        PLACEMENT_BELOW = 2,
        PLACEMENT_LEFT = 3,
        PLACEMENT_RIGHT = 4
    };

    explicit InteractionLabel(brix::LabelManager* manager);
    ~InteractionLabel() override;

    void setBoundingBox(const Ogre::AxisAlignedBox& box) override;
    void setPlacement(int placement) override;
    // The players who may see the label. Non-zero flags take effect at once; 0 keeps the label
    // in its layers until it has faded out.
    void setLayerFlags(unsigned int flags) override;

    // 0 (gone) to 1 (fully shown).
    float getFade() const { return mFade; }

    unsigned int update(float seconds) override;
    void rebuild(brix::OgreObjectBuilder& builder) override;

private:
    void markDirty() { mDirtyLayers |= mLayerFlags; }

    Ogre::AxisAlignedBox mBox;
    int mPlacement = PLACEMENT_NONE;
    unsigned int mRequestedFlags = 0xFFFFFFFF;
    float mFade = 1.0f;
};
} // namespace game
