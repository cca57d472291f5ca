#include "game/world/sentrygun.h"
#include "game/world/controller.h"
#include "game/world/human.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "support/game/entitylink.h"
#include "support/game/eventlink.h"
#include "support/game/gameworld.h"
#include "support/logcapture.h"

#include <OgreException.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

using game::SentryGun;
using testing::Contains;
using testing::HasSubstr;

namespace
{
const char* const GUNS = R"(
<projectile><name>bullet</name><id>70</id><mass>0.05</mass><mesh>projectile.mesh</mesh><damage>6</damage>
    <distancelimit>30</distancelimit></projectile>
<sentrygun><name>gun</name><id>71</id><body>sentrygun</body><mesh>sentrygun.mesh</mesh><integrity>10</integrity>
    <explosion>barrelexplosion</explosion><shootdelay>0.25</shootdelay><poweruptime>0.8</poweruptime>
    <powerdowntime>1.2</powerdowntime><powerdowndelay>2</powerdowndelay>
    <flash><mesh>sentryflash.mesh</mesh><offset>0.75 0.35 0</offset><color>1 0.8 0.45</color><range>4</range></flash>
    <projectile><name>bullet</name><speed>35</speed><offset>0.75 0.35 0</offset><spread>2</spread></projectile>
    <ai><targetdetecttime>0.3</targetdetecttime><targetreleasetime>2</targetreleasetime><targettype>human</targettype>
        <targetname>player</targetname><targetrange>12</targetrange><targetwidth>1.5</targetwidth></ai></sentrygun>
<sentrygun><name>quickgun</name><id>72</id><mesh>sentrygun.mesh</mesh><shootdelay>0.05</shootdelay>
    <ai><targettype>human</targettype><targetrange>12</targetrange><targetwidth>1.5</targetwidth></ai></sentrygun>
<sentrygun><name>blindgun</name><id>73</id><mesh>sentrygun.mesh</mesh>
    <ai><targettype>human</targettype><targetrange>12</targetrange></ai></sentrygun>
<sentrygun><name>slowgun</name><id>74</id><mesh>sentrygun.mesh</mesh><poweruptime>1</poweruptime>
    <powerdowntime>1</powerdowntime>
    <ai><targettype>human</targettype><targetrange>12</targetrange><targetwidth>1.5</targetwidth></ai></sentrygun>
<sentrygun><name>deadgun</name><id>75</id><mesh>sentrygun.mesh</mesh><projectile><name>nosuchbullet</name></projectile>
    <shootdelay>0.25</shootdelay><ai><targettype>human</targettype><targetrange>12</targetrange>
    <targetwidth>1.5</targetwidth></ai></sentrygun>
)";

constexpr float GUN_HEIGHT = 0.6f;

// One change of a gun's power state: the tick of the run it happened on and the new state.
struct Change
{
    int tick;
    unsigned state;
};

class SentryGunTest : public testing::Test
{
protected:
    SentryGunTest()
    {
        world.loadEntities();
        world.loadEntities(GUNS);
        world.events().addListener(&journal);
    }
    ~SentryGunTest() override { world.events().removeListener(&journal); }

    SentryGun* gun(const std::string& name, bool facingLeft = false)
    {
        Ogre::Quaternion facing = facingLeft ? Ogre::Quaternion(Ogre::Degree(180.0f), Ogre::Vector3::UNIT_Y)
                                             : Ogre::Quaternion::IDENTITY;
        return static_cast<SentryGun*>(
            world.create(name, Ogre::Vector3(0.0f, GUN_HEIGHT, 0.0f), Ogre::Vector3::ZERO, facing));
    }

    // Runs the ticks and notes every power state change of the gun, counting ticks on from the
    // last run.
    void run(SentryGun* target, int ticks)
    {
        for (int i = 0; i < ticks; ++i)
        {
            unsigned before = target->getPowerState();
            world.tick();
            ++tick;
            if (target->getPowerState() != before)
                changes.push_back({tick, target->getPowerState()});
        }
    }

    std::vector<int> ticksOf(unsigned state) const
    {
        std::vector<int> ticks;
        for (const Change& change : changes)
            if (change.state == state)
                ticks.push_back(change.tick);
        return ticks;
    }

    int countType(const std::string& type)
    {
        std::vector<game::Entity*> found;
        world.entities().findEntities(found, Ogre::Vector3::ZERO, 0.0f, type);
        return static_cast<int>(found.size());
    }

    test::GameOgre ogre;
    test::GameWorld world{ogre.createSceneManager()};
    test::EventJournal journal;
    std::vector<Change> changes;
    int tick = 0;
};
} // namespace

TEST_F(SentryGunTest, PowersUpForThePlayerFiresAtItsIntervalsAndPowersDownAfterLosingHim)
{
    SentryGun* sentry = gun("gun");
    game::Entity* player = world.create("player", Ogre::Vector3(-6.0f, GUN_HEIGHT, 0.0f));
    // Behind the gun it sees nothing.
    run(sentry, 40);
    EXPECT_TRUE(changes.empty());

    player->setPosition(Ogre::Vector3(6.0f, GUN_HEIGHT + 0.3f, 0.0f));
    run(sentry, 200);
    std::vector<int> up = ticksOf(SentryGun::POWERING_UP);
    ASSERT_EQ(up.size(), 1u);
    // Found on the third think of seeing him (detect time 0.3 s).
    EXPECT_GT(up[0], 40 + 8);
    EXPECT_LE(up[0], 40 + 12);
    // 0.8 s of power-up, then a shot every 11 ticks with a 0.25 s shoot delay.
    EXPECT_EQ(ticksOf(SentryGun::READY).front(), up[0] + 32);
    std::vector<int> shots = ticksOf(SentryGun::FIRED);
    ASSERT_GE(shots.size(), 10u);
    EXPECT_EQ(shots[0], up[0] + 33);
    for (size_t i = 1; i < shots.size(); ++i)
        EXPECT_EQ(shots[i] - shots[i - 1], 11);
    EXPECT_EQ(ticksOf(SentryGun::RELOADING).front(), shots[0] + 6);
    EXPECT_EQ(sentry->getPowerLevel(), 1.0f);

    // Its bullets leave along its facing from the muzzle.
    std::vector<game::Entity*> bullets;
    world.entities().findEntities(bullets, Ogre::Vector3::ZERO, 0.0f, "projectile");
    ASSERT_FALSE(bullets.empty());
    EXPECT_GT(bullets.back()->getLinearVelocity().x, 34.0f);
    EXPECT_LT(std::fabs(bullets.back()->getLinearVelocity().y), 35.0f * 0.035f);
    EXPECT_NE(bullets.back()->getFlags() & game::Entity::RUNTIME_PURGE_AT_ONCE, 0u);

    // Up out of the band: held for the release time of 2 s, then the power-down delay of 2 s
    // and 1.2 s of powering down.
    player->setPosition(Ogre::Vector3(6.0f, GUN_HEIGHT + 2.0f, 0.0f));
    int lost = tick;
    changes.clear();
    run(sentry, 400);
    EXPECT_FALSE(sentry->hasTarget());
    shots = ticksOf(SentryGun::FIRED);
    ASSERT_FALSE(shots.empty());
    EXPECT_GT(shots.back(), lost + 80 - 16);
    EXPECT_LE(shots.back(), lost + 80);
    std::vector<int> ready = ticksOf(SentryGun::READY);
    std::vector<int> down = ticksOf(SentryGun::POWERING_DOWN);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(down[0], ready.back() + 80);
    EXPECT_EQ(ticksOf(SentryGun::OFF), std::vector<int>({down[0] + 48}));
    EXPECT_EQ(sentry->getPowerLevel(), 0.0f);
}

TEST_F(SentryGunTest, SeesOnlyToItsFacingSideWithinItsBand)
{
    SentryGun* right = gun("gun");
    SentryGun* left = gun("gun", true);
    const game::SentryGunAI& ai = right->getAI();
    EXPECT_FALSE(ai.isTargetInView(Ogre::Vector3(-3.0f, 0.0f, 0.0f)));
    EXPECT_TRUE(ai.isTargetInView(Ogre::Vector3(3.0f, 1.49f, 2.0f)));
    EXPECT_TRUE(ai.isTargetInView(Ogre::Vector3(0.0f, 0.0f, 0.0f)));
    EXPECT_FALSE(ai.isTargetInView(Ogre::Vector3(3.0f, 1.5f, 0.0f)));
    EXPECT_FALSE(ai.isTargetInView(Ogre::Vector3(3.0f, -1.5f, 0.0f)));
    EXPECT_TRUE(left->getAI().isTargetInView(Ogre::Vector3(-3.0f, -1.0f, 0.0f)));
    EXPECT_FALSE(left->getAI().isTargetInView(Ogre::Vector3(3.0f, 0.0f, 0.0f)));

    // Without a band nothing is ever in view.
    SentryGun* blind = gun("blindgun");
    world.create("player", Ogre::Vector3(3.0f, GUN_HEIGHT, 0.0f));
    run(blind, 40);
    EXPECT_EQ(blind->getPowerState(), SentryGun::OFF);
    EXPECT_FALSE(blind->getAI().hasTarget());
}

TEST_F(SentryGunTest, ZeroTimesActAtOnceAndAShortShootDelayKeepsFiring)
{
    SentryGun* quick = gun("quickgun");
    world.create("player", Ogre::Vector3(3.0f, GUN_HEIGHT, 0.0f));
    run(quick, 100);
    std::vector<int> up = ticksOf(SentryGun::POWERING_UP);
    ASSERT_FALSE(up.empty());
    EXPECT_EQ(ticksOf(SentryGun::READY).front(), up[0] + 1);
    std::vector<int> shots = ticksOf(SentryGun::FIRED);
    ASSERT_GE(shots.size(), 20u);
    // Two ticks fired, one reloading, one ready.
    for (size_t i = 1; i < shots.size(); ++i)
        EXPECT_EQ(shots[i] - shots[i - 1], 4);
    // No projectile defined: it goes through the motions and creates nothing.
    EXPECT_EQ(countType("projectile"), 0);
}

TEST_F(SentryGunTest, DisarmingPowersDownAtOnceAndArmingSearchesAfresh)
{
    SentryGun* sentry = gun("gun");
    game::Entity* player = world.create("player", Ogre::Vector3(4.0f, GUN_HEIGHT, 0.0f));
    run(sentry, 60);
    ASSERT_FALSE(ticksOf(SentryGun::READY).empty());
    // Wait for the gun to be ready between shots, out of view so it does not fire again.
    player->setPosition(Ogre::Vector3(-4.0f, GUN_HEIGHT, 0.0f));
    run(sentry, 100);
    ASSERT_EQ(sentry->getPowerState(), SentryGun::READY);
    sentry->setArmed(false);
    changes.clear();
    run(sentry, 1);
    EXPECT_EQ(sentry->getPowerState(), SentryGun::POWERING_DOWN);
    EXPECT_FALSE(sentry->hasTarget());

    // Disarmed, it ignores the player in plain view.
    player->setPosition(Ogre::Vector3(4.0f, GUN_HEIGHT, 0.0f));
    run(sentry, 100);
    EXPECT_EQ(sentry->getPowerState(), SentryGun::OFF);
    sentry->setArmed(true);
    EXPECT_EQ(sentry->getAI().getTargetId(), 0u);
    run(sentry, 60);
    EXPECT_TRUE(sentry->hasTarget());

    // A player beside it switches it with the interact button, once per press.
    game::Controller controller(0);
    auto* human = static_cast<game::Human*>(player);
    human->setController(&controller);
    human->setPosition(Ogre::Vector3(1.0f, GUN_HEIGHT, 0.0f));
    const unsigned interact = game::Controller::BUTTON_INTERACT;
    const std::vector<std::pair<unsigned, bool>> presses = {
        {interact, false}, {interact, false}, {0u, false}, {interact, true}};
    for (const auto& [buttons, armed] : presses)
    {
        game::Controller::TInput input;
        input.tick = static_cast<uint16_t>(world.entities().getTick() + 1);
        input.aimX = 1.0f;
        input.buttons = buttons;
        controller.addInput(input);
        world.tick();
        EXPECT_EQ(sentry->isArmed(), armed);
    }
    human->setController(nullptr);
}

TEST_F(SentryGunTest, RegainingATargetWhilePoweringDownResumesFromTheLevelReached)
{
    SentryGun* slow = gun("slowgun");
    game::Entity* player = world.create("player", Ogre::Vector3(4.0f, GUN_HEIGHT, 0.0f));
    run(slow, 60);
    ASSERT_EQ(slow->getPowerLevel(), 1.0f);
    player->setPosition(Ogre::Vector3(-4.0f, GUN_HEIGHT, 0.0f));
    while (slow->getPowerState() != SentryGun::POWERING_DOWN && tick < 200)
        run(slow, 1);
    while (slow->getPowerLevel() > 0.5f && tick < 300)
        run(slow, 1);
    player->setPosition(Ogre::Vector3(4.0f, GUN_HEIGHT, 0.0f));
    float level = slow->getPowerLevel();
    int at = tick;
    changes.clear();
    run(slow, 60);
    std::vector<int> up = ticksOf(SentryGun::POWERING_UP);
    std::vector<int> ready = ticksOf(SentryGun::READY);
    ASSERT_EQ(up.size(), 1u);
    ASSERT_FALSE(ready.empty());
    // The level kept falling until the next think saw the player again; from there the power-up
    // takes the share of its second that was lost.
    float regained = level - (up[0] - 1 - at) / 40.0f;
    EXPECT_NEAR(ready[0] - up[0], 40.0f * (1.0f - regained), 1.0f);
    EXPECT_LE(ready[0] - up[0], 23);
    EXPECT_GE(ready[0] - up[0], 20);
}

TEST_F(SentryGunTest, DiesOnceFromDamageIntoItsExplosionWithoutEventOrScore)
{
    SentryGun* sentry = gun("gun");
    game::Entity* shooter = world.create("player", Ogre::Vector3(-10.0f, GUN_HEIGHT, 0.0f));
    sentry->damage(2.5f, sentry->getPosition(), Ogre::Vector3::UNIT_X, shooter->getId());
    EXPECT_FLOAT_EQ(sentry->getHealth(), 0.75f);
    for (int i = 0; i < 3; ++i)
        sentry->damage(2.5f, sentry->getPosition(), Ogre::Vector3::UNIT_X, shooter->getId());
    EXPECT_EQ(sentry->getState(), game::Entity::KILLED);
    EXPECT_EQ(sentry->getHealth(), 0.0f);
    sentry->damage(2.5f, sentry->getPosition(), Ogre::Vector3::UNIT_X, shooter->getId());
    std::vector<game::Entity*> explosions;
    world.entities().findEntities(explosions, Ogre::Vector3::ZERO, 0.0f, "explosion");
    ASSERT_EQ(explosions.size(), 1u);
    EXPECT_EQ(explosions[0]->getOwnerId(), shooter->getId());
    world.tick(2);
    EXPECT_TRUE(journal.events.empty());

    // A gun without integrity takes no damage.
    SentryGun* immune = gun("quickgun");
    immune->damage(100.0f, immune->getPosition(), Ogre::Vector3::UNIT_X, shooter->getId());
    EXPECT_EQ(immune->getState(), game::Entity::ACTIVE);
    EXPECT_EQ(immune->getHealth(), 0.0f);
}

TEST_F(SentryGunTest, ReportsBadDefinitionsAndStates)
{
    try
    {
        world.loadEntities("<sentrygun><name>nomesh</name><id>76</id></sentrygun>");
        ADD_FAILURE() << "a gun without mesh loaded";
    }
    catch (const Ogre::Exception& error)
    {
        EXPECT_THAT(error.getDescription(), HasSubstr("No mesh defined for prop 'nomesh'"));
    }

    test::LogCapture log;
    game::Entity* odd = world.entities().createEntity("gun");
    odd->setInitialState("asleep");
    odd->spawn();
    EXPECT_TRUE(static_cast<SentryGun*>(odd)->isArmed());
    EXPECT_THAT(log.errors(), Contains(HasSubstr("Unsupported initial state 'asleep' for sentrygun")));
    game::Entity* off = world.entities().createEntity("gun");
    off->setInitialState("disarmed");
    off->spawn();
    EXPECT_FALSE(static_cast<SentryGun*>(off)->isArmed());

    // An unknown projectile is logged at the shot, and the gun keeps cycling.
    SentryGun* dead = gun("deadgun");
    world.create("player", Ogre::Vector3(3.0f, GUN_HEIGHT, 0.0f));
    run(dead, 60);
    EXPECT_GE(ticksOf(SentryGun::FIRED).size(), 2u);
    EXPECT_THAT(log.errors(), Contains(HasSubstr("nosuchbullet")));
}

TEST(SentryGunReplication, ClientSeesThePowerStatesAndTheFacingItWasPlacedWith)
{
    test::GameOgre ogre;
    test::EntityLink link(ogre, 2, 0.0);
    link.loadEntities();
    link.loadEntities(GUNS);
    const Ogre::Quaternion left(Ogre::Degree(180.0f), Ogre::Vector3::UNIT_Y);
    auto* gun = static_cast<SentryGun*>(
        link.server.create("gun", Ogre::Vector3(0.0f, GUN_HEIGHT, 0.0f), Ogre::Vector3::ZERO, left));
    game::Entity* player = link.server.create("player", Ogre::Vector3(-5.0f, GUN_HEIGHT, 0.0f));
    link.focus(player);
    link.tick(80);
    ASSERT_TRUE(gun->hasTarget());
    auto* copy = static_cast<SentryGun*>(link.client.entities().getEntity(gun->getId()));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getType(), "sentrygun");
    EXPECT_TRUE(copy->hasTarget());
    EXPECT_TRUE(copy->isArmed());
    EXPECT_GE(copy->getPowerState(), static_cast<unsigned>(SentryGun::READY));
    // Position, a coarse orientation, power state, armed, has target and timer.
    EXPECT_EQ(gun->getStateCodec()->getSizeBits(), 16u + 16u + 8u + 4u * 4u + 3u + 1u + 1u + 8u);
    // Within a degree of the server's facing: the gun must not tilt on a client.
    Ogre::Radian angle;
    Ogre::Vector3 axis;
    (copy->getOrientation() * gun->getOrientation().Inverse()).ToAngleAxis(angle, axis);
    EXPECT_LT(std::fabs(angle.valueDegrees()), 1.0f);
    std::vector<game::Entity*> served;
    link.server.entities().findEntities(served, Ogre::Vector3::ZERO, 0.0f, "projectile");
    EXPECT_FALSE(served.empty());
}
