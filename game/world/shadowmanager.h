#pragma once
#include <OgreVector.h>

#include <list>
#include <string>

namespace Ogre
{
class ManualObject;
class SceneManager;
class SceneNode;
} // namespace Ogre

namespace brix
{
class Simulator;
}

namespace game
{
class ManualShadow;
class RayCastShadow;
class Shadow;

// Every blob shadow of the scene, drawn as textured quads into one dynamic manual object
// that is rebuilt only on frames where a shadow changed, appeared or went. The manager owns
// the shadows; their owners make them here and remove them here before they go.
class ShadowManager
{
public:
    // The manual object is made with the scene manager and attached to the node; the
    // simulator answers the ray-cast shadows' rays.
    ShadowManager(Ogre::SceneManager* sceneManager, Ogre::SceneNode* node, brix::Simulator* simulator,
                  const std::string& materialName);
    virtual ~ShadowManager();
    ShadowManager(const ShadowManager&) = delete;
    ShadowManager& operator=(const ShadowManager&) = delete;

    ManualShadow* createManualShadow();
    RayCastShadow* createRayCastShadow();
    // Deletes the shadow; a visible one is taken out of the drawing on the next update.
    void removeShadow(Shadow* shadow);
    // The next update rebuilds the drawing.
    void setDirty();

    // Once per frame: updates every visible shadow and rebuilds the drawing when one
    // changed. True when it rebuilt.
    bool update();

    Ogre::ManualObject* getManualObject() const { return mObject; }

private:
    Ogre::SceneManager* mSceneManager;
    Ogre::SceneNode* mNode;
    brix::Simulator* mSimulator;
    std::string mMaterialName;
    Ogre::ManualObject* mObject = nullptr;
    std::list<Shadow*> mShadows;
    Ogre::Vector3 mLightDirection = Ogre::Vector3::NEGATIVE_UNIT_Y;
    bool mDirty = false;
};
} // namespace game
