#include "support/ogre/ogrewindow.h"

#include "support/ogre/assetgroup.h"
#include "support/ogre/headlessogre.h"

#include <OgreCamera.h>
#include <OgreLogManager.h>
#include <OgreRenderWindow.h>
#include <OgreResourceGroupManager.h>
#include <OgreRoot.h>
#include <OgreSceneManager.h>
#include <OgreViewport.h>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <stdexcept>

extern "C" unsigned long glfwGetX11Window(GLFWwindow* window);

namespace test
{
OgreWindow::OgreWindow(unsigned int width, unsigned int height, std::initializer_list<const char*> plugins)
{
    if (!glfwInit())
        throw std::runtime_error("GLFW cannot start: is DISPLAY set?");
    glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
    mWindow = glfwCreateWindow(static_cast<int>(width), static_cast<int>(height), "test", nullptr, nullptr);
    if (!mWindow)
    {
        glfwTerminate();
        throw std::runtime_error("GLFW cannot open a window");
    }
    mLogManager = std::make_unique<Ogre::LogManager>();
    mLogManager->createLog("/tmp/korvane-test-ogre.log", true, false, true);
    mRoot = new Ogre::Root("", "", "");
    mRoot->loadPlugin(HeadlessOgre::pluginDirectory() + "/RenderSystem_GL");
    for (const char* plugin : plugins)
        mRoot->loadPlugin(HeadlessOgre::pluginDirectory() + "/" + plugin);
    mRoot->setRenderSystem(mRoot->getAvailableRenderers().front());
    mRoot->initialise(false);
    Ogre::NameValuePairList parameters;
    parameters["externalWindowHandle"] = std::to_string(glfwGetX11Window(mWindow));
    mRenderWindow = mRoot->createRenderWindow("test", width, height, false, &parameters);
}

OgreWindow::~OgreWindow()
{
    if (mSceneManager)
        mRoot->destroySceneManager(mSceneManager);
    mRoot->destroyRenderTarget(mRenderWindow);
    delete mRoot;
    glfwDestroyWindow(mWindow);
    glfwTerminate();
}

Ogre::SceneManager& OgreWindow::sceneManager()
{
    if (!mSceneManager)
    {
        mSceneManager = mRoot->createSceneManager();
        mCamera = mSceneManager->createCamera("test");
        mCamera->setNearClipDistance(0.1f);
        mSceneManager->getRootSceneNode()->createChildSceneNode()->attachObject(mCamera);
        mRenderWindow->addViewport(mCamera);
    }
    return *mSceneManager;
}

Ogre::Camera& OgreWindow::camera()
{
    sceneManager();
    return *mCamera;
}

void OgreWindow::renderFrame()
{
    glfwPollEvents();
    mRoot->renderOneFrame();
}

void OgreWindow::loadGameData()
{
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    groups.addResourceLocation("data", "FileSystem", dataGroup(), true, true);
    AssetGroup::makeLightMapTexture(dataGroup());
    groups.initialiseResourceGroup(dataGroup());
}
} // namespace test
