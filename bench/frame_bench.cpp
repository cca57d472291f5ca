// The engine frame's costs: the frame clock's work per frame, the time from creating the
// application to its first rendered frame (needs a display: run under xvfb-run), and packing
// and restoring a 100 KB level file.
#include "engine/core/ogreapplication.h"
#include "engine/core/zlibcompressor.h"
#include "support/ogre/assetgroup.h"

#include <OgreCamera.h>
#include <OgreRenderWindow.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreViewport.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
// A user data directory of its own for the whole run, removed at exit. The exit handler is
// registered after the path is made, so it runs before the path is destroyed.
const std::string& userDirectory()
{
    static std::string path = []
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvane-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        setenv("BRIX_USER_DATA_DIR", pattern.c_str(), 1);
        return pattern;
    }();
    static const bool removedAtExit = std::atexit([] { std::filesystem::remove_all(userDirectory()); }) == 0;
    (void)removedAtExit;
    return path;
}

class BenchApplication : public brix::OgreApplication
{
public:
    explicit BenchApplication(unsigned int frames)
        : OgreApplication("Korvane bench", 25, 10, 100, (userDirectory(), "korvane")), mFrames(frames)
    {
    }

    bool frame(unsigned int now) { return advanceFrameClock(now); }
    using OgreApplication::loadOgrePlugin;

protected:
    // The game's level makes the light-map texture its block materials read before the data
    // loads.
    void preload() override { test::AssetGroup::makeLightMapTexture(); }
    void setup(int, const char**) override
    {
        Ogre::SceneManager* scene = createSceneManager("DefaultSceneManager");
        Ogre::Camera* camera = scene->createCamera("camera");
        scene->getRootSceneNode()->createChildSceneNode()->attachObject(camera);
        getRenderWindow()->addViewport(camera);
    }
    bool update(unsigned int ticks, float, float) override
    {
        benchmark::DoNotOptimize(ticks);
        return ++mUpdates < mFrames;
    }
    void cleanup() override {}

private:
    unsigned int mFrames;
    unsigned int mUpdates = 0;
};

// Each frame 10 to 40 ms after the last, so the clock never sleeps and ticks vary.
void BM_FrameClock(benchmark::State& state)
{
    BenchApplication application(0xFFFFFFFF);
    unsigned int now = 0;
    unsigned int step = 0;
    for (auto _ : state)
    {
        now += 10 + (step++ % 4) * 10;
        benchmark::DoNotOptimize(application.frame(now));
    }
}
BENCHMARK(BM_FrameClock);

// Creating the application (log, GLFW, OGRE), loading the render system and the plug-ins the
// data needs (particle systems, the PNG codec), opening the window, loading the data and
// rendering the first frame, then shutting down.
void BM_StartToFirstFrame(benchmark::State& state)
{
    const char* argv[] = {"korvane"};
    for (auto _ : state)
    {
        BenchApplication application(1);
        application.loadOgrePlugin("lib/RenderSystem_GL.dll", true);
        application.loadOgrePlugin("lib/Plugin_ParticleFX.dll", true);
        application.loadOgrePlugin("lib/imagepng.dll", true);
        application.run(1, argv, 640, 480, false, 0);
    }
}
BENCHMARK(BM_StartToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(10);

std::string levelFile()
{
    std::string path = userDirectory() + "/level.xml";
    std::string text = "<level>\n";
    unsigned int seed = 1;
    while (text.size() < 100 * 1024)
    {
        seed = seed * 1664525u + 1013904223u;
        text += "\t<block>\n\t\t<type>wall" + std::to_string(seed % 31) + "</type>\n\t\t<position>" +
                std::to_string(seed % 4096) + " " + std::to_string((seed >> 12) % 512) +
                " 0</position>\n\t</block>\n";
    }
    text.resize(100 * 1024);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

void BM_ZLibLevelRoundTrip(benchmark::State& state)
{
    const std::string path = levelFile();
    const std::string copy = userDirectory() + "/copy.xml";
    brix::ZLibCompressor zip;
    std::vector<unsigned char> buffer(64 * 1024);
    unsigned int packed = 0;
    for (auto _ : state)
    {
        packed = zip.compressFile(path, buffer.data(), static_cast<unsigned int>(buffer.size()));
        if (packed == 0 || zip.decompressFile(buffer.data(), packed, copy) != 100 * 1024)
            state.SkipWithError("round trip failed");
    }
    state.counters["packed_bytes"] = packed;
    state.SetBytesProcessed(int64_t(state.iterations()) * 100 * 1024);
}
BENCHMARK(BM_ZLibLevelRoundTrip)->Unit(benchmark::kMicrosecond);
} // namespace
