#pragma once
#include <OgreColourValue.h>

#include <climits>

namespace Ogre
{
class Camera;
class RenderWindow;
class SceneManager;
class SceneNode;
class Viewport;
} // namespace Ogre

namespace brix
{
// What both load screens share: the resource group "loader" (the folder "loader"), a camera
// "loader" with a viewport in front of every other one, and the time the screen went up.
class LoadScreenView
{
public:
    static constexpr int Z_ORDER = INT_MAX;

    // Adds the folder "loader" as the group "loader" once per process.
    LoadScreenView(Ogre::SceneManager* sceneManager, Ogre::RenderWindow* window);
    ~LoadScreenView();
    LoadScreenView(const LoadScreenView&) = delete;
    LoadScreenView& operator=(const LoadScreenView&) = delete;

    // Initialises and loads the group "loader", then makes the camera and its viewport over
    // the whole window.
    Ogre::Camera* open(const Ogre::ColourValue& background);
    bool isOpen() const { return mCamera != nullptr; }
    // Draws one frame of the window and notes the time the screen went up.
    void render();
    void markShown();
    // Sleeps until minimumMs milliseconds have passed since the screen went up; no wait for a
    // screen that was never shown or for 0.
    void waitShown(float minimumMs) const;
    // Removes the viewport and destroys the camera; nothing when not open.
    void close();

    Ogre::SceneManager* getSceneManager() const { return mSceneManager; }
    Ogre::RenderWindow* getRenderWindow() const { return mWindow; }

private:
    Ogre::SceneManager* mSceneManager;
    Ogre::RenderWindow* mWindow;
    Ogre::Camera* mCamera;
    Ogre::SceneNode* mCameraNode;
    bool mShown;
    unsigned int mShownTime;
};
} // namespace brix
