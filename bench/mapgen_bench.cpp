// The light-map and sound-map generators on a level the size of a large built-in one, headless
// on the game's data. Run from the source root (or with KORVANE_SOURCE_DIR set to it).
//
// Targets: a 256 x 256 light map of a 120 x 40 level with 15 lights under 2 s; its 128 x 128
// sound map under 2 s; an abort of a running generator returns within 20 ms.
#include "support/game/levelbuilder.h"
#include "support/game/mapworld.h"

#include "game/level/level.h"
#include "game/level/levelsoundmapgenerator.h"
#include "toolkit/thread.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace
{
const unsigned LIGHTS = 15;

void enterSourceRoot()
{
    if (const char* root = std::getenv("KORVANE_SOURCE_DIR"))
        if (chdir(root) != 0)
            std::perror(root);
}

// Four storeys of floor from x = 0 to 110 with walls between, and 15 lamps: with the box's
// margin the level covers 120 x 40.
test::LevelBuilder makeLevel()
{
    test::LevelBuilder builder;
    for (float y = 0.0f; y <= 30.0f; y += 10.0f)
        builder.row("techfloor", 2.0f, 108.0f, 4.0f, y);
    for (float x = 0.0f; x <= 110.0f; x += 27.5f)
        builder.column("techwall", x, 3.0f, 27.0f, 10.0f);
    for (unsigned index = 0; index < LIGHTS; ++index)
        builder.entity("lamp", Ogre::Vector3(4.0f + index * 7.0f, 3.0f + (index % 3) * 10.0f, 0.0f));
    builder.special("spstart", Ogre::Vector3(2, 1, 0));
    return builder;
}

class Bench
{
public:
    Bench()
    {
        enterSourceRoot();
        mSource.lights["lamp"] = {Ogre::Vector3(0, 0.5f, 0), Ogre::ColourValue(1.0f, 0.9f, 0.7f), 12.0f,
                                  0.0f};
        mReady = mWorld.load(makeLevel(), "large", true);
    }

    bool ready() const { return mReady; }
    game::Level& level() { return mWorld.level(); }
    const test::MapSource& source() const { return mSource; }
    void run() { mWorld.runGenerators(); }
    std::string file() const { return mWorld.userMapFile("large", "_bench.png"); }

private:
    test::MapWorld mWorld;
    test::MapSource mSource;
    bool mReady = false;
};

void BM_LightMap(benchmark::State& state)
{
    Bench bench;
    if (!bench.ready())
        state.SkipWithError("loading the level failed");
    for (auto _ : state)
    {
        bench.level().generateLightMap(&bench.source());
        bench.run();
    }
    state.counters["lights"] = LIGHTS;
}
BENCHMARK(BM_LightMap)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SoundMap(benchmark::State& state)
{
    Bench bench;
    if (!bench.ready())
        state.SkipWithError("loading the level failed");
    for (auto _ : state)
    {
        bench.level().generateSoundMap(&bench.source());
        bench.run();
    }
}
BENCHMARK(BM_SoundMap)->Unit(benchmark::kMillisecond)->Iterations(3);

// From the abort request to the joined thread, a few rows into a sound map.
void BM_AbortLatency(benchmark::State& state)
{
    Bench bench;
    if (!bench.ready())
        state.SkipWithError("loading the level failed");
    for (auto _ : state)
    {
        game::LevelSoundMapGenerator generator(&bench.level(), bench.file(), game::Level::SOUND_MAP_SIZE,
                                               game::Level::SOUND_MAP_SIZE, &bench.source());
        generator.start();
        brix::Thread::sleep(50);
        const auto begin = std::chrono::steady_clock::now();
        generator.abort();
        const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - begin;
        state.SetIterationTime(taken.count());
    }
}
BENCHMARK(BM_AbortLatency)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
} // namespace
