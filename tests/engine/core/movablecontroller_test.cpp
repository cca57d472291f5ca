#include "engine/core/movablepositioncontroller.h"
#include "engine/core/movablevelocitycontroller.h"
#include "engine/core/particle.h"
#include "physicsworld.h"

#include <gtest/gtest.h>

namespace
{
// A movable standing still at a place, recording the force it is given.
class Probe : public brix::Particle
{
public:
    Probe(brix::Simulator* simulator, float mass, const Ogre::Vector3& position,
          const Ogre::Vector3& velocity)
        : brix::Particle(simulator, mass)
    {
        deploy(position, Ogre::Quaternion::IDENTITY, velocity, Ogre::Vector3::ZERO);
    }
    void clearForces(bool recursive) override
    {
        force = Ogre::Vector3::ZERO;
        cleared = true;
    }
    void addForce(const Ogre::Vector3& f, const Ogre::Vector3& point, bool recursive) override
    {
        force += f;
        at = point;
    }
    Ogre::Vector3 force = Ogre::Vector3(99, 99, 99);
    Ogre::Vector3 at = Ogre::Vector3::ZERO;
    bool cleared = false;
};
} // namespace

TEST(MovablePositionController, HoldsAgainstGravityAndPullsTowardTheTarget)
{
    test::PhysicsWorld world;
    Probe probe(&world.simulator, 3.0f, Ogre::Vector3(1, 2, 3), Ogre::Vector3(0, 1, 0));
    brix::MovablePositionController controller(0.0f, 0.0f, 1000.0f);
    controller.setTarget(Ogre::Vector3(1, 2, 3));
    controller.update(&probe, test::PhysicsWorld::STEP);
    EXPECT_TRUE(probe.cleared);
    EXPECT_FLOAT_EQ(probe.force.y, 3.0f * 9.8f);
    EXPECT_EQ(probe.at, Ogre::Vector3(1, 2, 3));

    controller.setGain(10.0f);
    controller.setDamping(2.0f);
    controller.setTarget(Ogre::Vector3(2, 2, 1));
    controller.update(&probe, test::PhysicsWorld::STEP);
    EXPECT_EQ(controller.getError(), Ogre::Vector3(1, 0, -2));
    EXPECT_FLOAT_EQ(probe.force.x, 10.0f);
    EXPECT_FLOAT_EQ(probe.force.y, 3.0f * 9.8f - 2.0f);
    EXPECT_FLOAT_EQ(probe.force.z, -20.0f);
}

TEST(MovablePositionController, ClampsEachAxisOnItsOwn)
{
    test::PhysicsWorld world;
    world.simulator.setGravity(Ogre::Vector3::ZERO);
    Probe probe(&world.simulator, 1.0f, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
    brix::MovablePositionController controller;
    controller.setGain(1.0f);
    controller.setLimit(10.0f);
    controller.setTarget(Ogre::Vector3(25, -3, -40));
    controller.update(&probe, test::PhysicsWorld::STEP);
    EXPECT_EQ(probe.force, Ogre::Vector3(10, -3, -10));
}

TEST(MovablePositionController, KeepsABodyAloftInTheWorld)
{
    test::PhysicsWorld world;
    world.boxTemplate("drone", Ogre::Vector3(1, 1, 1), 2.0f)->setAutoSleep(false);
    brix::Body* drone = world.deployBody("drone", Ogre::Vector3(0, 5, 0));
    brix::MovablePositionController controller(200.0f, 40.0f, 500.0f);
    controller.setTarget(Ogre::Vector3(0, 6, 0));
    drone->setController(&controller);
    world.ticks(200);
    EXPECT_NEAR(drone->getPosition().y, 6.0f, 0.01f);
}

TEST(MovableVelocityController, PullsTowardTheTargetVelocityWithinTheLimit)
{
    test::PhysicsWorld world;
    Probe probe(&world.simulator, 5.0f, Ogre::Vector3::ZERO, Ogre::Vector3(1, 0, 0));
    brix::MovableVelocityController controller(100.0f, 250.0f);
    controller.setTarget(Ogre::Vector3(3, 1, 0));
    controller.update(&probe, test::PhysicsWorld::STEP);
    EXPECT_EQ(controller.getError(), Ogre::Vector3(2, 1, 0));
    // No gravity compensation and no mass scaling.
    EXPECT_EQ(probe.force, Ogre::Vector3(200, 100, 0));
    controller.setLimit(50.0f);
    controller.setGain(1000.0f);
    controller.update(&probe, test::PhysicsWorld::STEP);
    EXPECT_EQ(probe.force, Ogre::Vector3(50, 50, 0));
}
