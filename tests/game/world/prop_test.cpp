#include "game/world/prop.h"
#include "engine/core/body.h"
#include "game/world/entitymanager.h"
#include "support/game/gameworld.h"
#include "support/logcapture.h"

#include "game/world/shadowmanager.h"

#include <OgreManualObject.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::Contains;
using testing::ElementsAre;

namespace
{
class PropTest : public testing::Test
{
protected:
    PropTest()
    {
        world.loadEntities();
        world.loadEntities(R"(
<prop><name>timed</name><id>50</id><mesh>crate.mesh</mesh><duration>3</duration></prop>
<prop><name>heavy</name><id>51</id><body>crate</body><mesh>crate.mesh</mesh>
    <contact><minimumspeed>4</minimumspeed><maximumspeed>8</maximumspeed></contact></prop>
<prop><name>shelf</name><id>52</id><body>crate</body><mesh>crate.mesh</mesh>
    <attributes><static>true</static></attributes></prop>
<prop><name>slowing</name><id>53</id><body>crate</body><mesh>crate.mesh</mesh><minimumvelocity>0.5</minimumvelocity></prop>
<prop><name>mine</name><id>54</id><mesh>crate.mesh</mesh>
    <proximitytrigger><delay>1</delay><range>2</range><type>human</type></proximitytrigger>
    <items><item>crate</item><height>3</height></items></prop>
)");
    }

    game::Prop* create(const std::string& name, const Ogre::Vector3& position,
                       const Ogre::Vector3& velocity = Ogre::Vector3::ZERO)
    {
        return static_cast<game::Prop*>(world.create(name, position, velocity));
    }

    test::GameOgre ogre;
    test::GameWorld world{ogre.createSceneManager()};
};
} // namespace

TEST_F(PropTest, BreaksExactlyAtItsIntegrityIntoItsExplosion)
{
    game::Prop* barrel = create("barrel", Ogre::Vector3(0.0f, 0.5f, 0.0f));
    game::Prop* crate = create("crate", Ogre::Vector3(10.0f, 0.5f, 0.0f));
    barrel->damage(9.9f, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO, 7);
    EXPECT_EQ(barrel->getState(), game::Entity::ACTIVE);
    EXPECT_NEAR(barrel->getHealth(), 0.01f, 1e-5f);
    barrel->damage(0.1f, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO, 7);
    EXPECT_EQ(barrel->getState(), game::Entity::KILLED);
    EXPECT_EQ(barrel->getHealth(), 0.0f);
    game::Entity* explosion = world.entities().getEntity(3);
    ASSERT_NE(explosion, nullptr);
    EXPECT_EQ(explosion->getName(), "barrelexplosion");
    EXPECT_EQ(explosion->getOwnerId(), 7u);
    // Its x axis points up.
    EXPECT_TRUE((explosion->getOrientation() * Ogre::Vector3::UNIT_X).positionEquals(Ogre::Vector3::UNIT_Y));
    // Dead is dead: no second explosion.
    barrel->damage(50.0f, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO, 7);
    EXPECT_EQ(world.entities().getEntity(4), nullptr);
    // Integrity 0 is unbreakable and has no health.
    game::Prop* fragment = create("fragment", Ogre::Vector3(-10.0f, 0.5f, 0.0f));
    fragment->damage(1000.0f, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO, 7);
    EXPECT_EQ(fragment->getState(), game::Entity::ACTIVE);
    EXPECT_EQ(fragment->getHealth(), 0.0f);
    EXPECT_EQ(crate->getHealth(), 1.0f);
}

TEST_F(PropTest, ExpiresOnTheTickItsAgeFirstExceedsItsDuration)
{
    game::Prop* timed = create("timed", Ogre::Vector3(0.0f, 2.0f, 0.0f));
    world.tick(120);
    EXPECT_EQ(timed->getState(), game::Entity::ACTIVE);
    world.tick(1);
    EXPECT_EQ(timed->getState(), game::Entity::KILLED);
    EXPECT_EQ(timed->getAgeTicks(), 121u);
}

TEST_F(PropTest, DiesWhenSlowOrWhenSomethingComesNearAndDropsItsItems)
{
    game::Prop* slowing = create("slowing", Ogre::Vector3(0.0f, 0.5f, 0.0f), Ogre::Vector3(3.0f, 0.0f, 0.0f));
    world.tick(1);
    EXPECT_EQ(slowing->getState(), game::Entity::ACTIVE);
    world.tick(80);
    EXPECT_EQ(slowing->getState(), game::Entity::KILLED);

    game::Prop* mine = create("mine", Ogre::Vector3(20.0f, 0.5f, 0.0f));
    world.create("player", Ogre::Vector3(21.0f, 1.0f, 0.0f));
    // Armed after its delay of 1 s.
    world.tick(39);
    EXPECT_EQ(mine->getState(), game::Entity::ACTIVE);
    world.tick(1);
    EXPECT_EQ(mine->getState(), game::Entity::KILLED);
    std::vector<game::Entity*> crates;
    world.entities().findEntities(crates, Ogre::Vector3(20.0f, 3.5f, 0.0f), 0.1f, "prop");
    ASSERT_EQ(crates.size(), 1u);
    EXPECT_EQ(crates[0]->getName(), "crate");
}

TEST_F(PropTest, StaticPropsKeepTheirPose)
{
    Ogre::Vector3 placed(0.0f, 4.0f, 0.0f);
    game::Prop* shelf = create("shelf", placed);
    world.tick(40);
    EXPECT_EQ(shelf->getPosition(), placed);
    EXPECT_EQ(shelf->getBody()->getPosition(), placed);
    shelf->applyImpulse(placed, Ogre::Vector3(0.0f, 500.0f, 0.0f));
    world.tick(40);
    EXPECT_EQ(shelf->getPosition(), placed);
}

TEST_F(PropTest, KeepsTheStrongestImpactUntilOneReachesTheContactMinimum)
{
    game::Prop* heavy = create("heavy", Ogre::Vector3(0.0f, 0.5f, 0.0f));
    world.tick(40);
    heavy->interpolate(0.025f, 1.0f);
    ASSERT_LT(heavy->getLargestImpact(), 2.0f);
    // The crate body weighs 20: impulses of 40 and 60 are impacts of 2 and 3.
    heavy->applyImpulse(heavy->getPosition(), Ogre::Vector3(0.0f, 40.0f, 0.0f));
    heavy->applyImpulse(heavy->getPosition(), Ogre::Vector3(0.0f, 0.0f, 60.0f));
    heavy->interpolate(0.025f, 1.0f);
    EXPECT_FLOAT_EQ(heavy->getLargestImpact(), 3.0f);
    heavy->applyImpulse(heavy->getPosition(), Ogre::Vector3(100.0f, 0.0f, 0.0f));
    heavy->interpolate(0.025f, 1.0f);
    EXPECT_EQ(heavy->getLargestImpact(), 0.0f);
}

TEST_F(PropTest, FollowsItsBodyAndReportsRestForTheSendRate)
{
    game::Prop* crate = create("crate", Ogre::Vector3(0.0f, 3.0f, 0.0f));
    EXPECT_EQ(crate->getMotionState(), 1);
    world.tick(10);
    EXPECT_LT(crate->getPosition().y, 3.0f);
    EXPECT_LT(crate->getLinearVelocity().y, 0.0f);
    world.tick(150);
    EXPECT_NEAR(crate->getPosition().y, 0.5f, 0.02f);
    EXPECT_EQ(crate->getMotionState(), game::Prop::MOTION_AT_REST);
    // Its blob shadow lies on the ground under it.
    Ogre::ManualObject* shadows = world.shadows()->getManualObject();
    ASSERT_EQ(shadows->getNumSections(), 1u);
    EXPECT_EQ(shadows->getSection(0)->getRenderOperation()->vertexData->vertexCount, 4u);
    // Killing takes the body out of the world; the purge removes it.
    crate->kill();
    EXPECT_FALSE(crate->getBody()->isEnabled());
    world.tick(81);
    EXPECT_EQ(world.entities().getEntity(1), nullptr);
}
