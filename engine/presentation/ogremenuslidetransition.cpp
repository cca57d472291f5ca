#include "engine/presentation/ogremenuslidetransition.h"
#include "engine/presentation/ogremenupage.h"

#include <OgreSceneNode.h>

namespace brix
{
OgreMenuSlideTransition::OgreMenuSlideTransition(const Ogre::Vector3& offset, float duration)
    : mOffset(offset), mDuration(duration), mElapsed(0)
{
}

void OgreMenuSlideTransition::start(OgreMenuPage* from, OgreMenuPage* to)
{
    OgreMenuTransition::start(from, to);
    mElapsed = 0;
    update(0);
}

void OgreMenuSlideTransition::update(const float& seconds)
{
    mElapsed += seconds;
    float progress = 1;
    if (mElapsed < mDuration)
    {
        const float remaining = 1 - mElapsed / mDuration;
        progress = 1 - remaining * remaining;
    }
    else
        mComplete = true;
    place(progress);
}

void OgreMenuSlideTransition::cancel()
{
    place(1);
    mComplete = true;
}

void OgreMenuSlideTransition::place(float progress)
{
    if (mTo)
        mTo->getSceneNode()->setPosition(mOffset * (1 - progress));
    if (mFrom)
        mFrom->getSceneNode()->setPosition(mOffset * -progress);
}
} // namespace brix
