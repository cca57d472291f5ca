#include "game/world/controller.h"
#include "game/world/door.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "game/world/human.h"
#include "game/world/humanbody.h"
#include "game/world/item.h"
#include "game/world/platform.h"
#include "game/world/weapon.h"
#include "support/game/eventlink.h"
#include "support/game/gameworld.h"
#include "support/game/levelbuilder.h"
#include "support/game/levelworld.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

namespace
{
using Button = game::Controller::Button;

// The shipped "player" through a level made for it, driven by scripted input tick by tick as a
// player's controller would: from the start it crawls under a low ceiling and back, jumps onto
// a ledge, takes a heavy weapon by hand and ammunition by touch, shoots a guard dead, takes a
// key that opens a door, and rides a platform up; the weapon it took comes back on time.
//
//   x: -7..-3 ceiling at 1.2 | 4..6 ledge 1 high | 8 weapon, ammunition | 13 guard | 15 key
//      | 18 door | floor ends at 20 | 20.1..23.1 platform, up 4
class PlayerScenario : public testing::Test
{
protected:
    static constexpr float STANDING = 0.95f - 75.0f * 9.8f / 20000.0f;
    const Ogre::Vector3 PLATFORM_BOTTOM{21.6f, -0.15f, 0.0f};
    const Ogre::Vector3 PLATFORM_TOP{21.6f, 3.85f, 0.0f};

    PlayerScenario()
    {
        test::LevelBuilder level;
        level.smallRoom()
            .row("techfloor", 10.0f, 18.0f, 4.0f, -0.5f)
            .block("techceiling", Ogre::Vector3(-5.0f, 1.7f, 0.0f))
            .block("techcube", Ogre::Vector3(4.5f, 0.5f, 0.0f))
            .block("techcube", Ogre::Vector3(5.5f, 0.5f, 0.0f))
            .block("techcube", Ogre::Vector3(7.5f, 12.5f, 0.0f));
        EXPECT_TRUE(levels.load(level, "scenario", true));
        world = std::make_unique<test::GameWorld>(levels, true);
        world->entities().loadEntityPrototypes(test::sourcePath("entities.xml"));
        world->events().addListener(&journal);
        player = static_cast<game::Human*>(world->create("player", Ogre::Vector3(-1.5f, 1.0f, 0.0f)));
        player->setController(&controller);
        player->setPlayer(true);
    }
    ~PlayerScenario() override { world->events().removeListener(&journal); }

    // One tick with this input.
    void step(float move, unsigned buttons = 0, float aimX = 1.0f)
    {
        game::Controller::TInput input;
        input.tick = static_cast<unsigned short>(world->entities().getTick() + 1);
        input.move = move;
        input.aimX = aimX;
        input.buttons = buttons;
        controller.addInput(input);
        world->tick();
    }
    // Ticks with the same input until the condition holds; false when it did not within the limit.
    bool until(const std::function<bool()>& done, float move, unsigned buttons = 0, float aimX = 1.0f,
               int limit = 600)
    {
        for (int i = 0; i < limit && !done(); ++i)
            step(move, buttons, aimX);
        return done();
    }
    void idle(int ticks)
    {
        for (int i = 0; i < ticks; ++i)
            step(0.0f);
    }
    bool heard(unsigned id, const game::Entity* a, const game::Entity* b) const
    {
        std::string event = std::to_string(id) + "," + std::to_string(a->getId()) + "," +
                            std::to_string(b ? b->getId() : 0) + ",";
        return std::find(journal.events.begin(), journal.events.end(), event) != journal.events.end();
    }
    float x() const { return player->getPosition().x; }

    test::LevelWorld levels{true};
    std::unique_ptr<test::GameWorld> world;
    game::Controller controller{0};
    test::EventJournal journal;
    game::Human* player = nullptr;
};

TEST_F(PlayerScenario, WalksFightsOpensADoorAndRidesAPlatform)
{
    auto* weapon = static_cast<game::Item*>(world->create("heavyweapon", Ogre::Vector3(8.0f, 0.5f, 0.0f)));
    auto* ammo = static_cast<game::Item*>(world->create("ammo", Ogre::Vector3(8.4f, 0.5f, 0.0f)));
    auto* key = static_cast<game::Item*>(world->create("keya", Ogre::Vector3(15.0f, 0.5f, 0.0f)));
    auto* door = static_cast<game::Door*>(world->create("doora", Ogre::Vector3(18.0f, 1.5f, 0.0f)));
    auto* platform = static_cast<game::Platform*>(world->entities().createEntity("platform"));
    platform->setPosition(PLATFORM_BOTTOM);
    platform->addRoutePoint(PLATFORM_BOTTOM);
    platform->addRoutePoint(PLATFORM_TOP);
    platform->spawn();
    idle(40);
    ASSERT_TRUE(player->isOnGround());

    // Crawls left under the ceiling, stays down there with the button released, and stands up
    // once out in the open again.
    ASSERT_TRUE(until([&] { return x() < -5.0f; }, -1.0f, Button::BUTTON_CROUCH, -1.0f));
    idle(20);
    EXPECT_TRUE(player->isCrouched());
    ASSERT_TRUE(until([&] { return x() > -2.0f; }, 1.0f, Button::BUTTON_CROUCH));
    idle(20);
    EXPECT_FALSE(player->isCrouched());
    EXPECT_NEAR(player->getPosition().y, STANDING, 0.05f);

    // A run and a jump land it on the ledge.
    ASSERT_TRUE(until([&] { return x() > 2.5f; }, 0.5f));
    step(0.5f, Button::BUTTON_JUMP);
    for (int i = 0; i < 25; ++i)
        step(0.5f);
    idle(30);
    EXPECT_NEAR(player->getPosition().y, 1.0f + STANDING, 0.01f);

    // Down at the weapon: the ammunition is taken by touch, the weapon by hand.
    ASSERT_TRUE(until([&] { return x() > 7.6f; }, 0.5f));
    idle(30);
    EXPECT_TRUE(heard(game::EventDispatcher::AmmunitionPickedUp, player, ammo));
    EXPECT_TRUE(weapon->isAvailable());
    step(0.0f, Button::BUTTON_INTERACT);
    uint16_t takenTick = world->entities().getTick();
    EXPECT_FALSE(weapon->isAvailable());
    uint32_t clip = 0, reserve = 0;
    ASSERT_NE(player->getWeapon(1, clip, reserve), nullptr);
    EXPECT_EQ(player->getWeapon(1, clip, reserve)->getName(), "heavyweapon");
    EXPECT_EQ(player->getCurrentWeaponIndex(), 1u);

    // A guard turns up ahead, its back to the player (it fires for as long as it lives). Closer
    // in, holding the trigger at it (integrity 40, 14 a bullet) kills it into a human explosion,
    // the kill the player's.
    auto* guard = static_cast<game::Human*>(world->create("guard", Ogre::Vector3(13.0f, 1.0f, 0.0f)));
    ASSERT_TRUE(until([&] { return x() > 10.5f; }, 0.3f));
    bool exploded = false;
    for (int i = 0; i < 400 && guard->getState() == game::Entity::ACTIVE; ++i)
    {
        // A new pull of the trigger on an empty clip reloads.
        step(0.0f, i % 60 == 59 ? 0 : Button::BUTTON_SHOOT);
        for (unsigned id = 1; id <= world->entities().getDynamicEntityCapacity(); ++id)
        {
            game::Entity* entity = world->entities().getEntity(id);
            exploded = exploded || (entity && entity->getName() == "humanexplosion");
        }
    }
    EXPECT_NE(guard->getState(), game::Entity::ACTIVE);
    EXPECT_TRUE(exploded);
    world->tick();
    EXPECT_TRUE(heard(game::EventDispatcher::HumanKilled, guard, player));
    player->getWeapon(1, clip, reserve);
    EXPECT_LT(clip + reserve, 150u);

    // The key opens the door, which the player walks through.
    ASSERT_TRUE(until([&] { return x() > 20.3f; }, 0.5f));
    EXPECT_TRUE(heard(game::EventDispatcher::KeyPickedUp, player, key));
    EXPECT_EQ(player->getKeyMask(), 1u);
    EXPECT_GT(door->getPosition().z, 1.0f);

    // The platform takes its rider up once it has stood in it for the wait, unhurt by the ride
    // (the guard may have hit it while it lived).
    float health = player->getHealth();
    ASSERT_TRUE(until([&] { return x() > 21.0f; }, 0.3f));
    idle(20);
    EXPECT_TRUE(platform->isOccupied());
    EXPECT_TRUE(until(
        [&] { return platform->getIndex() == 1u && platform->getPlatformState() == game::Platform::WAITING; },
        0.0f));
    idle(10);
    EXPECT_TRUE(player->isOnGround());
    EXPECT_NEAR(player->getPosition().y, PLATFORM_TOP.y + 0.15f + STANDING, 0.05f);
    EXPECT_FLOAT_EQ(player->getHealth(), health);

    // The weapon it took is back 30 s after it was taken: on the 1200th tick counting that one.
    ASSERT_TRUE(until([&] { return weapon->isAvailable(); }, 0.0f, 0, 1.0f, 1300));
    EXPECT_EQ(static_cast<uint16_t>(world->entities().getTick() - takenTick + 1), 1200);
}
} // namespace
