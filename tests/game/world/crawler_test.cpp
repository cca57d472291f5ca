#include "game/world/crawler.h"
#include "engine/core/body.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "support/game/eventlink.h"
#include "support/game/forceprobe.h"
#include "support/game/gameworld.h"

#include <OgreMath.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;

namespace
{
// Crawlers without a brain, so that the tests steer them.
const char* const CRAWLERS = R"(
<crawler><name>walker</name><id>70</id><body>crawler</body><mesh>crawler.mesh</mesh><speed>2</speed>
    <integrity>20</integrity><explosion>barrelexplosion</explosion><killscore>100</killscore>
    <shadowradius>0.5</shadowradius></crawler>
)";
// The crawler body's half height: it rests this far above the floor.
constexpr float REST_HEIGHT = 0.25f;

class CrawlerTest : public testing::Test
{
protected:
    CrawlerTest()
    {
        world.loadEntities();
        world.loadEntities(CRAWLERS);
        world.events().addListener(&journal);
        // Rays miss the test world's wide ground slab away from its middle: a floor of their own.
        world.addBlock(Ogre::Vector3(0.0f, -0.5f, 0.0f), Ogre::Vector3(80.0f, 1.0f, 3.0f));
    }
    ~CrawlerTest() override { world.events().removeListener(&journal); }

    game::Crawler* create(const Ogre::Vector3& position)
    {
        return static_cast<game::Crawler*>(world.create("walker", position));
    }

    // A static slab turned by the angle about z, its top face through the point.
    void addRamp(const Ogre::Vector3& top, float degrees)
    {
        Ogre::Quaternion turn(Ogre::Degree(degrees), Ogre::Vector3::UNIT_Z);
        world.addBlock(top - turn * Ogre::Vector3(0.0f, 0.5f, 0.0f), Ogre::Vector3(20.0f, 1.0f, 3.0f), turn);
    }

    test::GameOgre ogre;
    test::GameWorld world{nullptr};
    test::EventJournal journal;
};
} // namespace

TEST_F(CrawlerTest, DrivesAlongTheFloorWithAClampedForceAndFallsInTheAir)
{
    game::Crawler* crawler = create(Ogre::Vector3(0.0f, REST_HEIGHT, 0.0f));
    world.tick();
    ASSERT_TRUE(crawler->isOnGround());
    EXPECT_TRUE(crawler->getGroundNormal().positionEquals(Ogre::Vector3::UNIT_Y, 1e-4f));
    crawler->setMoveX(1.0f);
    // At rest, 2 units a second missing: 2000, held at 1800 along the floor's tangent.
    test::ForceProbe rest(crawler->getPosition(), Ogre::Vector3::ZERO, 30.0f);
    crawler->update(&rest, 0.0125f);
    EXPECT_TRUE(rest.force.positionEquals(Ogre::Vector3(1800.0f, 0.0f, 0.0f), 1e-2f)) << rest.force;
    // Near the speed the force shrinks with the error; the depth spring holds z at 0.
    test::ForceProbe near(Ogre::Vector3(0.0f, REST_HEIGHT, 0.1f), Ogre::Vector3(1.5f, 0.0f, 0.0f), 30.0f);
    crawler->update(&near, 0.0125f);
    EXPECT_TRUE(near.force.positionEquals(Ogre::Vector3(500.0f, 0.0f, -500.0f), 1e-2f)) << near.force;

    world.tick(80);
    EXPECT_NEAR(crawler->getLinearVelocity().x, 2.0f, 0.1f);
    EXPECT_NEAR(crawler->getPosition().y, REST_HEIGHT, 0.05f);
    EXPECT_GT(crawler->getPosition().x, 3.0f);

    // Off the ground there is no drive: it falls straight down.
    game::Crawler* falling = create(Ogre::Vector3(20.0f, 6.0f, 0.0f));
    falling->setMoveX(1.0f);
    world.tick();
    EXPECT_FALSE(falling->isOnGround());
    test::ForceProbe air(falling->getPosition(), Ogre::Vector3::ZERO, 30.0f);
    falling->update(&air, 0.0125f);
    EXPECT_EQ(air.force, Ogre::Vector3::ZERO);
    world.tick(10);
    EXPECT_LT(falling->getLinearVelocity().y, -2.0f);
    EXPECT_NEAR(falling->getPosition().x, 20.0f, 1e-3f);
}

TEST_F(CrawlerTest, OnASlopeDrivesAlongItAndTurnsTowardItAFifthEachTick)
{
    addRamp(Ogre::Vector3(50.0f, 2.0f, 0.0f), 30.0f);
    const Ogre::Vector3 normal =
        Ogre::Quaternion(Ogre::Degree(30.0f), Ogre::Vector3::UNIT_Z) * Ogre::Vector3::UNIT_Y;
    game::Crawler* crawler = create(Ogre::Vector3(50.0f, 2.0f, 0.0f) + normal * REST_HEIGHT);
    world.tick();
    ASSERT_TRUE(crawler->isOnGround());
    EXPECT_TRUE(crawler->getGroundNormal().positionEquals(normal, 1e-3f)) << crawler->getGroundNormal();
    EXPECT_TRUE(game::Crawler::floorTangent(normal).positionEquals(
        Ogre::Vector3(Ogre::Math::Cos(Ogre::Degree(30.0f)), Ogre::Math::Sin(Ogre::Degree(30.0f)), 0.0f),
        1e-5f));
    // 6 of the 30 degrees after the first tick on the slope, 30 x (1 - 0.8^k) after k.
    auto tilt = [&]()
    {
        return (crawler->getOrientation() * Ogre::Vector3::UNIT_Y)
            .angleBetween(Ogre::Vector3::UNIT_Y)
            .valueDegrees();
    };
    EXPECT_NEAR(tilt(), 6.0f, 0.1f);
    world.tick(2);
    EXPECT_NEAR(tilt(), 30.0f * (1.0f - 0.8f * 0.8f * 0.8f), 0.2f);
    // Driving up: the force runs along the slope.
    crawler->setMoveX(1.0f);
    test::ForceProbe probe(crawler->getPosition(), Ogre::Vector3::ZERO, 30.0f);
    crawler->update(&probe, 0.0125f);
    EXPECT_TRUE(probe.force.positionEquals(game::Crawler::floorTangent(normal) * 1800.0f, 0.1f))
        << probe.force;
}

TEST_F(CrawlerTest, SelfDestructionKillsOnceWithItsOwnIdAsAttacker)
{
    game::Crawler* crawler = create(Ogre::Vector3(0.0f, REST_HEIGHT, 0.0f));
    crawler->damage(5.0f, Ogre::Vector3::ZERO, Ogre::Vector3::UNIT_X, 4);
    EXPECT_FLOAT_EQ(crawler->getHealth(), 0.75f);
    crawler->selfDestruct();
    crawler->selfDestruct();
    EXPECT_EQ(crawler->getState(), game::Entity::KILLED);
    game::Entity* explosion = world.entities().getEntity(crawler->getId() + 1);
    ASSERT_NE(explosion, nullptr);
    EXPECT_EQ(explosion->getOwnerId(), crawler->getId());
    world.tick();
    EXPECT_THAT(journal.events,
                ElementsAre(std::to_string(game::EventDispatcher::CrawlerKilled) + "," +
                            std::to_string(crawler->getId()) + "," + std::to_string(crawler->getId()) + ","));
}
