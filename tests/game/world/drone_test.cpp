#include "game/world/drone.h"
#include "engine/core/body.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "support/game/entitylink.h"
#include "support/game/eventlink.h"
#include "support/game/forceprobe.h"
#include "support/game/gameworld.h"
#include "support/logcapture.h"

#include <OgreMath.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using testing::Contains;
using testing::ElementsAre;

namespace
{
// Drones without a brain, so that the tests steer them; "gunner" tilts fully toward its aim.
const char* const DRONES = R"(
<drone><name>hover</name><id>60</id><body>drone</body><mesh>drone.mesh</mesh><speed>3</speed>
    <integrity>100</integrity><explosion>barrelexplosion</explosion><killscore>150</killscore>
    <tiltfactor>0.3</tiltfactor><tiltlimit>30</tiltlimit>
    <projectile><name>bolt</name><speed>20</speed><offset>0.5 0 0</offset></projectile>
    <shootdelay>1</shootdelay></drone>
<drone><name>gunner</name><id>61</id><body>drone</body><mesh>drone.mesh</mesh><tiltfactor>1</tiltfactor>
    <tiltlimit>45</tiltlimit><projectile><name>bolt</name><speed>10</speed></projectile><shootdelay>0.5</shootdelay></drone>
<drone><name>jammed</name><id>62</id><body>drone</body><mesh>drone.mesh</mesh><integrity>0</integrity>
    <projectile><name>nosuchbolt</name></projectile><shootdelay>0.5</shootdelay></drone>
<projectile><name>bolt</name><id>63</id><mass>0.05</mass><distancelimit>40</distancelimit></projectile>
)";

class DroneTest : public testing::Test
{
protected:
    DroneTest()
    {
        world.loadEntities();
        world.loadEntities(DRONES);
        world.events().addListener(&journal);
    }
    ~DroneTest() override { world.events().removeListener(&journal); }

    game::Drone* create(const std::string& name, const Ogre::Vector3& position)
    {
        return static_cast<game::Drone*>(world.create(name, position));
    }

    test::GameOgre ogre;
    test::GameWorld world{nullptr};
    test::EventJournal journal;
};
} // namespace

TEST_F(DroneTest, HoversInPlaceAndSteersTowardItsSpeedAtDepthZero)
{
    game::Drone* still = create("hover", Ogre::Vector3(0.0f, 5.0f, 0.0f));
    game::Drone* mover = create("hover", Ogre::Vector3(20.0f, 5.0f, 0.6f));
    mover->steer(Ogre::Vector3(1.0f, 0.0f, 0.0f), Ogre::Vector2(1.0f, 0.0f), 0);
    world.tick(80);
    // Lift cancels gravity exactly: two seconds later it has not moved.
    EXPECT_TRUE(still->getPosition().positionEquals(Ogre::Vector3(0.0f, 5.0f, 0.0f), 1e-3f))
        << still->getPosition();
    // The steering term pulls toward move x speed; the depth spring pulls it back to z = 0.
    EXPECT_NEAR(mover->getLinearVelocity().x, 3.0f, 0.05f);
    EXPECT_NEAR(mover->getPosition().y, 5.0f, 0.01f);
    EXPECT_NEAR(mover->getPosition().z, 0.0f, 0.01f);
    EXPECT_GT(mover->getPosition().x, 24.0f);
}

TEST_F(DroneTest, HoverForceLiftsItsWeightAndSteersByVelocityError)
{
    game::Drone* drone = create("hover", Ogre::Vector3(0.0f, 5.0f, 0.0f));
    test::ForceProbe rest(Ogre::Vector3(0.0f, 5.0f, 0.0f), Ogre::Vector3::ZERO, 15.0f);
    drone->update(&rest, 0.0125f);
    EXPECT_EQ(rest.clears, 1u);
    EXPECT_TRUE(rest.force.positionEquals(Ogre::Vector3(0.0f, 15.0f * 9.8f, 0.0f), 1e-3f)) << rest.force;
    EXPECT_EQ(rest.lastPoint, rest.position);
    // Steering is not scaled by the mass; the depth spring adds -5000 z - 500 vz.
    drone->steer(Ogre::Vector3(1.0f, 0.0f, 0.0f), Ogre::Vector2(1.0f, 0.0f), 0);
    test::ForceProbe moving(Ogre::Vector3(0.0f, 5.0f, 0.1f), Ogre::Vector3(1.0f, -0.5f, 0.2f), 15.0f);
    drone->update(&moving, 0.0125f);
    EXPECT_TRUE(
        moving.force.positionEquals(Ogre::Vector3(200.0f, 147.0f + 50.0f, -20.0f - 500.0f - 100.0f), 1e-3f))
        << moving.force;
}

TEST_F(DroneTest, TurnsAndTiltsTowardItsAimByAFifthEachTick)
{
    game::Drone* drone = create("hover", Ogre::Vector3(0.0f, 5.0f, 0.0f));
    drone->steer(Ogre::Vector3::ZERO, Ogre::Vector2(-0.2f, 0.9f), 0);
    world.tick();
    EXPECT_FLOAT_EQ(drone->getYaw(), -36.0f);
    // The elevation atan(0.9 / 0.2) is 77.47 degrees, seen from the side the drone faces; times
    // the tilt factor 0.3 it stays within the limit.
    const float tiltTarget = Ogre::Radian(std::atan(0.9f / 0.2f)).valueDegrees() * 0.3f;
    EXPECT_NEAR(drone->getTilt(), tiltTarget * 0.2f, 1e-4f);
    world.tick(60);
    EXPECT_NEAR(drone->getYaw(), -180.0f, 0.01f);
    EXPECT_NEAR(drone->getTilt(), tiltTarget, 0.01f);
    // The nose then points left and up.
    Ogre::Vector3 nose = drone->getOrientation() * Ogre::Vector3::UNIT_X;
    EXPECT_LT(nose.x, -0.9f);
    EXPECT_GT(nose.y, 0.3f);

    // A tilt past the limit is held at it, on both sides.
    game::Drone* gunner = create("gunner", Ogre::Vector3(10.0f, 5.0f, 0.0f));
    gunner->steer(Ogre::Vector3::ZERO, Ogre::Vector2(0.2f, -0.9f), 0);
    world.tick(60);
    EXPECT_NEAR(gunner->getTilt(), -45.0f, 0.01f);
    gunner->steer(Ogre::Vector3::ZERO, Ogre::Vector2(-0.2f, -0.9f), 0);
    world.tick(60);
    EXPECT_NEAR(gunner->getTilt(), -45.0f, 0.01f);
    nose = gunner->getOrientation() * Ogre::Vector3::UNIT_X;
    EXPECT_TRUE(nose.positionEquals(Ogre::Vector3(-1.0f, -1.0f, 0.0f).normalisedCopy(), 1e-3f)) << nose;
}

TEST_F(DroneTest, FiresAlongItsAimOncePerShootDelay)
{
    game::Drone* drone = create("hover", Ogre::Vector3(0.0f, 5.0f, 0.0f));
    drone->setOwnerId(9);
    drone->steer(Ogre::Vector3::ZERO, Ogre::Vector2(-1.0f, 0.0f), 0);
    world.tick(40);
    ASSERT_TRUE(drone->fireWhenReady());
    game::Entity* bolt = world.entities().getEntity(drone->getId() + 1);
    ASSERT_NE(bolt, nullptr);
    EXPECT_EQ(bolt->getName(), "bolt");
    EXPECT_EQ(bolt->getOwnerId(), 9u);
    // Aiming left: the offset and the flight are mirrored.
    EXPECT_TRUE(bolt->getPosition().positionEquals(Ogre::Vector3(-0.5f, 5.0f, 0.0f), 0.01f))
        << bolt->getPosition();
    EXPECT_TRUE(bolt->getLinearVelocity().positionEquals(Ogre::Vector3(-20.0f, 0.0f, 0.0f), 0.01f));
    EXPECT_EQ(bolt->getFlags() & game::Entity::RUNTIME_PURGE_AT_ONCE, game::Entity::RUNTIME_PURGE_AT_ONCE);
    // One second of cooldown: 39 ticks still hold the next shot back, the 40th frees it.
    EXPECT_FALSE(drone->fireWhenReady());
    world.tick(39);
    EXPECT_FALSE(drone->fireWhenReady());
    world.tick();
    EXPECT_TRUE(drone->fireWhenReady());
}

TEST_F(DroneTest, ADroneThatTiltsFullyFiresOnlyWithItsNoseOnTheAim)
{
    // Up and to the left as well as to the right: the nose rises toward the aim on either side.
    for (float side : {1.0f, -1.0f})
    {
        game::Drone* gunner = create("gunner", Ogre::Vector3(20.0f * side, 5.0f, 0.0f));
        world.tick();
        gunner->steer(Ogre::Vector3::ZERO, Ogre::Vector2(side, 1.0f).normalisedCopy(), 0);
        int ticks = 0;
        while (!gunner->fireWhenReady() && ticks < 100)
        {
            world.tick();
            ++ticks;
        }
        // The tilt closes on 45 degrees by a fifth a tick: within 2.5 degrees after 13 ticks;
        // facing left, the turn round takes a few more.
        EXPECT_EQ(ticks, side > 0.0f ? 13 : 18) << side;
        EXPECT_LT(45.0f - gunner->getTilt(), 2.5f);
    }
}

TEST_F(DroneTest, AnUnknownProjectileIsLoggedAndTheCooldownStillRuns)
{
    test::LogCapture log;
    game::Drone* jammed = create("jammed", Ogre::Vector3(0.0f, 5.0f, 0.0f));
    EXPECT_NO_THROW(jammed->fireWhenReady());
    EXPECT_FLOAT_EQ(jammed->getShotCooldown(), 0.5f);
    EXPECT_THAT(log.errors(), Contains("E Entity prototype not found ('nosuchbolt') for entity 'jammed'"));
    // Integrity 0: immune, and no health.
    jammed->damage(1000.0f, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO, 3);
    EXPECT_EQ(jammed->getState(), game::Entity::ACTIVE);
    EXPECT_EQ(jammed->getHealth(), 0.0f);
}

TEST_F(DroneTest, DamageAddsUpToOneKillWithExplosionEventAndScore)
{
    game::Drone* drone = create("hover", Ogre::Vector3(0.0f, 5.0f, 0.0f));
    for (int i = 0; i < 3; ++i)
        drone->damage(30.0f, Ogre::Vector3::ZERO, Ogre::Vector3::UNIT_X, 7);
    EXPECT_NEAR(drone->getHealth(), 0.1f, 1e-5f);
    world.tick();
    EXPECT_TRUE(journal.events.empty());
    drone->damage(30.0f, Ogre::Vector3::ZERO, Ogre::Vector3::UNIT_X, 7);
    EXPECT_EQ(drone->getState(), game::Entity::KILLED);
    EXPECT_EQ(drone->getHealth(), 0.0f);
    EXPECT_EQ(drone->getKillScore(), 150);
    game::Entity* explosion = world.entities().getEntity(drone->getId() + 1);
    ASSERT_NE(explosion, nullptr);
    EXPECT_EQ(explosion->getName(), "barrelexplosion");
    EXPECT_EQ(explosion->getOwnerId(), 7u);
    EXPECT_TRUE((explosion->getOrientation() * Ogre::Vector3::UNIT_X).positionEquals(Ogre::Vector3::UNIT_Y));
    // A dead drone takes no more damage and dies once.
    drone->damage(30.0f, Ogre::Vector3::ZERO, Ogre::Vector3::UNIT_X, 8);
    world.tick();
    const std::string killed =
        std::to_string(game::EventDispatcher::DroneKilled) + "," + std::to_string(drone->getId()) + ",7,";
    EXPECT_THAT(journal.events, ElementsAre(killed));
}

TEST_F(DroneTest, TenHitsOfATenthOfItsIntegrityKill)
{
    // The float sum of ten tenths falls short of 1.
    game::Drone* drone = create("hover", Ogre::Vector3(0.0f, 5.0f, 0.0f));
    for (int i = 0; i < 10; ++i)
        drone->damage(10.0f, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO, 7);
    EXPECT_EQ(drone->getState(), game::Entity::KILLED);
}

TEST(DroneReplication, AClientSeesTheDronesPlaceAimStateAndTriggers)
{
    test::GameOgre ogre;
    test::EntityLink link(ogre, 2, 0.0);
    link.loadEntities();
    link.server.loadEntities(DRONES);
    link.client.loadEntities(DRONES);
    game::Entity* player = link.server.create("player", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    link.focus(player);
    game::Drone* drone =
        static_cast<game::Drone*>(link.server.create("hover", Ogre::Vector3(3.0f, 4.0f, 0.0f)));
    // State 4 is the brain's evade: only its low two bits travel.
    drone->steer(Ogre::Vector3(1.0f, 0.0f, 0.0f), Ogre::Vector2(-1.0f, 0.0f), 4);
    link.tick(20);
    game::Drone* seen = static_cast<game::Drone*>(link.client.entities().getEntity(drone->getId()));
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->getType(), "drone");
    EXPECT_EQ(seen->getAIState(), 0u);
    drone->steer(Ogre::Vector3::ZERO, Ogre::Vector2(-1.0f, 0.0f), 2);
    link.tick(10);
    EXPECT_EQ(seen->getAIState(), 2u);
    EXPECT_NEAR(seen->getAim().x, -1.0f, 1e-5f);
    EXPECT_NEAR(seen->getPosition().x, drone->getPosition().x, 0.2f);
    EXPECT_NEAR(seen->getPosition().y, 4.0f, 0.05f);
    // The client turns the replicated aim into the same yaw.
    EXPECT_NEAR(seen->getYaw(), drone->getYaw(), 1.0f);
    EXPECT_GT(link.appliedRecords(), 0u);
}
