#pragma once
#include <OgreVector.h>

namespace brix
{
class LabelManager;
class OgreObjectBuilder;

// Text and shapes anchored at a point of the world, drawn by the label manager into the
// layers whose bits are set in the layer flags (layer i is bit 1 << i). A label asks for a
// redraw by adding layers to its dirty layers; the manager then rebuilds those layers whole.
// Labels are made by the manager's factories and owned by the manager.
class Label
{
public:
    explicit Label(LabelManager* manager);
    virtual ~Label();
    Label(const Label&) = delete;
    Label& operator=(const Label&) = delete;

    virtual void setPosition(const Ogre::Vector3& position);
    // Both the layers the label leaves and those it joins are redrawn.
    virtual void setLayerFlags(unsigned int flags);
    virtual unsigned int getLayerFlags() const { return mLayerFlags; }
    // An expired label is removed by the manager's next update.
    virtual bool isExpired() const { return mExpired; }
    // Per-frame step; returns the layers that need a redraw.
    virtual unsigned int update(float seconds);
    // Draws the label and clears its dirty layers.
    virtual void rebuild(OgreObjectBuilder& builder) = 0;

protected:
    // The manager clears what it has redrawn, also for layers the label has left.
    friend class LabelManager;

    LabelManager* mManager;
    Ogre::Vector3 mPosition;
    unsigned int mDirtyLayers;
    unsigned int mLayerFlags;
    bool mExpired;
};
} // namespace brix
