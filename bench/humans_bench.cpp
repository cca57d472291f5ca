// One world tick of a busy fight: 16 shipped humans walking to and fro and firing their
// pistols, among 100 shipped crates.
#include "game/world/controller.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "support/game/gameworld.h"
#include "support/tempdir.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{
constexpr unsigned HUMANS = 16;
constexpr unsigned PROPS = 100;

// Each human has a controller of its own fed one record a tick, as a player's would be; they
// turn every second, so they keep walking into each other, and shoot every other second.
void BM_FightTick(benchmark::State& state)
{
    test::GameOgre ogre;
    test::GameWorld world(nullptr);
    world.entities().loadEntityPrototypes(test::sourcePath("entities.xml"));
    std::vector<std::unique_ptr<game::Controller>> controllers;
    for (unsigned i = 0; i < HUMANS; ++i)
    {
        controllers.emplace_back(new game::Controller(0));
        auto* human =
            static_cast<game::Human*>(world.create("player", Ogre::Vector3(-40.0f + 5.0f * i, 1.0f, 0.0f)));
        human->setController(controllers.back().get());
        // Alive for the whole run, however they hit each other.
        human->applyCheats(true, false);
    }
    for (unsigned i = 0; i < PROPS; ++i)
        world.create("crate", Ogre::Vector3(-50.0f + i, 0.5f + (i % 3), 0.0f));
    auto feed = [&]()
    {
        uint16_t tick = static_cast<uint16_t>(world.entities().getTick() + 1);
        for (unsigned i = 0; i < HUMANS; ++i)
        {
            game::Controller::TInput input;
            input.tick = tick;
            bool right = ((tick / 40) + i) % 2 == 0;
            input.move = right ? 1.0f : -1.0f;
            input.aimX = right ? 1.0f : -1.0f;
            input.aimY = 0.1f;
            input.buttons = (tick / 80) % 2 ? game::Controller::BUTTON_SHOOT : 0;
            controllers[i]->addInput(input);
        }
    };
    for (int i = 0; i < 100; ++i)
    {
        feed();
        world.tick(1);
    }
    for (auto _ : state)
    {
        feed();
        world.tick(1);
    }
    std::vector<game::Entity*> humans;
    world.entities().findEntities(humans, Ogre::Vector3::ZERO, 0.0f, "human");
    state.counters["humans"] = static_cast<double>(humans.size());
}
BENCHMARK(BM_FightTick)->Unit(benchmark::kMicrosecond);
} // namespace
