#include "game/world/projectile.h"
#include "game/world/entitymanager.h"
#include "support/game/entitylink.h"
#include "support/game/gameworld.h"
#include "support/logcapture.h"

#include <OgreException.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::Contains;

namespace
{
const char* const PROJECTILES = R"(
<projectile><name>shot</name><id>30</id><mass>0.05</mass><mesh>projectile.mesh</mesh><damage>5</damage>
    <impulse>40</impulse><explosion>puff</explosion><noexplosiontype>human</noexplosiontype></projectile>
<projectile><name>heavyshot</name><id>31</id><mass>0.05</mass><damage>10</damage><explosion>puff</explosion>
    <explosionorientation>0</explosionorientation></projectile>
<projectile><name>quietshot</name><id>32</id><mass>0.05</mass><damage>5</damage><explosion>puff</explosion>
    <noexplosiontype>prop</noexplosiontype></projectile>
<projectile><name>limited</name><id>33</id><mass>0.05</mass><distancelimit>10</distancelimit></projectile>
<projectile><name>dud</name><id>34</id><mass>0.05</mass><explosion>nosuchexplosion</explosion></projectile>
<projectile><name>ember</name><id>37</id><mass>0.05</mass>
    <periodicdamage><range>1</range><damage>6</damage><slope>10</slope></periodicdamage></projectile>
<explosion><name>puff</name><id>35</id><duration>0.5</duration></explosion>
)";

class ProjectileTest : public testing::Test
{
protected:
    ProjectileTest()
    {
        world.loadEntities();
        world.loadEntities(PROJECTILES);
    }

    game::Entity* fire(const std::string& name, const Ogre::Vector3& from, const Ogre::Vector3& velocity,
                       uint32_t owner = 7)
    {
        game::Entity* shot = world.entities().createEntity(name);
        shot->setOwnerId(owner);
        shot->setPosition(from);
        shot->setVelocity(velocity, Ogre::Vector3::ZERO);
        shot->spawn();
        return shot;
    }

    std::vector<game::Entity*> find(const std::string& type)
    {
        std::vector<game::Entity*> found;
        world.entities().findEntities(found, Ogre::Vector3::ZERO, 0.0f, type);
        return found;
    }

    test::GameOgre ogre;
    test::GameWorld world{ogre.createSceneManager()};
};
} // namespace

// A shot flies across, hits the crate, pushes and damages it and leaves an explosion owned by
// the shooter, turned to point into the crate; a second, stronger shot bursts a barrel.
TEST_F(ProjectileTest, FliesHitsDamagesAndExplodes)
{
    game::Entity* crate = world.create("crate", Ogre::Vector3(5.0f, 0.5f, 0.0f));
    world.tick(10);
    game::Entity* shot = fire("shot", Ogre::Vector3(0.0f, 0.5f, 0.0f), Ogre::Vector3(40.0f, 0.0f, 0.0f));
    world.tick(1);
    EXPECT_EQ(shot->getState(), game::Entity::ACTIVE);
    EXPECT_NEAR(shot->getPosition().x, 1.0f, 1e-3f) << "40 m/s for one tick";
    EXPECT_NEAR(static_cast<game::Projectile*>(shot)->getTravelledDistance(), 1.0f, 1e-2f);
    world.tick(4);
    EXPECT_EQ(shot->getState(), game::Entity::KILLED);
    EXPECT_NEAR(crate->getHealth(), 0.75f, 1e-5f);
    world.tick(1);
    EXPECT_GT(crate->getLinearVelocity().x, 1.0f) << "0.05 x 40 x 40 pushes 20 kg by 4 m/s";
    std::vector<game::Entity*> puffs = find("explosion");
    ASSERT_EQ(puffs.size(), 1u);
    EXPECT_NEAR(puffs[0]->getPosition().x, 4.5f, 0.01f);
    EXPECT_EQ(puffs[0]->getOwnerId(), 7u);
    EXPECT_TRUE(
        (puffs[0]->getOrientation() * Ogre::Vector3::UNIT_X).positionEquals(Ogre::Vector3::UNIT_X, 1e-3f));

    game::Entity* barrel = world.create("barrel", Ogre::Vector3(-5.0f, 0.5f, 0.0f));
    world.tick(10);
    // Flying left with the explosion turned along the flight.
    fire("heavyshot", Ogre::Vector3(-1.0f, 0.5f, 0.0f), Ogre::Vector3(-30.0f, 0.0f, 0.0f));
    world.tick(8);
    EXPECT_EQ(barrel->getState(), game::Entity::KILLED);
    bool burst = false, turned = false;
    for (game::Entity* explosion : find("explosion"))
    {
        burst |= explosion->getName() == "barrelexplosion";
        turned |= explosion->getName() == "puff" && explosion->getPosition().x < -3.0f &&
                  (explosion->getOrientation() * Ogre::Vector3::UNIT_X)
                      .positionEquals(Ogre::Vector3::NEGATIVE_UNIT_X, 1e-3f);
    }
    EXPECT_TRUE(burst);
    EXPECT_TRUE(turned);
}

TEST_F(ProjectileTest, ListedTypesAreDamagedWithoutExplosion)
{
    game::Entity* crate = world.create("crate", Ogre::Vector3(3.0f, 0.5f, 0.0f));
    world.tick(10);
    game::Entity* shot = fire("quietshot", Ogre::Vector3(0.0f, 0.5f, 0.0f), Ogre::Vector3(40.0f, 0.0f, 0.0f));
    world.tick(5);
    EXPECT_EQ(shot->getState(), game::Entity::KILLED);
    EXPECT_NEAR(crate->getHealth(), 0.75f, 1e-5f);
    EXPECT_TRUE(find("explosion").empty());

    // A shot with only an aura burns what it hits on its last tick: 1.2 from the crate the tick
    // before, out of reach, then 6 of 20 at its face.
    game::Entity* ember = fire("ember", Ogre::Vector3(-1.8f, 0.5f, 0.0f), Ogre::Vector3(36.0f, 0.0f, 0.0f));
    world.tick(4);
    EXPECT_EQ(ember->getState(), game::Entity::ACTIVE);
    EXPECT_NEAR(crate->getHealth(), 0.75f, 1e-5f);
    world.tick(1);
    EXPECT_EQ(ember->getState(), game::Entity::KILLED);
    EXPECT_NEAR(crate->getHealth(), 0.45f, 1e-5f);
}

TEST_F(ProjectileTest, DiesOnTheFirstTickPastItsDistanceLimit)
{
    // 0.9 a tick: 9.9 after 11 ticks, 10.8 after 12.
    game::Entity* shot = fire("limited", Ogre::Vector3(0.0f, 20.0f, 0.0f), Ogre::Vector3(36.0f, 0.0f, 0.0f));
    world.tick(11);
    EXPECT_EQ(shot->getState(), game::Entity::ACTIVE);
    world.tick(1);
    EXPECT_EQ(shot->getState(), game::Entity::KILLED);

    // A joiner's copy flies the ticks after each of the host's states again, so its own count
    // says nothing: it flies on until the host's record takes it away.
    test::GameWorld joiner{ogre.createSceneManager(), false};
    joiner.loadEntities(PROJECTILES);
    game::Entity* copy =
        joiner.create("limited", Ogre::Vector3(0.0f, 20.0f, 0.0f), Ogre::Vector3(36.0f, 0.0f, 0.0f));
    joiner.tick(20);
    EXPECT_EQ(copy->getState(), game::Entity::ACTIVE);
}

TEST_F(ProjectileTest, UnknownExplosionIsLoggedAndTheShotStillDies)
{
    test::LogCapture log;
    // Straight down onto the ground, which is no entity.
    game::Entity* shot = fire("dud", Ogre::Vector3(0.0f, 0.6f, 0.0f), Ogre::Vector3(0.0f, -20.0f, 0.0f));
    EXPECT_NO_THROW(world.tick(3));
    EXPECT_EQ(shot->getState(), game::Entity::KILLED);
    EXPECT_THAT(log.errors(), Contains("E Entity prototype not found ('nosuchexplosion') for entity 'dud'"));
}

TEST_F(ProjectileTest, DefinitionNeedsAMassAboveZero)
{
    for (const char* mass : {"", "<mass>0</mass>", "<mass>-1</mass>"})
    {
        try
        {
            world.loadEntities(std::string("<projectile><name>ghost</name><id>36</id>") + mass +
                               "</projectile>");
            FAIL() << mass;
        }
        catch (const Ogre::Exception& e)
        {
            EXPECT_EQ(e.getDescription(), "No mass defined for projectile 'ghost'");
        }
    }
    const game::Entity* shot = world.entities().getPrototype("shot");
    EXPECT_EQ(shot->getFlags(), 0x40Cu) << "seethrough, noblockai and edithide";
    EXPECT_EQ(shot->getMotionState(), 1);
    EXPECT_EQ(world.entities().getPrototype("limited")->getMotionState(), 0) << "nothing to show";
}

// The client shows the server's shot in flight, but only the server damages and explodes.
TEST_F(ProjectileTest, ClientsOnlyShowTheShot)
{
    test::EntityLink link(ogre, 2, 0.0);
    link.loadEntities();
    link.loadEntities(PROJECTILES);
    game::Entity* crate = link.server.create("crate", Ogre::Vector3(8.0f, 0.5f, 0.0f));
    link.focus(crate);
    link.tick(10);
    game::Entity* shot = link.server.entities().createEntity("shot");
    shot->setPosition(Ogre::Vector3(0.0f, 0.5f, 0.0f));
    shot->setVelocity(Ogre::Vector3(20.0f, 0.0f, 0.0f), Ogre::Vector3::ZERO);
    shot->spawn();
    EXPECT_EQ(shot->getStateCodec()->getSizeBytes(), 8u) << "16 + 16 + 8 + 3 x 6 bits";
    link.tick(6);
    game::Entity* seen = link.client.entities().getEntity(shot->getId());
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->getType(), "projectile");
    EXPECT_GT(seen->getPosition().x, 1.0f);
    link.tick(20);
    game::Entity* clientCrate = link.client.entities().getEntity(crate->getId());
    ASSERT_NE(clientCrate, nullptr);
    EXPECT_NEAR(crate->getHealth(), 0.75f, 1e-5f);
    std::vector<game::Entity*> found;
    link.server.entities().findEntities(found, Ogre::Vector3::ZERO, 0.0f, "explosion");
    EXPECT_EQ(found.size(), 1u) << "one explosion, made by the server";
}
