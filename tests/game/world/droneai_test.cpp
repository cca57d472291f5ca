#include "game/world/droneai.h"
#include "game/world/drone.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "support/game/eventlink.h"
#include "support/game/gameworld.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

using testing::Contains;

namespace
{
// "watcher" has no body, so it stays where the test puts it while its brain thinks; "rammer"
// flies straight at its target and backs off after hitting it.
const char* const DRONES = R"(
<drone><name>watcher</name><id>60</id><mesh>drone.mesh</mesh><speed>3</speed><integrity>30</integrity>
    <ai><targettype>human</targettype><idletargetrange>5</idletargetrange><activetargetrange>12</activetargetrange>
    <idlephasetime>2</idlephasetime><searchphasetime>2</searchphasetime><attackdistance>4</attackdistance>
    <targetreleasetime>0.5</targetreleasetime></ai></drone>
<drone><name>sideways</name><id>61</id><mesh>drone.mesh</mesh>
    <ai><targettype>human</targettype><idletargetrange>5</idletargetrange><limitfieldofview>true</limitfieldofview></ai></drone>
<drone><name>rammer</name><id>62</id><body>drone</body><mesh>drone.mesh</mesh><speed>4</speed><integrity>30</integrity>
    <attackdamage>10</attackdamage>
    <ai><targettype>human</targettype><idletargetrange>8</idletargetrange><activetargetrange>12</activetargetrange>
    <retreatdistance>3</retreatdistance><retreattime>1</retreattime></ai></drone>
<human><name>runner</name><id>63</id><weapon>pistol</weapon><body>human</body><mesh>human.mesh</mesh><integrity>100</integrity></human>
)";

class DroneAITest : public testing::Test
{
protected:
    DroneAITest()
    {
        std::srand(7);
        world.loadEntities();
        world.loadEntities(DRONES);
        world.events().addListener(&journal);
        // Rays miss the test world's wide ground slab away from its middle: a floor of their own.
        world.addBlock(Ogre::Vector3(0.0f, -0.5f, 0.0f), Ogre::Vector3(80.0f, 1.0f, 3.0f));
    }
    ~DroneAITest() override { world.events().removeListener(&journal); }

    game::Drone* create(const std::string& name, const Ogre::Vector3& position)
    {
        return static_cast<game::Drone*>(world.create(name, position));
    }
    // Whole thinks: four ticks each.
    void think(int count = 1) { world.tick(4 * count); }

    test::GameOgre ogre;
    test::GameWorld world{nullptr};
    test::EventJournal journal;
};
} // namespace

TEST_F(DroneAITest, AHitWakesItTowardTheShooterANoiseOnlyTurnsIt)
{
    game::Drone* drone = create("watcher", Ogre::Vector3(0.0f, 5.0f, 0.0f));
    game::Entity* player = world.create("player", Ogre::Vector3(-9.0f, 1.0f, 0.0f));
    think();
    EXPECT_EQ(drone->getAIState(), game::DroneAI::IDLE);
    // A noise within the active range: half a push, which only turns the idle drone.
    world.events().post(game::EventDispatcher::Noise, static_cast<int>(player->getId()), 0, "");
    think();
    EXPECT_EQ(drone->getAIState(), game::DroneAI::IDLE);
    const Ogre::Vector3 toNoise = player->getPosition() - drone->getPosition();
    EXPECT_TRUE(drone->getAim().positionEquals(Ogre::Vector2(toNoise.x, toNoise.y).normalisedCopy(), 1e-5f));
    EXPECT_EQ(drone->getMove(), Ogre::Vector3::ZERO);
    // A shot travelling left hits it: it turns right toward the shooter and searches that way.
    drone->damage(1.0f, drone->getPosition(), Ogre::Vector3(-1.0f, 0.0f, 0.0f), 0);
    think();
    EXPECT_EQ(drone->getAIState(), game::DroneAI::SEARCH);
    EXPECT_EQ(drone->getAim(), Ogre::Vector2(1.0f, 0.0f));
    EXPECT_EQ(drone->getMove(), Ogre::Vector3(1.0f, 0.0f, 0.0f));
    // Searching, it finds the player within the active range and attacks.
    think();
    EXPECT_EQ(drone->getAIState(), game::DroneAI::ATTACK);
}

TEST_F(DroneAITest, KeepsItsAttackDistanceAndFiresOnlyOnceTheTargetIsSeen)
{
    // A target within the idle range at spawn is attacked at once, before any think.
    game::Entity* player = world.create("player", Ogre::Vector3(4.1f, 1.0f, 0.0f));
    game::Drone* drone = create("watcher", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(drone->getAI().getState(), game::DroneAI::ATTACK);
    game::DroneAI& ai = drone->getAI();
    // Within 0.2 of the attack distance of 4 it holds still and aims; the target's visibility
    // is known from this think on, so it fires from the next.
    think();
    EXPECT_EQ(ai.getMoveDirection(), Ogre::Vector2::ZERO);
    EXPECT_EQ(ai.getAimDirection(), Ogre::Vector2(1.0f, 0.0f));
    EXPECT_TRUE(ai.isFiring());
    // Too far: full speed toward it (clamp(2 x 5 / 4) = 1).
    player->setPosition(Ogre::Vector3(6.0f, 1.0f, 0.0f));
    think();
    EXPECT_TRUE(ai.getMoveDirection().positionEquals(Ogre::Vector2(1.0f, 0.0f), 1e-5f));
    EXPECT_FALSE(ai.isFiring()); // 6 is not below 4 x 1.25
    // Too near: it backs away at full speed while still facing the target.
    player->setPosition(Ogre::Vector3(3.0f, 1.0f, 0.0f));
    think();
    EXPECT_TRUE(ai.getMoveDirection().positionEquals(Ogre::Vector2(-1.0f, 0.0f), 1e-5f));
    EXPECT_EQ(ai.getAimDirection(), Ogre::Vector2(1.0f, 0.0f));
    EXPECT_TRUE(ai.isFiring());
    // A target right where the drone is gives no direction: the aim still points somewhere.
    player->setPosition(drone->getPosition());
    think();
    EXPECT_NEAR(ai.getAimDirection().length(), 1.0f, 1e-5f);
    // Out of the active range for the release time: dropped, and the drone searches.
    player->setPosition(Ogre::Vector3(30.0f, 1.0f, 0.0f));
    think(5);
    EXPECT_EQ(ai.getState(), game::DroneAI::SEARCH);
    EXPECT_FALSE(ai.isFiring());
}

TEST_F(DroneAITest, SearchesInNewDirectionsEveryPhaseAndFallsBackToIdle)
{
    game::Drone* drone = create("watcher", Ogre::Vector3(0.0f, 5.0f, 0.0f));
    drone->damage(1.0f, drone->getPosition(), Ogre::Vector3(0.0f, 1.0f, 0.0f), 0);
    think();
    ASSERT_EQ(drone->getAIState(), game::DroneAI::SEARCH);
    const Ogre::Vector3 first = drone->getMove();
    // 2 s of the same direction, then a new one (the phase timer must exceed the phase time).
    think(19);
    EXPECT_EQ(drone->getMove(), first);
    think(2);
    EXPECT_NE(drone->getMove(), first);
    EXPECT_NEAR(drone->getMove().length(), 1.0f, 1e-5f);
    // After 10 s of searching without a target it idles and stops.
    think(79);
    EXPECT_EQ(drone->getAIState(), game::DroneAI::IDLE);
    EXPECT_EQ(drone->getMove(), Ogre::Vector3::ZERO);
}

TEST_F(DroneAITest, ALimitedFieldOfViewSeesOnlyTheSideItFaces)
{
    game::Drone* drone = create("sideways", Ogre::Vector3(0.0f, 5.0f, 0.0f));
    const game::DroneAI& ai = drone->getAI();
    EXPECT_EQ(ai.getAimDirection(), Ogre::Vector2(1.0f, 0.0f));
    EXPECT_TRUE(ai.isTargetInView(Ogre::Vector3(0.0f, -3.0f, 0.0f)));
    EXPECT_FALSE(ai.isTargetInView(Ogre::Vector3(-0.1f, 0.0f, 0.0f)));
    // Facing left, straight below is not in view.
    drone->damage(1.0f, drone->getPosition(), Ogre::Vector3(1.0f, 0.0f, 0.0f), 0);
    think();
    EXPECT_EQ(ai.getAimDirection(), Ogre::Vector2(-1.0f, 0.0f));
    EXPECT_FALSE(ai.isTargetInView(Ogre::Vector3(0.0f, -3.0f, 0.0f)));
    EXPECT_TRUE(ai.isTargetInView(Ogre::Vector3(-2.0f, 0.0f, 0.0f)));
    // A drone that comes to life beside a target attacks whatever it faces.
    world.create("player", Ogre::Vector3(-13.0f, 3.0f, 0.0f));
    game::Drone* behind = create("sideways", Ogre::Vector3(-10.0f, 4.0f, 0.0f));
    EXPECT_EQ(behind->getAI().getState(), game::DroneAI::ATTACK);
}

TEST_F(DroneAITest, RamsItsTargetThenBacksOffAndAttacksAgain)
{
    game::Entity* player = world.create("runner", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    world.tick(10);
    game::Drone* drone = create("rammer", Ogre::Vector3(6.0f, 1.3f, 0.0f));
    ASSERT_EQ(drone->getAI().getState(), game::DroneAI::ATTACK);
    bool retreated = false;
    for (int i = 0; i < 200 && !retreated; ++i)
    {
        world.tick();
        retreated = drone->getAIState() == game::DroneAI::RETREAT;
    }
    ASSERT_TRUE(retreated);
    // The ram hurt the player for the drone's attack damage.
    EXPECT_NEAR(player->getHealth(), 0.9f, 1e-4f);
    EXPECT_THAT(journal.events, Contains(std::to_string(game::EventDispatcher::HumanHurt) + "," +
                                         std::to_string(player->getId()) + ",0,"));
    // It backs away, then attacks again within the retreat time.
    EXPECT_GT(drone->getMove().x, 0.0f);
    think(11);
    EXPECT_EQ(drone->getAIState(), game::DroneAI::ATTACK);
}
