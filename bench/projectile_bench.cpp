// One world tick with the dynamic slots full of live projectiles.
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "support/game/gameworld.h"

#include <benchmark/benchmark.h>

namespace
{
const char* const PROJECTILE = R"(
<projectile><name>shot</name><id>30</id><mass>0.05</mass><damage>5</damage><impulse>2</impulse>
    <explosion>barrelexplosion</explosion><distancelimit>1000</distancelimit></projectile>
)";

// 200 projectiles drifting slowly in open air above the ground: every physics step casts a ray
// per projectile that hits nothing. Without gravity they live for the whole run.
void BM_LiveProjectilesTick(benchmark::State& state)
{
    test::GameOgre ogre;
    test::GameWorld world(nullptr);
    world.loadEntities();
    world.loadEntities(PROJECTILE);
    world.simulator().setGravity(Ogre::Vector3::ZERO);
    unsigned count = static_cast<unsigned>(state.range(0));
    for (unsigned i = 0; i < count; ++i)
        world.create("shot", Ogre::Vector3(-100.0f + i, 20.0f + (i % 10), 0.0f),
                     Ogre::Vector3(0.01f, (i % 2) ? 0.01f : -0.01f, 0.0f));
    world.tick(1);
    for (auto _ : state)
        world.tick(1);
    std::vector<game::Entity*> live;
    world.entities().findEntities(live, Ogre::Vector3::ZERO, 0.0f, "projectile");
    if (live.size() != count)
        state.SkipWithError("projectiles died during the run");
}
BENCHMARK(BM_LiveProjectilesTick)->Arg(200)->Unit(benchmark::kMicrosecond);
} // namespace
