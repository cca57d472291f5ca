// The game world under load, headless: a tick of 200 props awake and asleep, and the entity
// update message written and read for 200 props in view. Run from the source root (the world
// reads data/materials.xml, data/entitybodies.xml and the meshes). Targets: an awake tick under
// 3 ms, a sleeping one under 0.5 ms, encoding and decoding a message under 20 us each.
#include "engine/core/body.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "game/world/prop.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "support/game/entitylink.h"
#include "support/game/gameworld.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{
constexpr int PROPS = 200;
// Ticks after a drop of 1 m: the crates land, bounce and settle, every body awake and most
// of them touching the ground.
constexpr int AWAKE_TICKS = 60;

// One tick of the entity manager (logic, physics, reactions), without the frame.
void tick(test::GameWorld& world)
{
    world.entities().simulateTo(world.entities().nextTick());
}

// 200 crates in a 20 x 10 grid, spaced so none touches another, their bottoms at the height.
void placeCrates(test::GameWorld& world, float bottom)
{
    for (int i = 0; i < PROPS; ++i)
        world.create("crate", Ogre::Vector3((i % 20) * 1.6f - 16.0f, bottom + 0.5f + (i / 20) * 1.6f, 0.0f));
}

void awakeTick(benchmark::State& state)
{
    test::GameOgre ogre;
    std::unique_ptr<test::GameWorld> world;
    int ticks = AWAKE_TICKS;
    int awake = 0;
    for (auto _ : state)
    {
        if (ticks == AWAKE_TICKS)
        {
            state.PauseTiming();
            world.reset();
            world = std::make_unique<test::GameWorld>(ogre.createSceneManager());
            world->loadEntities();
            placeCrates(*world, 1.0f);
            ticks = 0;
            state.ResumeTiming();
        }
        tick(*world);
        ++ticks;
        if (ticks == AWAKE_TICKS)
        {
            awake = 0;
            for (unsigned id = 1; id <= PROPS; ++id)
                awake += !static_cast<game::Prop*>(world->entities().getEntity(id))->getBody()->isAtRest();
        }
    }
    state.counters["awake"] = awake;
}
BENCHMARK(awakeTick)->Unit(benchmark::kMillisecond);

void sleepingTick(benchmark::State& state)
{
    test::GameOgre ogre;
    test::GameWorld world(ogre.createSceneManager());
    world.loadEntities();
    placeCrates(world, 0.0f);
    for (int i = 0; i < 400; ++i)
        world.tick();
    int resting = 0;
    for (unsigned id = 1; id <= PROPS; ++id)
        resting += static_cast<game::Prop*>(world.entities().getEntity(id))->getBody()->isAtRest();
    for (auto _ : state)
        tick(world);
    state.counters["resting"] = resting;
}
BENCHMARK(sleepingTick)->Unit(benchmark::kMillisecond);

// A server whose observer sees 200 falling crates, and a client that already knows them.
struct Replication
{
    Replication() : link(ogre, 0, 0.0)
    {
        link.loadEntities();
        link.focus(link.server.create("player", Ogre::Vector3(0.0f, 1.0f, 0.0f)));
        for (int i = 1; i < PROPS; ++i)
            link.server.create("crate", Ogre::Vector3((i % 20) * 1.6f - 16.0f, 5.5f + (i / 20) * 1.6f, 0.0f));
        link.tick(60);
        message.resize(test::EntityLink::MESSAGE_ROOM);
    }

    size_t encode()
    {
        brix::NetworkEncodeStream stream(message.data(), test::EntityLink::MESSAGE_ROOM);
        link.server.entities().encodeNetworkData(test::EntityLink::CLIENT_NODE, stream, 0);
        return stream.getOffset();
    }

    test::GameOgre ogre;
    test::EntityLink link;
    std::vector<unsigned char> message;
};

void encodeUpdate(benchmark::State& state)
{
    Replication replication;
    size_t bytes = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(bytes = replication.encode());
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(encodeUpdate)->Unit(benchmark::kMicrosecond);

void decodeUpdate(benchmark::State& state)
{
    Replication replication;
    size_t bytes = replication.encode();
    game::EntityManager& client = replication.link.client.entities();
    for (auto _ : state)
    {
        brix::NetworkDecodeStream stream(replication.message.data(), static_cast<unsigned>(bytes));
        client.decodeNetworkData(0, stream, 0);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(decodeUpdate)->Unit(benchmark::kMicrosecond);

// The bytes of one full record (id, control byte and state) per entity class.
void recordBytes(benchmark::State& state)
{
    test::GameOgre ogre;
    test::GameWorld world(nullptr);
    world.loadEntities("<human><name>human</name><id>1</id><weapon>weapon</weapon></human>"
                       "<prop><name>prop</name><id>2</id><mesh>crate.mesh</mesh></prop>"
                       "<explosion><name>explosion</name><id>3</id></explosion>"
                       "<projectile><name>projectile</name><id>4</id><mass>1</mass></projectile>"
                       "<weapon><name>weapon</name><id>5</id><displayname>Pistol</displayname>"
                       "<mesh>pistol.mesh</mesh></weapon>");
    for (auto _ : state)
        benchmark::DoNotOptimize(world.entities().getPrototype("prop"));
    for (const char* name : {"human", "prop", "explosion", "projectile", "weapon"})
        state.counters[name] = 2 + world.entities().getPrototype(name)->getStateCodec()->getSizeBytes();
}
BENCHMARK(recordBytes)->Iterations(1);
} // namespace
