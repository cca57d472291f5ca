// Level loading and the level cache, headless on the game's data. Run from the source root
// (or with KORVANE_SOURCE_DIR set to it).
//
// Targets: loading a level of 1,000 blocks and building its scene (body and render geometry)
// under 300 ms; a level cache update that scans 40 levels under 200 ms.
#include "support/game/levelbuilder.h"
#include "support/game/levelworld.h"
#include "support/tempdir.h"

#include "game/level/level.h"
#include "game/level/levelcache.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace
{
const char* const BLOCK_KINDS[] = {"techfloor", "techwall",    "techcube",
                                   "techledge", "storagecube", "labcube"};

void enterSourceRoot()
{
    if (const char* root = std::getenv("KORVANE_SOURCE_DIR"))
        if (chdir(root) != 0)
            std::perror(root);
}

// Blocks of every kind on a grid, 40 across and as many rows as needed, with the starts.
test::LevelBuilder makeLevel(unsigned blocks)
{
    test::LevelBuilder builder;
    for (unsigned index = 0; index < blocks; ++index)
        builder.block(BLOCK_KINDS[index % 6],
                      Ogre::Vector3(float(index % 40) * 4.0f, float(index / 40) * 5.0f, 0));
    builder.special("spstart", Ogre::Vector3(0, 1, 0)).special("mpstart", Ogre::Vector3(4, 1, 0));
    return builder;
}

void BM_LoadLevelAndBuildScene(benchmark::State& state)
{
    enterSourceRoot();
    test::LevelWorld world(true);
    const unsigned blocks = static_cast<unsigned>(state.range(0));
    if (!makeLevel(blocks).save(world.level(), "big"))
        state.SkipWithError("saving the level failed");
    world.level().updateLevelCache();
    for (auto _ : state)
    {
        if (!world.level().load("big", false))
            state.SkipWithError("loading the level failed");
        world.level().createScene();
        benchmark::DoNotOptimize(world.level().getBody());
    }
    state.counters["blocks"] = blocks;
}
BENCHMARK(BM_LoadLevelAndBuildScene)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_LevelCacheUpdate(benchmark::State& state)
{
    enterSourceRoot();
    test::LevelWorld world;
    const unsigned levels = static_cast<unsigned>(state.range(0));
    test::LevelBuilder builder = makeLevel(60);
    for (unsigned index = 0; index < levels; ++index)
        if (!builder.title("Level " + std::to_string(index))
                 .save(world.level(), "user" + std::to_string(index)))
            state.SkipWithError("saving a level failed");
    const std::string cacheFile = world.userDirectory() + "/" + game::LevelCache::FILE_NAME;
    for (auto _ : state)
    {
        // From no cache file: every level is scanned and the cache is written.
        state.PauseTiming();
        std::remove(cacheFile.c_str());
        state.ResumeTiming();
        game::LevelCache cache(world.userDirectory(), world.level());
        cache.update();
        benchmark::DoNotOptimize(cache.hasLevel("user0"));
    }
    state.counters["levels"] = levels;
}
BENCHMARK(BM_LevelCacheUpdate)->Arg(40)->Unit(benchmark::kMillisecond);
} // namespace
