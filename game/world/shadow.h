#pragma once
#include <OgreVector.h>

namespace Ogre
{
class ManualObject;
}

namespace brix
{
class Simulator;
}

namespace game
{
class ShadowManager;

// One soft round blob shadow, drawn by its manager as a textured quad. The manager owns it;
// its owner makes it through the manager at spawn and removes it through the manager.
class Shadow
{
public:
    explicit Shadow(ShadowManager* manager);
    virtual ~Shadow();
    Shadow(const Shadow&) = delete;
    Shadow& operator=(const Shadow&) = delete;

    virtual bool isVisible() const;
    // Brings the shadow up to date for this frame; true when its geometry changed. A shadow
    // placed by its owner only reports what the owner changed.
    virtual bool update(brix::Simulator* simulator, const Ogre::Vector3& lightDirection);
    // Appends the shadow's quad, if it has one, to the manual object's open section.
    virtual void addGeometry(Ogre::ManualObject* object);

    // Hiding a shadow makes the manager rebuild without it.
    void setVisible(bool visible);

protected:
    // A square of side 2 x size centred on the position, facing along the normal, coloured
    // white with the alpha, its corners at texture coordinates (0, 0) to (1, 1).
    static void addQuad(Ogre::ManualObject* object, const Ogre::Vector3& position,
                        const Ogre::Vector3& normal, float size, float alpha);

    ShadowManager* mManager;
    Ogre::Vector3 mPosition = Ogre::Vector3::ZERO;
    Ogre::Vector3 mNormal = Ogre::Vector3::UNIT_Y;
    bool mVisible = true;
    bool mChanged = true;
};
} // namespace game
