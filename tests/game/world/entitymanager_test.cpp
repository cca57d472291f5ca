#include "game/world/entitymanager.h"
#include "game/world/entity.h"
#include "game/world/human.h"
#include "support/game/gameworld.h"
#include "support/game/levelbuilder.h"
#include "support/game/levelworld.h"
#include "support/logcapture.h"

#include <OgreException.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;

namespace
{
// The description of the OGRE exception that loading the definitions throws, or "".
std::string loadError(const std::string& definitions)
{
    test::GameOgre ogre;
    test::GameWorld world(nullptr);
    try
    {
        world.loadEntities(definitions);
    }
    catch (const Ogre::Exception& e)
    {
        return e.getDescription();
    }
    return "";
}

class EntityManagerTest : public testing::Test
{
protected:
    EntityManagerTest() { world.loadEntities(); }

    game::EntityManager& entities() { return world.entities(); }

    test::GameOgre ogre;
    test::GameWorld world{ogre.createSceneManager()};
};
} // namespace

TEST(EntityManagerLoading, RefusesBadDefinitionsWithTheirText)
{
    EXPECT_THAT(loadError("<robot><name>r</name><id>1</id></robot>"),
                HasSubstr("Unsupported entity type: robot"));
    EXPECT_THAT(loadError("<human><id>1</id></human>"), HasSubstr("Attempt to load an entity without name"));
    EXPECT_THAT(loadError("<human><name>a</name></human>"),
                HasSubstr("Attempt to load an entity 'a'with bad or missing identifier"));
    // Ids travel as one byte: 256 could never be replicated, so it is refused like 0.
    EXPECT_THAT(loadError("<human><name>a</name><id>256</id></human>"),
                HasSubstr("Attempt to load an entity 'a'with bad or missing identifier"));
    EXPECT_EQ(loadError("<human><name>a</name><id>255</id><weapon>w</weapon></human>"), "");
    EXPECT_THAT(loadError("<human><name>a</name><id>1</id><weapon>w</weapon></human><drone><name>a</"
                          "name><id>2</id><mesh>drone.mesh</mesh></drone>"),
                HasSubstr("Duplicate entity name 'a'"));
    EXPECT_THAT(loadError("<human><name>a</name><id>1</id><weapon>w</weapon></human><drone><name>b</"
                          "name><id>1</id><mesh>drone.mesh</mesh></drone>"),
                HasSubstr("Duplicate id for entity 'b'"));
    EXPECT_THAT(loadError("<prop><name>p</name><id>3</id></prop>"),
                HasSubstr("No mesh defined for prop 'p'"));
    EXPECT_THAT(
        loadError("<explosion><name>e</name><id>3</id><light><animation><type>pulse</type></animation>"
                  "</light></explosion>"),
        HasSubstr("Unsupported light animation type 'pulse'"));

    test::GameOgre ogre;
    test::GameWorld world(nullptr);
    EXPECT_THROW(world.entities().loadEntityPrototypes("/nonexistent/entities.xml"),
                 Ogre::FileNotFoundException);
}

TEST(EntityManagerLoading, CreatesEveryClassByElementNameAndListsPrototypes)
{
    test::LogCapture log;
    test::GameOgre ogre;
    test::GameWorld world(nullptr);
    const char* types[] = {"human",   "prop", "projectile", "explosion", "platform", "weapon",
                           "package", "door", "sentrygun",  "drone",     "crawler",  "shield"};
    std::string definitions;
    int id = 1;
    for (const char* type : types)
    {
        // What each class requires of its definition.
        std::string extra = std::string(type) == "prop" ? "<mesh>crate.mesh</mesh>" : "";
        if (std::string(type) == "drone" || std::string(type) == "crawler")
            extra = std::string("<mesh>") + type + ".mesh</mesh>";
        if (std::string(type) == "sentrygun")
            extra = "<mesh>sentrygun.mesh</mesh>";
        for (const char* mechanism : {"door", "platform", "shield"})
            if (std::string(type) == mechanism)
                extra = std::string("<body>") + mechanism + "</body><mesh>" + mechanism + ".mesh</mesh>";
        if (std::string(type) == "projectile")
            extra = "<mass>1</mass>";
        if (std::string(type) == "human")
            extra = "<weapon>weapon1</weapon>";
        if (std::string(type) == "weapon" || std::string(type) == "package")
            extra = "<displayname>Item</displayname><mesh>pistol.mesh</mesh>";
        std::string hidden =
            std::string(type) == "drone" ? "<attributes><edithide>true</edithide></attributes>" : "";
        definitions += std::string("<") + type + "><name>" + type + "1</name><id>" + std::to_string(id++) +
                       "</id>" + extra + hidden + "</" + type + ">";
    }
    world.loadEntities(definitions);
    for (const char* type : types)
        EXPECT_EQ(world.entities().getPrototype(std::string(type) + "1")->getType(), type);

    std::vector<std::string> names;
    world.entities().getPrototypeNames("", names, false);
    // The drone asked to be hidden from the editor; shields and projectiles always are.
    EXPECT_EQ(names.size(), 9u);
    EXPECT_THAT(names, testing::Not(Contains("drone1")));
    EXPECT_THAT(names, testing::Not(Contains("shield1")));
    EXPECT_THAT(names, testing::Not(Contains("projectile1")));
    names.clear();
    world.entities().getPrototypeNames("drone", names, true);
    EXPECT_THAT(names, ElementsAre("drone1"));
    EXPECT_THAT(log.lines(), Contains("I Entity 'prop1' definition (type 'prop', id 2) loaded"));
    // Position, orientation and both velocities of a prop: 108 bits.
    EXPECT_THAT(log.lines(), Contains("I State data size for entity: 14 bytes (108 bits)"));
}

// The shipped prototypes load into the classes the game makes by element name, and every one of
// them can be placed in a world and ticked.
TEST(EntityManagerLoading, LoadsAndSpawnsTheShippedPrototypes)
{
    test::LogCapture log;
    test::GameOgre ogre;
    test::GameWorld world(ogre.createSceneManager());
    world.entities().loadEntityPrototypes(test::sourcePath("entities.xml"));
    std::vector<std::string> names;
    world.entities().getPrototypeNames("", names, true);
    ASSERT_GT(names.size(), 20u);
    float x = -40.0f;
    for (const std::string& name : names)
    {
        game::Entity* entity = world.create(name, Ogre::Vector3(x += 3.0f, 2.0f, 0.0f));
        ASSERT_NE(entity, nullptr) << name;
        EXPECT_LE(entity->getStateCodec()->getSizeBytes(), game::EntityManager::MAX_RECORD_DATA) << name;
    }
    world.tick(40);
    EXPECT_THAT(log.errors(), testing::IsEmpty());
}

TEST_F(EntityManagerTest, RefusesThe201stDynamicEntityAndReusesAPurgedSlot)
{
    test::LogCapture log;
    for (int i = 0; i < 200; ++i)
        ASSERT_NE(world.create("player", Ogre::Vector3(i * 0.5f, 1.0f, 0.0f)), nullptr);
    EXPECT_EQ(world.create("player", Ogre::Vector3::ZERO), nullptr);
    EXPECT_THAT(log.errors(), ElementsAre("E Dynamic entity array full"));

    // A killed entity shows for 2 s of ticks, then its slot is the lowest free one.
    entities().getEntity(6)->kill();
    entities().getEntity(9)->kill();
    world.tick(80);
    EXPECT_NE(entities().getEntity(6), nullptr);
    world.tick(1);
    EXPECT_EQ(entities().getEntity(6), nullptr);
    EXPECT_EQ(entities().getEntity(9), nullptr);
    EXPECT_EQ(world.create("player", Ogre::Vector3::ZERO)->getId(), 6u);
    EXPECT_EQ(world.create("player", Ogre::Vector3::ZERO)->getId(), 9u);
    EXPECT_THROW(world.create("nothing", Ogre::Vector3::ZERO), Ogre::ItemIdentityException);
}

TEST_F(EntityManagerTest, PurgesByTheRunTimeFlags)
{
    game::Entity* atOnce = world.create("player", Ogre::Vector3::ZERO);
    game::Entity* kept = world.create("player", Ogre::Vector3::ZERO);
    game::Entity* marked = world.create("player", Ogre::Vector3::ZERO);
    marked->addRuntimeFlags(0x12345678);
    EXPECT_EQ(marked->getFlags(), 0x12000000u | game::Human::FIXED_ATTRIBUTES);
    atOnce->addRuntimeFlags(game::Entity::RUNTIME_PURGE_AT_ONCE);
    kept->addRuntimeFlags(game::Entity::RUNTIME_KEEP);
    atOnce->kill();
    kept->kill();
    world.tick(1);
    EXPECT_EQ(entities().getEntity(1), nullptr);
    world.tick(200);
    ASSERT_EQ(entities().getEntity(2), kept);
    EXPECT_EQ(kept->getState(), game::Entity::KILLED);
    entities().destroyAllEntities();
    EXPECT_EQ(entities().getEntity(2), nullptr);
}

TEST_F(EntityManagerTest, NumbersStaticEntitiesApartFromTheSlots)
{
    test::GameWorld statics(nullptr);
    statics.loadEntities("<prop><name>lamp</name><id>4</id><mesh>crate.mesh</mesh>"
                         "<attributes><static>true</static></attributes></prop>");
    statics.create("lamp", Ogre::Vector3::ZERO);
    statics.create("lamp", Ogre::Vector3::ZERO);
    EXPECT_EQ(statics.create("lamp", Ogre::Vector3::ZERO)->getId(), 1002u);
    EXPECT_EQ(statics.entities().getEntity(1002), nullptr);
    EXPECT_EQ(statics.entities().getStaticEntities().size(), 3u);
}

TEST_F(EntityManagerTest, JumpsOverLongGapsAndWrapsTicks)
{
    unsigned steps = world.simulator().getStepCount();
    entities().simulateTo(41);
    EXPECT_EQ(world.simulator().getStepCount(), steps);
    EXPECT_EQ(entities().getSimulatedTick(), 41);
    entities().simulateTo(81);
    EXPECT_EQ(world.simulator().getStepCount(), steps + 80);

    entities().simulateTo(65000);
    entities().simulateTo(65535);
    steps = world.simulator().getStepCount();
    entities().simulateTo(1);
    EXPECT_EQ(world.simulator().getStepCount(), steps + 4);
    EXPECT_TRUE(game::EntityManager::isTickAfter(1, 65535));
    EXPECT_FALSE(game::EntityManager::isTickAfter(65535, 1));
}

TEST_F(EntityManagerTest, FindsActiveEntitiesByTypeAndDistance)
{
    game::Entity* player = world.create("player", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    game::Entity* crate = world.create("crate", Ogre::Vector3(3.0f, 0.5f, 0.0f));
    world.create("crate", Ogre::Vector3(3.1f, 5.0f, 0.0f));
    std::vector<game::Entity*> found;
    entities().findEntities(found, Ogre::Vector3(0.0f, 0.5f, 5.0f), 3.0f, "");
    EXPECT_THAT(found, ElementsAre(player, crate));
    found.clear();
    entities().findEntities(found, Ogre::Vector3(0.0f, 0.5f, 0.0f), 3.0f, "prop");
    EXPECT_THAT(found, ElementsAre(crate));
    found.clear();
    entities().findEntities(found, Ogre::Vector3::ZERO, 0.0f, "prop");
    EXPECT_EQ(found.size(), 2u);
    crate->kill();
    found.clear();
    entities().findEntities(found, Ogre::Vector3::ZERO, 0.0f, "prop");
    EXPECT_EQ(found.size(), 1u);
}

TEST_F(EntityManagerTest, RelevanceEndsAtTheVisibleArea)
{
    entities().addObserver(3, 1);
    game::Entity* player = world.create("player", Ogre::Vector3(10.0f, 20.0f, 0.0f));
    game::Entity* edgeX = world.create("player", Ogre::Vector3(28.0f, 20.0f, 0.0f));
    game::Entity* edgeY = world.create("player", Ogre::Vector3(10.0f, 34.0f, 0.0f));
    game::Entity* near = world.create("player", Ogre::Vector3(-7.0f, 7.0f, 0.0f));
    entities().updateObserverVisibility();
    const game::EntityManager::Observer* observer = entities().getObserver(3);
    EXPECT_EQ(observer->relevance[0], 0u) << "no focus, nothing relevant";

    entities().setObserverFocus(3, player->getId());
    entities().updateObserverVisibility();
    EXPECT_NE(observer->relevance[player->getId() - 1], 0u);
    EXPECT_NE(observer->relevance[edgeX->getId() - 1], 0u);
    EXPECT_EQ(observer->relevance[edgeY->getId() - 1], 0u);
    EXPECT_NE(observer->relevance[near->getId() - 1], 0u);

    // A local observer enables what it sees; the editor enables every active entity.
    entities().updateEntityActivation(false);
    EXPECT_TRUE(edgeX->isEnabled());
    EXPECT_FALSE(edgeY->isEnabled());
    entities().updateEntityActivation(true);
    EXPECT_TRUE(edgeY->isEnabled());
}

TEST_F(EntityManagerTest, ObserverMasksCountOnlyLivingFocusesOfPresentObservers)
{
    game::Entity* first = world.create("player", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    game::Entity* second = world.create("player", Ogre::Vector3(3.0f, 5.0f, 0.0f));
    for (uint16_t node = 1; node <= 8; ++node)
        ASSERT_TRUE(entities().addObserver(node, 0));
    EXPECT_FALSE(entities().addObserver(9, 0));
    entities().setObserverFocus(2, first->getId());
    entities().setObserverFocus(5, second->getId());
    entities().setObserverFocus(6, second->getId());
    EXPECT_EQ(entities().getObserverMask(second), 0x30u);
    EXPECT_EQ(entities().getObserverMaskInRadius(Ogre::Vector3(0.0f, 1.0f, 9.0f), 5.0f), 0x32u);
    EXPECT_EQ(entities().getObserverMaskInRadius(Ogre::Vector3(0.0f, 1.0f, 0.0f), 4.99f), 0x02u);
    EXPECT_EQ(entities().getObserverMaskInBox(Ogre::Vector3::ZERO, Ogre::Vector2(6.0f, 10.0f)), 0x32u);
    EXPECT_EQ(entities().getObserverMaskInBox(Ogre::Vector3::ZERO, Ogre::Vector2(5.9f, 10.0f)), 0x02u);

    // A node that left is no longer a viewer, whatever its record still held.
    entities().removeObserver(5);
    EXPECT_EQ(entities().getObserverMask(second), 0x20u);
    EXPECT_EQ(entities().getObserverMaskInRadius(Ogre::Vector3(3.0f, 5.0f, 0.0f), 1.0f), 0x20u);
    second->kill();
    EXPECT_EQ(entities().getObserverMaskInRadius(Ogre::Vector3(3.0f, 5.0f, 0.0f), 1.0f), 0u);
    EXPECT_TRUE(entities().addObserver(9, 1));
    EXPECT_EQ(entities().getObserver(9)->focus, 0u);
}

TEST_F(EntityManagerTest, TracesGradeWhatStandsInTheWay)
{
    world.loadEntities(
        "<prop><name>wall</name><id>40</id><body>crate</body><mesh>crate.mesh</mesh>"
        "<attributes><blockdamage>true</blockdamage><immovable>true</immovable></attributes></prop>");
    game::Entity* viewer = world.create("player", Ogre::Vector3(-5.0f, 1.0f, 0.0f));
    game::Entity* target = world.create("player", Ogre::Vector3(5.0f, 1.0f, 0.0f));
    Ogre::Vector3 eye(-5.0f, 1.0f, 0.0f);
    EXPECT_EQ(entities().checkVisibility(viewer, eye, target, true, 0x10, false), 2);
    // The ground is level geometry: it blocks.
    EXPECT_EQ(
        entities().traceEntities(viewer, eye, target, Ogre::Vector3(5.0f, -1.0f, 0.0f), false, 0x10, false),
        0);

    game::Entity* wall = world.create("wall", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    world.tick(1);
    EXPECT_EQ(entities().checkVisibility(viewer, eye, target, true, 0x10, false), 1);
    EXPECT_EQ(entities().checkVisibility(viewer, eye, target, true, 0, true), 0);
    EXPECT_EQ(entities().checkVisibility(viewer, eye, target, false, 0, true), 2);
    EXPECT_EQ(entities().traceEntities(viewer, eye, wall, target->getPosition(), true, 0, false), 2);
}

TEST(EntityManagerInALevel, KillsWhatFallsOutOfTheLevelBox)
{
    test::LevelWorld levels;
    ASSERT_TRUE(levels.load(test::LevelBuilder().smallRoom(), "room", true));
    test::GameWorld world(levels);
    world.loadEntities();
    game::Entity* resting = world.create("crate", Ogre::Vector3(0.0f, 0.5f, 0.0f));
    game::Entity* falling = world.create("crate", Ogre::Vector3(10.5f, 0.5f, 0.0f));
    world.tick(30);
    EXPECT_EQ(falling->getState(), game::Entity::ACTIVE);
    world.tick(30);
    EXPECT_EQ(falling->getState(), game::Entity::KILLED);
    world.tick(81);
    EXPECT_EQ(world.entities().getEntity(2), nullptr);
    ASSERT_EQ(world.entities().getEntity(1), resting);
    EXPECT_EQ(resting->getState(), game::Entity::ACTIVE);
    EXPECT_NEAR(resting->getPosition().y, 0.5f, 0.02f);
}

TEST(EntityManagerInALevel, ALevelWithoutItsSceneBoundsNothing)
{
    test::LevelWorld levels;
    ASSERT_TRUE(levels.load(test::LevelBuilder().smallRoom(), "room"));
    test::GameWorld world(levels);
    world.loadEntities();
    game::Entity* crate = world.create("crate", Ogre::Vector3(0.0f, 0.5f, 0.0f));
    world.tick(2);
    EXPECT_EQ(crate->getState(), game::Entity::ACTIVE);
}
