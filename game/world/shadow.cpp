#include "game/world/shadow.h"

#include "game/world/shadowmanager.h"

#include <OgreManualObject.h>

namespace game
{
Shadow::Shadow(ShadowManager* manager) : mManager(manager) {}

Shadow::~Shadow() = default;

bool Shadow::isVisible() const
{
    return mVisible;
}

bool Shadow::update(brix::Simulator* simulator, const Ogre::Vector3& lightDirection)
{
    return mChanged;
}

void Shadow::addGeometry(Ogre::ManualObject* object)
{
    mChanged = false;
}

void Shadow::setVisible(bool visible)
{
    if (visible == mVisible)
        return;
    mVisible = visible;
    // A shadow coming back is drawn from scratch; one going away leaves the drawing stale.
    mChanged = true;
    if (!visible)
        mManager->setDirty();
}

void Shadow::addQuad(Ogre::ManualObject* object, const Ogre::Vector3& position, const Ogre::Vector3& normal,
                     float size, float alpha)
{
    Ogre::Vector3 side = normal.crossProduct(Ogre::Vector3::UNIT_Z).normalisedCopy();
    const Ogre::Vector3 up = normal.crossProduct(side) * size;
    side *= size;
    const Ogre::ColourValue colour(1.0f, 1.0f, 1.0f, alpha);
    const Ogre::Vector3 corners[4] = {position - side - up, position + side - up, position + side + up,
                                      position - side + up};
    const Ogre::Vector2 uvs[4] = {Ogre::Vector2(0, 0), Ogre::Vector2(1, 0), Ogre::Vector2(1, 1),
                                  Ogre::Vector2(0, 1)};
    const uint32_t base = static_cast<uint32_t>(object->getCurrentVertexCount());
    for (int i = 0; i < 4; ++i)
    {
        object->position(corners[i]);
        object->textureCoord(uvs[i]);
        object->colour(colour);
        object->normal(normal);
    }
    object->triangle(base, base + 1, base + 2);
    object->triangle(base, base + 2, base + 3);
}
} // namespace game
