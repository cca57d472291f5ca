#pragma once
#include "engine/core/ogreloglistener.h"

#include <OgreFrameListener.h>
#include <OgreLogManager.h>
#include <OgreTimer.h>

#include <string>
#include <vector>

struct GLFWwindow;

namespace Ogre
{
class OverlaySystem;
class RenderWindow;
class Root;
class SceneManager;
} // namespace Ogre

namespace brix
{
// The frame of every program on the engine: owns OGRE's Root, the GLFW window and the render
// window, clocks the game with a fixed tick and calls the game's preload, set-up, update and
// tear-down steps. OGRE's log is routed into the system log ("application.log").
class OgreApplication : private Ogre::FrameListener
{
public:
    struct VideoMode
    {
        int width;
        int height;
    };

    // Workaround bits.
    static constexpr unsigned int WORKAROUND_FAILSAFE_VIDEO_MODE = 1;
    static constexpr unsigned int WORKAROUND_DISABLE_MIPMAPS = 2;
    // Size of the window when the asked one cannot be had.
    static constexpr int FAILSAFE_WIDTH = 1280;
    static constexpr int FAILSAFE_HEIGHT = 720;
    // A frame never carries more ticks than this; an older backlog is dropped.
    static constexpr unsigned int MAX_TICKS_PER_FRAME = 4;
    // The log, in the user data directory.
    static constexpr const char* LOG_FILE = "application.log";
    // The game's resources, relative to the working folder; run throws when it is missing.
    static constexpr const char* DATA_FOLDER = "data";

    // Times in milliseconds, truncated toward zero. An empty userDirName works without a user
    // data directory; one that cannot be had throws Ogre::InvalidParametersException naming it.
    // A log that cannot be opened there is said once on standard error, and the game goes on.
    OgreApplication(const std::string& title, float tickMs, float minFrameMs, float maxFrameMs,
                    const std::string& userDirName);
    virtual ~OgreApplication();
    OgreApplication(const OgreApplication&) = delete;
    OgreApplication& operator=(const OgreApplication&) = delete;

    // The whole life of the program: window, resources, preload, set-up, the frame loop until
    // update returns false or the window closes, tear-down and shutdown. Call it once.
    // Throws Ogre::InternalErrorException when neither window nor render system can be had, and
    // Ogre::FileNotFoundException when the data folder is missing.
    virtual void run(int argc, const char** argv, unsigned int width, unsigned int height, bool fullScreen,
                     unsigned int fsaa);

    Ogre::Root* getRoot() const { return mRoot; }
    GLFWwindow* getWindow() const { return mWindow; }
    Ogre::RenderWindow* getRenderWindow() const { return mRenderWindow; }
    Ogre::OverlaySystem* getOverlaySystem() const { return mOverlaySystem; }
    Ogre::Timer* getTimer() { return &mTimer; }
    unsigned int getWorkarounds() const { return mWorkarounds; }
    const std::vector<VideoMode>& getVideoModes() const { return mVideoModes; }
    std::string getUserDataDirectory() const { return mUserDataDirectory; }

    // Width over height of the window; 1 when the size is unknown.
    float getWindowAspectRatio() const;
    std::vector<std::string> getWorkaroundNames() const;
    // A scene manager of that type that also draws the overlays.
    Ogre::SceneManager* createSceneManager(const std::string& typeName);

protected:
    // The game's early set-up, before the resource groups are initialised.
    virtual void preload() {}
    // The game's set-up, once after the resources are loaded.
    virtual void setup(int argc, const char** argv) = 0;
    // The game's work on a frame: whole ticks due (0 to 4), the frame time in seconds (at most
    // the maximum frame time) and the time since the last tick. False ends the frame loop.
    virtual bool update(unsigned int ticks, float elapsedSeconds, float sinceTickSeconds) = 0;
    // The game's tear-down, once after the frame loop and before OGRE and the window go.
    virtual void cleanup() = 0;

    // True when name is one of argv[1..argc-1]; with value, the argument after it is stored
    // there, and a match that is the last argument gives false.
    bool getCommandLineOption(int argc, const char** argv, const std::string& name, std::string* value) const;
    // Loads an OGRE plug-in by its Windows-style path ("lib/Plugin_ParticleFX.dll"). A required
    // one that fails throws on, as a plain Ogre::Exception with the plug-in's description and
    // source, which outlives the plug-in's code; an optional one, or one this platform lacks
    // (the Cg program manager), is logged and gives false.
    bool loadOgrePlugin(const std::string& path, bool required);

    // One step of the frame clock at the given reading of the timer (milliseconds): frameStarted
    // calls it with the timer; it returns what the frame loop should go on with.
    bool advanceFrameClock(unsigned int now);

private:
    bool frameStarted(const Ogre::FrameEvent& event) override;

    void initialize(unsigned int width, unsigned int height, bool fullScreen, unsigned int fsaa);
    void updateVideoModes();
    void shutdown();

    std::string mTitle;
    unsigned int mTickLength;
    unsigned int mMinFrameTime;
    unsigned int mMaxFrameTime;
    Ogre::LogManager mLogManager;
    OgreLogListener mLogListener;
    Ogre::Root* mRoot;
    GLFWwindow* mWindow;
    Ogre::RenderWindow* mRenderWindow;
    Ogre::OverlaySystem* mOverlaySystem;
    Ogre::Timer mTimer;
    unsigned int mLastUpdateTime;
    unsigned int mLastTickTime;
    std::string mUserDataDirectory;
    std::vector<VideoMode> mVideoModes;
    unsigned int mWorkarounds;
};
} // namespace brix
