#include "engine/core/simulator.h"
#include "engine/core/body.h"
#include "engine/core/particle.h"
#include "physicsworld.h"

#include <OgreException.h>

#include <btBulletDynamicsCommon.h>

#include <cstddef>
#include <functional>
#include <memory>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using test::exceptionText;
using testing::Contains;

namespace
{
// Counts the simulator's calls around each step.
class CountingParticle : public brix::Particle
{
public:
    using brix::Particle::Particle;
    void beforeSimulation(const float& step) override { ++before; }
    void afterSimulation(const float& step) override { ++after; }
    int before = 0;
    int after = 0;
};

} // namespace

TEST(Simulator, StepsFixedLengthsAndKeepsTheRest)
{
    test::PhysicsWorld world;
    world.simulator.update(0.02f, false);
    EXPECT_EQ(world.simulator.getStepCount(), 1u);
    world.simulator.update(0.02f, false);
    EXPECT_EQ(world.simulator.getStepCount(), 3u);
    // A game tick is exactly two steps, however long the game runs.
    for (int i = 0; i < 400; ++i)
        world.simulator.update(test::PhysicsWorld::TICK, false);
    EXPECT_EQ(world.simulator.getStepCount(), 803u);
}

TEST(Simulator, ClampsTheBacklogAndLogsIt)
{
    test::LogCapture log;
    test::PhysicsWorld world;
    // Exactly the cap runs in full; a little more is cut back to it.
    world.simulator.update(0.1f, false);
    EXPECT_EQ(world.simulator.getStepCount(), 8u);
    EXPECT_THAT(log.lines(), testing::Not(Contains(testing::StartsWith("D Accumulated simulation time"))));
    world.simulator.update(0.15f, false);
    EXPECT_EQ(world.simulator.getStepCount(), 16u);
    EXPECT_THAT(log.lines(), Contains("D Accumulated simulation time (0.150000s) clamped"));
    world.simulator.update(0.0f, false);
    EXPECT_EQ(world.simulator.getStepCount(), 16u);
}

TEST(Simulator, DrivesOnlyEnabledDeployedLiveMovablesAndDeletesAtFlush)
{
    test::PhysicsWorld world;
    auto* undeployed = new CountingParticle(&world.simulator, 1.0f);
    auto* disabled = new CountingParticle(&world.simulator, 1.0f);
    auto* terminated = new CountingParticle(&world.simulator, 1.0f);
    auto* live = new CountingParticle(&world.simulator, 1.0f);
    for (brix::Particle* particle : {undeployed, disabled, terminated, live})
        world.simulator.addMovable(particle);
    for (brix::Particle* particle : {disabled, terminated, live})
        particle->deploy(Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO,
                         Ogre::Vector3::ZERO);
    disabled->setEnabled(false);
    world.simulator.destroyParticle(terminated);

    world.ticks(1, false);
    EXPECT_EQ(live->before, 2);
    EXPECT_EQ(live->after, 2);
    for (CountingParticle* idle : {undeployed, disabled, terminated})
        EXPECT_EQ(idle->before + idle->after, 0);

    // The terminated particle is deleted here; the others stay.
    world.simulator.flush();
    world.ticks(1);
    EXPECT_EQ(live->before, 4);
    EXPECT_EQ(undeployed->before, 0);
}

TEST(Simulator, RestingBodiesGetOneContactPerStepWithTheNormalTowardThem)
{
    test::PhysicsWorld world;
    world.boxTemplate("box", Ogre::Vector3(1.0f, 1.0f, 1.0f), 1.0f);
    brix::Body* floor = world.floor();
    // Dropped from 2 m, so the landing is much harder than resting.
    brix::Body* box = world.deployBody("box", Ogre::Vector3(0.0f, 2.5f, 0.0f));
    floor->setContactInfoFlags(0x10);
    box->setContactInfoFlags(0x01);
    world.ticks(60);

    world.ticks(1, false);
    ASSERT_EQ(box->numContacts(), 2u);
    ASSERT_EQ(floor->numContacts(), 2u);
    const brix::Movable::TContact& upper = box->getContact(0);
    EXPECT_EQ(upper.movable, floor);
    EXPECT_EQ(upper.flags, 0x11u);
    EXPECT_NEAR(upper.normal.y, 1.0f, 1e-4f);
    EXPECT_NEAR(upper.position.y, 0.0f, 0.05f);
    // Each step's contact is measured on its own: resting, the floor stops no more than the
    // weight of one step (1 kg x 9.8 m/s2 x 0.0125 s), not the landing of a second ago.
    EXPECT_GT(upper.speed, 0.0f);
    EXPECT_LT(upper.speed, 0.2f);
    EXPECT_EQ(floor->getContact(0).movable, box);
    EXPECT_NEAR(floor->getContact(0).normal.y, -1.0f, 1e-4f);
    // The floor's mass is 0: no impact measure.
    EXPECT_EQ(floor->getContact(0).speed, 0.0f);
    EXPECT_NEAR(box->getPosition().y, 0.5f, 0.01f);

    // Eight per flush interval, then the rest are dropped.
    world.ticks(4, false);
    EXPECT_EQ(box->numContacts(), brix::Movable::MAX_CONTACTS);
    world.simulator.flush();
    EXPECT_EQ(box->numContacts(), 0u);

    // Between two bodies of 1 and 3 kg both sides read the same measure, the impulse over
    // the sum of the masses.
    world.boxTemplate("heavy", Ogre::Vector3(1.0f, 1.0f, 1.0f), 3.0f);
    brix::Body* heavy = world.deployBody("heavy", Ogre::Vector3(0.0f, 1.5f, 0.0f));
    world.ticks(20);
    world.ticks(1, false);
    ASSERT_EQ(heavy->numContacts(), 2u);
    const brix::Movable::TContact& above = heavy->getContact(0);
    EXPECT_EQ(above.movable, box);
    const brix::Movable::TContact* below = nullptr;
    for (unsigned i = 0; i < box->numContacts(); ++i)
        if (!below && box->getContact(i).movable == heavy)
            below = &box->getContact(i);
    ASSERT_NE(below, nullptr);
    EXPECT_GT(above.speed, 0.0f);
    EXPECT_FLOAT_EQ(below->speed, above.speed);
}

namespace
{
// A body that always lives in one place: every new one takes the address the last one had,
// whatever the allocator would do.
class OneSlotBody : public brix::Body
{
public:
    using brix::Body::Body;
    static void* operator new(size_t size)
    {
        EXPECT_LE(size, sizeof(slot));
        return slot;
    }
    static void operator delete(void*) {}

private:
    alignas(std::max_align_t) static unsigned char slot[512];
};
alignas(std::max_align_t) unsigned char OneSlotBody::slot[512];
} // namespace

TEST(Simulator, ForgetsAFlushedMovablesContactHistory)
{
    test::PhysicsWorld world;
    world.boxTemplate("box", Ogre::Vector3(1.0f, 1.0f, 1.0f), 1.0f);
    brix::Body* floor = world.floor();
    floor->setContactInfoFlags(0x10);
    const auto deploy = [&](unsigned flags)
    {
        brix::Body* body = new OneSlotBody(&world.simulator, nullptr, world.simulator.getTemplate("box"));
        world.simulator.addMovable(body);
        body->setContactInfoFlags(flags);
        body->deploy(Ogre::Vector3(0.0f, 0.5f, 0.0f), Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO,
                     Ogre::Vector3::ZERO);
        return body;
    };
    brix::Body* box = deploy(0x04);
    world.ticks(10);
    world.simulator.destroyBody(box);
    world.simulator.flush();

    // The next body at the same address starts clean and is reported on its own steps, with
    // its own contact flags.
    brix::Body* again = deploy(0x02);
    ASSERT_EQ(again, box);
    world.ticks(1, false);
    EXPECT_EQ(again->numContacts(), 2u);
    EXPECT_NEAR(again->getContact(0).normal.y, 1.0f, 1e-3f);
    EXPECT_EQ(again->getContact(0).flags, 0x12u);
}

TEST(Simulator, TraceRayFindsTheClosestHitAndSkipsTheIgnoredMovable)
{
    test::PhysicsWorld world;
    world.boxTemplate("block", Ogre::Vector3(1.0f, 1.0f, 1.0f), 0.0f);
    brix::Body* low = world.deployBody("block", Ogre::Vector3(0.0f, 0.5f, 0.0f));
    brix::Body* high = world.deployBody("block", Ogre::Vector3(0.0f, 3.5f, 0.0f));

    brix::TTraceContact contact;
    contact.distance = -1.0f;
    EXPECT_EQ(world.simulator.traceRay(Ogre::Vector3(0, 10, 0), Ogre::Vector3(0, -10, 0), &contact, nullptr),
              high);
    EXPECT_FLOAT_EQ(contact.distance, 6.0f);
    EXPECT_LT(contact.position.distance(Ogre::Vector3(0, 4, 0)), 1e-5f);
    EXPECT_LT(contact.normal.distance(Ogre::Vector3::UNIT_Y), 1e-5f);

    EXPECT_EQ(world.simulator.traceRay(Ogre::Vector3(0, 10, 0), Ogre::Vector3(0, -10, 0), &contact, high),
              low);
    EXPECT_FLOAT_EQ(contact.distance, 9.0f);

    // A ray that only meets the ignored body hits nothing and leaves the contact alone.
    contact.distance = -1.0f;
    EXPECT_EQ(world.simulator.traceRay(Ogre::Vector3(0, 10, 0), Ogre::Vector3(0, 2, 0), &contact, high),
              nullptr);
    EXPECT_EQ(contact.distance, -1.0f);

    // A destroyed body stays in the world until the flush.
    world.simulator.destroyBody(high);
    EXPECT_EQ(world.simulator.traceRay(Ogre::Vector3(0, 10, 0), Ogre::Vector3(0, -10, 0), nullptr, nullptr),
              high);
    world.simulator.flush();
    EXPECT_EQ(world.simulator.traceRay(Ogre::Vector3(0, 10, 0), Ogre::Vector3(0, -10, 0), nullptr, nullptr),
              low);
}

TEST(Simulator, TraceRayAllAppendsEveryHitNearestFirst)
{
    test::PhysicsWorld world;
    world.boxTemplate("block", Ogre::Vector3(1.0f, 1.0f, 1.0f), 0.0f);
    // Created far to near so that creation order and distance order differ.
    brix::Body* bottom = world.deployBody("block", Ogre::Vector3(0.0f, 0.5f, 0.0f));
    brix::Body* middle = world.deployBody("block", Ogre::Vector3(0.0f, 1.5f, 0.0f));
    brix::Body* top = world.deployBody("block", Ogre::Vector3(0.0f, 2.5f, 0.0f));

    std::vector<brix::TTraceContact> contacts(1);
    world.simulator.traceRayAll(Ogre::Vector3(0, 10, 0), Ogre::Vector3(0, -10, 0), contacts);
    ASSERT_EQ(contacts.size(), 4u);
    EXPECT_EQ(contacts[1].movable, top);
    EXPECT_EQ(contacts[2].movable, middle);
    EXPECT_EQ(contacts[3].movable, bottom);
    EXPECT_FLOAT_EQ(contacts[1].distance, 7.0f);
    EXPECT_FLOAT_EQ(contacts[3].distance, 9.0f);
}

TEST(Simulator, MaterialsAndTemplatesByName)
{
    test::PhysicsWorld world;
    world.simulator.addMaterial("metal", 0.3f, 0.2f);
    float first = 0.0f, second = 0.0f;
    world.simulator.getMaterialProperties("metal", first, second);
    EXPECT_FLOAT_EQ(first, 0.2f);
    EXPECT_FLOAT_EQ(second, 0.3f);

    EXPECT_EQ(exceptionText([&] { world.simulator.getMaterialProperties("wood", first, second); }),
              "Simulator material 'wood' not found");
    EXPECT_EQ(exceptionText([&] { world.simulator.addMaterial("metal", 1.0f, 1.0f); }),
              "Duplicate simulator material 'metal'");
    EXPECT_EQ(exceptionText([&] { world.simulator.createBody("crate"); }), "Body template 'crate' not found");
    world.boxTemplate("crate", Ogre::Vector3(1, 1, 1), 1.0f);
    EXPECT_EQ(exceptionText([&] { world.simulator.createTemplate("crate"); }),
              "Body template 'crate' already exists");
    EXPECT_THROW(world.simulator.createBody("wood"), Ogre::ItemIdentityException);

    world.simulator.removeTemplate("crate");
    EXPECT_FALSE(world.simulator.hasTemplate("crate"));
}

TEST(Simulator, CloneCopiesMaterialsSharesTemplatesAndHasNoBodies)
{
    test::PhysicsWorld world;
    world.simulator.addMaterial("metal", 0.3f, 0.2f);
    world.boxTemplate("crate", Ogre::Vector3(1, 1, 1), 1.0f);
    world.floor();

    std::unique_ptr<brix::Simulator> clone(world.simulator.clone());
    EXPECT_TRUE(clone->isClone());
    EXPECT_EQ(clone->getTemplate("crate"), world.simulator.getTemplate("crate"));
    EXPECT_EQ(clone->createTemplate("other"), nullptr);
    clone->removeTemplate("crate");
    EXPECT_TRUE(clone->hasTemplate("crate"));
    EXPECT_EQ(clone->getGravity(), Ogre::Vector3::ZERO);
    EXPECT_EQ(clone->getWorld()->getNumCollisionObjects(), 0);

    // Its own copy of the materials.
    clone->addMaterial("glass", 0.1f, 0.1f);
    float a, b;
    EXPECT_THROW(world.simulator.getMaterialProperties("glass", a, b), Ogre::ItemIdentityException);
    clone->getMaterialProperties("metal", a, b);
    EXPECT_FLOAT_EQ(a, 0.2f);

    // Bodies of shared templates live in the clone's own world.
    brix::Body* body = clone->createBody("crate");
    body->deploy(Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
    EXPECT_EQ(clone->traceRay(Ogre::Vector3(0, 5, 0), Ogre::Vector3(0, -5, 0), nullptr, nullptr), body);
    clone.reset();
    EXPECT_NE(world.simulator.getTemplate("crate"), nullptr);
}

TEST(Simulator, UpdateThreadStepsOnItsOwn)
{
    test::PhysicsWorld world;
    world.simulator.startUpdateThread();
    EXPECT_TRUE(world.simulator.isUpdateThreadRunning());
    // While the thread runs, update only queues time.
    unsigned stepped = 0;
    for (int i = 0; i < 2000 && stepped < 4; ++i)
    {
        world.simulator.update(test::PhysicsWorld::TICK, false);
        brix::Thread::sleep(1);
        world.simulator.lock();
        stepped = world.simulator.getStepCount();
        world.simulator.unlock();
    }
    world.simulator.stopUpdateThread();
    EXPECT_FALSE(world.simulator.isUpdateThreadRunning());
    EXPECT_GE(stepped, 4u);
}
