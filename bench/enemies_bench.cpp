// The brains of 60 shipped enemies for one tick: 30 drones and 30 crawlers spread over a floor
// around a player, the near ones attacking it, the far ones idle or patrolling. Target: under
// 0.5 ms a tick (a think every fourth tick included).
#include "game/world/crawler.h"
#include "game/world/drone.h"
#include "game/world/entitymanager.h"
#include "support/game/gameworld.h"
#include "support/tempdir.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

namespace
{
void BM_EnemyBrainsTick(benchmark::State& state)
{
    std::srand(60);
    test::GameOgre ogre;
    test::GameWorld world(nullptr);
    world.entities().loadEntityPrototypes(test::sourcePath("entities.xml"));
    world.addBlock(Ogre::Vector3(0.0f, -0.5f, 0.0f), Ogre::Vector3(80.0f, 1.0f, 3.0f));
    world.create("player", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    std::vector<game::AI*> brains;
    for (int i = 0; i < 30; ++i)
    {
        float x = -36.0f + 2.4f * static_cast<float>(i);
        auto* drone =
            static_cast<game::Drone*>(world.create("drone", Ogre::Vector3(x, 4.0f + (i % 3), 0.0f)));
        auto* crawler =
            static_cast<game::Crawler*>(world.create("crawler", Ogre::Vector3(x + 1.2f, 0.25f, 0.0f)));
        brains.push_back(&drone->getAI());
        brains.push_back(&crawler->getAI());
    }
    world.tick(8);
    for (auto _ : state)
        for (game::AI* brain : brains)
            benchmark::DoNotOptimize(brain->update());
    state.counters["enemies"] = static_cast<double>(brains.size());
}
BENCHMARK(BM_EnemyBrainsTick)->Unit(benchmark::kMicrosecond);
} // namespace
