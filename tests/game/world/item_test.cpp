#include "game/world/item.h"
#include "game/world/entitymanager.h"
#include "game/world/package.h"
#include "game/world/weapon.h"
#include "support/game/entitylink.h"
#include "support/game/gameworld.h"
#include "support/game/recordinglabel.h"

#include <OgreException.h>
#include <OgreMath.h>
#include <OgreMesh.h>
#include <OgreSceneManager.h>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace
{
const char* const ITEMS = R"(
<weapon><name>gun</name><id>40</id><displayname>Gun</displayname><mesh>pistol.mesh</mesh><spawndelay>5</spawndelay>
    <projectile><name>bullet</name><offset>0.26 0.06 0</offset><count>5</count><spread>2</spread></projectile>
    <shootdelay>0.5</shootdelay><reloaddelay>1.2</reloaddelay><rounds>60</rounds><roundsperclip>12</roundsperclip>
    <beam><range>10</range><animation>sparkly</animation></beam></weapon>
<weapon><name>bare</name><id>41</id><displayname>Bare</displayname><mesh>pistol.mesh</mesh></weapon>
<package><name>medkit</name><id>42</id><displayname>Medkit</displayname><mesh>health.mesh</mesh>
    <autopickup>true</autopickup><health>0.5</health></package>
<package><name>supplies</name><id>43</id><displayname>Supplies</displayname><mesh>ammo.mesh</mesh><spawndelay>5</spawndelay>
    <random>true</random><health>25</health><rounds>10</rounds><vials>2</vials><shieldenergy>30</shieldenergy>
    <keymask>4</keymask></package>
<package><name>keyonly</name><id>44</id><displayname>Key</displayname><mesh>key.mesh</mesh>
    <random>true</random><keymask>2</keymask></package>
<package><name>everything</name><id>45</id><displayname>All</displayname><mesh>ammo.mesh</mesh>
    <health>25</health><rounds>0.5</rounds><vials>3</vials><keymask>9</keymask><shieldenergy>40</shieldenergy></package>
<package><name>overcharge</name><id>46</id><displayname>Charge</displayname><mesh>ammo.mesh</mesh>
    <shieldenergy>150</shieldenergy></package>
<package><name>drain</name><id>47</id><displayname>Drain</displayname><mesh>ammo.mesh</mesh>
    <shieldenergy>-20</shieldenergy></package>
)";

class ItemTest : public testing::Test
{
protected:
    ItemTest() { world.loadEntities(ITEMS); }

    template <class T> T* create(const std::string& name, float x)
    {
        return static_cast<T*>(world.create(name, Ogre::Vector3(x, 0.5f, 0.0f)));
    }

    test::GameOgre ogre;
    test::GameWorld world{ogre.createSceneManager()};
};
} // namespace

// Taken at the same tick: the weapon with a 5 s delay comes back on the 200th tick after; the
// package without a delay and the dropped weapon are gone on the 41st.
TEST_F(ItemTest, TakenItemsRespawnOnTheirTickOrVanishAfterASecond)
{
    auto* gun = create<game::Weapon>("gun", 0.0f);
    auto* medkit = create<game::Package>("medkit", 2.0f);
    auto* dropped = create<game::Weapon>("gun", 4.0f);
    dropped->disableRespawn();
    world.tick(1);
    for (game::Item* item :
         {static_cast<game::Item*>(gun), static_cast<game::Item*>(medkit), static_cast<game::Item*>(dropped)})
    {
        EXPECT_TRUE(item->isAvailable());
        item->pickUp();
    }
    world.tick(40);
    EXPECT_EQ(medkit->getState(), game::Entity::ACTIVE);
    EXPECT_EQ(dropped->getState(), game::Entity::ACTIVE);
    world.tick(1);
    EXPECT_EQ(medkit->getState(), game::Entity::KILLED);
    EXPECT_EQ(dropped->getState(), game::Entity::KILLED);
    world.tick(158);
    EXPECT_FALSE(gun->isAvailable());
    world.tick(1);
    EXPECT_TRUE(gun->isAvailable());
    EXPECT_EQ(gun->getState(), game::Entity::ACTIVE);
    // Taken again, the timer starts over.
    gun->pickUp();
    world.tick(199);
    EXPECT_FALSE(gun->isAvailable());
    world.tick(1);
    EXPECT_TRUE(gun->isAvailable());
}

TEST_F(ItemTest, ClientsSeeTheAvailableFlagAndPlaceOfTheServersItem)
{
    test::EntityLink link(ogre, 2, 0.0);
    link.loadEntities(ITEMS);
    auto* gun = static_cast<game::Item*>(link.server.create("gun", Ogre::Vector3(3.0f, 1.25f, 0.0f)));
    link.focus(gun);
    EXPECT_EQ(gun->getStateCodec()->getSizeBytes(), 4u) << "12 + 12 + 7 bits of position and the flag";
    link.tick(10);
    auto* seen = static_cast<game::Item*>(link.client.entities().getEntity(gun->getId()));
    ASSERT_NE(seen, nullptr);
    EXPECT_TRUE(seen->isAvailable());
    EXPECT_NEAR(seen->getPosition().x, 3.0f, 0.07f);
    gun->pickUp();
    link.tick(10);
    EXPECT_FALSE(seen->isAvailable());
    // A client never runs the respawn timer: only the server brings it back.
    link.tick(200);
    EXPECT_TRUE(seen->isAvailable());
}

TEST_F(ItemTest, BobPhaseStaysInOneTurnWhateverTheFrame)
{
    auto* gun = create<game::Weapon>("gun", 0.0f);
    for (float seconds : {0.01f, 3.0f, 1000.0f, 0.0f, 77.7f})
    {
        gun->interpolate(seconds, 1.0f);
        EXPECT_GE(gun->getBobPhase(), 0.0f);
        EXPECT_LT(gun->getBobPhase(), Ogre::Math::TWO_PI);
    }
    // The glow is off half of the turn and peaks at 0.35.
    EXPECT_FLOAT_EQ(game::Weapon::getGlow(Ogre::Math::PI * 0.25f), 0.35f);
    EXPECT_EQ(game::Weapon::getGlow(Ogre::Math::PI * 0.75f), 0.0f);
}

TEST_F(ItemTest, DefinitionsWithoutDisplayNameOrMeshAreRefused)
{
    try
    {
        world.loadEntities("<package><name>nameless</name><id>50</id><mesh>ammo.mesh</mesh></package>");
        FAIL() << "no display name";
    }
    catch (const Ogre::Exception& e)
    {
        EXPECT_EQ(e.getDescription(), "No display name defined for item 'nameless'");
    }
    try
    {
        world.loadEntities("<weapon><name>shapeless</name><id>51</id><displayname>S</displayname></weapon>");
        FAIL() << "no mesh";
    }
    catch (const Ogre::Exception& e)
    {
        EXPECT_EQ(e.getDescription(), "No mesh defined for item 'shapeless'");
    }
}

TEST_F(ItemTest, WeaponDefinitionKeepsDefaultsOfMissingParts)
{
    auto* gun = static_cast<const game::Weapon*>(world.entities().getPrototype("gun"));
    auto* bare = static_cast<const game::Weapon*>(world.entities().getPrototype("bare"));
    EXPECT_EQ(gun->getProjectileName(), "bullet");
    EXPECT_EQ(gun->getProjectileSpeed(), 0.0f) << "a missing value inside the child is 0";
    EXPECT_EQ(gun->getProjectileCount(), 5);
    EXPECT_EQ(gun->getProjectileOffset(), Ogre::Vector3(0.26f, 0.06f, 0.0f));
    EXPECT_EQ(gun->getShootDelay(), 0.5f);
    EXPECT_EQ(gun->getRoundsPerClip(), 12);
    EXPECT_EQ(gun->getBeamRange(), 10.0f);
    EXPECT_EQ(gun->getBeamAnimation(), game::Weapon::BEAM_STRAIGHT) << "only \"electric\" animates";
    EXPECT_EQ(bare->getProjectileSpeed(), 1.0f);
    EXPECT_EQ(bare->getProjectileCount(), 1);
    EXPECT_EQ(bare->getShootDelay(), 0.0f);
    EXPECT_EQ(bare->getFlashColor(), Ogre::ColourValue::Black);
    EXPECT_EQ(bare->getFlags() & 0x300u, 0x300u) << "editnomovez and editnorotate always";
    // An instance carries the whole definition.
    auto* copy = create<game::Weapon>("gun", 0.0f);
    EXPECT_EQ(copy->getProjectileCount(), 5);
    EXPECT_EQ(copy->getDisplayName(), "Gun");
    EXPECT_EQ(copy->getSpawnDelay(), 5.0f);
}

// A random package gives one content each time it becomes available, always with its keys.
TEST_F(ItemTest, RandomPackagesChooseOneContentAnewEachTime)
{
    auto* random = create<game::Package>("supplies", 0.0f);
    std::set<std::vector<float>> seen;
    for (int i = 0; i < 60; ++i)
    {
        EXPECT_EQ(random->getKeyMask(), 4);
        const std::vector<float> given = {random->getHealth(), random->getRounds(),
                                          static_cast<float>(random->getVials()), random->getShieldEnergy()};
        seen.insert(given);
        random->pickUp();
        world.tick(200);
        ASSERT_TRUE(random->isAvailable());
    }
    // Each time exactly one of the four, and each of them in turn.
    EXPECT_EQ(seen,
              (std::set<std::vector<float>>{{25, 0, 0, 0}, {0, 10, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 30}}));

    auto* key = create<game::Package>("keyonly", 2.0f);
    EXPECT_EQ(key->getKeyMask(), 2);
    EXPECT_EQ(key->getHealth() + key->getRounds() + key->getShieldEnergy() + key->getVials(), 0.0f);

    auto* all = create<game::Package>("everything", 4.0f);
    EXPECT_EQ(all->getHealth(), 25.0f);
    EXPECT_EQ(all->getRounds(), 0.5f);
    EXPECT_EQ(all->getVials(), 3);
    EXPECT_EQ(all->getKeyMask(), 9);
    EXPECT_EQ(all->getShieldEnergy(), 40.0f);
}

TEST_F(ItemTest, ShieldEnergyOfAPackageStaysWithinTheShieldsRange)
{
    EXPECT_EQ(create<game::Package>("overcharge", 0.0f)->getShieldEnergy(), 100.0f);
    EXPECT_EQ(create<game::Package>("drain", 2.0f)->getShieldEnergy(), 0.0f);
}

TEST(Package, KeysShowAsLettersAndColours)
{
    EXPECT_EQ(game::Package::getKeyName(1), "A");
    EXPECT_EQ(game::Package::getKeyName(8), "D");
    EXPECT_EQ(game::Package::getKeyName(16), "X");
    EXPECT_EQ(game::Package::getKeyColour(4), Ogre::ColourValue(0.0f, 0.0f, 0.9f, 1.0f));
    EXPECT_EQ(game::Package::getKeyColour(16), Ogre::ColourValue::White);
    EXPECT_EQ(game::Package::getKeyColour(3), Ogre::ColourValue::White);
}

// Only the player standing at an item (within 1.0 in the x/y plane) sees its label, and
// nobody while it is taken; items taken by touch have none.
TEST_F(ItemTest, LabelShowsToThePlayersAtTheItem)
{
    Ogre::SceneManager* scene = ogre.createSceneManager();
    // The labels outlive the world, whose entities take theirs away as it goes.
    brix::LabelManager labels(scene, scene->getRootSceneNode(), "", 2);
    test::GameWorld labelled(scene);
    test::RecordingLabelFactory::registerWorldTypes(labels);
    labelled.entities().setServices(&labelled.events(), &labels, labelled.shadows(), nullptr, nullptr);
    labelled.loadEntities();
    labelled.loadEntities(ITEMS);
    auto* gun = static_cast<game::Item*>(labelled.create("gun", Ogre::Vector3(0.0f, 0.5f, 0.0f)));
    auto* medkit = static_cast<game::Item*>(labelled.create("medkit", Ogre::Vector3(5.0f, 0.5f, 0.0f)));
    EXPECT_EQ(medkit->getLabel(), nullptr);
    ASSERT_NE(gun->getLabel(), nullptr);
    game::Entity* near = labelled.create("player", Ogre::Vector3(0.8f, 0.5f, 0.0f));
    game::Entity* far = labelled.create("player", Ogre::Vector3(1.2f, 0.5f, 0.0f));
    labelled.entities().addObserver(1, 1);
    labelled.entities().addObserver(2, 1);
    labelled.entities().setObserverFocus(1, far->getId());
    labelled.entities().setObserverFocus(2, near->getId());
    labelled.tick(1);
    EXPECT_EQ(gun->getLabel()->getLayerFlags(), 2u);
    auto* label = static_cast<test::RecordingLabel*>(gun->getLabel());
    EXPECT_EQ(label->getText(), "Gun");
    EXPECT_NEAR(label->getPosition().x, 0.0f, 1e-5f);
    EXPECT_NEAR(label->getPosition().y, 0.5f + std::sin(gun->getBobPhase()) * game::Item::BOB_HEIGHT, 1e-5f);
    gun->pickUp();
    labelled.tick(1);
    EXPECT_EQ(gun->getLabel()->getLayerFlags(), 0u);
    // The label box holds the mesh in every turn about y.
    const Ogre::AxisAlignedBox& box = gun->getLabelBox();
    EXPECT_EQ(label->box, box);
    EXPECT_EQ(box.getMinimum().x, box.getMinimum().z);
    EXPECT_EQ(box.getMaximum().x, -box.getMinimum().x);
    EXPECT_NEAR(box.getMaximum().y, gun->getMesh()->getBounds().getMaximum().y * 1.6f, 1e-5f);
}
