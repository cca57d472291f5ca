#include "engine/presentation/ogremenutransition.h"

namespace brix
{
OgreMenuTransition::OgreMenuTransition() : mFrom(nullptr), mTo(nullptr), mComplete(true) {}

OgreMenuTransition::~OgreMenuTransition() {}

void OgreMenuTransition::start(OgreMenuPage* from, OgreMenuPage* to)
{
    mFrom = from;
    mTo = to;
    mComplete = false;
}
} // namespace brix
