#include "support/ogre/headlessogre.h"

#include <Ogre.h>
#include <OgreControllerManager.h>
#include <OgreDefaultHardwareBufferManager.h>
#include <OgreLogManager.h>
#include <OgreMaterialManager.h>
#include <OgreParticleSystemManager.h>
#include <OgreResourceGroupManager.h>
#include <OgreRoot.h>

namespace test
{
const char* dataGroup()
{
    static const char* const NAME = "default";
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    if (!groups.resourceGroupExists(NAME))
        groups.createResourceGroup(NAME);
    return NAME;
}

HeadlessOgre::HeadlessOgre(std::initializer_list<const char*> plugins)
{
    mLogManager = std::make_unique<Ogre::LogManager>();
    mLogManager->createLog("/tmp/korvane-test-ogre.log", true, false, true);
    mRoot = new Ogre::Root("", "", "");
    for (const char* plugin : plugins)
        mRoot->loadPlugin(pluginDirectory() + "/" + plugin);
    mBuffers = new Ogre::DefaultHardwareBufferManager();
    Ogre::MaterialManager::getSingleton().initialise();
    Ogre::ParticleSystemManager::getSingleton()._initialise();
    mControllers = new Ogre::ControllerManager();
}

HeadlessOgre::~HeadlessOgre()
{
    if (mSceneManager)
        mRoot->destroySceneManager(mSceneManager);
    delete mControllers;
    delete mRoot;
    delete mBuffers;
}

Ogre::SceneManager& HeadlessOgre::sceneManager()
{
    if (!mSceneManager)
        mSceneManager = mRoot->createSceneManager();
    return *mSceneManager;
}

std::string HeadlessOgre::pluginDirectory()
{
    return OGRE_TEST_PLUGIN_DIR;
}
} // namespace test
