#include "game/world/explosion.h"
#include "engine/core/body.h"
#include "engine/core/bodytemplate.h"
#include "game/world/entitymanager.h"
#include "game/world/prop.h"
#include "support/game/gameworld.h"
#include "support/logcapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::Contains;

namespace
{
class ExplosionTest : public testing::Test
{
protected:
    ExplosionTest()
    {
        world.loadEntities();
        world.loadEntities(R"(
<explosion><name>blast</name><id>60</id><range>6</range><damage>6</damage><duration>0.5</duration></explosion>
<explosion><name>wide</name><id>61</id><range>6</range><damage>6</damage><radius>1</radius></explosion>
<explosion><name>implosion</name><id>62</id><range>6</range><damage>-6</damage><impulse>-200</impulse></explosion>
<explosion><name>shrapnel</name><id>63</id><duration>0</duration><fragmentcount>4</fragmentcount>
    <fragmentradius>1</fragmentradius>
    <fragment><name>fragment</name><linearspeed>6</linearspeed><spread>0</spread></fragment></explosion>
<explosion><name>dud</name><id>64</id><range>3</range><fragmentcount>2</fragmentcount>
    <fragment><name>nosuchthing</name></fragment></explosion>
<prop><name>wall</name><id>65</id><body>crate</body><mesh>crate.mesh</mesh>
    <attributes><blockdamage>true</blockdamage><immovable>true</immovable></attributes></prop>
<prop><name>target</name><id>67</id><body>crate</body><mesh>crate.mesh</mesh><integrity>20</integrity>
    <attributes><immovable>true</immovable></attributes></prop>
)");
    }

    game::Entity* blast(const std::string& name, const Ogre::Vector3& position, uint32_t owner = 0)
    {
        game::Entity* explosion = world.create(name, position, Ogre::Vector3::ZERO,
                                               Ogre::Vector3::UNIT_X.getRotationTo(Ogre::Vector3::UNIT_Y));
        explosion->setOwnerId(owner);
        return explosion;
    }

    test::GameOgre ogre;
    test::GameWorld world{ogre.createSceneManager()};
};
} // namespace

TEST_F(ExplosionTest, DamageFallsOffFromAThirdOfTheRangeToItsEdge)
{
    game::Entity* near = world.create("crate", Ogre::Vector3(2.0f, 0.5f, 0.0f));
    game::Entity* middle = world.create("crate", Ogre::Vector3(-4.0f, 0.5f, 0.0f));
    game::Entity* edge = world.create("crate", Ogre::Vector3(6.0f, 0.5f, 0.0f));
    blast("blast", Ogre::Vector3(0.0f, 0.5f, 0.0f));
    world.tick(1);
    EXPECT_NEAR(near->getHealth(), 1.0f - 6.0f / 20.0f, 1e-4f);
    EXPECT_NEAR(middle->getHealth(), 1.0f - 3.0f / 20.0f, 1e-3f);
    EXPECT_EQ(edge->getHealth(), 1.0f);
    // One blast only.
    world.tick(5);
    EXPECT_NEAR(near->getHealth(), 1.0f - 6.0f / 20.0f, 1e-4f);
}

TEST_F(ExplosionTest, PushesAwayOrPullsInAndStillDamages)
{
    world.loadEntities(
        "<explosion><name>push</name><id>66</id><range>6</range><impulse>200</impulse></explosion>");
    game::Entity* pushed = world.create("crate", Ogre::Vector3(2.0f, 0.5f, 0.0f));
    blast("push", Ogre::Vector3(0.0f, 0.5f, 0.0f));
    game::Entity* pulled = world.create("crate", Ogre::Vector3(22.0f, 0.5f, 0.0f));
    blast("implosion", Ogre::Vector3(20.0f, 0.5f, 0.0f));
    world.tick(2);
    EXPECT_GT(pushed->getLinearVelocity().x, 5.0f);
    EXPECT_EQ(pushed->getHealth(), 1.0f);
    EXPECT_LT(pulled->getLinearVelocity().x, -5.0f);
    EXPECT_NEAR(pulled->getHealth(), 0.7f, 1e-4f);
}

TEST_F(ExplosionTest, LevelGeometryAndBlockingEntitiesShield)
{
    game::Entity* hidden = world.create("crate", Ogre::Vector3(3.0f, 0.5f, 0.0f));
    world.create("wall", Ogre::Vector3(1.5f, 0.5f, 0.0f));
    game::Entity* beside = world.create("target", Ogre::Vector3(14.0f, 5.0f, 0.0f));
    world.create("wall", Ogre::Vector3(11.0f, 5.0f, 0.0f));
    // Level geometry: a body that carries no entity.
    brix::BodyTemplate* pillar = world.simulator().createTemplate("pillar");
    brix::BodyTemplate::TShape shape;
    shape.type = brix::BodyTemplate::SHAPE_BOX;
    shape.size = Ogre::Vector3(1.0f, 3.0f, 4.0f);
    pillar->addShape(shape);
    pillar->setMass(0.0f);
    world.simulator().createBody("pillar")->deploy(Ogre::Vector3(-21.5f, 1.5f, 0.0f),
                                                   Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO,
                                                   Ogre::Vector3::ZERO);
    game::Entity* behindPillar = world.create("crate", Ogre::Vector3(-23.0f, 0.5f, 0.0f));
    world.tick(1);

    blast("blast", Ogre::Vector3(0.0f, 0.5f, 0.0f));
    // With a radius, a side trace passes over the wall (the walls hang in the air).
    blast("wide", Ogre::Vector3(10.0f, 5.0f, 0.0f));
    blast("wide", Ogre::Vector3(-20.0f, 0.5f, 0.0f));
    world.tick(1);
    EXPECT_EQ(hidden->getHealth(), 1.0f);
    EXPECT_LT(beside->getHealth(), 1.0f);
    EXPECT_EQ(behindPillar->getHealth(), 1.0f);
}

TEST_F(ExplosionTest, ThrowsFragmentsAQuarterTurnApartAndDiesWithItsDuration)
{
    game::Entity* explosion = blast("shrapnel", Ogre::Vector3(0.0f, 10.0f, 0.0f), 42);
    world.tick(1);
    EXPECT_EQ(explosion->getState(), game::Entity::KILLED) << "a duration of 0 ends with the first tick";
    std::vector<game::Entity*> fragments;
    world.entities().findEntities(fragments, explosion->getPosition(), 0.0f, "prop");
    ASSERT_EQ(fragments.size(), 4u);
    Ogre::Vector3 first = fragments[0]->getLinearVelocity();
    EXPECT_NEAR(first.length(), 6.0f, 1e-4f);
    for (int i = 0; i < 4; ++i)
    {
        Ogre::Vector3 velocity = fragments[i]->getLinearVelocity();
        Ogre::Vector3 offset = fragments[i]->getPosition() - explosion->getPosition();
        EXPECT_NEAR(offset.length(), 1.0f, 1e-4f);
        EXPECT_TRUE(offset.normalisedCopy().positionEquals(velocity / 6.0f, 1e-4f));
        EXPECT_NEAR(velocity.dotProduct(first), 36.0f * std::cos(i * Ogre::Math::HALF_PI), 1e-3f);
        EXPECT_EQ(fragments[i]->getOwnerId(), 42u);
        EXPECT_EQ(fragments[i]->getFlags() & game::Entity::RUNTIME_FLAGS, game::Explosion::FRAGMENT_FLAGS);
    }
    // The first direction lies in the upper half turn.
    EXPECT_GE(std::atan2(first.y, first.x), -1e-4f);
}

TEST_F(ExplosionTest, UnknownFragmentNamesAreLoggedNotThrown)
{
    test::LogCapture log;
    blast("dud", Ogre::Vector3(0.0f, 5.0f, 0.0f));
    EXPECT_NO_THROW(world.tick(1));
    EXPECT_THAT(log.errors(), Contains("E Entity prototype not found ('nosuchthing') for entity 'dud'"));
}

// A damaged barrel bursts: the blast damages and scatters the crates around it, throws four
// fragments that vanish when their 2 s are up, and every trace of it is gone 3 s later.
TEST_F(ExplosionTest, BarrelScenario)
{
    game::Entity* barrel = world.create("barrel", Ogre::Vector3(0.0f, 0.5f, 0.0f));
    game::Entity* left = world.create("crate", Ogre::Vector3(-2.0f, 0.5f, 0.0f));
    game::Entity* right = world.create("crate", Ogre::Vector3(2.0f, 0.5f, 0.0f));
    game::Entity* far = world.create("crate", Ogre::Vector3(3.5f, 0.5f, 0.0f));
    world.tick(20);
    barrel->damage(4.0f, barrel->getPosition(), Ogre::Vector3::ZERO, 0);
    world.tick(10);
    ASSERT_EQ(barrel->getState(), game::Entity::ACTIVE);
    barrel->damage(6.0f, barrel->getPosition(), Ogre::Vector3::ZERO, 0);
    EXPECT_EQ(barrel->getState(), game::Entity::KILLED);
    world.tick(1);

    EXPECT_NEAR(left->getHealth(), 0.7f, 1e-3f);
    EXPECT_NEAR(right->getHealth(), 0.7f, 1e-3f);
    // 3.5 from the blast: (1 - 3.5 / 6) * 1.5 = 0.625 of 6 damage.
    EXPECT_NEAR(far->getHealth(), 1.0f - 3.75f / 20.0f, 1e-3f);
    world.tick(1);
    EXPECT_LT(left->getLinearVelocity().x, -1.0f);
    EXPECT_GT(right->getLinearVelocity().x, 1.0f);
    std::vector<game::Entity*> fragments;
    world.entities().findEntities(fragments, Ogre::Vector3::ZERO, 0.0f, "prop");
    EXPECT_EQ(fragments.size(), 3u + 4u);

    world.tick(80);
    fragments.clear();
    world.entities().findEntities(fragments, Ogre::Vector3::ZERO, 0.0f, "prop");
    EXPECT_EQ(fragments.size(), 3u);
    world.tick(80);
    for (unsigned id = 1; id <= 200; ++id)
    {
        game::Entity* entity = world.entities().getEntity(id);
        if (entity)
            EXPECT_EQ(entity->getName(), "crate") << id;
    }
    EXPECT_LT(left->getPosition().x, -2.5f);
    EXPECT_GT(right->getPosition().x, 2.5f);
}
