#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "support/game/gameworld.h"
#include "support/logcapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::Contains;
using testing::ElementsAre;

namespace
{
class EntityTest : public testing::Test
{
protected:
    EntityTest()
    {
        world.loadEntities();
        world.loadEntities(R"(
<prop><name>dispenser</name><id>70</id><mesh>crate.mesh</mesh>
    <spawnpoint><interval>0.5</interval><limit>3</limit><offset>0 3 0</offset><entity>crate</entity></spawnpoint>
    <spawnpoint><interval>0.25</interval><limit>3</limit><entity>ghost</entity></spawnpoint></prop>
<prop><name>keeper</name><id>71</id><mesh>crate.mesh</mesh>
    <spawnpoint><interval>0.25</interval><onlyone>true</onlyone><entity>player</entity></spawnpoint></prop>
<prop><name>hazard</name><id>72</id><mesh>crate.mesh</mesh>
    <periodicdamage><range>4</range><damage>2</damage><interval>0.5</interval></periodicdamage></prop>
)");
    }

    test::GameOgre ogre;
    test::GameWorld world{ogre.createSceneManager()};
};
} // namespace

TEST_F(EntityTest, DropsAttributesItsClassDoesNotTake)
{
    test::LogCapture log;
    world.loadEntities("<explosion><name>loud</name><id>73</id><attributes><immovable>true</immovable>"
                       "</attributes></explosion>"
                       "<prop><name>rock</name><id>74</id><mesh>crate.mesh</mesh><attributes><immovable>true"
                       "</immovable><edithide>true</edithide><decals>false</decals></attributes></prop>");
    EXPECT_THAT(log.errors(), ElementsAre("E Unsupported attributes (00000040) for entity 'loud'"));
    EXPECT_EQ(world.entities().getPrototype("loud")->getFlags(), 0u);
    EXPECT_EQ(world.entities().getPrototype("rock")->getFlags(), 0x440u);
    // Instances copy the definition, not the prototype's run-time flags.
    game::Entity* rock = world.create("rock", Ogre::Vector3::ZERO);
    EXPECT_EQ(rock->getFlags(), 0x440u);
    EXPECT_EQ(rock->getDefinitionId(), 74u);
}

TEST_F(EntityTest, SpawnersStopAtTheirLimitCountingFailures)
{
    test::LogCapture log;
    world.create("dispenser", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    world.tick(400);
    std::vector<game::Entity*> crates;
    world.entities().findEntities(crates, Ogre::Vector3::ZERO, 0.0f, "prop");
    EXPECT_EQ(crates.size(), 1u + 3u);
    std::vector<std::string> errors = log.errors();
    EXPECT_EQ(errors.size(), 3u);
    EXPECT_THAT(errors, Contains("E Entity prototype not found ('ghost') for entity 'dispenser'"));
}

TEST_F(EntityTest, OnlyOneSpawnerWaitsForItsEntityToGo)
{
    world.create("keeper", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    world.tick(40);
    game::Entity* first = world.entities().getEntity(2);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(world.entities().getEntity(3), nullptr);
    first->kill();
    world.tick(11);
    ASSERT_NE(world.entities().getEntity(3), nullptr);
    EXPECT_EQ(world.entities().getEntity(3)->getName(), "player");
}

TEST_F(EntityTest, PeriodicDamageFallsOffAcrossItsRange)
{
    game::Entity* near = world.create("crate", Ogre::Vector3(2.0f, 0.5f, 0.0f));
    game::Entity* out = world.create("crate", Ogre::Vector3(-4.5f, 0.5f, 0.0f));
    world.create("hazard", Ogre::Vector3(0.0f, 0.5f, 0.0f));
    world.tick(19);
    EXPECT_EQ(near->getHealth(), 1.0f);
    world.tick(1);
    EXPECT_NEAR(near->getHealth(), 1.0f - 1.0f / 20.0f, 1e-5f);
    world.tick(20);
    EXPECT_NEAR(near->getHealth(), 1.0f - 2.0f / 20.0f, 1e-5f);
    EXPECT_EQ(out->getHealth(), 1.0f);
}

TEST_F(EntityTest, ForceDamageKillsAboveItsMaximumAndWearsBetween)
{
    game::Entity* crate = world.create("crate", Ogre::Vector3(0.0f, 0.5f, 0.0f));
    game::Entity::TForceDamage force;
    force.minimum = 2.0f;
    force.maximum = 6.0f;
    // At the maximum: a quarter of the share every 0.25 s, on the tick after it has passed.
    for (int tick = 0; tick < 10; ++tick)
        crate->applyForceDamage(force, 6.0f, 8.0f);
    EXPECT_EQ(crate->getHealth(), 1.0f);
    crate->applyForceDamage(force, 6.0f, 8.0f);
    EXPECT_NEAR(crate->getHealth(), 1.0f - 2.0f / 20.0f, 1e-5f);
    // Below the minimum the wear starts over.
    for (int tick = 0; tick < 9; ++tick)
        crate->applyForceDamage(force, 4.0f, 8.0f);
    crate->applyForceDamage(force, 1.0f, 8.0f);
    crate->applyForceDamage(force, 4.0f, 8.0f);
    EXPECT_NEAR(crate->getHealth(), 0.9f, 1e-5f);
    crate->applyForceDamage(force, 6.5f, 20.0f);
    EXPECT_EQ(crate->getState(), game::Entity::KILLED);
}
