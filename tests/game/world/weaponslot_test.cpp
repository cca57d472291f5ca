#include "game/world/weaponslot.h"
#include "game/world/entitymanager.h"
#include "game/world/weapon.h"
#include "game/world/weaponbeam.h"
#include "support/game/gameworld.h"
#include "network/networkstatecodec.h"
#include "support/logcapture.h"
#include "support/tempdir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::Contains;

namespace
{
const char* const WEAPONS = R"(
<weapon><name>gun</name><id>40</id><displayname>Gun</displayname><mesh>pistol.mesh</mesh>
    <projectile><name>shot</name><speed>20</speed><offset>0.5 0.1 0</offset></projectile>
    <shootdelay>0.5</shootdelay><reloaddelay>1.2</reloaddelay><recoil>60</recoil>
    <rounds>60</rounds><roundsperclip>12</roundsperclip></weapon>
<weapon><name>shotgun</name><id>41</id><displayname>Shotgun</displayname><mesh>pistol.mesh</mesh>
    <projectile><name>shot</name><speed>20</speed><count>5</count><spread>10</spread></projectile>
    <shootdelay>0.5</shootdelay><rounds>5</rounds><roundsperclip>12</roundsperclip></weapon>
<weapon><name>zapper</name><id>42</id><displayname>Zapper</displayname><mesh>pistol.mesh</mesh>
    <beam><range>10</range><damage>4</damage><segmentlength>0.5</segmentlength></beam>
    <shootdelay>0.15</shootdelay><timeperround>0.1</timeperround><rounds>10</rounds><roundsperclip>10</roundsperclip></weapon>
<weapon><name>chaingun</name><id>47</id><displayname>Chaingun</displayname><mesh>pistol.mesh</mesh>
    <projectile><name>shot</name><speed>20</speed></projectile>
    <shootdelay>0.15</shootdelay><timeperround>0.1</timeperround><rounds>10</rounds><roundsperclip>10</roundsperclip></weapon>
<weapon><name>broken</name><id>43</id><displayname>Broken</displayname><mesh>pistol.mesh</mesh>
    <projectile><name>nosuchshot</name></projectile><rounds>3</rounds><roundsperclip>3</roundsperclip></weapon>
<weapon><name>empty</name><id>44</id><displayname>Empty</displayname><mesh>pistol.mesh</mesh></weapon>
<projectile><name>shot</name><id>45</id><mass>0.05</mass><distancelimit>100</distancelimit></projectile>
<explosion><name>placeholder</name><id>46</id><duration>100</duration></explosion>
)";

class WeaponSlotTest : public testing::Test
{
protected:
    WeaponSlotTest()
    {
        world.loadEntities();
        world.loadEntities(WEAPONS);
        // A crate stands in for the holder's body: it takes the recoil.
        holder = world.create("crate", Ogre::Vector3(-6.0f, 0.5f, 0.0f));
        world.tick(10);
    }

    // A slot held at the hand, aiming right.
    void equip(const std::string& weapon)
    {
        slot.setWeaponId(world.entities().getPrototype(weapon)->getDefinitionId());
        slot.spawn(nullptr, holder->getId());
        update(1);
    }

    void update(int ticks, const Ogre::Vector3& aim = Ogre::Vector3::UNIT_X)
    {
        for (int i = 0; i < ticks; ++i)
        {
            world.tick(1);
            slot.update(hand, aim);
        }
    }

    std::pair<uint32_t, uint32_t> rounds() const
    {
        uint32_t clip, reserve;
        slot.getRounds(clip, reserve);
        return {clip, reserve};
    }

    std::vector<game::Entity*> shots()
    {
        std::vector<game::Entity*> found;
        world.entities().findEntities(found, Ogre::Vector3::ZERO, 0.0f, "projectile");
        return found;
    }

    test::GameOgre ogre;
    test::GameWorld world{ogre.createSceneManager()};
    game::Entity* holder = nullptr;
    Ogre::Vector3 hand{0.0f, 1.5f, 0.0f};
    game::WeaponSlot slot{&world.entities(), nullptr};
};
} // namespace

// A 0.5 s shot: firing for 10 ticks (the tick of the shot included), recovering for 10, idle
// on the 20th; one round from the clip, one projectile from the muzzle, and the holder kicked.
TEST_F(WeaponSlotTest, FiresOnTheShootDelayAndCountsRounds)
{
    equip("gun");
    EXPECT_EQ(rounds(), std::make_pair(12u, 48u));
    ASSERT_TRUE(slot.canFire());
    EXPECT_FALSE(slot.canReload()) << "a full clip";
    slot.fire(true);
    EXPECT_EQ(rounds(), std::make_pair(11u, 48u));
    std::vector<game::Entity*> fired = shots();
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_TRUE(fired[0]->getPosition().positionEquals(Ogre::Vector3(0.5f, 1.6f, 0.0f), 1e-4f));
    EXPECT_NEAR(fired[0]->getLinearVelocity().length(), 20.0f, 0.05f);
    EXPECT_EQ(fired[0]->getOwnerId(), holder->getId());
    EXPECT_EQ(fired[0]->getFlags() & game::Entity::RUNTIME_FLAGS, game::WeaponSlot::PROJECTILE_FLAGS);
    for (int tick = 0; tick < 20; ++tick)
    {
        slot.update(Ogre::Vector3(0.0f, 1.5f, 0.0f), Ogre::Vector3::UNIT_X);
        game::WeaponSlot::State expected =
            tick < 9 ? game::WeaponSlot::FIRING
                     : (tick < 19 ? game::WeaponSlot::RECOVERING : game::WeaponSlot::IDLE);
        EXPECT_EQ(slot.getState(), expected) << "tick " << tick;
        EXPECT_EQ(slot.canFire(), expected == game::WeaponSlot::IDLE) << "tick " << tick;
        if (tick == 0)
            EXPECT_FLOAT_EQ(slot.getRecoilKick(), 0.125f);
    }
    world.tick(1);
    EXPECT_LT(holder->getLinearVelocity().x, -0.5f) << "recoil pushes the holder back";

    // Reloading takes 1.2 s, 48 ticks, and fills the clip from the reserve.
    ASSERT_TRUE(slot.canReload());
    slot.reload();
    EXPECT_EQ(rounds(), std::make_pair(12u, 47u));
    for (int tick = 1; tick <= 48; ++tick)
    {
        EXPECT_FALSE(slot.canReload());
        slot.update(Ogre::Vector3(0.0f, 1.5f, 0.0f), Ogre::Vector3::UNIT_X);
        if (tick == 12)
            EXPECT_FLOAT_EQ(slot.getReloadProgress(), 0.25f);
        EXPECT_EQ(slot.isReloading(), tick < 48) << "tick " << tick;
    }
}

TEST_F(WeaponSlotTest, ReloadTakesWhatTheReserveHolds)
{
    equip("gun");
    slot.setRounds(3, 4);
    slot.reload();
    EXPECT_EQ(rounds(), std::make_pair(7u, 0u));
    update(48);
    EXPECT_FALSE(slot.canReload()) << "an empty reserve";

    slot.setInfiniteRounds(true);
    slot.setRounds(3, 4);
    slot.reload();
    EXPECT_EQ(rounds(), std::make_pair(7u, 4u));

    // Refills add a share of the full load, up to it.
    slot.setRounds(0, 10);
    slot.addRounds(0.5f);
    EXPECT_EQ(rounds(), std::make_pair(0u, 40u));
    slot.addRounds(1.0f);
    EXPECT_EQ(rounds(), std::make_pair(0u, 60u));
}

// A weapon that comes with fewer rounds than its clip holds: the clip takes them all and the
// reserve is empty, not wrapped round to four billion.
TEST_F(WeaponSlotTest, ClipTakesWhatThereIsAndReserveNeverWraps)
{
    equip("shotgun");
    EXPECT_EQ(rounds(), std::make_pair(5u, 0u));
    EXPECT_FALSE(slot.canReload());
    // Each of the five projectiles of a shot deviates on its own.
    slot.fire(false);
    std::vector<game::Entity*> fired = shots();
    ASSERT_EQ(fired.size(), 5u);
    EXPECT_FALSE(fired[0]->getLinearVelocity().positionEquals(fired[1]->getLinearVelocity(), 1e-4f));
    EXPECT_EQ(rounds(), std::make_pair(4u, 0u));

    game::WeaponSlot bare(&world.entities(), nullptr);
    bare.setWeaponId(world.entities().getPrototype("empty")->getDefinitionId());
    bare.spawn(nullptr, holder->getId());
    uint32_t clip = 7, reserve = 7;
    bare.getRounds(clip, reserve);
    EXPECT_EQ(clip + reserve, 0u);
    EXPECT_FALSE(bare.canFire());
    EXPECT_EQ(bare.getReloadProgress(), 0.0f);
}

TEST_F(WeaponSlotTest, AFullWorldSpawnsFewerProjectilesWithoutError)
{
    std::vector<game::Entity*> all;
    for (;;)
    {
        all.clear();
        world.entities().findEntities(all, Ogre::Vector3::ZERO, 0.0f, "");
        if (all.size() + 2 >= world.entities().getDynamicEntityCapacity())
            break;
        world.create("placeholder", Ogre::Vector3(50.0f, 50.0f, 0.0f));
    }
    equip("shotgun");
    EXPECT_NO_THROW(slot.fire(false));
    EXPECT_EQ(shots().size(), 2u);
    EXPECT_EQ(rounds(), std::make_pair(4u, 0u)) << "the round is spent all the same";
}

// Only a "weapon" prototype can be held, whatever id arrives from a peer.
TEST_F(WeaponSlotTest, AnIdOfAnotherKindOrOfNothingLeavesTheSlotEmpty)
{
    test::LogCapture log;
    for (const char* name : {"shot", "crate"})
    {
        slot.setWeaponId(world.entities().getPrototype(name)->getDefinitionId());
        slot.spawn(nullptr, holder->getId());
        EXPECT_EQ(slot.getWeapon(), nullptr) << name;
        EXPECT_EQ(slot.getWeaponId(), 0u);
        slot.remove();
    }
    slot.setWeaponId(200);
    slot.spawn(nullptr, holder->getId());
    EXPECT_EQ(slot.getWeapon(), nullptr);
    EXPECT_THAT(log.errors(),
                Contains("E Weapon definition 200 is not a weapon; the weapon slot stays empty"));
    // A good id after a bad one attaches.
    slot.setWeaponId(40);
    slot.refresh();
    ASSERT_NE(slot.getWeapon(), nullptr);
    EXPECT_EQ(slot.getWeapon()->getName(), "gun");
}

TEST_F(WeaponSlotTest, UnknownProjectileIsLoggedAndTheRoundStillSpent)
{
    test::LogCapture log;
    equip("broken");
    EXPECT_NO_THROW(slot.fire(false));
    EXPECT_TRUE(shots().empty());
    EXPECT_EQ(rounds(), std::make_pair(2u, 0u));
    EXPECT_THAT(log.errors(), Contains("E Entity prototype not found ('nosuchshot') for weapon 'broken'"));
}

// A continuous beam: while the trigger is held a round every 4 ticks (the timer counts from the
// tick of the shot, so the second comes 3 ticks after the first), each dealing its damage once
// to what the beam hits.
TEST_F(WeaponSlotTest, BeamDamagesWhatItHitsOncePerRound)
{
    game::Entity* target = world.create("crate", Ogre::Vector3(3.0f, 0.5f, 0.0f));
    hand = Ogre::Vector3(0.0f, 0.5f, 0.0f);
    equip("zapper");
    update(10);
    slot.fire(false);
    update(1);
    ASSERT_NE(slot.getBeam(), nullptr);
    EXPECT_NEAR(slot.getBeam()->getHitDistance(), 2.5f, 0.01f);
    EXPECT_NEAR(target->getHealth(), 0.8f, 1e-5f);
    // Held: firing again restarts the shoot delay.
    for (int tick = 1; tick < 3; ++tick)
    {
        ASSERT_TRUE(slot.canFire());
        slot.fire(false);
        update(1);
        EXPECT_NEAR(target->getHealth(), 0.8f, 1e-5f) << "tick " << tick;
    }
    slot.fire(false);
    update(1);
    EXPECT_NEAR(target->getHealth(), 0.6f, 1e-5f);
    EXPECT_EQ(rounds(), std::make_pair(8u, 0u));
    for (int tick = 0; tick < 4; ++tick)
    {
        slot.fire(false);
        update(1);
    }
    EXPECT_NEAR(target->getHealth(), 0.4f, 1e-5f) << "the third round, 4 ticks after the second";
    // Let go: the beam stops after its shoot delay.
    update(6);
    EXPECT_TRUE(slot.isIdle());
    EXPECT_NEAR(target->getHealth(), 0.4f, 1e-5f);
    EXPECT_EQ(rounds(), std::make_pair(7u, 0u));
}

// A continuous projectile weapon held down: every round it spends leaves as a projectile, the
// first on the pull and the next ones on the round timer, until the clip runs dry.
TEST_F(WeaponSlotTest, HeldContinuousWeaponLaunchesEveryRoundItSpends)
{
    equip("chaingun");
    for (int tick = 0; tick < 12; ++tick)
    {
        if (slot.canFire())
            slot.fire(false);
        update(1);
        EXPECT_EQ(shots().size(), 10u - rounds().first) << "tick " << tick;
    }
    EXPECT_EQ(rounds().first, 6u);
    for (int tick = 0; tick < 40 && slot.canFire(); ++tick)
    {
        slot.fire(false);
        update(1);
    }
    EXPECT_EQ(rounds().first, 0u);
    EXPECT_EQ(shots().size(), 10u);
}

TEST_F(WeaponSlotTest, AimingLeftTurnsTheWeaponAbout)
{
    equip("gun");
    update(2, Ogre::Vector3::NEGATIVE_UNIT_X);
    EXPECT_TRUE((slot.getHandOrientation() * Ogre::Vector3::UNIT_X)
                    .positionEquals(Ogre::Vector3::NEGATIVE_UNIT_X, 1e-4f));
    EXPECT_TRUE(
        (slot.getHandOrientation() * Ogre::Vector3::UNIT_Y).positionEquals(Ogre::Vector3::UNIT_Y, 1e-4f))
        << "a half turn about y, not upside down";
    EXPECT_TRUE(slot.getMuzzleOffset().positionEquals(Ogre::Vector3(0.0f, 0.1f, 0.0f), 1e-4f));
    // The aim marker stops at what the aim hits (from half a unit behind the muzzle), else at
    // the weapon's distance, at least 3.
    world.create("crate", Ogre::Vector3(-3.0f, 0.5f, 0.0f));
    update(1);
    EXPECT_NEAR(slot.getAimMarkerDistance(Ogre::Vector3(0.0f, 0.4f, 0.0f), Ogre::Vector3::NEGATIVE_UNIT_X),
                2.5f, 0.01f);
    EXPECT_NEAR(slot.getAimMarkerDistance(Ogre::Vector3(0.0f, 5.0f, 0.0f), Ogre::Vector3::UNIT_X), 3.0f,
                1e-5f);
}

// What a client's copy of the holder decodes: 8 bits of definition id in the first codec, 32
// bits of state, counter, round timer, clip and reserve in the second.
TEST_F(WeaponSlotTest, StateTravelsInTheHoldersTwoCodecs)
{
    equip("gun");
    slot.fire(false);
    update(3);
    brix::NetworkStateCodec first, second;
    slot.bindState(first, second);
    EXPECT_EQ(first.getSizeBits(), 8u);
    EXPECT_EQ(second.getSizeBits(), 32u);
    unsigned char a[1], b[4];
    ASSERT_TRUE(first.encode(a, sizeof(a)));
    ASSERT_TRUE(second.encode(b, sizeof(b)));

    game::WeaponSlot copy(&world.entities(), nullptr);
    brix::NetworkStateCodec copyFirst, copySecond;
    copy.bindState(copyFirst, copySecond);
    copy.spawn(nullptr, holder->getId());
    EXPECT_EQ(copy.getWeapon(), nullptr);
    copyFirst.decode(a, sizeof(a));
    copySecond.decode(b, sizeof(b));
    copy.refresh();
    ASSERT_EQ(copy.getWeapon(), slot.getWeapon());
    copySecond.decode(b, sizeof(b));
    EXPECT_EQ(copy.getState(), game::WeaponSlot::FIRING);
    uint32_t clip, reserve;
    copy.getRounds(clip, reserve);
    EXPECT_EQ(std::make_pair(clip, reserve), rounds());
    // The client copy fires its flash and sound but never launches projectiles.
    copy.setAuthoritative(false);
    for (int tick = 0; tick < 20; ++tick)
        copy.update(hand, Ogre::Vector3::UNIT_X);
    ASSERT_TRUE(copy.isIdle());
    size_t before = shots().size();
    copy.fire(false);
    EXPECT_EQ(copy.getState(), game::WeaponSlot::FIRING);
    EXPECT_EQ(shots().size(), before);

    // A definition beyond what the fields carry is clamped at load, with a line in the log, so
    // that its slot still reads back the same on the other side.
    {
        test::LogCapture log;
        world.loadEntities("<weapon><name>hoarder</name><id>48</id><displayname>Hoarder</displayname>"
                           "<mesh>pistol.mesh</mesh><projectile><name>shot</name></projectile>"
                           "<shootdelay>4</shootdelay><rounds>900</rounds><roundsperclip>200</roundsperclip>"
                           "</weapon>");
        EXPECT_EQ(log.errors(),
                  (std::vector<std::string>{
                      "E Weapon 'hoarder': shootdelay 4 does not fit its replicated state, "
                      "clamped to 3.175",
                      "E Weapon 'hoarder': rounds 900 does not fit its replicated state, clamped to 511",
                      "E Weapon 'hoarder': roundsperclip 200 does not fit its replicated state, "
                      "clamped to 127"}));
    }
    equip("hoarder");
    slot.fire(false);
    update(1);
    ASSERT_TRUE(first.encode(a, sizeof(a)));
    ASSERT_TRUE(second.encode(b, sizeof(b)));
    copyFirst.decode(a, sizeof(a));
    copy.refresh();
    copySecond.decode(b, sizeof(b));
    copy.getRounds(clip, reserve);
    EXPECT_EQ(std::make_pair(clip, reserve), rounds());
    update(70);
    for (int tick = 0; tick < 70; ++tick)
        copy.update(hand, Ogre::Vector3::UNIT_X);
    EXPECT_EQ(copy.getState(), game::WeaponSlot::RECOVERING);
    EXPECT_EQ(slot.getState(), game::WeaponSlot::RECOVERING);
}

// The shipped pistol against the shipped crate: three bullets of 10 break a crate of 30,
// each leaving its impact, and the clip counts them.
TEST(ShippedWeapons, PistolBreaksACrateInThreeShots)
{
    test::GameOgre ogre;
    test::GameWorld world(nullptr);
    world.entities().loadEntityPrototypes(test::sourcePath("entities.xml"));
    game::Entity* crate = world.create("crate", Ogre::Vector3(4.0f, 0.5f, 0.0f));
    game::Entity* holder = world.create("barrel", Ogre::Vector3(-6.0f, 0.5f, 0.0f));
    game::WeaponSlot slot(&world.entities(), nullptr);
    slot.setWeaponId(world.entities().getPrototype("pistol")->getDefinitionId());
    slot.spawn(nullptr, holder->getId());
    std::vector<game::Entity*> impacts;
    for (int shot = 1; shot <= 3; ++shot)
    {
        world.tick(1);
        slot.update(Ogre::Vector3(0.0f, 0.5f, 0.0f), Ogre::Vector3::UNIT_X);
        ASSERT_TRUE(slot.canFire()) << shot;
        slot.fire(false);
        // 0.3 s between shots; the bullet needs about 4 ticks to the crate.
        for (int tick = 0; tick < 12; ++tick)
        {
            world.tick(1);
            slot.update(Ogre::Vector3(0.0f, 0.5f, 0.0f), Ogre::Vector3::UNIT_X);
        }
        EXPECT_NEAR(crate->getHealth(), shot < 3 ? 1.0f - shot / 3.0f : 0.0f, 1e-4f) << shot;
        impacts.clear();
        world.entities().findEntities(impacts, Ogre::Vector3::ZERO, 0.0f, "explosion");
        EXPECT_GE(impacts.size(), 1u);
    }
    EXPECT_EQ(crate->getState(), game::Entity::KILLED);
    uint32_t clip, reserve;
    slot.getRounds(clip, reserve);
    EXPECT_EQ(clip, 9u);
    EXPECT_EQ(reserve, 48u);
}
