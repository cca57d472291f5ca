#include "game/world/platform.h"
#include "game/world/entitymanager.h"
#include "support/game/entitylink.h"
#include "support/game/gameworld.h"
#include "support/game/recordinglabel.h"
#include "support/logcapture.h"
#include "support/tempdir.h"

#include <OgreSceneManager.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

using game::Platform;

namespace
{
const char* const LIFT = R"(
<platform><name>lift</name><id>100</id><body>platform</body><mesh>platform.mesh</mesh>
    <routespeed>2</routespeed><routespeedramp>1</routespeedramp><routewait>1</routewait>
    <controller><gain>40000</gain><limit>20000</limit><damping>1200</damping></controller>
    <positionerrortolerance>0.1</positionerrortolerance>
    <cabincenter>0 1.1 0</cabincenter><cabinsize>2.8 2 0</cabinsize></platform>
<platform><name>weak</name><id>101</id><body>platform</body><mesh>platform.mesh</mesh>
    <routespeed>2</routespeed><routespeedramp>1</routespeedramp>
    <controller><gain>40000</gain><limit>50</limit><damping>4000</damping></controller>
    <positionerrortolerance>0.1</positionerrortolerance>
    <cabincenter>0 1.1 0</cabincenter><cabinsize>2.8 2 0</cabinsize></platform>
<platform><name>shuttle</name><id>102</id><body>platform</body><mesh>platform.mesh</mesh>
    <routespeed>3.5</routespeed><routespeedramp>0.2</routespeedramp>
    <controller><gain>40000</gain><limit>20000</limit><damping>1200</damping></controller>
    <positionerrortolerance>0.2</positionerrortolerance>
    <cabincenter>0 1.1 0</cabincenter><cabinsize>0.8 2 0</cabinsize></platform>
)";

const Ogre::Vector3 CABIN(0.0f, 1.1f, 0.0f);

// Instantiates a platform of the prototype with a route, at its first point, and spawns it.
Platform* createPlatform(game::EntityManager& entities, const std::string& name,
                         const std::vector<Ogre::Vector3>& route)
{
    Platform* platform = static_cast<Platform*>(entities.createEntity(name));
    platform->setPosition(route.front());
    for (const Ogre::Vector3& point : route)
        platform->addRoutePoint(point);
    platform->spawn();
    return platform;
}

class PlatformTest : public testing::Test
{
protected:
    PlatformTest()
    {
        world.loadEntities();
        world.loadEntities(LIFT);
    }

    Platform* lift(const std::string& name = "lift")
    {
        return createPlatform(world.entities(), name,
                              {Ogre::Vector3(0, 1, 0), Ogre::Vector3(0, 5, 0), Ogre::Vector3(0, 9, 0)});
    }

    test::GameOgre ogre;
    test::GameWorld world{ogre.createSceneManager()};
};
} // namespace

TEST_F(PlatformTest, ARiderLeavesOnTheTickTheWaitIsExceededAndStopsAtEachPoint)
{
    Platform* platform = lift();
    // Position, x and y velocity, state, timer, index, called target, direction, progress,
    // segment direction and the two ramp flags, and no orientation.
    EXPECT_EQ(platform->getStateCodec()->getSizeBits(),
              16u + 16u + 8u + 6u + 6u + 2u + 8u + Platform::INDEX_BITS + Platform::CALLED_TARGET_BITS + 2u +
                  8u + 2u + 1u + 1u);
    game::Entity* rider = world.create("player", Ogre::Vector3(0, 1, 0) + CABIN);
    // Route wait 1 s: the timer exceeds 40 ticks on the 41st tick in the cabin.
    world.tick(40);
    EXPECT_EQ(platform->getPlatformState(), Platform::WAITING);
    world.tick();
    EXPECT_EQ(platform->getPlatformState(), Platform::MOVING);
    // Ridden, it stops softly at the middle point, waits again and goes on to the end.
    std::vector<unsigned> stops;
    for (int i = 0; i < 2000 && stops.size() < 4; ++i)
    {
        rider->setPosition(platform->getPosition() + CABIN);
        Platform::PlatformState before = platform->getPlatformState();
        world.tick();
        if (before == Platform::MOVING && platform->getPlatformState() == Platform::WAITING)
        {
            stops.push_back(platform->getIndex());
            EXPECT_NEAR(platform->getPosition().y, platform->getRoutePoint(platform->getIndex()).y, 0.15f);
        }
        EXPECT_LE(platform->getCurrentSpeed(), 2.0f + 1e-4f);
    }
    EXPECT_THAT(stops, testing::ElementsAre(1u, 2u, 1u, 0u));
    // Nobody in the cabin: it stays.
    rider->setPosition(Ogre::Vector3(-10, 1, 0));
    world.tick(200);
    EXPECT_EQ(platform->getPlatformState(), Platform::WAITING);
    EXPECT_EQ(platform->getIndex(), 0u);
}

TEST_F(PlatformTest, ACallFetchesTheEmptyCabinFasterPastTheMiddleStop)
{
    Platform* platform = lift();
    world.tick(5);
    EXPECT_FALSE(platform->call(Ogre::Vector3(5, 9, 0) + CABIN));
    // A call reaches 1.5 beyond the cabin's half width.
    EXPECT_TRUE(platform->call(Ogre::Vector3(2.9f, 9, 0) + CABIN));
    EXPECT_EQ(platform->getCalledTarget(), 3u);
    EXPECT_EQ(platform->getDirection(), -1.0f);
    float fastest = 0.0f;
    int ticks = 0;
    while (platform->getCalledTarget() && ticks < 400)
    {
        world.tick();
        ++ticks;
        fastest = std::max(fastest, platform->getCurrentSpeed());
        // Called through, it never waits at the middle point.
        if (platform->getCalledTarget())
        {
            EXPECT_TRUE(platform->getPlatformState() == Platform::MOVING || platform->getIndex() == 2u);
        }
    }
    EXPECT_NEAR(fastest, 2.8f, 1e-3f);
    EXPECT_EQ(platform->getIndex(), 2u);
    EXPECT_EQ(platform->getPlatformState(), Platform::WAITING);
    EXPECT_NEAR(platform->getPosition().y, 9.0f, 0.15f);
    // Called again at the stop it waits at, an end point keeps its way down.
    EXPECT_TRUE(platform->call(Ogre::Vector3(0, 9, 0) + CABIN));
    EXPECT_EQ(platform->getCalledTarget(), 0u);
    EXPECT_EQ(platform->getDirection(), -1.0f);
}

TEST_F(PlatformTest, ACabinHeldBackTurnsAroundAfter160Ticks)
{
    Platform* platform = lift("weak");
    world.tick(2);
    ASSERT_TRUE(platform->call(Ogre::Vector3(0, 9, 0) + CABIN));
    world.tick();
    ASSERT_EQ(platform->getPlatformState(), Platform::MOVING);
    world.tick(160);
    EXPECT_EQ(platform->getIndex(), 0u);
    EXPECT_EQ(platform->getCalledTarget(), 3u);
    world.tick();
    // It now runs from the middle point back down, uncalled.
    EXPECT_EQ(platform->getIndex(), 1u);
    EXPECT_EQ(platform->getCalledTarget(), 0u);
    EXPECT_EQ(platform->getPlatformState(), Platform::MOVING);
}

TEST_F(PlatformTest, AShortRouteRestsAndALongOneIsCut)
{
    test::LogCapture log;
    Platform* single = createPlatform(world.entities(), "lift", {Ogre::Vector3(5, 2, 0)});
    world.tick(100);
    EXPECT_FALSE(single->call(Ogre::Vector3(5, 2, 0)));
    EXPECT_TRUE(single->call(Ogre::Vector3(5, 2, 0) + CABIN));
    world.tick(100);
    EXPECT_EQ(single->getPlatformState(), Platform::WAITING);
    EXPECT_NEAR(single->getPosition().y, 2.0f, 0.05f);
    std::vector<Ogre::Vector3> route;
    for (int i = 0; i < 17; ++i)
        route.emplace_back(-20.0f + 2.0f * i, 20.0f, 0.0f);
    Platform* cut = createPlatform(world.entities(), "lift", route);
    EXPECT_EQ(cut->getRoutePointCount(), Platform::MAX_ROUTE_POINTS);
    EXPECT_EQ(cut->getRoutePoint(16), Ogre::Vector3::ZERO);
    EXPECT_THAT(log.errors(), testing::ElementsAre(testing::HasSubstr("takes at most 16 route points")));
}

// The shipped platform keeps near enough to its target to finish a trip longer than the 4 s
// after which a lagging cabin turns back; each stop's label tells the players there whether
// the cabin is theirs and which way it will go.
TEST(ShippedPlatform, FinishesALongTripAndLabelsItsStops)
{
    test::GameOgre ogre;
    Ogre::SceneManager* scene = ogre.createSceneManager();
    // The labels outlive the world, whose entities take theirs away as it goes.
    brix::LabelManager labels(scene, scene->getRootSceneNode(), "", 2);
    test::GameWorld world(scene);
    test::RecordingLabelFactory::registerWorldTypes(labels);
    world.entities().setServices(&world.events(), &labels, world.shadows(), nullptr, nullptr);
    world.entities().loadEntityPrototypes(test::sourcePath("entities.xml"));
    // Someone who stands where put, at the middle stop.
    world.loadEntities("<human><name>watcher</name><id>250</id><weapon>pistol</weapon>"
                       "<integrity>100</integrity></human>");
    Platform* platform =
        createPlatform(world.entities(), "platform",
                       {Ogre::Vector3(0, 1, 0), Ogre::Vector3(0, 13, 0), Ogre::Vector3(6, 13, 0)});
    ASSERT_EQ(platform->getLabels().size(), 3u);
    auto label = [&](unsigned i) { return static_cast<test::RecordingLabel*>(platform->getLabels()[i]); };
    EXPECT_EQ(label(0)->box.getMaximum(), Ogre::Vector3(1.4f, 2.1f, 0.0f));
    const Ogre::Vector3 atMiddle(1.0f, 14.0f, 0.0f);
    game::Entity* watcher = world.create("watcher", atMiddle);
    world.entities().addObserver(1, 1);
    world.entities().setObserverFocus(1, watcher->getId());
    world.tick(5);
    EXPECT_EQ(label(0)->getLayerFlags(), 0u);
    EXPECT_EQ(label(1)->getLayerFlags(), 1u);
    EXPECT_EQ(label(1)->getText(), "Platform");
    EXPECT_EQ(label(1)->placement, Platform::PLACEMENT_NONE);

    // Called from the middle stop it is incoming there, and will go on to the right.
    ASSERT_TRUE(platform->call(atMiddle));
    world.tick();
    EXPECT_EQ(label(1)->getText(), "Platform (incoming)");
    EXPECT_EQ(label(1)->placement, Platform::PLACEMENT_RIGHT);
    int ticks = 0;
    while (platform->getCalledTarget() && ticks < 1000)
    {
        world.tick();
        ++ticks;
    }
    // Twelve metres at 1.4 times 2 m/s, with the ramps: longer than the 160 ticks.
    EXPECT_GT(ticks, 170);
    EXPECT_LT(ticks, 300);
    // A cabin that turned back would be on its way down, uncalled.
    world.tick(2);
    EXPECT_EQ(platform->getIndex(), 1u);
    EXPECT_EQ(platform->getPlatformState(), Platform::WAITING);
    EXPECT_NEAR(platform->getPosition().y, 13.0f, 0.1f);
    // The watcher now stands in the cabin.
    EXPECT_EQ(label(1)->getText(), "Platform (busy)");
    EXPECT_EQ(label(1)->placement, Platform::PLACEMENT_RIGHT);
}

TEST(PlatformLink, AClientTellsEveryStopOfALongRouteApart)
{
    test::GameOgre ogre;
    test::EntityLink link(ogre, 2, 0.0);
    link.loadEntities();
    link.server.loadEntities(LIFT);
    link.client.loadEntities(LIFT);
    std::vector<Ogre::Vector3> route;
    for (int i = 0; i < 12; ++i)
        route.emplace_back(1.0f * i, 1.0f, 0.0f);
    Platform* platform = createPlatform(link.server.entities(), "shuttle", route);
    game::Entity* player = link.server.create("player", Ogre::Vector3(6.0f, 1.0f, 0.0f));
    link.focus(player);
    link.tick(10);
    // Stops are closer than a call reaches: the call goes to the first stop it reaches.
    const Ogre::Vector3 BEYOND(1.5f, 0.0f, 0.0f);
    ASSERT_TRUE(platform->call(route[11] + CABIN + BEYOND));
    for (int i = 0; i < 2000 && platform->getCalledTarget(); ++i)
        link.tick();
    link.tick(10);
    EXPECT_EQ(platform->getIndex(), 11u);
    auto* copy = dynamic_cast<Platform*>(link.client.entities().getEntity(platform->getId()));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getIndex(), 11u);
    EXPECT_NEAR(copy->getPosition().x, 11.0f, 0.3f);
    // A call to a far stop reads the same on the client.
    ASSERT_TRUE(platform->call(route[9] + CABIN + BEYOND));
    link.tick(6);
    EXPECT_EQ(copy->getCalledTarget(), 10u);
}
