#include "engine/core/ogreapplication.h"

#include "toolkit/file.h"
#include "toolkit/log.h"
#include "toolkit/thread.h"

#include <OgreException.h>
#include <OgreOverlaySystem.h>
#include <OgreRenderSystem.h>
#include <OgreRenderSystemCapabilities.h>
#include <OgreRenderWindow.h>
#include <OgreResourceGroupManager.h>
#include <OgreRoot.h>
#include <OgreSceneManager.h>
#include <OgreTextureManager.h>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// GLFW's native access header pulls in XRandR's headers for one declaration:
// the X11 window id.
extern "C" unsigned long glfwGetX11Window(GLFWwindow* window);

namespace brix
{
namespace
{
// Set by GLFW's close callback during event polling; read by the frame clock.
bool windowClosed = false;

void onGlfwError(int code, const char* description)
{
    Log::error("GLFW error %d: %s", code, description ? description : "");
}

void onWindowClose(GLFWwindow*)
{
    windowClosed = true;
}

bool isFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The folder this library was loaded from, where the system's own plug-ins
// live.
std::string libraryDirectory()
{
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&onWindowClose), &info) == 0 || !info.dli_fname)
        return std::string();
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The plug-in's file name without folder and suffix.
std::string pluginName(const std::string& path)
{
    std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    for (const char* suffix : {".dll", ".so"})
    {
        size_t length = std::char_traits<char>::length(suffix);
        if (name.size() > length && name.compare(name.size() - length, length, suffix) == 0)
            name.erase(name.size() - length);
    }
    return name;
}

// Plug-ins are named the Windows way ("lib/RenderSystem_GL.dll"): OGRE's own come from its
// plug-in folder, the system's own from the folder of this library, with this platform's suffix.
// There is no Direct3D here: its render system is replaced by GL.
std::string resolvePluginPath(const std::string& path)
{
    std::string name = pluginName(path);
    if (name.rfind("RenderSystem_Direct3D", 0) == 0)
    {
        Log::info("Direct3D is not available on this platform, using OpenGL instead");
        name = "RenderSystem_GL";
    }
    for (const std::string& folder : {std::string(BRIX_OGRE_PLUGIN_DIR), libraryDirectory()})
    {
        std::string candidate = folder + "/" + name + ".so";
        if (!folder.empty() && isFile(candidate))
            return candidate;
    }
    return path;
}

// Plug-ins the game asks for that this platform's OGRE does not have: the game runs without them.
bool isUnavailableHere(const std::string& path)
{
    return pluginName(path) == "Plugin_CgProgramManager";
}
} // namespace

OgreApplication::OgreApplication(const std::string& title, float tickMs, float minFrameMs, float maxFrameMs,
                                 const std::string& userDirName)
    : mTitle(title), mTickLength(static_cast<unsigned int>(tickMs)),
      mMinFrameTime(static_cast<unsigned int>(minFrameMs)),
      mMaxFrameTime(static_cast<unsigned int>(maxFrameMs)), mRoot(nullptr), mWindow(nullptr),
      mRenderWindow(nullptr), mOverlaySystem(nullptr), mLastUpdateTime(0), mLastTickTime(0), mWorkarounds(0)
{
    if (!userDirName.empty())
    {
        mUserDataDirectory = File::getUserDataDirectory(userDirName, true);
        if (mUserDataDirectory.empty())
        {
            const int error = errno;
            // Asked again without creating it, only to name it.
            const std::string wanted = File::getUserDataDirectory(userDirName, false);
            OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                        wanted.empty() ? std::string("Could not find a user data directory (no home folder)")
                                       : "Could not create the user data directory '" + wanted +
                                             "': " + std::strerror(error),
                        "OgreApplication::OgreApplication");
        }
    }
    // Without its log the game still runs; the one place left to say so is standard error.
    const std::string logPath = File::filePath(mUserDataDirectory, LOG_FILE);
    if (!Log::open(logPath.c_str(), false))
        std::fprintf(stderr, "Unable to open the log file '%s': %s\n", logPath.c_str(), std::strerror(errno));

    Ogre::Log* ogreLog = mLogManager.createLog("ogre.log", true, false, true);
    ogreLog->addListener(&mLogListener);

    glfwSetErrorCallback(onGlfwError);
    glfwInit();

    mRoot = new Ogre::Root("", "", "");
}

OgreApplication::~OgreApplication()
{
    shutdown();
    delete mRoot;
    mRoot = nullptr;
    glfwTerminate();
    Log::close();
    if (Ogre::Log* ogreLog = mLogManager.getDefaultLog())
        ogreLog->removeListener(&mLogListener);
}

void OgreApplication::run(int argc, const char** argv, unsigned int width, unsigned int height,
                          bool fullScreen, unsigned int fsaa)
{
    // Without it every resource would be reported missing one by one, the first of them far from
    // the cause.
    if (!File::directoryExists(DATA_FOLDER))
    {
        char* workingFolder = getcwd(nullptr, 0);
        const std::string place = workingFolder ? workingFolder : "the working folder";
        std::free(workingFolder);
        OGRE_EXCEPT(Ogre::Exception::ERR_FILE_NOT_FOUND,
                    std::string("Data folder '") + DATA_FOLDER + "' not found in '" + place + "'",
                    "OgreApplication::run");
    }
    initialize(width, height, fullScreen, fsaa);

    if (getCommandLineOption(argc, argv, "--disable-mipmaps", nullptr))
        mWorkarounds |= WORKAROUND_DISABLE_MIPMAPS;
    else if (!getCommandLineOption(argc, argv, "--enable-mipmaps", nullptr))
    {
        const Ogre::RenderSystemCapabilities* capabilities = mRoot->getRenderSystem()->getCapabilities();
        if (capabilities && capabilities->getVendor() == Ogre::GPU_INTEL &&
            capabilities->getRenderSystemName() == "OpenGL Rendering Subsystem")
        {
            Log::info("Intel GPU detected, disabling mipmap generation (workaround "
                      "for missing textures -issue)");
            mWorkarounds |= WORKAROUND_DISABLE_MIPMAPS;
        }
    }
    if (mWorkarounds & WORKAROUND_DISABLE_MIPMAPS)
        Ogre::TextureManager::getSingleton().setDefaultNumMipmaps(0);

    Ogre::ResourceGroupManager& resources = Ogre::ResourceGroupManager::getSingleton();
    resources.addResourceLocation(DATA_FOLDER, "FileSystem", "default", true, true);

    preload();

    resources.initialiseAllResourceGroups();
    resources.loadResourceGroup("default", true, true);

    setup(argc, argv);

    mLastUpdateTime = static_cast<unsigned int>(mTimer.getMilliseconds());
    mRoot->addFrameListener(this);

    glfwPollEvents();
    bool running = mRoot->renderOneFrame();
    while (running)
    {
        glfwPollEvents();
        running = mRoot->renderOneFrame();
    }
    mRoot->removeFrameListener(this);

    cleanup();
    shutdown();
}

float OgreApplication::getWindowAspectRatio() const
{
    int width = 1;
    int height = 1;
    if (mWindow)
        glfwGetWindowSize(mWindow, &width, &height);
    if (width <= 0 || height <= 0)
        return 1.0f;
    return static_cast<float>(width) / static_cast<float>(height);
}

std::vector<std::string> OgreApplication::getWorkaroundNames() const
{
    std::vector<std::string> names;
    if (mWorkarounds & WORKAROUND_FAILSAFE_VIDEO_MODE)
        names.push_back("fail-safe video mode");
    if (mWorkarounds & WORKAROUND_DISABLE_MIPMAPS)
        names.push_back("disable mipmaps");
    return names;
}

Ogre::SceneManager* OgreApplication::createSceneManager(const std::string& typeName)
{
    Ogre::SceneManager* sceneManager = mRoot->createSceneManager(typeName, Ogre::BLANKSTRING);
    if (mOverlaySystem)
        sceneManager->addRenderQueueListener(mOverlaySystem);
    return sceneManager;
}

bool OgreApplication::getCommandLineOption(int argc, const char** argv, const std::string& name,
                                           std::string* value) const
{
    for (int i = 1; i < argc; ++i)
    {
        if (!argv[i] || name != argv[i])
            continue;
        if (!value)
            return true;
        if (i + 1 >= argc || !argv[i + 1])
            return false;
        *value = argv[i + 1];
        return true;
    }
    return false;
}

bool OgreApplication::loadOgrePlugin(const std::string& path, bool required)
{
    try
    {
        mRoot->loadPlugin(resolvePluginPath(path));
    }
    catch (const Ogre::Exception& e)
    {
        // Thrown on as a new Ogre::Exception with the plug-in's description and source: the
        // plug-in's own exception, and a copy of it, point into the plug-in's code for its type
        // and file names, and that code is unloaded with the Root, often before the caller
        // catches it.
        if (required && !isUnavailableHere(path))
            throw Ogre::Exception(Ogre::Exception::ERR_INTERNAL_ERROR, e.getDescription(), e.getSource(),
                                  "Exception", "", 0);
        Log::info("Unable to load plug-in: " + path + ": " + e.getDescription());
        return false;
    }
    return true;
}

bool OgreApplication::frameStarted(const Ogre::FrameEvent&)
{
    return advanceFrameClock(static_cast<unsigned int>(mTimer.getMilliseconds()));
}

bool OgreApplication::advanceFrameClock(unsigned int now)
{
    unsigned int elapsed = now - mLastUpdateTime;
    bool result = true;
    if (elapsed < mMinFrameTime)
        Thread::sleep(mMinFrameTime - elapsed);
    else
    {
        unsigned int ticks = 0;
        float sinceTick = 0.0f;
        if (mTickLength != 0)
        {
            ticks = (now - mLastTickTime) / mTickLength;
            if (ticks > MAX_TICKS_PER_FRAME)
            {
                ticks = MAX_TICKS_PER_FRAME;
                mLastTickTime = now;
            }
            else
                mLastTickTime += ticks * mTickLength;
            sinceTick = static_cast<float>(now - mLastTickTime) / 1000.0f;
        }
        if (elapsed > mMaxFrameTime)
            elapsed = mMaxFrameTime;
        result = update(ticks, static_cast<float>(elapsed) / 1000.0f, sinceTick);
        mLastUpdateTime = now;
    }
    if (windowClosed || (mRenderWindow && mRenderWindow->isClosed()))
        return false;
    return result;
}

void OgreApplication::initialize(unsigned int width, unsigned int height, bool fullScreen, unsigned int fsaa)
{
    mWorkarounds &= ~WORKAROUND_FAILSAFE_VIDEO_MODE;

    GLFWmonitor* monitor = nullptr;
    if (fullScreen)
    {
        monitor = glfwGetPrimaryMonitor();
        if (!monitor)
        {
            Log::info("Primary monitor not available, reverting to fail-safe video mode");
            mWorkarounds |= WORKAROUND_FAILSAFE_VIDEO_MODE;
            width = FAILSAFE_WIDTH;
            height = FAILSAFE_HEIGHT;
        }
        else if (const char* name = glfwGetMonitorName(monitor))
            Log::info("Using primary monitor '%s'", name);
    }

    // OGRE makes the GL context itself on the window GLFW hands over.
    glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
    mWindow =
        glfwCreateWindow(static_cast<int>(width), static_cast<int>(height), mTitle.c_str(), monitor, nullptr);
    if (!mWindow)
    {
        Log::info("Main window creation failed, reverting to fail-safe video mode");
        mWorkarounds |= WORKAROUND_FAILSAFE_VIDEO_MODE;
        width = FAILSAFE_WIDTH;
        height = FAILSAFE_HEIGHT;
        mWindow = glfwCreateWindow(FAILSAFE_WIDTH, FAILSAFE_HEIGHT, mTitle.c_str(), nullptr, nullptr);
        if (!mWindow)
        {
            Log::error("Main window creation failed");
            OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR, "Main window creation failed",
                        "OgreApplication::initialize");
        }
    }
    glfwSetWindowCloseCallback(mWindow, onWindowClose);
    windowClosed = false;

    updateVideoModes();

    const Ogre::RenderSystemList& renderers = mRoot->getAvailableRenderers();
    if (renderers.empty())
    {
        Log::error("No renderers available");
        OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR, "No renderers available",
                    "OgreApplication::initialize");
    }
    mRoot->setRenderSystem(renderers.front());
    mRoot->initialise(false, "OGRE Render Window", Ogre::BLANKSTRING);

    Ogre::NameValuePairList parameters;
    parameters["externalWindowHandle"] =
        std::to_string(static_cast<unsigned long>(glfwGetX11Window(mWindow)));
    parameters["FSAA"] = std::to_string(fsaa);
    parameters["vsync"] = "true";
    mRenderWindow = mRoot->createRenderWindow(mTitle, width, height, false, &parameters);

    mOverlaySystem = new Ogre::OverlaySystem();
}

void OgreApplication::updateVideoModes()
{
    mVideoModes.clear();
    if (GLFWmonitor* monitor = glfwGetPrimaryMonitor())
    {
        int count = 0;
        const GLFWvidmode* modes = glfwGetVideoModes(monitor, &count);
        for (int i = 0; modes && i < count; ++i)
        {
            bool listed = false;
            for (const VideoMode& mode : mVideoModes)
                listed = listed || (mode.width == modes[i].width && mode.height == modes[i].height);
            if (listed)
                continue;
            mVideoModes.push_back({modes[i].width, modes[i].height});
            Log::debug("Available video mode: %dx%d", modes[i].width, modes[i].height);
        }
    }
    if (mVideoModes.empty())
        mVideoModes.push_back({FAILSAFE_WIDTH, FAILSAFE_HEIGHT});
}

void OgreApplication::shutdown()
{
    if (mRenderWindow)
    {
        mRoot->destroyRenderTarget(mRenderWindow);
        mRenderWindow = nullptr;
    }
    if (mOverlaySystem)
    {
        delete mOverlaySystem;
        mOverlaySystem = nullptr;
    }
    if (mRoot)
        mRoot->shutdown();
    if (mWindow)
    {
        glfwDestroyWindow(mWindow);
        mWindow = nullptr;
    }
}
} // namespace brix
