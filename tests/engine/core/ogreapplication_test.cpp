#include "engine/core/ogreapplication.h"

#include "support/ogre/assetgroup.h"
#include "support/ogre/headlessogre.h"
#include "support/tempdir.h"

#include <OgreCamera.h>
#include <OgreCodec.h>
#include <OgreDataStream.h>
#include <OgreException.h>
#include <OgreImage.h>
#include <OgreLight.h>
#include <OgreManualObject.h>
#include <OgrePlugin.h>
#include <OgreRenderWindow.h>
#include <OgreRoot.h>
#include <OgreSceneManager.h>
#include <OgreSceneManagerEnumerator.h>
#include <OgreSceneNode.h>
#include <OgreViewport.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
// A program on the frame that records what the frame asks of it.
class RecordingApplication : public brix::OgreApplication
{
public:
    struct TUpdate
    {
        unsigned int ticks;
        float elapsedSeconds;
        float sinceTickSeconds;
    };

    explicit RecordingApplication(float tickMs = 25)
        : OgreApplication("Korvane test", tickMs, 10, 100, "korvane")
    {
    }

    bool frame(unsigned int now) { return advanceFrameClock(now); }
    using OgreApplication::getCommandLineOption;
    using OgreApplication::loadOgrePlugin;

    std::vector<std::string> steps;
    std::vector<TUpdate> updates;
    bool result = true;

protected:
    void preload() override
    {
        steps.push_back("preload");
        test::AssetGroup::makeLightMapTexture();
    }
    void setup(int, const char**) override { steps.push_back("setup"); }
    bool update(unsigned int ticks, float elapsedSeconds, float sinceTickSeconds) override
    {
        updates.push_back({ticks, elapsedSeconds, sinceTickSeconds});
        return result;
    }
    void cleanup() override { steps.push_back("cleanup"); }
};

// The user data directory lives in a temporary folder for the life of the test.
class OgreApplicationTest : public testing::Test
{
protected:
    OgreApplicationTest() { setenv("BRIX_USER_DATA_DIR", mDir.path().c_str(), 1); }
    ~OgreApplicationTest() override { unsetenv("BRIX_USER_DATA_DIR"); }

    std::string log() const { return test::readFile(mDir.file("application.log")); }
    // True when the log has a line of that level letter whose text starts with the given one.
    bool logged(char level, const std::string& text) const
    {
        std::istringstream in(log());
        for (std::string line; std::getline(in, line);)
            if (line[0] == level && line.compare(26, text.size(), text) == 0)
                return true;
        return false;
    }

    test::TempDir mDir;
};
} // namespace

TEST_F(OgreApplicationTest, SkipsTheGameUntilTheMinimumFrameTimeHasPassed)
{
    RecordingApplication application;
    EXPECT_TRUE(application.frame(9));
    EXPECT_TRUE(application.updates.empty());
    EXPECT_TRUE(application.frame(10));
    ASSERT_EQ(application.updates.size(), 1u);
    EXPECT_EQ(application.updates[0].ticks, 0u);
    EXPECT_FLOAT_EQ(application.updates[0].elapsedSeconds, 0.01f);
    EXPECT_FLOAT_EQ(application.updates[0].sinceTickSeconds, 0.01f);
}

TEST_F(OgreApplicationTest, CountsWholeTicksAndDropsABacklogBeyondFour)
{
    RecordingApplication application;
    application.frame(60);
    application.frame(360);
    application.frame(399);
    application.frame(495);
    ASSERT_EQ(application.updates.size(), 4u);
    // 60 ms: two ticks, the last one at 50 ms.
    EXPECT_EQ(application.updates[0].ticks, 2u);
    EXPECT_FLOAT_EQ(application.updates[0].elapsedSeconds, 0.06f);
    EXPECT_FLOAT_EQ(application.updates[0].sinceTickSeconds, 0.01f);
    // 300 ms later: four ticks, the rest dropped, the frame time clamped.
    EXPECT_EQ(application.updates[1].ticks, 4u);
    EXPECT_FLOAT_EQ(application.updates[1].elapsedSeconds, 0.1f);
    EXPECT_FLOAT_EQ(application.updates[1].sinceTickSeconds, 0);
    // Counting starts again from the frame that dropped the backlog.
    EXPECT_EQ(application.updates[2].ticks, 1u);
    EXPECT_FLOAT_EQ(application.updates[2].sinceTickSeconds, 0.014f);
    // Exactly four ticks due is no backlog: the remainder is kept.
    EXPECT_EQ(application.updates[3].ticks, 4u);
    EXPECT_FLOAT_EQ(application.updates[3].sinceTickSeconds, 0.01f);
}

TEST_F(OgreApplicationTest, ClockSurvivesTheTimerWrappingAround)
{
    RecordingApplication application;
    application.frame(0xFFFFFFF0u);
    application.frame(14);
    ASSERT_EQ(application.updates.size(), 2u);
    EXPECT_EQ(application.updates[1].ticks, 1u);
    EXPECT_FLOAT_EQ(application.updates[1].elapsedSeconds, 0.03f);
    EXPECT_FLOAT_EQ(application.updates[1].sinceTickSeconds, 0.005f);
}

TEST_F(OgreApplicationTest, NoTickLengthMeansNoTicks)
{
    RecordingApplication application(0.9f);
    application.frame(500);
    application.result = false;
    EXPECT_FALSE(application.frame(1000));
    ASSERT_EQ(application.updates.size(), 2u);
    EXPECT_EQ(application.updates[1].ticks, 0u);
    EXPECT_FLOAT_EQ(application.updates[1].sinceTickSeconds, 0);
}

TEST_F(OgreApplicationTest, AnswersCommandLineQuestions)
{
    RecordingApplication application;
    const char* argv[] = {"korvane", "--developer", "--online-name", "Ada", "--host"};
    std::string value = "unchanged";
    EXPECT_TRUE(application.getCommandLineOption(5, argv, "--online-name", &value));
    EXPECT_EQ(value, "Ada");
    EXPECT_TRUE(application.getCommandLineOption(5, argv, "--host", nullptr));
    EXPECT_FALSE(application.getCommandLineOption(5, argv, "--host", &value));
    EXPECT_FALSE(application.getCommandLineOption(5, argv, "--dev", nullptr));
    EXPECT_FALSE(application.getCommandLineOption(1, argv, "korvane", nullptr));
    EXPECT_EQ(value, "Ada");
}

TEST_F(OgreApplicationTest, LoadsPluginsByTheirWindowsNames)
{
    RecordingApplication application;
    EXPECT_FALSE(application.loadOgrePlugin("lib/Plugin_Missing.dll", false));
    EXPECT_THROW(application.loadOgrePlugin("lib/Plugin_Missing.dll", true), Ogre::Exception);
    // The game asks for the Cg program manager, which this platform does not have.
    EXPECT_FALSE(application.loadOgrePlugin("lib/Plugin_CgProgramManager.dll", true));
    EXPECT_TRUE(application.loadOgrePlugin("lib/RenderSystem_Direct3D9.dll", true));
    ASSERT_EQ(application.getRoot()->getAvailableRenderers().size(), 1u);
    EXPECT_EQ(application.getRoot()->getAvailableRenderers()[0]->getName(), "OpenGL Rendering Subsystem");
    EXPECT_TRUE(logged('I', "Unable to load plug-in: lib/Plugin_Missing.dll: ")) << log();
    EXPECT_TRUE(logged('I', "Unable to load plug-in: lib/Plugin_CgProgramManager.dll: ")) << log();
}

TEST_F(OgreApplicationTest, APluginThatFailsToStartIsReportedAfterTheApplicationIsGone)
{
    // Without a display the GL render system fails inside its own start-up code, and it is
    // unloaded with the application before the caller reads what went wrong.
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    std::string full;
    try
    {
        RecordingApplication application;
        application.loadOgrePlugin("lib/RenderSystem_GL.dll", true);
        ADD_FAILURE() << "no exception";
    }
    catch (const Ogre::Exception& e)
    {
        full = e.getFullDescription();
    }
    if (display)
        setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(full, "Exception: Couldn`t open X display  in GLXGLSupport::getGLDisplay");
}

TEST_F(OgreApplicationTest, RefusesAUserDirectoryThatCannotBeMadeAndSaysWhenItsLogCannotOpen)
{
    // A log that cannot be opened (a folder in its place) leaves the frame running.
    std::filesystem::create_directory(mDir.file("application.log"));
    testing::internal::CaptureStderr();
    {
        RecordingApplication application;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Unable to open the log file '" + mDir.file("application.log") + "': Is a directory\n");

    test::writeFile(mDir.file("file"), "not a folder");
    setenv("BRIX_USER_DATA_DIR", mDir.file("file/korvane").c_str(), 1);
    try
    {
        RecordingApplication application;
        FAIL() << "no exception";
    }
    catch (const Ogre::InvalidParametersException& e)
    {
        EXPECT_EQ(e.getDescription(), "Could not create the user data directory '" +
                                          mDir.file("file/korvane") + "': Not a directory");
        EXPECT_EQ(e.getSource(), "OgreApplication::OgreApplication");
    }
}

namespace
{
// Renders a lit square for a number of frames and saves a screenshot on tear-down.
class DemoApplication : public RecordingApplication
{
public:
    explicit DemoApplication(unsigned int frames) : mFrames(frames) {}

    unsigned int totalTicks = 0;

protected:
    void setup(int argc, const char** argv) override
    {
        RecordingApplication::setup(argc, argv);
        Ogre::SceneManager* scene = createSceneManager(Ogre::DefaultSceneManagerFactory::FACTORY_TYPE_NAME);
        scene->setAmbientLight(Ogre::ColourValue(0.1f, 0.1f, 0.1f));
        Ogre::Camera* camera = scene->createCamera("camera");
        camera->setNearClipDistance(0.1f);
        Ogre::SceneNode* cameraNode = scene->getRootSceneNode()->createChildSceneNode(Ogre::Vector3(0, 0, 5));
        cameraNode->attachObject(camera);
        getRenderWindow()->addViewport(camera)->setBackgroundColour(Ogre::ColourValue(0, 0, 0.2f));

        Ogre::Light* light = scene->createLight();
        light->setDiffuseColour(Ogre::ColourValue(1, 0.2f, 0.2f));
        scene->getRootSceneNode()->createChildSceneNode(Ogre::Vector3(0, 0, 3))->attachObject(light);

        Ogre::ManualObject* square = scene->createManualObject();
        square->begin("BaseWhite", Ogre::RenderOperation::OT_TRIANGLE_STRIP);
        for (float y : {-1.0f, 1.0f})
            for (float x : {-1.0f, 1.0f})
            {
                square->position(x, y, 0);
                square->normal(0, 0, 1);
            }
        square->end();
        scene->getRootSceneNode()->attachObject(square);
    }

    bool update(unsigned int ticks, float elapsedSeconds, float sinceTickSeconds) override
    {
        RecordingApplication::update(ticks, elapsedSeconds, sinceTickSeconds);
        totalTicks += ticks;
        return updates.size() < mFrames;
    }

    void cleanup() override
    {
        RecordingApplication::cleanup();
        getRenderWindow()->writeContentsToFile(getUserDataDirectory() + "/screenshot.png");
    }

private:
    unsigned int mFrames;
};
} // namespace

TEST_F(OgreApplicationTest, RunsALitSceneThroughEveryStepAndSavesAScreenshot)
{
    // Disabling mip-maps wins over enabling them.
    const char* argv[] = {"korvane", "--enable-mipmaps", "--disable-mipmaps"};
    testing::internal::CaptureStdout();
    {
        DemoApplication application(8);
        application.loadOgrePlugin("lib/RenderSystem_GL.dll", true);
        // The game's data holds particle scripts, which only compile with ParticleFX.
        application.loadOgrePlugin("lib/Plugin_ParticleFX.dll", true);
        application.loadOgrePlugin("Codec_STBI", true);
        application.run(3, argv, 320, 240, false, 0);
        EXPECT_EQ(application.steps, (std::vector<std::string>{"preload", "setup", "cleanup"}));
        EXPECT_EQ(application.updates.size(), 8u);
        EXPECT_EQ(application.getRenderWindow(), nullptr);
        EXPECT_EQ(application.getWindow(), nullptr);
        EXPECT_EQ(application.getWorkarounds(), brix::OgreApplication::WORKAROUND_DISABLE_MIPMAPS);
        EXPECT_EQ(application.getWorkaroundNames(), std::vector<std::string>{"disable mipmaps"});
        EXPECT_FALSE(application.getVideoModes().empty());
        for (const RecordingApplication::TUpdate& update : application.updates)
        {
            EXPECT_LE(update.ticks, 4u);
            EXPECT_GE(update.elapsedSeconds, 0.01f);
            EXPECT_LE(update.elapsedSeconds, 0.1f);
            EXPECT_LT(update.sinceTickSeconds, 0.025f);
        }
    }
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(console.find("OGRE"), std::string::npos) << console;

    EXPECT_TRUE(logged('I', "Installing plugin: GL RenderSystem")) << log();
    EXPECT_TRUE(logged('I', "*-*-* OGRE Shutdown")) << log();

    test::HeadlessOgre ogre({"Codec_STBI"});
    std::ifstream file(mDir.file("screenshot.png"), std::ios::binary);
    ASSERT_TRUE(file.good());
    Ogre::DataStreamPtr stream(new Ogre::FileStreamDataStream(&file, false));
    Ogre::Image image;
    image.load(stream, "png");
    ASSERT_EQ(image.getWidth(), 320u);
    ASSERT_EQ(image.getHeight(), 240u);
    Ogre::ColourValue centre = image.getColourAt(160, 120, 0);
    Ogre::ColourValue corner = image.getColourAt(2, 2, 0);
    EXPECT_NEAR(corner.b, 0.2f, 0.01f);
    EXPECT_GT(centre.r, 0.5f) << "the square is lit red";
    EXPECT_LT(centre.g, centre.r);
}

namespace
{
// Loads the plug-ins the game asks for, in the game's order, and notes which codec OGRE holds
// for "png" while the window is up. Its screenshot on tear-down is written and read back
// through that codec.
class PluginApplication : public RecordingApplication
{
public:
    static constexpr const char* PLUGINS[] = {"lib/RenderSystem_GL.dll", "lib/Plugin_ParticleFX.dll",
                                              "lib/Plugin_OctreeSceneManager.dll",
                                              "lib/Plugin_CgProgramManager.dll", "lib/imagepng.dll"};

    std::vector<std::string> installedPlugins;
    std::string pngCodecType;
    std::string screenshotHeader;
    Ogre::ColourValue screenshotColour;

protected:
    void setup(int argc, const char** argv) override
    {
        RecordingApplication::setup(argc, argv);
        for (Ogre::Plugin* plugin : getRoot()->getInstalledPlugins())
            installedPlugins.push_back(plugin->getName());
        if (Ogre::Codec::isCodecRegistered("png"))
            pngCodecType = Ogre::Codec::getCodec("png")->getType();
        Ogre::SceneManager* scene = createSceneManager(Ogre::DefaultSceneManagerFactory::FACTORY_TYPE_NAME);
        Ogre::Camera* camera = scene->createCamera("camera");
        scene->getRootSceneNode()->createChildSceneNode()->attachObject(camera);
        getRenderWindow()->addViewport(camera)->setBackgroundColour(Ogre::ColourValue(0.2f, 0.4f, 0.6f));
    }

    bool update(unsigned int ticks, float elapsedSeconds, float sinceTickSeconds) override
    {
        RecordingApplication::update(ticks, elapsedSeconds, sinceTickSeconds);
        return updates.size() < 2;
    }

    void cleanup() override
    {
        RecordingApplication::cleanup();
        const std::string path = getUserDataDirectory() + "/screenshot.png";
        getRenderWindow()->writeContentsToFile(path);
        const std::string bytes = test::readFile(path);
        screenshotHeader = bytes.substr(0, 8);
        Ogre::DataStreamPtr stream(new Ogre::MemoryDataStream(const_cast<char*>(bytes.data()), bytes.size()));
        Ogre::Image image;
        image.load(stream, "png");
        screenshotColour = image.getColourAt(image.getWidth() / 2, image.getHeight() / 2, 0);
    }
};
} // namespace

TEST_F(OgreApplicationTest, LoadsThePngCodecPluginFromTheEnginesOwnFolder)
{
    const char* argv[] = {"korvane"};
    {
        PluginApplication application;
        for (const char* plugin : PluginApplication::PLUGINS)
            application.loadOgrePlugin(plugin, true);
        application.run(1, argv, 160, 120, false, 0);
        EXPECT_EQ(application.pngCodecType, "png");
        EXPECT_NE(std::find(application.installedPlugins.begin(), application.installedPlugins.end(),
                            "TevraPNGPlugin"),
                  application.installedPlugins.end());
        EXPECT_EQ(application.screenshotHeader, std::string("\x89PNG\r\n\x1a\n", 8));
        EXPECT_NEAR(application.screenshotColour.b, 0.6f, 0.01f);
        EXPECT_NEAR(application.screenshotColour.g, 0.4f, 0.01f);
    }
    // The plug-in next to the engine's library, with this platform's suffix.
    const char* binary = std::getenv("KORVANE_BINARY_DIR");
    ASSERT_NE(binary, nullptr);
    EXPECT_TRUE(logged('I', "Loading library " + std::string(binary) + "/lib/imagepng.so")) << log();
    EXPECT_FALSE(Ogre::Codec::isCodecRegistered("png"));
}
