#include "game/world/human.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "engine/core/body.h"
#include "engine/core/bodytemplate.h"
#include "engine/presentation/decalmanager.h"
#include "game/world/controller.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "game/world/humananimation.h"
#include "game/world/humanbody.h"
#include "game/world/item.h"
#include "game/world/shield.h"
#include "game/world/weapon.h"
#include "game/world/weaponslot.h"
#include "support/game/entitylink.h"
#include "support/game/gameworld.h"
#include "support/game/levelbuilder.h"
#include "support/game/levelworld.h"
#include "support/tempdir.h"

#include <OgreAnimationState.h>
#include <OgreEntity.h>
#include <OgreMesh.h>
#include <OgreSceneManager.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace
{
using Button = game::Controller::Button;

// Records the game events of each tick.
class EventLog : public game::EventDispatcher::Listener
{
public:
    struct Event
    {
        unsigned int id;
        int a;
        int b;
    };
    void onEvent(unsigned int id, int a, int b, const std::string&) override { events.push_back({id, a, b}); }
    bool contains(unsigned int id, int a, int b) const
    {
        for (const Event& event : events)
            if (event.id == id && event.a == a && event.b == b)
                return true;
        return false;
    }
    std::vector<Event> events;
};

// The shipped "player" in a small room: the floor's top at y = 0 from x = -8 to 8, a ledge of
// two cubes with its top at y = 1 from x = 4 to 6, and a ceiling whose underside is at y = 1.2
// from x = -7 to -3; a cube high up makes room for falls. Further right the floor goes on
// to x = 16 with a ramp rising 2 over 4 from x = 10 to 14, and there is more floor from
// x = -16 to -12 for a lift. The player is driven by a controller the test fills
// tick by tick.
class HumanTest : public testing::Test
{
protected:
    static constexpr float LEDGE_TOP = 1.0f;
    static constexpr float CEILING_BOTTOM = 1.2f;
    // The hover spring (20000 N/m toward 0.95 m) carries the 75 kg body a little lower.
    static constexpr float STANDING = 0.95f - 75.0f * 9.8f / 20000.0f;

    HumanTest()
    {
        test::LevelBuilder room;
        room.smallRoom()
            .block("techcube", Ogre::Vector3(4.5f, 0.5f, 0.0f))
            .block("techcube", Ogre::Vector3(5.5f, 0.5f, 0.0f))
            .block("techceiling", Ogre::Vector3(-5.0f, CEILING_BOTTOM + 0.5f, 0.0f))
            .block("techcube", Ogre::Vector3(7.5f, 10.5f, 0.0f))
            .row("techfloor", 10.0f, 14.0f, 4.0f, -0.5f)
            .block("techramp", Ogre::Vector3(12.0f, 1.0f, 0.0f))
            .row("techfloor", -14.0f, -14.0f, 4.0f, -0.5f);
        EXPECT_TRUE(levels.load(room, "humanroom", true));
        world = std::make_unique<test::GameWorld>(levels, true);
        world->entities().loadEntityPrototypes(test::sourcePath("entities.xml"));
        world->events().addListener(&log);
    }
    ~HumanTest() override { world->events().removeListener(&log); }

    game::Human* spawnPlayer(const Ogre::Vector3& position, bool withController = true)
    {
        game::Human* human = static_cast<game::Human*>(world->create("player", position));
        if (withController)
            human->setController(&controller);
        return human;
    }

    // Runs ticks with the same input on each.
    void drive(int ticks, float move, unsigned buttons = 0, float aimX = 1.0f, float aimY = 0.0f)
    {
        for (int i = 0; i < ticks; ++i)
        {
            game::Controller::TInput input;
            input.tick = static_cast<unsigned short>(world->entities().getTick() + 1);
            input.move = move;
            input.aimX = aimX;
            input.aimY = aimY;
            input.buttons = buttons;
            controller.addInput(input);
            world->tick();
        }
    }

    int noises(int id) const
    {
        int count = 0;
        for (const EventLog::Event& event : log.events)
            count += event.id == game::EventDispatcher::Noise && event.a == id;
        return count;
    }

    test::LevelWorld levels{true};
    std::unique_ptr<test::GameWorld> world;
    game::Controller controller{0};
    EventLog log;
};

TEST_F(HumanTest, FloatsAtTheStandHeightAndWalksAtTheWalkSpeedWithinTheForceLimit)
{
    game::Human* human = spawnPlayer(Ogre::Vector3(-1.0f, 1.0f, 0.0f));
    drive(40, 0.0f);
    EXPECT_TRUE(human->isOnGround());
    EXPECT_NEAR(human->getPosition().y, STANDING, 0.002f);
    EXPECT_NEAR(human->getBody()->getHeightAboveGround(), STANDING, 0.002f);
    EXPECT_NEAR(human->getBody()->getGroundNormal().y, 1.0f, 1e-4f);

    // From rest the walking force is at its limit: 1800 N on 75 kg for one tick.
    drive(1, 1.0f);
    EXPECT_NEAR(human->getLinearVelocity().x, 1800.0f / 75.0f * 0.025f, 0.01f);
    drive(40, 1.0f);
    EXPECT_NEAR(human->getLinearVelocity().x, game::HumanBody::WALK_SPEED, 0.02f);
    EXPECT_FLOAT_EQ(human->getWalkValue(), 1.0f);
    EXPECT_NEAR(human->getPosition().y, STANDING, 0.005f);
    EXPECT_NEAR(human->getPosition().z, 0.0f, 1e-3f);

    // Walking backwards, aiming the other way, is slower by a quarter; the body turns round.
    drive(60, -1.0f, 0, 1.0f);
    drive(60, 1.0f, 0, -1.0f);
    EXPECT_NEAR(human->getLinearVelocity().x, 0.75f * game::HumanBody::WALK_SPEED, 0.02f);
    EXPECT_FLOAT_EQ(human->getFacing(), -1.0f);
    EXPECT_NEAR(human->getTurnAngle(), -180.0f, 0.01f);

    // With no input the walking force brakes within its limit too.
    float before = human->getLinearVelocity().x;
    drive(1, 0.0f, 0, -1.0f);
    EXPECT_NEAR(before - human->getLinearVelocity().x, 0.6f, 0.01f);
}

TEST_F(HumanTest, JumpsOnceAPressAndOntoALedge)
{
    game::Human* human = spawnPlayer(Ogre::Vector3(0.0f, 1.0f, 0.0f));
    drive(40, 0.0f);
    drive(1, 0.0f, Button::BUTTON_JUMP);
    // The impulse gives 4.7 upward, gravity takes its share of the tick.
    EXPECT_NEAR(human->getLinearVelocity().y, game::HumanBody::JUMP_SPEED - 9.8f * 0.025f, 0.02f);
    EXPECT_TRUE(human->isJumping());
    // Holding the button does not jump again, nor does a new press while rising.
    float rising = human->getLinearVelocity().y;
    drive(3, 0.0f, Button::BUTTON_JUMP);
    drive(1, 0.0f);
    drive(1, 0.0f, Button::BUTTON_JUMP);
    EXPECT_NEAR(human->getLinearVelocity().y, rising - 5 * 9.8f * 0.025f, 0.02f);
    drive(80, 0.0f);
    EXPECT_TRUE(human->isOnGround());
    EXPECT_FALSE(human->isJumping());
    EXPECT_NEAR(human->getPosition().y, STANDING, 0.005f);

    // A run and a jump land on the ledge, one metre up.
    while (human->getPosition().x < 2.5f)
        drive(1, 0.5f);
    drive(1, 0.5f, Button::BUTTON_JUMP);
    drive(25, 0.5f);
    drive(30, 0.0f);
    EXPECT_TRUE(human->isOnGround());
    EXPECT_GT(human->getPosition().x, 4.0f);
    EXPECT_LT(human->getPosition().x, 6.0f);
    EXPECT_NEAR(human->getPosition().y, LEDGE_TOP + STANDING, 0.005f);
    EXPECT_FLOAT_EQ(human->getHealth(), 1.0f);
}

TEST_F(HumanTest, StaysCrouchedUnderACeilingUntilThereIsRoomToStand)
{
    game::Human* human = spawnPlayer(Ogre::Vector3(-1.5f, 1.0f, 0.0f));
    drive(40, 0.0f);
    drive(20, 0.0f, Button::BUTTON_CROUCH, -1.0f);
    ASSERT_TRUE(human->isCrouched());
    // Crouched on the floor the body rests on its shape, half a metre up.
    EXPECT_NEAR(human->getPosition().y, human->getBody()->getCrouchingFootDepth(), 0.02f);
    EXPECT_NEAR(human->getBody()->getCrouchingFootDepth(), 0.5f, 1e-4f);

    // Crawling under the ceiling at a tenth of the walk speed.
    while (human->getPosition().x > -5.0f)
    {
        drive(1, -1.0f, Button::BUTTON_CROUCH, -1.0f);
        ASSERT_LT(world->entities().getTick(), 1000);
    }
    EXPECT_NEAR(human->getLinearVelocity().x, -0.1f * game::HumanBody::WALK_SPEED, 0.05f);

    // Released under the ceiling: the body rises as far as it can and stays crouched.
    drive(60, 0.0f, 0, -1.0f);
    EXPECT_TRUE(human->isCrouched());
    EXPECT_LT(human->getBody()->getHeadroom(), human->getBody()->getExtraHeight());
    EXPECT_LT(human->getPosition().y, CEILING_BOTTOM);

    // Out in the open it stands up at once.
    while (human->isCrouched())
    {
        drive(1, 1.0f, 0, 1.0f);
        ASSERT_LT(world->entities().getTick(), 2000);
    }
    EXPECT_GT(human->getPosition().x, -3.0f - 0.3f);
    drive(20, 0.0f);
    EXPECT_NEAR(human->getPosition().y, STANDING, 0.005f);
}

TEST_F(HumanTest, AHardLandingHurtsOnceAndRegenerationStopsAtAQuarterHealth)
{
    // A drop of a metre does nothing.
    game::Human* human = spawnPlayer(Ogre::Vector3(0.0f, 2.0f, 0.0f));
    drive(60, 0.0f);
    EXPECT_FLOAT_EQ(human->getHealth(), 1.0f);

    // From 9 m up the landing speed lies between the damage and the death speed (9 and 18).
    human->respawn(Ogre::Vector3(0.0f, 9.0f, 0.0f), false);
    std::vector<float> healths;
    float impact = 0.0f;
    for (int i = 0; i < 80; ++i)
    {
        drive(1, 0.0f);
        if (human->getHealth() < 1.0f && impact == 0.0f)
            impact = human->getBody()->getImpactSpeed();
        healths.push_back(human->getHealth());
    }
    ASSERT_GT(impact, 9.0f);
    ASSERT_LT(impact, 18.0f);
    float expected = 1.0f - (impact - 9.0f) / (18.0f - 9.0f);
    // Hurt on one tick only, by the share of the landing speed; then it regenerates no more
    // above a quarter.
    EXPECT_NEAR(healths.back(), expected, 1e-4f);
    EXPECT_EQ(log.events.size(), 1u);
    EXPECT_TRUE(log.contains(game::EventDispatcher::HumanHurt, static_cast<int>(human->getId()), 0));

    // Below a quarter health it regenerates 2 points of 100 a second, and stops at a quarter.
    human->damage(100.0f * (0.8f - (1.0f - human->getHealth())), Ogre::Vector3::ZERO, Ogre::Vector3::ZERO, 0);
    EXPECT_NEAR(human->getHealth(), 0.2f, 1e-5f);
    EXPECT_TRUE(human->isHealthCritical());
    drive(40, 0.0f);
    EXPECT_NEAR(human->getHealth(), 0.22f, 1e-4f);
    drive(400, 0.0f);
    EXPECT_NEAR(human->getHealth(), 0.25f, 2 * 0.0005f);
    EXPECT_GE(human->getHealth(), 0.25f);
}

TEST_F(HumanTest, DiesOfItsWholeIntegrityIntoAnExplosion)
{
    game::Human* human = spawnPlayer(Ogre::Vector3(0.0f, 1.0f, 0.0f));
    game::Entity* attacker = spawnPlayer(Ogre::Vector3(3.0f, 1.0f, 0.0f), false);
    drive(10, 0.0f);
    human->damage(60.0f, human->getPosition() + Ogre::Vector3(0.0f, 0.5f, 0.0f),
                  Ogre::Vector3(0.3f, -1.0f, 0.0f), attacker->getId());
    EXPECT_NEAR(human->getHealth(), 0.4f, 1e-6f);
    EXPECT_EQ(human->getState(), game::Entity::ACTIVE);
    // A hit from above splashes blood on the floor.
    EXPECT_EQ(levels.decals().getDecalCount(), 0u);
    world->tick();
    EXPECT_EQ(levels.decals().getDecalCount(), 1u);
    human->damage(40.0f, human->getPosition(), Ogre::Vector3::ZERO, attacker->getId());
    EXPECT_EQ(human->getState(), game::Entity::KILLED);
    EXPECT_FLOAT_EQ(human->getHealth(), 0.0f);
    world->tick();
    EXPECT_TRUE(log.contains(game::EventDispatcher::HumanKilled, static_cast<int>(human->getId()),
                             static_cast<int>(attacker->getId())));
    std::vector<game::Entity*> explosions;
    world->entities().findEntities(explosions, human->getPosition(), 0.5f, "explosion");
    ASSERT_EQ(explosions.size(), 1u);
    EXPECT_EQ(explosions[0]->getName(), "humanexplosion");
    EXPECT_EQ(explosions[0]->getOwnerId(), human->getId());
    // A dead human takes no more hits.
    size_t events = log.events.size();
    human->damage(10.0f, human->getPosition(), Ogre::Vector3::ZERO, 0);
    world->tick();
    EXPECT_EQ(log.events.size(), events);

    // A hundred hits of one point take the whole integrity of 100 too, though the fractions
    // they add up to fall a little short of 1 in floating point.
    game::Human* second = spawnPlayer(Ogre::Vector3(-3.0f, 1.0f, 0.0f), false);
    for (int i = 0; i < 99; ++i)
        second->damage(1.0f, second->getPosition(), Ogre::Vector3::ZERO, 0);
    EXPECT_EQ(second->getState(), game::Entity::ACTIVE);
    EXPECT_GT(second->getHealth(), 0.0f);
    second->damage(1.0f, second->getPosition(), Ogre::Vector3::ZERO, 0);
    EXPECT_EQ(second->getState(), game::Entity::KILLED);
    EXPECT_FLOAT_EQ(second->getHealth(), 0.0f);
}

TEST_F(HumanTest, FollowsTheGroundNormalUpASlopeAndJumpsFromARisingLift)
{
    game::Human* human = spawnPlayer(Ogre::Vector3(9.0f, 1.0f, 0.0f));
    drive(30, 0.0f);
    while (human->getPosition().x < 10.8f)
        drive(1, 1.0f);
    drive(12, 1.0f);
    // On the ramp the ground normal leans back against the climb, and the walk runs along it.
    Ogre::Vector3 normal = Ogre::Vector3(-2.0f, 4.0f, 0.0f).normalisedCopy();
    EXPECT_TRUE(human->isOnGround());
    EXPECT_NEAR(human->getBody()->getGroundNormal().x, normal.x, 2e-3f);
    EXPECT_NEAR(human->getBody()->getGroundNormal().y, normal.y, 2e-3f);
    Ogre::Vector3 slope(normal.y, -normal.x, 0.0f);
    // The hover spring holding the weight leans along the slope too, a little extra push uphill.
    EXPECT_NEAR(slope.dotProduct(human->getLinearVelocity()), game::HumanBody::WALK_SPEED, 0.12f);

    // A lift rising at 1 m/s: the jump adds 4.7 to the speed of the ground.
    brix::BodyTemplate* lift = world->simulator().createTemplate("testlift");
    brix::BodyTemplate::TShape box;
    box.type = brix::BodyTemplate::SHAPE_BOX;
    box.size = Ogre::Vector3(2.0f, 0.4f, 2.0f);
    lift->addShape(box);
    lift->setMass(10000.0f);
    lift->setGravityFactor(0.0f);
    lift->setLinearDamping(0.0f);
    brix::Body* body = world->simulator().createBody("testlift");
    body->deploy(Ogre::Vector3(-14.0f, 0.2f, 0.0f), Ogre::Quaternion::IDENTITY, Ogre::Vector3::UNIT_Y,
                 Ogre::Vector3::ZERO);
    human->respawn(Ogre::Vector3(-14.0f, 0.4f + 0.95f, 0.0f), false);
    drive(30, 0.0f);
    ASSERT_TRUE(human->isOnGround());
    EXPECT_NEAR(human->getBody()->getGroundVelocity().y, 1.0f, 1e-3f);
    EXPECT_NEAR(human->getLinearVelocity().y, 1.0f, 0.03f);
    drive(1, 0.0f, Button::BUTTON_JUMP);
    EXPECT_NEAR(human->getLinearVelocity().y, 1.0f + game::HumanBody::JUMP_SPEED - 9.8f * 0.025f, 0.02f);
}

TEST_F(HumanTest, AimsWithTheMeasuredWeaponHandAndStridesWithItsFeet)
{
    game::Human* human = spawnPlayer(Ogre::Vector3(0.0f, 1.0f, 0.0f));
    ASSERT_NE(human->getAnimation(), nullptr);
    drive(10, 0.0f, 0, -1.0f, 1.0f);
    EXPECT_FLOAT_EQ(human->getAimAngle(), 45.0f);
    EXPECT_FLOAT_EQ(human->getFacing(), -1.0f);
    // Facing left the measured direction is mirrored.
    EXPECT_NEAR(human->getAimDirection().x, -std::sqrt(0.5f), 0.03f);
    EXPECT_NEAR(human->getAimDirection().y, std::sqrt(0.5f), 0.03f);
    EXPECT_FLOAT_EQ(human->getAimOrigin().y,
                    human->getPosition().y + human->getAnimation()->getAimOriginHeight());

    // Walking, the legs play the walk cycle, which the interpolation advances frame by frame.
    Ogre::Entity* mesh = nullptr;
    for (const auto& object : levels.sceneManager().getMovableObjects("Entity"))
    {
        Ogre::Entity* candidate = static_cast<Ogre::Entity*>(object.second);
        if (candidate->getMesh()->getName() == "human.mesh")
            mesh = candidate;
    }
    ASSERT_NE(mesh, nullptr);
    EXPECT_FALSE(mesh->getAnimationState("walkhigh")->getEnabled());
    EXPECT_TRUE(mesh->getAnimationState("standhigh")->getEnabled());
    drive(30, -1.0f, 0, -1.0f);
    Ogre::AnimationState* walk = mesh->getAnimationState("walkhigh");
    EXPECT_TRUE(walk->getEnabled());
    // Shared between high and low by how far the hovering body stretches the legs.
    float extension = human->getBody()->getLegExtension();
    EXPECT_GT(extension, 0.5f);
    EXPECT_NEAR(walk->getWeight(), extension, 1e-4f);
    EXPECT_NEAR(mesh->getAnimationState("walklow")->getWeight(), 1.0f - extension, 1e-4f);
    float phase = walk->getTimePosition();
    drive(1, -1.0f, 0, -1.0f);
    EXPECT_NE(walk->getTimePosition(), phase);
}

TEST_F(HumanTest, StepsAsideInDepthToPassAnotherHuman)
{
    game::Human* human = spawnPlayer(Ogre::Vector3(-1.0f, 1.0f, 0.0f));
    game::Human* other = spawnPlayer(Ogre::Vector3(1.0f, 1.0f, 0.0f), false);
    drive(20, 0.0f);
    // Walking toward the other the human moves 0.8 toward the viewer until it is past.
    float deepest = 0.0f;
    while (human->getPosition().x < 2.5f)
    {
        drive(1, 0.3f);
        deepest = std::max(deepest, human->getPosition().z);
        ASSERT_LT(world->entities().getTick(), 500);
    }
    // The depth spring overshoots a little.
    EXPECT_NEAR(deepest, game::Human::PASSING_DEPTH, 0.1f);
    EXPECT_NEAR(other->getPosition().z, 0.0f, 0.01f);
    drive(40, 0.3f);
    EXPECT_NEAR(human->getPosition().z, 0.0f, 0.01f);
}

TEST_F(HumanTest, FallingOutOfTheLevelKillsByItsOwnHand)
{
    game::Human* human = spawnPlayer(Ogre::Vector3(17.0f, 1.0f, 0.0f));
    for (int i = 0; i < 200 && human->getState() == game::Entity::ACTIVE; ++i)
        drive(1, 0.0f);
    EXPECT_EQ(human->getState(), game::Entity::KILLED);
    int id = static_cast<int>(human->getId());
    EXPECT_TRUE(log.contains(game::EventDispatcher::HumanKilled, id, id));
}

TEST_F(HumanTest, ShootsOnItsShootDelayWithNoiseAndRecoilAndReloadsFromTheReserve)
{
    game::Human* human = spawnPlayer(Ogre::Vector3(0.0f, 1.0f, 0.0f));
    drive(40, 0.0f);
    uint32_t clip = 0, reserve = 0;
    ASSERT_NE(human->getWeapon(0, clip, reserve), nullptr);
    EXPECT_EQ(human->getWeapon(0, clip, reserve)->getName(), "pistol");
    EXPECT_EQ(clip, 12u);
    EXPECT_EQ(reserve, 48u);
    EXPECT_EQ(human->getWeapon(1, clip, reserve), nullptr);
    EXPECT_EQ(clip + reserve, 0u);

    // The pistol's first shot is heard and kicks back along the aim by its recoil of 2.
    int id = static_cast<int>(human->getId());
    drive(1, 0.0f, Button::BUTTON_SHOOT);
    EXPECT_NEAR(human->getRecoil().length(), 2.0f, 0.05f);
    EXPECT_LT(human->getRecoil().x, -1.9f);
    // Held, it fires again each time its 0.3 s (12 ticks) have run out: ticks 1, 13, 25, 37.
    drive(39, 0.0f, Button::BUTTON_SHOOT);
    EXPECT_EQ(noises(id), 4);
    human->getWeapon(0, clip, reserve);
    EXPECT_EQ(clip, 8u);
    EXPECT_EQ(reserve, 48u);

    // A reload fills the clip from the reserve and takes 1.2 s (48 ticks); holding the button
    // does not reload again.
    drive(10, 0.0f);
    drive(1, 0.0f, Button::BUTTON_RELOAD);
    EXPECT_TRUE(human->isReloading());
    human->getWeapon(0, clip, reserve);
    EXPECT_EQ(clip, 12u);
    EXPECT_EQ(reserve, 44u);
    drive(46, 0.0f, Button::BUTTON_RELOAD);
    EXPECT_TRUE(human->isReloading());
    drive(1, 0.0f);
    EXPECT_FALSE(human->isReloading());

    // Pulling the trigger on an empty clip reloads what is left instead of firing.
    human->getWeaponSlot(0).setRounds(0, 5);
    drive(1, 0.0f, Button::BUTTON_SHOOT);
    EXPECT_TRUE(human->isReloading());
    human->getWeapon(0, clip, reserve);
    EXPECT_EQ(clip, 5u);
    EXPECT_EQ(reserve, 0u);
    EXPECT_EQ(noises(id), 4);
    // With one weapon, switching keeps it.
    drive(60, 0.0f);
    drive(1, 0.0f, Button::BUTTON_SWITCH);
    EXPECT_EQ(human->getCurrentWeaponIndex(), 0u);
}

TEST_F(HumanTest, TakesWeaponsByHandAndPackagesByTouchAndFiresAHeavyWeaponInBursts)
{
    game::Human* human = spawnPlayer(Ogre::Vector3(0.0f, 1.0f, 0.0f));
    human->setPlayer(true);
    drive(40, 0.0f);
    int id = static_cast<int>(human->getId());
    Ogre::Vector3 beside = human->getPosition() + Ogre::Vector3(0.5f, 0.0f, 0.0f);
    auto* gun = static_cast<game::Item*>(world->create("heavyweapon", beside));
    drive(5, 0.0f);
    EXPECT_TRUE(gun->isAvailable());
    drive(1, 0.0f, Button::BUTTON_INTERACT);
    EXPECT_FALSE(gun->isAvailable());
    EXPECT_EQ(human->getCurrentWeaponIndex(), 1u);
    uint32_t clip = 0, reserve = 0;
    ASSERT_NE(human->getWeapon(1, clip, reserve), nullptr);
    EXPECT_EQ(human->getWeapon(1, clip, reserve)->getName(), "heavyweapon");
    EXPECT_EQ(clip, 30u);
    EXPECT_EQ(reserve, 120u);

    // With room ahead the heavy weapon is shouldered; held, it fires a round every 0.1 s
    // (4 ticks) and the burst is heard once.
    drive(20, 0.0f);
    EXPECT_TRUE(human->isHeavyPose());
    drive(20, 0.0f, Button::BUTTON_SHOOT);
    EXPECT_EQ(noises(id), 1);
    human->getWeapon(1, clip, reserve);
    EXPECT_EQ(clip, 24u);
    drive(10, 0.0f);
    drive(1, 0.0f, Button::BUTTON_SWITCH);
    EXPECT_EQ(human->getCurrentWeaponIndex(), 0u);

    // A second heavy weapon refills the one held, whichever is selected.
    human->getWeaponSlot(1).setRounds(0, 0);
    auto* second = static_cast<game::Item*>(world->create("heavyweapon", beside));
    drive(1, 0.0f, Button::BUTTON_INTERACT);
    EXPECT_FALSE(second->isAvailable());
    EXPECT_EQ(human->getCurrentWeaponIndex(), 0u);
    human->getWeapon(1, clip, reserve);
    EXPECT_EQ(clip, 0u);
    EXPECT_EQ(reserve, 150u);

    // Packages are taken by touch: half the health back, half a load of rounds, a key.
    human->damage(60.0f, human->getPosition(), Ogre::Vector3::ZERO, 0);
    human->getWeaponSlot(0).setRounds(12, 10);
    game::Entity* health = world->create("health", human->getPosition());
    game::Entity* ammo = world->create("ammo", human->getPosition());
    game::Entity* key = world->create("keya", human->getPosition());
    drive(1, 0.0f);
    EXPECT_NEAR(human->getHealth(), 0.9f, 1e-4f);
    human->getWeapon(0, clip, reserve);
    EXPECT_EQ(reserve, 40u);
    EXPECT_EQ(human->getKeyMask(), 1u);
    EXPECT_TRUE(log.contains(game::EventDispatcher::HealthPickedUp, id, static_cast<int>(health->getId())));
    EXPECT_TRUE(log.contains(game::EventDispatcher::AmmunitionPickedUp, id, static_cast<int>(ammo->getId())));
    EXPECT_TRUE(log.contains(game::EventDispatcher::KeyPickedUp, id, static_cast<int>(key->getId())));
    EXPECT_FALSE(static_cast<game::Item*>(health)->isAvailable());

    // Nothing goes past its maximum: health, either slot's load of rounds, shield energy.
    world->create("health", human->getPosition());
    world->create("ammo", human->getPosition());
    world->create("shieldenergy", human->getPosition());
    world->create("shieldenergy", human->getPosition());
    drive(1, 0.0f);
    EXPECT_EQ(human->getHealth(), 1.0f);
    human->getWeapon(0, clip, reserve);
    EXPECT_EQ(reserve, 60u);
    human->getWeapon(1, clip, reserve);
    EXPECT_EQ(reserve, 150u);
    EXPECT_EQ(human->getShieldEnergy(), 1.0f);
}

TEST_F(HumanTest, RaisesAShieldThatFollowsAndDrainsItAndLowersItAgain)
{
    game::Human* human = spawnPlayer(Ogre::Vector3(0.0f, 1.0f, 0.0f));
    drive(40, 0.0f);
    // No energy, no shield.
    drive(1, 0.0f, Button::BUTTON_SHIELD);
    EXPECT_EQ(human->getShieldId(), 0u);
    human->applyCheats(false, true);
    drive(1, 0.0f);
    drive(1, 0.0f, Button::BUTTON_SHIELD);
    ASSERT_NE(human->getShieldId(), 0u);
    auto* shield = static_cast<game::Shield*>(world->entities().getEntity(human->getShieldId()));
    ASSERT_EQ(shield->getType(), "shield");
    // Before the human, three quarters of a metre above the floor.
    EXPECT_NEAR(shield->getPosition().x - human->getPosition().x, game::Human::SHIELD_AHEAD, 0.05f);
    EXPECT_NEAR(shield->getPosition().y, game::Human::SHIELD_HEIGHT, 0.05f);

    // It keeps its place before a walking owner and drains a unit a second.
    drive(80, 0.3f);
    EXPECT_TRUE(shield->isOn());
    EXPECT_GT(human->getPosition().x, 1.5f);
    // Its controller trails a target moving at 1.5 m/s by about a quarter of a metre.
    EXPECT_NEAR(shield->getPosition().x - human->getPosition().x, game::Human::SHIELD_AHEAD, 0.3f);
    EXPECT_NEAR(human->getShieldEnergy(), (100.0f - 80 * 0.025f) / 100.0f, 1e-4f);

    // A second press lowers it: it fades in 0.4 s and is gone. While it fades it is still the
    // human's, so a third press raises no second shield.
    uint32_t lowered = human->getShieldId();
    drive(1, 0.0f, Button::BUTTON_SHIELD);
    EXPECT_FALSE(shield->isOn());
    drive(1, 0.0f);
    drive(1, 0.0f, Button::BUTTON_SHIELD);
    EXPECT_EQ(human->getShieldId(), lowered);
    EXPECT_FALSE(shield->isOn());
    drive(18, 0.0f);
    EXPECT_EQ(shield->getState(), game::Entity::KILLED);
    EXPECT_EQ(human->getShieldId(), 0u);
    drive(1, 0.0f, Button::BUTTON_SHIELD);
    auto* raised = static_cast<game::Shield*>(world->entities().getEntity(human->getShieldId()));
    ASSERT_NE(raised, nullptr);
    EXPECT_TRUE(raised->isOn());
}

TEST_F(HumanTest, RespawnKeepsOrDropsTheEquipmentThatCheatsFill)
{
    game::Human* human = spawnPlayer(Ogre::Vector3(0.0f, 1.0f, 0.0f));
    drive(5, 0.0f);
    human->applyCheats(false, true);
    uint32_t clip = 0, reserve = 0;
    game::Weapon* extra = human->getWeapon(1, clip, reserve);
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(reserve, static_cast<uint32_t>(extra->getRounds()));
    EXPECT_EQ(human->getKeyMask(), 0xFFFFFFFFu);
    human->getWeaponSlot(0).setRounds(3, 7);
    drive(1, 0.0f, Button::BUTTON_SWITCH);
    drive(5, 0.0f);

    human->respawn(Ogre::Vector3(-1.0f, 1.0f, 0.0f), true);
    EXPECT_EQ(human->getCurrentWeaponIndex(), 1u);
    EXPECT_EQ(human->getWeapon(1, clip, reserve), extra);
    human->getWeapon(0, clip, reserve);
    EXPECT_EQ(clip, 3u);
    EXPECT_EQ(reserve, 7u);
    EXPECT_FLOAT_EQ(human->getShieldEnergy(), 1.0f);

    // A new life without equipment starts with the initial weapon alone, keys kept.
    human->respawn(Ogre::Vector3(-1.0f, 1.0f, 0.0f), false);
    EXPECT_EQ(human->getCurrentWeaponIndex(), 0u);
    EXPECT_EQ(human->getWeapon(1, clip, reserve), nullptr);
    human->getWeapon(0, clip, reserve);
    EXPECT_EQ(clip, 12u);
    EXPECT_EQ(reserve, 48u);
    EXPECT_FLOAT_EQ(human->getShieldEnergy(), 0.0f);
    EXPECT_EQ(human->getKeyMask(), 0xFFFFFFFFu);
    EXPECT_EQ(human->getController(), &controller);
}

TEST_F(HumanTest, StateFitsARecordAndItsPrivatePartGoesOnlyToTheControllingNode)
{
    game::Human* human = spawnPlayer(Ogre::Vector3(0.0f, 1.0f, 0.0f));
    // Each weapon slot adds its definition id (8 bits) to the public part and its state,
    // counters and rounds (32 bits) to the private part.
    EXPECT_EQ(human->getStateCodec()->getSizeBits(), 91u + 2u * 8u);
    EXPECT_EQ(human->getExtraStateCodec(0)->getSizeBits(), 19u + 2u * 32u);
    EXPECT_LE(human->getStateCodec()->getSizeBytes() + human->getExtraStateCodec(0)->getSizeBytes(),
              game::EntityManager::MAX_RECORD_DATA);
    EXPECT_EQ(human->getExtraStateCodec(2), nullptr);
    human->setController(nullptr);
    EXPECT_EQ(human->getExtraStateCodec(0), nullptr);
}
} // namespace

namespace
{
// A human with a body on both sides of a link: the client's copy follows the server's walk,
// jump and turn through the replicated state alone.
TEST(HumanReplication, ClientSeesTheServersHumanWalkJumpAndTurn)
{
    test::GameOgre ogre;
    test::EntityLink link(ogre, 2, 0.0);
    link.loadEntities("<weapon><name>pistol</name><id>2</id><displayname>Pistol</displayname>"
                      "<mesh>pistol.mesh</mesh><shootdelay>0.3</shootdelay><rounds>24</rounds>"
                      "<roundsperclip>12</roundsperclip></weapon>"
                      "<human><name>player</name><id>1</id><body>human</body><weapon>pistol</weapon>"
                      "<integrity>100</integrity></human>");
    game::Controller controller(test::EntityLink::CLIENT_NODE);
    game::Human* human =
        static_cast<game::Human*>(link.server.create("player", Ogre::Vector3(0.0f, 1.0f, 0.0f)));
    human->setController(&controller);
    link.focus(human);
    auto drive = [&](int ticks, float move, unsigned buttons, float aimX)
    {
        for (int i = 0; i < ticks; ++i)
        {
            game::Controller::TInput input;
            input.tick = static_cast<unsigned short>(link.server.entities().getTick() + 1);
            input.move = move;
            input.aimX = aimX;
            input.buttons = buttons;
            controller.addInput(input);
            link.tick();
        }
    };
    drive(20, 1.0f, 0, 1.0f);
    drive(1, 1.0f, Button::BUTTON_JUMP, 1.0f);
    drive(40, -1.0f, 0, -1.0f);
    drive(10, 0.0f, 0, -1.0f);
    game::Human* copy = static_cast<game::Human*>(link.client.entities().getEntity(human->getId()));
    ASSERT_NE(copy, nullptr);
    EXPECT_GT(link.appliedRecords(), 60u);
    EXPECT_LT(copy->getPosition().distance(human->getPosition()), 0.05f);
    EXPECT_FLOAT_EQ(copy->getFacing(), -1.0f);
    EXPECT_TRUE(copy->isOnGround());
    EXPECT_NEAR(copy->getTurnAngle(), -180.0f, 180.0f / 7.0f);

    // The client shows the server's shots from the replicated shot trigger.
    drive(1, 0.0f, Button::BUTTON_SHOOT, -1.0f);
    drive(2, 0.0f, 0, -1.0f);
    EXPECT_EQ(copy->getWeaponSlot(0).getState(), game::WeaponSlot::FIRING);
    EXPECT_NE(copy->getWeaponSlot(0).getWeapon(), nullptr);

    // Crouching shows on the client's copy, body and all.
    drive(20, 0.0f, Button::BUTTON_CROUCH, -1.0f);
    ASSERT_TRUE(human->isCrouched());
    EXPECT_TRUE(copy->isCrouched());
    EXPECT_TRUE(copy->getBody()->isCrouched());
    EXPECT_LT(copy->getPosition().distance(human->getPosition()), 0.05f);

    // The client's own controller drives its copy and sends its block to the server's: an aim
    // a hair to the right of vertical arrives as 0, and both sides face left.
    game::Controller own(0);
    copy->setController(&own);
    drive(1, 0.0f, 0, 1.0f);
    for (int i = 0; i < 4; ++i)
    {
        game::Controller::TInput input;
        input.tick = static_cast<unsigned short>(link.server.entities().getTick() + 1);
        input.aimX = 0.004f;
        input.aimY = 1.0f;
        own.addInput(input);
        std::vector<unsigned char> block(game::Controller::BLOCK_SIZE);
        brix::NetworkEncodeStream out(block.data(), static_cast<unsigned>(block.size()));
        own.encodeNetworkData(0, out, 0);
        brix::NetworkDecodeStream in(block.data(), static_cast<unsigned>(block.size()));
        controller.decodeNetworkData(test::EntityLink::CLIENT_NODE, in, 0);
        link.tick();
    }
    EXPECT_FLOAT_EQ(human->getFacing(), -1.0f);
    EXPECT_FLOAT_EQ(copy->getFacing(), -1.0f);
}
} // namespace

TEST(HumanDefinition, RefusesAHumanWithoutAnInitialWeapon)
{
    test::GameOgre ogre;
    test::GameWorld world(nullptr);
    try
    {
        world.loadEntities("<human><name>unarmed</name><id>9</id></human>");
        FAIL() << "loaded a human without a weapon";
    }
    catch (const Ogre::Exception& error)
    {
        EXPECT_EQ(error.getDescription(), "No initial weapon defined for human 'unarmed'");
        EXPECT_EQ(error.getSource(), "Human::load");
    }
}
