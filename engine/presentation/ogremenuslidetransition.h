#pragma once
#include "engine/presentation/ogremenutransition.h"

#include <OgreVector.h>

namespace brix
{
// Slides both pages with an ease-out curve: the new page comes in from the offset to its
// home position while the old one leaves towards the opposite offset.
class OgreMenuSlideTransition : public OgreMenuTransition
{
public:
    // The offset is in the menu node's units, the duration in seconds; 0 switches in one step.
    OgreMenuSlideTransition(const Ogre::Vector3& offset, float duration);

    // Places the pages at their first frame at once.
    void start(OgreMenuPage* from, OgreMenuPage* to) override;
    void update(const float& seconds) override;
    // The new page at home, the old one at minus the offset, where it stays.
    void cancel() override;

private:
    void place(float progress);

    Ogre::Vector3 mOffset;
    float mDuration;
    float mElapsed;
};
} // namespace brix
