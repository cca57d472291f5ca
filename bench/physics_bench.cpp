// The physics world under the game's load: a demo that drops the game's own bodies on a floor
// and prints where they come to rest, then Google Benchmark figures for bodies (beside the
// same scene in plain Bullet, to show what the wrapper adds), hull building, rays and
// particles. Run from the source root (the demo reads data/materials.xml and
// data/entitybodies.xml); --demo-only skips the benchmarks.
#include "engine/core/body.h"
#include "engine/core/bodytemplate.h"
#include "engine/core/movablevelocitycontroller.h"
#include "engine/core/particle.h"
#include "engine/core/simulator.h"

#include <OgreException.h>

#include <btBulletDynamicsCommon.h>

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
// Linear and angular damping of every body, written out so the plain-Bullet baseline can match it.
const float DAMPING = 0.1f;

void addBoxTemplate(brix::Simulator& simulator, const std::string& name, const Ogre::Vector3& size,
                    float mass)
{
    brix::BodyTemplate* bodyTemplate = simulator.createTemplate(name);
    brix::BodyTemplate::TShape shape;
    shape.type = brix::BodyTemplate::SHAPE_BOX;
    shape.size = size;
    bodyTemplate->addShape(shape);
    bodyTemplate->setMass(mass);
    bodyTemplate->setLinearDamping(DAMPING);
    bodyTemplate->setAngularDamping(DAMPING);
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
        {"barrel", place(simulator, "barrel", Ogre::Vector3(-3, 2, 0))},
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

// The boxes-on-blocks scene: 1,000 static 1 m blocks (a row 100 wide and 10 deep whose top is
// y = 0) and 200 dynamic 0.8 m boxes of 10 kg stacked four high above them, let settle for 80
// ticks. The same scene is built once through the wrapper and once in plain Bullet, so the
// two figures show what the wrapper costs on top of the library.
const int BLOCKS = 1000;
const int BOXES = 200;
const float BOX_SIZE = 0.8f;
const float BOX_MASS = 10.0f;
const int SETTLING_TICKS = 80;

Ogre::Vector3 boxStart(int i)
{
    return Ogre::Vector3(float(i % 50) * 1.5f - 37.0f, 0.5f + float(i / 50), 0.0f);
}

// One box a tick is knocked up and sideways at its own centre, as the game's explosions and
// humans do; the side alternates so the boxes hop about without drifting off the blocks.
Ogre::Vector3 knock(unsigned kick)
{
    return Ogre::Vector3((kick / BOXES) % 2 ? -5.0f : 5.0f, 20.0f, 0.0f);
}

// Boxes whose centre is still above the top of the blocks and within the row.
template <typename Position> int boxesOnBlocks(int count, Position position)
{
    int on = 0;
    for (int i = 0; i < count; ++i)
    {
        Ogre::Vector3 p = position(i);
        if (p.y > 0.0f && p.x > -50.5f && p.x < 49.5f)
            ++on;
    }
    return on;
}

// One game tick (two steps and the flush) of the boxes-on-blocks scene per iteration.
// Argument: 1 keeps the boxes awake, 0 lets them sleep.
void BM_BoxesOnBlocksPerTick(benchmark::State& state)
{
    std::unique_ptr<brix::Simulator> simulator = blockWorld(BLOCKS);
    addBoxTemplate(*simulator, "box", Ogre::Vector3(BOX_SIZE), BOX_MASS);
    if (state.range(0))
        const_cast<brix::BodyTemplate*>(simulator->getTemplate("box"))->setAutoSleep(false);
    std::vector<brix::Body*> boxes;
    for (int i = 0; i < BOXES; ++i)
        boxes.push_back(place(*simulator, "box", boxStart(i)));
    for (int i = 0; i < SETTLING_TICKS; ++i)
    {
        simulator->update(TICK, false);
        simulator->flush();
    }
    unsigned kick = 0;
    for (auto _ : state)
    {
        brix::Body* box = boxes[kick % BOXES];
        box->applyImpulse(knock(kick++), box->getPosition(), false);
        simulator->update(TICK, false);
        simulator->flush();
    }
    state.counters["on blocks"] = boxesOnBlocks(BOXES, [&](int i) { return boxes[i]->getPosition(); });
}
BENCHMARK(BM_BoxesOnBlocksPerTick)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same scene and knocks in Bullet alone, set up as the wrapper sets up its world: the
// baseline for BM_BoxesOnBlocksPerTick.
void BM_PlainBulletBoxesOnBlocksPerTick(benchmark::State& state)
{
    btDefaultCollisionConfiguration configuration;
    btCollisionDispatcher dispatcher(&configuration);
    btDbvtBroadphase broadphase;
    btSequentialImpulseConstraintSolver solver;
    btDiscreteDynamicsWorld world(&dispatcher, &broadphase, &solver, &configuration);
    world.getDispatchInfo().m_useContinuous = true;
    world.setGravity(btVector3(GRAVITY.x, GRAVITY.y, GRAVITY.z));

    std::vector<std::unique_ptr<btCollisionShape>> shapes;
    std::vector<std::unique_ptr<btRigidBody>> bodies;
    auto add = [&](const Ogre::Vector3& size, float mass, const Ogre::Vector3& position, bool awake)
    {
        shapes.push_back(std::make_unique<btBoxShape>(btVector3(size.x, size.y, size.z) * 0.5f));
        btVector3 inertia(0, 0, 0);
        if (mass > 0.0f)
            shapes.back()->calculateLocalInertia(mass, inertia);
        btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, shapes.back().get(), inertia);
        bodies.push_back(std::make_unique<btRigidBody>(info));
        btRigidBody* body = bodies.back().get();
        if (awake)
            body->setActivationState(DISABLE_DEACTIVATION);
        body->setWorldTransform(
            btTransform(btQuaternion::getIdentity(), btVector3(position.x, position.y, position.z)));
        world.addRigidBody(body);
        body->setDamping(DAMPING, DAMPING);
        body->setGravity(world.getGravity());
        return body;
    };
    const int columns = BLOCKS / 10;
    for (int i = 0; i < BLOCKS; ++i)
        add(Ogre::Vector3(1, 1, 1), 0.0f,
            Ogre::Vector3(float(i % columns - columns / 2), -0.5f - float(i / columns), 0.0f), false);
    std::vector<btRigidBody*> boxes;
    for (int i = 0; i < BOXES; ++i)
        boxes.push_back(add(Ogre::Vector3(BOX_SIZE), BOX_MASS, boxStart(i), state.range(0) != 0));
    for (int i = 0; i < SETTLING_TICKS * 2; ++i)
        world.stepSimulation(STEP, 0, 1.0f / 60.0f);
    unsigned kick = 0;
    for (auto _ : state)
    {
        btRigidBody* box = boxes[kick % BOXES];
        Ogre::Vector3 impulse = knock(kick++);
        box->applyImpulse(btVector3(impulse.x, impulse.y, impulse.z), btVector3(0, 0, 0));
        box->activate(false);
        world.stepSimulation(STEP, 0, 1.0f / 60.0f);
        world.stepSimulation(STEP, 0, 1.0f / 60.0f);
    }
    state.counters["on blocks"] = boxesOnBlocks(BOXES,
                                                [&](int i)
                                                {
                                                    const btVector3& p =
                                                        boxes[i]->getWorldTransform().getOrigin();
                                                    return Ogre::Vector3(p.x(), p.y(), p.z());
                                                });
    for (auto& body : bodies)
        world.removeRigidBody(body.get());
}
BENCHMARK(BM_PlainBulletBoxesOnBlocksPerTick)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Building a body whose hull has 10,000 points, as a detailed prop's collision hull would.
void BM_HullBody(benchmark::State& state)
{
    brix::Simulator simulator(false, STEP);
    brix::BodyTemplate* bodyTemplate = simulator.createTemplate("hull");
    brix::BodyTemplate::TShape shape;
    shape.type = brix::BodyTemplate::SHAPE_HULL;
    std::mt19937 random(3);
    std::uniform_real_distribution<float> coordinate(-1.0f, 1.0f);
    for (int i = 0; i < 10000; ++i)
        shape.points.emplace_back(coordinate(random), coordinate(random), coordinate(random));
    bodyTemplate->addShape(shape);
    bodyTemplate->setMass(1.0f);
    for (auto _ : state)
    {
        brix::Body* body = simulator.createBody("hull");
        simulator.destroyBody(body);
        simulator.flush();
    }
}
BENCHMARK(BM_HullBody)->Unit(benchmark::kMillisecond);

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
