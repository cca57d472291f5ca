#include "game/world/shadowmanager.h"

#include "game/world/manualshadow.h"
#include "game/world/raycastshadow.h"

#include "support/game/gameworld.h"
#include "support/ogre/headlessogre.h"
#include "support/ogre/manualobjectreader.h"

#include "engine/core/body.h"
#include "engine/core/simulator.h"

#include <OgreManualObject.h>
#include <OgreMaterialManager.h>
#include <OgreSceneManager.h>

#include <gtest/gtest.h>

namespace
{
// A scene with a floor block whose top face lies at y = ground, and a shadow manager over it.
class ShadowScene : public ::testing::Test
{
protected:
    ShadowScene() : simulator(false, 0.0125f)
    {
        simulator.loadMaterials("data/materials.xml");
        simulator.loadTemplates("data/blockbodies.xml");
        floor = simulator.createBody("techfloor");
        floor->deploy(Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO,
                      Ogre::Vector3::ZERO);
        brix::TTraceContact contact;
        simulator.traceRay(Ogre::Vector3(0, 5, 0), Ogre::Vector3(0, -5, 0), &contact, nullptr);
        ground = contact.position.y;
        manager = std::make_unique<game::ShadowManager>(
            &ogre.sceneManager(), ogre.sceneManager().getRootSceneNode(), &simulator, "blobshadow");
    }

    ~ShadowScene() override
    {
        manager.reset();
        simulator.destroyBody(floor);
        simulator.flush();
    }

    size_t drawnQuads() const
    {
        const Ogre::ManualObject& object = *manager->getManualObject();
        return !object.getSections().empty() ? test::readSection(object).triangleCount() / 2 : 0;
    }

    test::HeadlessOgre ogre;
    brix::Simulator simulator;
    brix::Body* floor = nullptr;
    float ground = 0;
    std::unique_ptr<game::ShadowManager> manager;
};
} // namespace

TEST_F(ShadowScene, ManualShadowsRedrawOnlyWhenPlacementOpacityOrVisibilityChanges)
{
    // The material as the game defines it, in its own resource group.
    Ogre::MaterialManager::getSingleton().create("blobshadow", test::dataGroup());
    game::ManualShadow* human = manager->createManualShadow();
    game::ManualShadow* crawler = manager->createManualShadow();
    human->setPlacement(Ogre::Vector3(1, 0, 0), Ogre::Vector3::UNIT_Y, 0.5f);
    crawler->setPlacement(Ogre::Vector3(4, 0, 0), Ogre::Vector3::UNIT_Y, 0.3f);
    crawler->setAlpha(0.4f);
    EXPECT_TRUE(manager->update());
    EXPECT_EQ(drawnQuads(), 2u);
    EXPECT_EQ(manager->getManualObject()->getSection(0)->getMaterial()->getGroup(), test::dataGroup());

    // The quad of the first: a square of half side 0.5 lying on the floor, white, opaque.
    const test::SectionContents drawn = test::readSection(*manager->getManualObject());
    ASSERT_EQ(drawn.positions.size(), 8u);
    const Ogre::Vector3 corners[4] = {{0.5f, 0, 0.5f}, {1.5f, 0, 0.5f}, {1.5f, 0, -0.5f}, {0.5f, 0, -0.5f}};
    const Ogre::Vector2 uvs[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_TRUE(drawn.positions[i].positionEquals(corners[i], 1e-5f)) << i << ": " << drawn.positions[i];
        EXPECT_EQ(drawn.uvs[i], uvs[i]);
    }
    EXPECT_EQ(drawn.colours[0], Ogre::ColourValue::White);
    EXPECT_NEAR(drawn.colours[4].a, 0.4f, 1.0f / 255);
    EXPECT_EQ(drawn.indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7}));

    // Frames where nothing moved, or a shadow was set to where it already is, rebuild nothing.
    human->setPlacement(Ogre::Vector3(1, 0, 0), Ogre::Vector3::UNIT_Y, 0.5f);
    crawler->setAlpha(0.4f);
    human->setVisible(true);
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_FALSE(manager->update()) << frame;

    human->setPlacement(Ogre::Vector3(1, 0, 0), Ogre::Vector3::UNIT_Y, 0.6f);
    EXPECT_TRUE(manager->update());
    EXPECT_FALSE(manager->update());
    crawler->setAlpha(0.2f);
    EXPECT_TRUE(manager->update());

    // Hiding draws the scene without the shadow; removing it hidden costs no rebuild.
    crawler->setVisible(false);
    EXPECT_TRUE(manager->update());
    EXPECT_EQ(drawnQuads(), 1u);
    manager->removeShadow(crawler);
    EXPECT_FALSE(manager->update());

    // A hidden shadow shown again comes back at once, even where it was before.
    human->setVisible(false);
    EXPECT_TRUE(manager->update());
    EXPECT_EQ(drawnQuads(), 0u);
    human->setVisible(true);
    EXPECT_TRUE(manager->update());
    EXPECT_EQ(drawnQuads(), 1u);

    // Removing a visible one rebuilds without it.
    manager->removeShadow(human);
    EXPECT_TRUE(manager->update());
    EXPECT_EQ(drawnQuads(), 0u);
}

TEST_F(ShadowScene, RayCastShadowFollowsThePropAndFadesWithHeight)
{
    game::RayCastShadow* prop = manager->createRayCastShadow();
    prop->setLength(2.0f);
    // Half a unit above the floor with radius 0.5: distance - radius = 0, full strength.
    prop->setOrigin(Ogre::Vector3(0, ground + 0.5f, 0), 0.5f, nullptr);
    EXPECT_TRUE(manager->update());
    test::SectionContents drawn = test::readSection(*manager->getManualObject());
    ASSERT_EQ(drawn.positions.size(), 4u);
    EXPECT_NEAR(drawn.positions[0].y, ground, 1e-4f);
    EXPECT_NEAR(drawn.positions[0].x, -0.5f, 1e-4f);
    EXPECT_FLOAT_EQ(drawn.colours[0].a, 1.0f);

    // Resting where it is: the ray meets the same spot, nothing is rebuilt.
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_FALSE(manager->update()) << frame;

    // At 1.25 above the floor the blob is half gone: 1 - (1.25 - 0.5) / (2 - 0.5).
    prop->setOrigin(Ogre::Vector3(0, ground + 1.25f, 0), 0.5f, nullptr);
    EXPECT_TRUE(manager->update());
    drawn = test::readSection(*manager->getManualObject());
    EXPECT_NEAR(drawn.colours[0].a, 0.5f, 1.0f / 255);

    // Beyond the ray's reach the blob disappears, once.
    prop->setOrigin(Ogre::Vector3(0, ground + 2.5f, 0), 0.5f, nullptr);
    EXPECT_TRUE(manager->update());
    EXPECT_EQ(drawnQuads(), 0u);
    EXPECT_FALSE(manager->update());

    // Sliding along the floor moves it; the ray passes the ignored body (here the floor).
    prop->setOrigin(Ogre::Vector3(1, ground + 0.5f, 0), 0.5f, nullptr);
    EXPECT_TRUE(manager->update());
    EXPECT_EQ(drawnQuads(), 1u);
    prop->setOrigin(Ogre::Vector3(1, ground + 0.5f, 0), 0.5f, floor);
    EXPECT_TRUE(manager->update());
    EXPECT_EQ(drawnQuads(), 0u);
    manager->removeShadow(prop);
}

TEST(RayCastShadow, LiesOnPropsButNotOnThoseFlaggedNoShadows)
{
    test::GameOgre ogre;
    test::GameWorld world(ogre.createSceneManager());
    world.loadEntities(R"(
<prop><name>crate</name><id>10</id><body>crate</body><mesh>crate.mesh</mesh></prop>
<prop>
    <name>hologram</name><id>11</id><attributes><noshadows>true</noshadows></attributes>
    <body>crate</body><mesh>crate.mesh</mesh>
</prop>)");
    world.create("crate", Ogre::Vector3(0, 0.5f, 0));
    world.create("hologram", Ogre::Vector3(4, 0.5f, 0));
    world.tick();

    // A lamp-sized blob held 2 above the ground: on the crate's top face, 1 below it.
    game::ShadowManager& shadows = *world.shadows();
    game::RayCastShadow* shadow = shadows.createRayCastShadow();
    shadow->setLength(3.0f);
    shadow->setOrigin(Ogre::Vector3(0, 2, 0), 0.3f, nullptr);
    EXPECT_TRUE(shadows.update());
    test::SectionContents drawn = test::readSection(*shadows.getManualObject());
    ASSERT_EQ(drawn.positions.size(), 4u);
    EXPECT_NEAR(drawn.positions[0].y, 1.0f, 1e-3f);

    // Over the hologram the ray stops at it and casts nothing, not even on the ground beyond.
    shadow->setOrigin(Ogre::Vector3(4, 2, 0), 0.3f, nullptr);
    EXPECT_TRUE(shadows.update());
    drawn = test::readSection(*shadows.getManualObject());
    EXPECT_TRUE(drawn.positions.empty());
    shadows.removeShadow(shadow);
}
