#include "engine/presentation/loadscreenview.h"

#include "toolkit/thread.h"

#include <OgreCamera.h>
#include <OgreRenderWindow.h>
#include <OgreResourceGroupManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreViewport.h>

namespace brix
{
namespace
{
const char* const GROUP = "loader";
const char* const FOLDER = "loader";
const char* const CAMERA = "loader";
} // namespace

LoadScreenView::LoadScreenView(Ogre::SceneManager* sceneManager, Ogre::RenderWindow* window)
    : mSceneManager(sceneManager), mWindow(window), mCamera(nullptr), mCameraNode(nullptr), mShown(false),
      mShownTime(0)
{
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    // A second location of the same folder would declare every script in it twice.
    if (!groups.resourceGroupExists(GROUP) || !groups.resourceLocationExists(FOLDER, GROUP))
        groups.addResourceLocation(FOLDER, "FileSystem", GROUP, true, true);
}

LoadScreenView::~LoadScreenView()
{
    close();
}

Ogre::Camera* LoadScreenView::open(const Ogre::ColourValue& background)
{
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    groups.initialiseResourceGroup(GROUP);
    groups.loadResourceGroup(GROUP);

    mCamera = mSceneManager->createCamera(CAMERA);
    mCameraNode = mSceneManager->getRootSceneNode()->createChildSceneNode();
    mCameraNode->attachObject(mCamera);
    Ogre::Viewport* viewport = mWindow->addViewport(mCamera, Z_ORDER);
    viewport->setBackgroundColour(background);
    return mCamera;
}

void LoadScreenView::render()
{
    mWindow->update();
}

void LoadScreenView::markShown()
{
    mShown = true;
    mShownTime = Thread::timer();
}

void LoadScreenView::waitShown(float minimumMs) const
{
    if (minimumMs <= 0 || !mShown)
        return;
    const unsigned int passed = Thread::timer() - mShownTime;
    if (passed < minimumMs)
        Thread::sleep(static_cast<unsigned int>(minimumMs - passed));
}

void LoadScreenView::close()
{
    if (!mCamera)
        return;
    mWindow->removeViewport(Z_ORDER);
    mSceneManager->destroySceneNode(mCameraNode);
    mSceneManager->destroyCamera(mCamera);
    mCamera = nullptr;
    mCameraNode = nullptr;
}
} // namespace brix
