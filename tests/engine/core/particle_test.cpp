#include "engine/core/particle.h"
#include "engine/core/movablecontroller.h"
#include "physicsworld.h"

#include <OgreException.h>

#include <btBulletDynamicsCommon.h>

#include <gtest/gtest.h>

namespace
{
brix::Particle* launch(test::PhysicsWorld& world, const Ogre::Vector3& position,
                       const Ogre::Vector3& velocity)
{
    brix::Particle* particle = world.simulator.createParticle(0.5f);
    particle->deploy(position, Ogre::Quaternion::IDENTITY, velocity, Ogre::Vector3::ZERO);
    return particle;
}
} // namespace

TEST(Particle, MovesOnlyWhenDeployedAndEnabled)
{
    test::PhysicsWorld world;
    brix::Particle* particle = world.simulator.createParticle(1.0f);
    particle->setEnabled(true);
    EXPECT_FALSE(particle->isEnabled());
    particle->warp(Ogre::Vector3(5, 0, 0), Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO,
                   Ogre::Vector3::ZERO);
    EXPECT_EQ(particle->getPosition(), Ogre::Vector3::ZERO);

    particle->deploy(Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY, Ogre::Vector3(8, 0, 0),
                     Ogre::Vector3(1, 2, 3));
    EXPECT_TRUE(particle->isEnabled());
    EXPECT_EQ(particle->getAngularVelocity(), Ogre::Vector3::ZERO);
    EXPECT_EQ(particle->getOrientation(), Ogre::Quaternion::IDENTITY);
    particle->setEnabled(false);
    world.ticks(1);
    EXPECT_EQ(particle->getPosition(), Ogre::Vector3::ZERO);
    particle->setEnabled(true);
    world.ticks(1);
    EXPECT_FLOAT_EQ(particle->getPosition().x, 0.2f);

    EXPECT_THROW(world.simulator.createParticle(0.0f), Ogre::InvalidParametersException);
}

TEST(Particle, ForcesPersistAndOnlyTheLastImpulseActs)
{
    test::PhysicsWorld world;
    brix::Particle* particle = launch(world, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
    particle->setInteractive(false);
    // 1 N on 0.5 kg: 2 m/s² for each of two steps.
    particle->addForce(Ogre::Vector3(1, 0, 0), Ogre::Vector3(9, 9, 9), true);
    particle->addTorque(Ogre::Vector3(5, 5, 5), true);
    world.ticks(1);
    EXPECT_FLOAT_EQ(particle->getLinearVelocity().x, 0.05f);
    world.ticks(1);
    EXPECT_FLOAT_EQ(particle->getLinearVelocity().x, 0.1f);
    particle->clearForces(false);

    particle->applyImpulse(Ogre::Vector3(0, 10, 0), Ogre::Vector3::ZERO, false);
    particle->applyImpulse(Ogre::Vector3(0, 1, 0), Ogre::Vector3::ZERO, false);
    world.ticks(2);
    EXPECT_FLOAT_EQ(particle->getLinearVelocity().x, 0.1f);
    EXPECT_FLOAT_EQ(particle->getLinearVelocity().y, 2.0f);
    EXPECT_EQ(particle->getLinearVelocityAtPoint(Ogre::Vector3(7, 7, 7)), particle->getLinearVelocity());
}

TEST(Particle, StopsAtTheFirstSurfaceAndRecordsTheContact)
{
    test::PhysicsWorld world;
    world.boxTemplate("wall", Ogre::Vector3(1, 10, 10), 0.0f);
    brix::Body* wall = world.deployBody("wall", Ogre::Vector3(3.2f, 0, 0));
    wall->setContactInfoFlags(0x10);
    brix::Particle* bullet = launch(world, Ogre::Vector3::ZERO, Ogre::Vector3(100, 0, 0));
    bullet->setContactInfoFlags(brix::Movable::CONTACT_SPEED);

    // 1.25 per step: the third step's ray reaches the wall face at x = 2.7.
    world.simulator.update(test::PhysicsWorld::STEP, false);
    world.simulator.update(test::PhysicsWorld::STEP, false);
    EXPECT_FLOAT_EQ(bullet->getPosition().x, 2.5f);
    EXPECT_EQ(bullet->numContacts(), 0u);
    world.simulator.update(test::PhysicsWorld::STEP, false);
    EXPECT_NEAR(bullet->getPosition().x, 2.7f, 1e-5f);
    ASSERT_EQ(bullet->numContacts(), 1u);
    const brix::Movable::TContact& hit = bullet->getContact(0);
    EXPECT_EQ(hit.movable, wall);
    EXPECT_EQ(hit.flags, 0x14u);
    EXPECT_NEAR(hit.normal.x, -1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(hit.speed, 100.0f);
    // The wall hears of it too, with the normal toward itself, and the velocity is the game's to change.
    ASSERT_EQ(wall->numContacts(), 1u);
    EXPECT_EQ(wall->getContact(0).movable, bullet);
    EXPECT_NEAR(wall->getContact(0).normal.x, 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(bullet->getLinearVelocity().x, 100.0f);

    // Without the speed flag on either side the impact speed is not computed.
    wall->setContactInfoFlags(0x10);
    brix::Particle* quiet = launch(world, Ogre::Vector3(0, 2, 0), Ogre::Vector3(240, 0, 0));
    quiet->setContactInfoFlags(0x01);
    world.simulator.update(test::PhysicsWorld::STEP, false);
    ASSERT_EQ(quiet->numContacts(), 1u);
    EXPECT_EQ(quiet->getContact(0).flags, 0x11u);
    EXPECT_EQ(quiet->getContact(0).speed, 0.0f);

    // Against a body coming the other way at 20 the impact speed is 120, the difference of the
    // two velocities (the body's damping takes off less than 0.1).
    world.boxTemplate("crate", Ogre::Vector3(1, 1, 1), 1.0f);
    brix::Body* crate = world.simulator.createBody("crate");
    crate->deploy(Ogre::Vector3(3.0f, 6, 0), Ogre::Quaternion::IDENTITY, Ogre::Vector3(-20, 0, 0),
                  Ogre::Vector3::ZERO);
    brix::Particle* fast = launch(world, Ogre::Vector3(0, 6, 0), Ogre::Vector3(100, 0, 0));
    fast->setContactInfoFlags(brix::Movable::CONTACT_SPEED);
    world.simulator.update(test::PhysicsWorld::STEP, false);
    world.simulator.update(test::PhysicsWorld::STEP, false);
    ASSERT_EQ(fast->numContacts(), 1u);
    EXPECT_EQ(fast->getContact(0).movable, crate);
    EXPECT_NEAR(fast->getContact(0).speed, 120.0f, 0.1f);
}

TEST(Particle, PassesThroughObjectsWithoutAMovable)
{
    test::PhysicsWorld world;
    btBoxShape shape(btVector3(0.5f, 5, 5));
    btCollisionObject stranger;
    stranger.setCollisionShape(&shape);
    stranger.setWorldTransform(btTransform(btQuaternion::getIdentity(), btVector3(1, 0, 0)));
    world.simulator.getWorld()->addCollisionObject(&stranger);

    brix::Particle* particle = launch(world, Ogre::Vector3::ZERO, Ogre::Vector3(80, 0, 0));
    world.ticks(1);
    EXPECT_FLOAT_EQ(particle->getPosition().x, 2.0f);
    EXPECT_EQ(particle->numContacts(), 0u);
    world.simulator.getWorld()->removeCollisionObject(&stranger);
}

TEST(Particle, FullContactListStillStopsButRecordsNothing)
{
    test::PhysicsWorld world;
    world.boxTemplate("wall", Ogre::Vector3(1, 10, 10), 0.0f);
    brix::Body* wall = world.deployBody("wall", Ogre::Vector3(1, 0, 0));
    brix::Particle* particle = launch(world, Ogre::Vector3::ZERO, Ogre::Vector3(80, 0, 0));
    for (unsigned i = 0; i < brix::Movable::MAX_CONTACTS; ++i)
        particle->addContact(brix::Movable::TContact(), nullptr);
    world.simulator.update(test::PhysicsWorld::STEP, false);
    EXPECT_NEAR(particle->getPosition().x, 0.5f, 1e-5f);
    EXPECT_EQ(particle->numContacts(), brix::Movable::MAX_CONTACTS);
    EXPECT_EQ(wall->numContacts(), 0u);
}

TEST(Particle, ControllerRunsAfterTheMotion)
{
    struct Recorder : brix::MovableController
    {
        void update(brix::Movable* movable, float step) override { seen.push_back(movable->getPosition().x); }
        std::vector<float> seen;
    } recorder;
    test::PhysicsWorld world;
    brix::Particle* particle = launch(world, Ogre::Vector3::ZERO, Ogre::Vector3(8, 0, 0));
    particle->setController(&recorder);
    world.ticks(1);
    ASSERT_EQ(recorder.seen.size(), 2u);
    EXPECT_FLOAT_EQ(recorder.seen[0], 0.1f);
    EXPECT_FLOAT_EQ(recorder.seen[1], 0.2f);
}
