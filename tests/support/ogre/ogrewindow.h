#pragma once
#include <initializer_list>
#include <memory>
#include <string>

struct GLFWwindow;

namespace Ogre
{
class Camera;
class LogManager;
class RenderWindow;
class Root;
class SceneManager;
} // namespace Ogre

namespace test
{
// A real window for tests that render, take input or load fonts: a GLFW window handed to OGRE's
// legacy GL render system, on the test run's X server. One per test. OGRE's log goes to a file in
// the temporary folder, never to the console.
class OgreWindow
{
public:
    // Plug-ins are OGRE's own, by file name without suffix, loaded after the render system.
    explicit OgreWindow(unsigned int width = 320, unsigned int height = 240,
                        std::initializer_list<const char*> plugins = {});
    ~OgreWindow();
    OgreWindow(const OgreWindow&) = delete;
    OgreWindow& operator=(const OgreWindow&) = delete;

    Ogre::Root& root() { return *mRoot; }
    GLFWwindow* window() { return mWindow; }
    Ogre::RenderWindow& renderWindow() { return *mRenderWindow; }
    // A generic scene manager with a camera and a viewport on the whole window, made on first use.
    Ogre::SceneManager& sceneManager();
    Ogre::Camera& camera();

    // Polls the window's events and renders one frame.
    void renderFrame();

    // Declares the source tree's "data" folder the way the game does: in the game's data group,
    // with the light-map texture its block materials read. Its particle scripts need the window
    // made with "Plugin_ParticleFX", its fonts an Ogre::OverlaySystem.
    void loadGameData();

private:
    std::unique_ptr<Ogre::LogManager> mLogManager;
    Ogre::Root* mRoot = nullptr;
    GLFWwindow* mWindow = nullptr;
    Ogre::RenderWindow* mRenderWindow = nullptr;
    Ogre::SceneManager* mSceneManager = nullptr;
    Ogre::Camera* mCamera = nullptr;
};
} // namespace test
