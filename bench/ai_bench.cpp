// The enemies' brains under load, headless: one tick of AI for 60 enemies of the shipped
// definitions on a long floor with players among them, so that every think searches, traces
// lines of sight and, for the guards, checks the path ahead. Run from the source root (the world
// reads entities.xml, data/entitybodies.xml and the meshes). Target: a tick of AI for 60 enemies
// under 0.5 ms.
#include "game/world/ai.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "game/world/humanai.h"
#include "game/world/sentrygun.h"
#include "support/game/gameworld.h"
#include "support/tempdir.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
// Half of the 60 enemies; the other half are drones and crawlers.
constexpr int GUARDS = 15;
constexpr int SENTRY_GUNS = 15;
constexpr int PLAYERS = 6;
constexpr float SPACING = 4.0f;
// Ticks for the bodies to settle on the floor before measuring.
constexpr int SETTLE_TICKS = 40;

// Guards and sentry guns in a row along x, facing alternately right and left, with players
// spread among them; the AIs of all of them in the order made.
void populate(test::GameWorld& world, std::vector<game::AI*>& brains)
{
    const Ogre::Quaternion left(Ogre::Degree(180.0f), Ogre::Vector3::UNIT_Y);
    for (int i = 0; i < GUARDS; ++i)
    {
        auto* guard = static_cast<game::Human*>(
            world.create("guard", Ogre::Vector3(i * 2 * SPACING - 60.0f, 1.0f, 0.0f)));
        brains.push_back(guard->getAI());
    }
    for (int i = 0; i < SENTRY_GUNS; ++i)
    {
        auto* gun = static_cast<game::SentryGun*>(
            world.create("sentrygun", Ogre::Vector3((i * 2 + 1) * SPACING - 60.0f, 0.6f, 0.0f),
                         Ogre::Vector3::ZERO, i % 2 ? left : Ogre::Quaternion::IDENTITY));
        brains.push_back(&gun->getAI());
    }
    for (int i = 0; i < PLAYERS; ++i)
        world.create("player", Ogre::Vector3(i * 20.0f - 58.0f, 1.0f, 0.0f));
}

void guardsAndSentryGuns(benchmark::State& state)
{
    test::GameOgre ogre;
    test::GameWorld world(nullptr);
    world.entities().loadEntityPrototypes(test::sourcePath("entities.xml"));
    std::vector<game::AI*> brains;
    populate(world, brains);
    world.tick(SETTLE_TICKS);
    for (auto _ : state)
        for (game::AI* brain : brains)
            benchmark::DoNotOptimize(brain->update());
    state.counters["enemies"] = static_cast<double>(brains.size());
}
} // namespace

BENCHMARK(guardsAndSentryGuns)->Unit(benchmark::kMicrosecond);
