#include "game/world/manualshadow.h"

namespace game
{
ManualShadow::ManualShadow(ShadowManager* manager) : Shadow(manager) {}

ManualShadow::~ManualShadow() = default;

void ManualShadow::addGeometry(Ogre::ManualObject* object)
{
    addQuad(object, mPosition, mNormal, mSize, mAlpha);
    mChanged = false;
}

void ManualShadow::setPlacement(const Ogre::Vector3& position, const Ogre::Vector3& normal, float size)
{
    if (position == mPosition && normal == mNormal && size == mSize)
        return;
    mPosition = position;
    mNormal = normal;
    mSize = size;
    mChanged = true;
}

void ManualShadow::setAlpha(float alpha)
{
    if (alpha == mAlpha)
        return;
    mAlpha = alpha;
    mChanged = true;
}
} // namespace game
