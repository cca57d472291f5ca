// The physics world under the game's load: a demo that drops the game's own bodies on a floor
// and prints where they come to rest, then Google Benchmark figures for bodies, rays and
// particles. Run from the source root (the demo reads data/materials.xml and
// data/entitybodies.xml); --demo-only skips the benchmarks.
#include "engine/core/body.h"
#include "engine/core/bodytemplate.h"
#include "engine/core/movablevelocitycontroller.h"
#include "engine/core/particle.h"
#include "engine/core/simulator.h"

#include <OgreException.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace
{
const float STEP = 0.0125f;
const float TICK = 0.025f;
const Ogre::Vector3 GRAVITY(0.0f, -9.8f, 0.0f);

void addBoxTemplate(brix::Simulator& simulator, const std::string& name, const Ogre::Vector3& size,
                    float mass)
{
    brix::BodyTemplate* bodyTemplate = simulator.createTemplate(name);
    brix::BodyTemplate::TShape shape;
    shape.type = brix::BodyTemplate::SHAPE_BOX;
    shape.size = size;
    bodyTemplate->addShape(shape);
    bodyTemplate->setMass(mass);
}

brix::Body* place(brix::Simulator& simulator, const std::string& name, const Ogre::Vector3& position)
{
    brix::Body* body = simulator.createBody(name);
    body->deploy(position, Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
    return body;
}

// A level-like world: a row of 1 m blocks, ten high, whose top is y = 0.
std::unique_ptr<brix::Simulator> blockWorld(int blocks)
{
    auto simulator = std::make_unique<brix::Simulator>(false, STEP);
    simulator->setGravity(GRAVITY);
    addBoxTemplate(*simulator, "block", Ogre::Vector3(1, 1, 1), 0.0f);
    const int columns = blocks / 10;
    for (int i = 0; i < blocks; ++i)
        place(*simulator, "block",
              Ogre::Vector3(float(i % columns - columns / 2), -0.5f - float(i / columns), 0.0f));
    return simulator;
}

int runDemo()
{
    brix::Simulator simulator(false, STEP);
    simulator.setGravity(GRAVITY);
    try
    {
        simulator.loadMaterials("data/materials.xml");
        simulator.loadTemplates("data/entitybodies.xml");
    }
    catch (const Ogre::Exception& e)
    {
        std::fprintf(stderr, "Physics demo: %s\n", e.getDescription().c_str());
        return 1;
    }
    addBoxTemplate(simulator, "floor", Ogre::Vector3(40, 1, 4), 0.0f);
    addBoxTemplate(simulator, "doorframe", Ogre::Vector3(0.6f, 0.2f, 1.2f), 0.0f);
    brix::Body* floor = place(simulator, "floor", Ogre::Vector3(0, -0.5f, 0));
    floor->setUserData(nullptr);

    struct Dropped
    {
        const char* label;
        brix::Body* body;
    };
    std::vector<Dropped> dropped = {
        {"crate", place(simulator, "crate", Ogre::Vector3(-6, 3, 0))},
        {"ball", place(simulator, "ball", Ogre::Vector3(-3, 2, 0))},
        {"humanstanding", place(simulator, "humanstanding", Ogre::Vector3(0, 2, 0))},
        {"humancrouching", place(simulator, "humancrouching", Ogre::Vector3(3, 2, 0))},
    };
    // The door hangs on a static body, as the game hangs it on the level, and is driven open in
    // depth by a velocity controller as the game drives it.
    brix::Body* frame = place(simulator, "doorframe", Ogre::Vector3(6, 4, 0));
    brix::Body* door = place(simulator, "door", Ogre::Vector3(6, 2.75f, 0));
    frame->addChild(door);
    dropped.push_back({"door", door});
    brix::MovableVelocityController opener(10000.0f, 2000.0f);
    door->setController(&opener);

    const int ticks = 200;
    double slowest = 0.0, total = 0.0;
    for (int tick = 0; tick < ticks; ++tick)
    {
        // Half way, the door opens: it slides back until its joint stops it.
        if (tick == ticks / 2)
            opener.setTarget(Ogre::Vector3(0.0f, 0.0f, 2.0f));
        auto start = std::chrono::steady_clock::now();
        simulator.update(TICK, false);
        if (tick + 1 < ticks)
            simulator.flush();
        double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        total += ms;
        slowest = std::max(slowest, ms);
    }

    std::printf("Physics demo: %d ticks of %.3f s (%u steps)\n", ticks, TICK, simulator.getStepCount());
    std::printf("%-16s %10s %10s %10s %9s %8s\n", "body", "x", "height", "depth", "contacts", "at rest");
    for (const Dropped& entry : dropped)
    {
        Ogre::Vector3 position = entry.body->getPosition();
        std::printf("%-16s %10.4f %10.4f %10.4f %9u %8s\n", entry.label, position.x, position.y, position.z,
                    entry.body->numContacts(), entry.body->isAtRest() ? "yes" : "no");
    }
    brix::TTraceContact ground;
    if (simulator.traceRay(Ogre::Vector3(0, 5, 0), Ogre::Vector3(0, -5, 0), &ground, dropped[2].body))
        std::printf("ray under the standing human meets the floor at y = %.4f\n", ground.position.y);
    std::printf("time per tick: %.4f ms on average, %.4f ms at most\n", total / ticks, slowest);
    return 0;
}

// 200 dynamic boxes resting and jostling on 1,000 static blocks, one game tick (two steps
// and the flush) per iteration. Argument: 1 keeps the boxes awake, 0 lets them sleep.
void BM_BoxesOnBlocksPerTick(benchmark::State& state)
{
    std::unique_ptr<brix::Simulator> simulator = blockWorld(1000);
    addBoxTemplate(*simulator, "box", Ogre::Vector3(0.8f, 0.8f, 0.8f), 10.0f);
    if (state.range(0))
        const_cast<brix::BodyTemplate*>(simulator->getTemplate("box"))->setAutoSleep(false);
    std::vector<brix::Body*> boxes;
    for (int i = 0; i < 200; ++i)
        boxes.push_back(
            place(*simulator, "box", Ogre::Vector3(float(i % 50) * 1.5f - 37.0f, 0.5f + float(i / 50), 0)));
    for (int i = 0; i < 80; ++i)
    {
        simulator->update(TICK, false);
        simulator->flush();
    }
    unsigned kick = 0;
    for (auto _ : state)
    {
        // One box a tick is knocked, as the game's explosions and humans do.
        boxes[kick++ % boxes.size()]->applyImpulse(Ogre::Vector3(5, 20, 0), boxes[0]->getPosition(), false);
        simulator->update(TICK, false);
        simulator->flush();
    }
}
BENCHMARK(BM_BoxesOnBlocksPerTick)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Closest-hit rays into a field of 1,000 blocks. Argument 0: the game's common case, probes
// of 4 m straight down from 0.5 to 2 m above the ground (ground sensors, shadows, shots
// landing); argument 1: slanted 6 m rays that cross several rows and columns of blocks.
void BM_TraceRay(benchmark::State& state)
{
    std::unique_ptr<brix::Simulator> simulator = blockWorld(1000);
    simulator->update(TICK, false);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> across(-45.0f, 45.0f);
    std::uniform_real_distribution<float> height(0.5f, 2.0f);
    std::vector<std::pair<Ogre::Vector3, Ogre::Vector3>> rays;
    for (int i = 0; i < 1024; ++i)
    {
        if (state.range(0) == 0)
        {
            Ogre::Vector3 from(across(random), height(random), 0.0f);
            rays.emplace_back(from, from - Ogre::Vector3(0.0f, 4.0f, 0.0f));
        }
        else
        {
            Ogre::Vector3 from(across(random), 3.0f, 0.0f);
            rays.emplace_back(from, from + Ogre::Vector3(across(random) * 0.1f, -6.0f, 0.0f));
        }
    }
    brix::TTraceContact contact;
    size_t i = 0;
    for (auto _ : state)
    {
        const auto& ray = rays[i++ & 1023];
        benchmark::DoNotOptimize(simulator->traceRay(ray.first, ray.second, &contact, nullptr));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TraceRay)->Arg(0)->Arg(1);

// 500 interactive particles (one ray each per step) flying over and into the block field;
// one physics step per iteration.
void BM_ParticlesPerStep(benchmark::State& state)
{
    std::unique_ptr<brix::Simulator> simulator = blockWorld(1000);
    std::mt19937 random(11);
    std::uniform_real_distribution<float> across(-45.0f, 45.0f);
    std::uniform_real_distribution<float> speed(-40.0f, 40.0f);
    std::vector<brix::Particle*> particles;
    for (int i = 0; i < 500; ++i)
    {
        brix::Particle* particle = simulator->createParticle(0.1f);
        particle->deploy(Ogre::Vector3(across(random), 2.0f, 0.0f), Ogre::Quaternion::IDENTITY,
                         Ogre::Vector3(speed(random), speed(random), 0.0f), Ogre::Vector3::ZERO);
        particles.push_back(particle);
    }
    unsigned steps = 0;
    for (auto _ : state)
    {
        simulator->update(STEP, false);
        // Every 20 steps the shots start again from above, as new ones would.
        if (++steps % 20 == 0)
        {
            state.PauseTiming();
            simulator->flush();
            for (brix::Particle* particle : particles)
                particle->warp(Ogre::Vector3(across(random), 2.0f, 0.0f), Ogre::Quaternion::IDENTITY,
                               Ogre::Vector3(speed(random), speed(random), 0.0f), Ogre::Vector3::ZERO);
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_ParticlesPerStep)->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char** argv)
{
    bool demoOnly = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--demo-only") == 0)
            demoOnly = true;
    int result = runDemo();
    if (demoOnly || result != 0)
        return result;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
