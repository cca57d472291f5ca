#include "game/world/shield.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "support/game/entitylink.h"
#include "support/game/gameworld.h"

#include <gtest/gtest.h>

using game::Shield;

namespace
{
// Gives the human exactly that much shield energy (0 to 100).
void setEnergy(game::Human* human, float energy)
{
    human->applyCheats(false, true);
    human->drainShieldEnergy(game::Human::MAX_SHIELD_ENERGY - energy);
}

float energyOf(const game::Human* human)
{
    return human->getShieldEnergy() * game::Human::MAX_SHIELD_ENERGY;
}

const char* const SHIELD = R"(
<shield><name>shield</name><id>110</id><body>shield</body><mesh>shield.mesh</mesh>
    <light><color>0.4 0.7 1</color><range>4</range></light>
    <controller><gain>2000</gain><damping>300</damping><limit>4000</limit></controller></shield>
)";

class ShieldTest : public testing::Test
{
protected:
    ShieldTest()
    {
        world.loadEntities();
        world.loadEntities(SHIELD);
        owner = static_cast<game::Human*>(world.create("player", Ogre::Vector3(0.0f, 1.0f, 0.0f)));
        shield = static_cast<Shield*>(world.create("shield", Ogre::Vector3(1.0f, 1.5f, 0.0f)));
        shield->setOwner(owner);
    }

    test::GameOgre ogre;
    test::GameWorld world{ogre.createSceneManager()};
    game::Human* owner = nullptr;
    Shield* shield = nullptr;
};
} // namespace

TEST_F(ShieldTest, DrainsAnEnergyUnitASecondAndATenthOfEachHit)
{
    // Clients read position, velocity and the on flag, and no orientation.
    EXPECT_EQ(shield->getStateCodec()->getSizeBits(), 16u + 16u + 8u + 3u * 6u + 1u);
    setEnergy(owner, 10.0f);
    world.tick(40);
    EXPECT_NEAR(energyOf(owner), 9.0f, 1e-4f);
    // Fully up after 0.4 s.
    EXPECT_FLOAT_EQ(shield->getIntensity(), 1.0f);
    shield->damage(20.0f, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO, 0);
    EXPECT_NEAR(energyOf(owner), 7.0f, 1e-4f);
    EXPECT_TRUE(shield->isOn());
}

TEST_F(ShieldTest, AnEmptyOwnerLosesTheShieldWhichFadesAndIsKilled)
{
    setEnergy(owner, 0.25f);
    world.tick(9);
    EXPECT_TRUE(shield->isOn());
    // The tenth tick drains the last of it.
    world.tick();
    EXPECT_FALSE(shield->isOn());
    EXPECT_FLOAT_EQ(energyOf(owner), 0.0f);
    // Intensity 10 ticks up falls back over 16 ticks at most; the shield dies when it is gone.
    float intensity = shield->getIntensity();
    EXPECT_NEAR(intensity, 0.625f, 1e-4f);
    int ticks = 0;
    while (shield->getState() == game::Entity::ACTIVE && ticks < 40)
    {
        world.tick();
        ++ticks;
    }
    EXPECT_EQ(ticks, 10);
    EXPECT_EQ(shield->getIntensity(), 0.0f);
    // Hits on a dead shield cost nothing.
    shield->damage(20.0f, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO, 0);
    EXPECT_FLOAT_EQ(energyOf(owner), 0.0f);
}

TEST_F(ShieldTest, GoesDownBeyondEightFromItsOwnerOrPushedOffItsTarget)
{
    setEnergy(owner, 100.0f);
    shield->getController().setTarget(Ogre::Vector3(1.0f, 1.5f, 0.0f));
    owner->setPosition(Ogre::Vector3(-6.99f, 1.5f, 0.0f));
    world.tick(5);
    EXPECT_TRUE(shield->isOn());
    owner->setPosition(Ogre::Vector3(-7.01f, 1.5f, 0.0f));
    world.tick();
    EXPECT_FALSE(shield->isOn());

    Shield* second = static_cast<Shield*>(world.create("shield", Ogre::Vector3(1.0f, 1.5f, 0.0f)));
    owner->setPosition(Ogre::Vector3(0.0f, 1.0f, 0.0f));
    second->setOwner(owner);
    second->getController().setTarget(Ogre::Vector3(1.0f, 4.0f, 0.0f));
    world.tick();
    EXPECT_FALSE(second->isOn());
}

TEST_F(ShieldTest, AnOwnerThatLeavesTheWorldTakesTheShieldDown)
{
    setEnergy(owner, 100.0f);
    world.tick(5);
    owner->kill();
    // Purged after its death ticks; the shield must not reach for it afterwards.
    world.tick(120);
    EXPECT_NE(shield->getState(), game::Entity::ACTIVE);
}

TEST(ShieldLink, AClientSeesTheShieldGoDown)
{
    test::GameOgre ogre;
    test::EntityLink link(ogre, 2, 0.0);
    link.loadEntities();
    link.server.loadEntities(SHIELD);
    link.client.loadEntities(SHIELD);
    auto* owner = static_cast<game::Human*>(link.server.create("player", Ogre::Vector3(0.0f, 1.0f, 0.0f)));
    link.focus(owner);
    auto* shield = static_cast<Shield*>(link.server.create("shield", Ogre::Vector3(1.0f, 1.5f, 0.0f)));
    shield->setOwner(owner);
    setEnergy(owner, 0.5f);
    link.tick(10);
    auto* copy = dynamic_cast<Shield*>(link.client.entities().getEntity(shield->getId()));
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->isOn());
    link.tick(15);
    EXPECT_FALSE(shield->isOn());
    EXPECT_FALSE(copy->isOn());
}
