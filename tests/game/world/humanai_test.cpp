#include "game/world/humanai.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "game/world/human.h"
#include "support/game/gameworld.h"
#include "support/game/levelbuilder.h"
#include "support/game/levelworld.h"
#include "support/tempdir.h"
#include "toolkit/xmlelement.h"

#include <OgreMath.h>

#include <gtest/gtest.h>

#include <memory>

using game::HumanAI;

namespace
{
// The shipped "guard" and "player" in a small room whose floor (top at y = 0) runs from x = -8
// to 8, with a second floor out of the guard's range from x = 28 to 36.
class HumanAITest : public testing::Test
{
protected:
    HumanAITest()
    {
        test::LevelBuilder room;
        room.smallRoom().row("techfloor", 30.0f, 34.0f, 4.0f, -0.5f);
        EXPECT_TRUE(levels.load(room, "guardroom", true));
        world = std::make_unique<test::GameWorld>(levels, true);
        world->entities().loadEntityPrototypes(test::sourcePath("entities.xml"));
    }

    game::Human* spawn(const std::string& name, const Ogre::Vector3& position)
    {
        return static_cast<game::Human*>(world->create(name, position));
    }

    // Ticks until the condition holds, at most the limit; false when it never did.
    template <typename Condition> bool runUntil(Condition condition, int limit)
    {
        for (int i = 0; i < limit; ++i)
        {
            world->tick();
            if (condition())
                return true;
        }
        return false;
    }

    test::LevelWorld levels{true};
    std::unique_ptr<test::GameWorld> world;
};
} // namespace

TEST_F(HumanAITest, GuardPatrolsStopsAtTheLedgeTurnsOnNoiseAndHitsAndAttacksThePlayer)
{
    game::Human* guard = spawn("guard", Ogre::Vector3(2.0f, 1.0f, 0.0f));
    game::Human* player = spawn("player", Ogre::Vector3(32.0f, 1.0f, 0.0f));
    HumanAI* ai = guard->getAI();
    ASSERT_TRUE(ai->isLoaded());

    // Three seconds idle (thirty thinks, give or take the float sum), then a patrol to the right
    // at the patrol walk value.
    EXPECT_FALSE(runUntil([&] { return ai->getState() != HumanAI::IDLE; }, 116));
    EXPECT_TRUE(runUntil([&] { return ai->getState() == HumanAI::PATROL; }, 12));
    world->tick();
    EXPECT_FLOAT_EQ(guard->getWalkValue(), 0.35f);
    EXPECT_EQ(guard->getFacing(), 1.0f);

    // It stops short of the floor's end, waits 1.5 s and turns back.
    ASSERT_TRUE(runUntil([&] { return ai->getState() == HumanAI::BLOCKED; }, 400));
    EXPECT_GT(guard->getPosition().x, 6.5f);
    EXPECT_LT(guard->getPosition().x, 7.3f);
    EXPECT_TRUE(guard->isOnGround());
    int blocked = 0;
    ASSERT_TRUE(runUntil(
        [&]
        {
            ++blocked;
            return ai->getState() == HumanAI::PATROL;
        },
        100));
    // More than 1.5 s counted in thinks from the one that found the way blocked.
    EXPECT_GE(blocked, 56);
    EXPECT_LE(blocked, 60);
    EXPECT_EQ(ai->getDirection(), -1.0f);
    world->tick(20);
    EXPECT_LT(guard->getWalkValue(), 0.0f);

    // A noise behind turns it round, wherever the source is.
    world->events().post(game::EventDispatcher::Noise, static_cast<int>(player->getId()), 0, "");
    world->tick(5);
    EXPECT_EQ(ai->getDirection(), 1.0f);
    // A noise in front changes nothing.
    world->events().post(game::EventDispatcher::Noise, static_cast<int>(player->getId()), 0, "");
    world->tick(5);
    EXPECT_EQ(ai->getDirection(), 1.0f);

    // A hit without a direction tells nothing of the side: it only stuns.
    guard->damage(0.0f, guard->getPosition(), Ogre::Vector3::ZERO, guard->getId());
    world->tick(4);
    EXPECT_EQ(ai->getDirection(), 1.0f);

    // A shot from the left turns it left and stuns it.
    guard->damage(4.0f, guard->getPosition(), Ogre::Vector3::UNIT_X, player->getId());
    EXPECT_FLOAT_EQ(ai->getReactionTimer(), 0.5f);
    world->tick(4);
    EXPECT_EQ(ai->getDirection(), -1.0f);
    EXPECT_FLOAT_EQ(guard->getHealth(), 0.9f);

    // The player shows up ahead within range: found after 0.5 s, then aimed at and fired upon
    // once the reaction time has passed.
    player->respawn(Ogre::Vector3(-5.0f, 1.0f, 0.0f), false);
    ASSERT_TRUE(runUntil([&] { return ai->getState() == HumanAI::ATTACK; }, 40));
    EXPECT_EQ(ai->getTargetId(), player->getId());
    EXPECT_EQ(ai->getSpeechState(), HumanAI::SPEECH_TARGET_HUMAN);
    int untilFire = 0;
    ASSERT_TRUE(runUntil(
        [&]
        {
            ++untilFire;
            return ai->isFiring();
        },
        200));
    EXPECT_GE(untilFire, 24);
    EXPECT_EQ(guard->getFacing(), -1.0f);
    EXPECT_LT(std::fabs(guard->getAimAngle() - 0.0f), 10.0f);
    // Its pistol really fires: the player is hit.
    ASSERT_TRUE(runUntil([&] { return player->getHealth() < 1.0f; }, 120));

    // It closes in to its largest attack range, then stands.
    world->tick(160);
    float distance = guard->getPosition().x - player->getPosition().x;
    EXPECT_LE(distance, 9.2f);
    EXPECT_GT(distance, 8.0f);
    EXPECT_EQ(guard->getWalkValue(), 0.0f);

    // The player dies: the guard says so and stands at rest.
    player->damage(1000.0f, player->getPosition(), Ogre::Vector3::ZERO, guard->getId());
    world->tick(4);
    EXPECT_EQ(ai->getSpeechState(), HumanAI::SPEECH_TARGET_KILLED);
    EXPECT_EQ(ai->getState(), HumanAI::IDLE);
    EXPECT_FALSE(ai->isFiring());
}

TEST_F(HumanAITest, BacksOffFromATargetTooClose)
{
    game::Human* guard = spawn("guard", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    game::Human* player = spawn("player", Ogre::Vector3(1.5f, 1.0f, 0.0f));
    ASSERT_TRUE(runUntil([&] { return guard->getAI()->getState() == HumanAI::ATTACK; }, 40));
    world->tick(8);
    // Nearer than the smallest attack range of 3: it walks away at the attack walk value.
    EXPECT_FLOAT_EQ(guard->getWalkValue(), -0.6f);
    EXPECT_EQ(guard->getFacing(), 1.0f);
    ASSERT_TRUE(runUntil([&] { return player->getPosition().x - guard->getPosition().x > 3.0f; }, 200));
    world->tick(8);
    EXPECT_EQ(guard->getWalkValue(), 0.0f);
}

TEST_F(HumanAITest, ReadsItsTuningAndAimsWithoutASlowDownBand)
{
    brix::XMLElement definition("ai");
    game::Human* guard = spawn("guard", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    HumanAI fresh(&world->entities(), guard);
    EXPECT_FALSE(fresh.isLoaded());
    EXPECT_EQ(fresh.getTargetRange(), 0.0f);

    // Aim tolerance 0: the aim turns at full speed and stops on its target, and it never fires.
    ASSERT_GE(
        definition.parse("<ai><targettype>human</targettype><targetname>player</targetname>"
                         "<targetrange>14</targetrange><aimspeed>90</aimspeed><aimtolerance>0</aimtolerance>"
                         "</ai>"),
        0);
    ASSERT_TRUE(fresh.load(&definition));
    fresh.reset();
    for (int i = 0; i < 3; ++i)
        fresh.idle();
    Ogre::Vector2 aim = fresh.getAimDirection();
    EXPECT_NEAR(Ogre::Math::ATan2(aim.y, aim.x).valueDegrees(), -3.0f * 90.0f * 0.025f, 1e-4f);
    for (int i = 0; i < 40; ++i)
        fresh.idle();
    aim = fresh.getAimDirection();
    EXPECT_NEAR(Ogre::Math::ATan2(aim.y, aim.x).valueDegrees(), HumanAI::REST_AIM, 1e-4f);

    HumanAI copy(&world->entities(), guard);
    copy.copyParameters(fresh);
    EXPECT_TRUE(copy.isLoaded());
    EXPECT_EQ(copy.getTargetRange(), 14.0f);
}

// A guard and a soldier facing an invulnerable player in plain sight for a minute: each empties
// its clip, reloads while its last shot still keeps the weapon busy, and fires again, clip after
// clip.
TEST_F(HumanAITest, KeepsFiringAndReloadingAtAPlayerInSightUntilOneSideDies)
{
    for (const char* name : {"guard", "soldier"})
    {
        SCOPED_TRACE(name);
        world = std::make_unique<test::GameWorld>(levels, true);
        world->entities().loadEntityPrototypes(test::sourcePath("entities.xml"));
        game::Human* guard = spawn(name, Ogre::Vector3(-3.0f, 1.0f, 0.0f));
        game::Human* player = spawn("player", Ogre::Vector3(3.0f, 1.0f, 0.0f));
        player->applyCheats(true, false);
        unsigned shots = 0;
        unsigned reloads = 0;
        uint32_t last = 0, clip = 0, reserve = 0;
        guard->getWeapon(0, last, reserve);
        const uint32_t perClip = last;
        for (int tick = 0; tick < 60 * 40; ++tick)
        {
            world->tick();
            guard->getWeapon(0, clip, reserve);
            shots += clip < last ? last - clip : 0;
            reloads += clip > last;
            last = clip;
        }
        EXPECT_EQ(guard->getAI()->getState(), HumanAI::ATTACK);
        EXPECT_GE(reloads, 3u);
        EXPECT_GT(shots, 3 * perClip);
    }
}
