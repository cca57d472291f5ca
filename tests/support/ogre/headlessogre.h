#pragma once
#include <memory>
#include <string>

namespace Ogre
{
class Root;
class SceneManager;
class DefaultHardwareBufferManager;
class ControllerManager;
class LogManager;
} // namespace Ogre

namespace test
{
// The resource group the game loads its "data" folder into, made when first asked for. It is
// not OGRE's default group: tests declare here the fonts and materials that stand for the
// game's data, so they are found the way the game finds its own.
const char* dataGroup();

// An OGRE Root with no render system and no window: scene managers, manual objects, meshes,
// particle scripts and overlays work; textures do not (see the platform notes). One per test.
// OGRE's log goes to a file in the temporary folder, never to the console.
class HeadlessOgre
{
public:
    // Plug-ins are OGRE's own, by file name without suffix (for example "Plugin_ParticleFX").
    explicit HeadlessOgre(std::initializer_list<const char*> plugins = {});
    ~HeadlessOgre();

    Ogre::Root& root() { return *mRoot; }
    // A generic scene manager made on first use.
    Ogre::SceneManager& sceneManager();

    // The folder OGRE's own plug-ins live in.
    static std::string pluginDirectory();

private:
    std::unique_ptr<Ogre::LogManager> mLogManager;
    Ogre::Root* mRoot = nullptr;
    Ogre::DefaultHardwareBufferManager* mBuffers = nullptr;
    Ogre::ControllerManager* mControllers = nullptr;
    Ogre::SceneManager* mSceneManager = nullptr;
};
} // namespace test
