#include "support/game/levelscene.h"
#include "game/level/level.h"
#include "support/ogre/ogrewindow.h"

#include <OgreImage.h>
#include <OgreRenderWindow.h>
#include <OgreResourceGroupManager.h>
#include <OgreSceneManager.h>
#include <OgreTextureManager.h>
#include <OgreViewport.h>

namespace test
{
void prepareLevelScene(OgreWindow& window, game::Level& level, const Ogre::ColourValue& ambient,
                       const Ogre::ColourValue& background)
{
    Ogre::TextureManager& textures = Ogre::TextureManager::getSingleton();
    if (!textures.resourceExists("lightmap", "default"))
    {
        Ogre::Image light;
        light.load("defaultlightmap.png", "default");
        textures.loadImage("lightmap", "default", light);
    }
    Ogre::ResourceGroupManager::getSingleton().initialiseResourceGroup("default");
    level.initialize(nullptr);
    level.updateLevelCache();
    window.sceneManager().setAmbientLight(ambient);
    window.renderWindow().getViewport(0)->setBackgroundColour(background);
}
} // namespace test
