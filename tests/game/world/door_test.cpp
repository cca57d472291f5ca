#include "game/world/door.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "support/game/gameworld.h"
#include "support/game/levelbuilder.h"
#include "support/game/levelworld.h"
#include "support/logcapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using game::Door;

namespace
{
// Gives a human the keys of the mask, as picked-up key packages would.
void giveKeys(game::Entity* human, uint32_t mask)
{
    static_cast<game::Human*>(human)->setKeyMask(mask);
}

const Ogre::Vector3 DOOR_PLACE(2.0f, 1.5f, 0.0f);
const Ogre::Vector3 AT_DOOR(1.0f, 1.0f, 0.0f);
const Ogre::Vector3 AWAY(-6.0f, 1.0f, 0.0f);

class DoorTest : public testing::Test
{
protected:
    DoorTest()
    {
        world.loadEntities();
        world.loadEntities(R"(
<human><name>guard</name><id>2</id><weapon>pistol</weapon></human>
<door><name>doora</name><id>90</id><body>door</body><mesh>door.mesh</mesh>
    <keymask>5</keymask><closingdelay>2</closingdelay><openingspeed>2</openingspeed><closingspeed>1</closingspeed></door>
<door><name>vault</name><id>91</id><body>door</body><mesh>door.mesh</mesh>
    <closingdelay>2</closingdelay><openingspeed>2</openingspeed><closingspeed>1</closingspeed></door>
<door><name>stuck</name><id>92</id><body>door</body><mesh>door.mesh</mesh>
    <keymask>1</keymask><closingdelay>1</closingdelay><openingspeed>2</openingspeed></door>
<door><name>bodiless</name><id>93</id><mesh>door.mesh</mesh><keymask>1</keymask><openingspeed>2</openingspeed></door>
<door><name>jointless</name><id>94</id><body>crate</body><mesh>door.mesh</mesh><keymask>1</keymask><openingspeed>2</openingspeed></door>
)");
    }

    Door* door(const std::string& name) { return static_cast<Door*>(world.create(name, DOOR_PLACE)); }

    // Ticks until the door reaches the state; the number of ticks, or -1 after the limit.
    int tickUntil(Door* door, Door::DoorState state, int limit = 400)
    {
        for (int ticks = 1; ticks <= limit; ++ticks)
        {
            world.tick();
            if (door->getDoorState() == state)
                return ticks;
        }
        return -1;
    }

    test::LevelWorld levels{true};
    bool loaded = levels.load(test::LevelBuilder().smallRoom(), "room", true);
    test::GameWorld world{levels, true};
};
} // namespace

TEST_F(DoorTest, OpensForAKeyAndClosesOnTheTickItsDelayIsExceeded)
{
    ASSERT_TRUE(loaded);
    Door* doora = door("doora");
    // Clients read position, z velocity, state and denied flag, and no orientation.
    EXPECT_EQ(doora->getStateCodec()->getSizeBits(), 16u + 16u + 8u + 6u + 2u + 1u);
    // Any one of the door's keys (A or C) opens it.
    game::Entity* player = world.create("player", AWAY);
    giveKeys(player, 3);
    world.tick(10);
    EXPECT_EQ(doora->getDoorState(), Door::CLOSED);
    player->setPosition(AT_DOOR);
    world.tick();
    EXPECT_EQ(doora->getDoorState(), Door::OPENING);
    EXPECT_GT(tickUntil(doora, Door::OPEN), 0);
    EXPECT_GT(doora->getPosition().z, 2.9f);
    // Standing there keeps it open.
    world.tick(200);
    EXPECT_EQ(doora->getDoorState(), Door::OPEN);
    // Closing delay 2 s: the timer exceeds 80 ticks on the 80th tick without the player.
    player->setPosition(AWAY);
    world.tick(79);
    EXPECT_EQ(doora->getDoorState(), Door::OPEN);
    world.tick();
    EXPECT_EQ(doora->getDoorState(), Door::CLOSING);
    EXPECT_GT(tickUntil(doora, Door::CLOSED), 0);
    EXPECT_LT(doora->getPosition().z, 0.1f);
    EXPECT_FALSE(doora->isDenied());
}

TEST_F(DoorTest, AClosingDoorTurnsBackForAKey)
{
    ASSERT_TRUE(loaded);
    Door* doora = door("doora");
    game::Entity* player = world.create("player", AT_DOOR);
    giveKeys(player, 1);
    ASSERT_GT(tickUntil(doora, Door::OPEN), 0);
    player->setPosition(AWAY);
    ASSERT_GT(tickUntil(doora, Door::CLOSING), 0);
    world.tick(10);
    float z = doora->getPosition().z;
    player->setPosition(AT_DOOR);
    world.tick();
    EXPECT_EQ(doora->getDoorState(), Door::OPENING);
    world.tick(5);
    EXPECT_GT(doora->getPosition().z, z);
}

TEST_F(DoorTest, DeniesPlayersWithoutAMatchingKeyOncePerArrival)
{
    ASSERT_TRUE(loaded);
    Door* vault = door("vault");
    Door* doora = static_cast<Door*>(world.create("doora", Ogre::Vector3(-2.0f, 1.5f, 0.0f)));
    game::Entity* player = world.create("player", AWAY);
    game::Entity* guard = world.create("guard", AT_DOOR);
    giveKeys(player, 0xFFFFFFFF);
    giveKeys(guard, 0xFFFFFFFF);
    // Another prototype neither opens a door nor is denied.
    world.tick(20);
    EXPECT_EQ(vault->getDoorState(), Door::CLOSED);
    EXPECT_FALSE(vault->isDenied());
    // Keymask 0 opens for nobody, even with every key; each arrival is one denial.
    int denials = 0;
    bool wasDenied = false;
    for (int visit = 0; visit < 2; ++visit)
    {
        player->setPosition(AT_DOOR);
        for (int i = 0; i < 30; ++i)
        {
            world.tick();
            denials += vault->isDenied() && !wasDenied;
            wasDenied = vault->isDenied();
            EXPECT_EQ(vault->getDoorState(), Door::CLOSED);
        }
        player->setPosition(AWAY);
        world.tick();
        wasDenied = vault->isDenied();
        EXPECT_FALSE(wasDenied);
    }
    EXPECT_EQ(denials, 2);
    // A player without keys is denied at a keyed door too.
    giveKeys(player, 0);
    player->setPosition(Ogre::Vector3(-2.5f, 1.0f, 0.0f));
    world.tick();
    EXPECT_TRUE(doora->isDenied());
    EXPECT_EQ(doora->getDoorState(), Door::CLOSED);
}

TEST_F(DoorTest, ADoorThatCannotCloseOpensAgainAfter160Ticks)
{
    ASSERT_TRUE(loaded);
    // Closing speed 0: the door never gets below its closed threshold, as if blocked.
    Door* stuck = door("stuck");
    game::Entity* player = world.create("player", AT_DOOR);
    giveKeys(player, 1);
    ASSERT_GT(tickUntil(stuck, Door::OPEN), 0);
    player->setPosition(AWAY);
    ASSERT_GT(tickUntil(stuck, Door::CLOSING), 0);
    world.tick(160);
    EXPECT_EQ(stuck->getDoorState(), Door::CLOSING);
    world.tick();
    EXPECT_EQ(stuck->getDoorState(), Door::OPENING);
}

TEST_F(DoorTest, ADoorThatCannotSlideIsLoggedAndStaysShut)
{
    ASSERT_TRUE(loaded);
    test::LogCapture log;
    Door* bodiless = door("bodiless");
    Door* jointless = static_cast<Door*>(world.create("jointless", Ogre::Vector3(-2.0f, 1.5f, 0.0f)));
    EXPECT_THAT(log.errors(),
                testing::ElementsAre(testing::HasSubstr("Door 'bodiless' has no body"),
                                     testing::HasSubstr("Door 'jointless' cannot slide and stays shut: its "
                                                        "body template 'crate' has no joint")));
    game::Entity* player = world.create("player", AT_DOOR);
    game::Entity* other = world.create("player", Ogre::Vector3(-2.5f, 1.0f, 0.0f));
    giveKeys(player, 1);
    giveKeys(other, 1);
    world.tick(100);
    EXPECT_EQ(bodiless->getDoorState(), Door::CLOSED);
    EXPECT_EQ(jointless->getDoorState(), Door::CLOSED);
    EXPECT_TRUE(jointless->getPosition().positionEquals(Ogre::Vector3(-2.0f, 1.5f, 0.0f), 0.01f));
    // Both go away cleanly.
    uint32_t id = jointless->getId();
    jointless->kill();
    bodiless->kill();
    world.tick(100);
    EXPECT_EQ(world.entities().getEntity(id), nullptr);
}
