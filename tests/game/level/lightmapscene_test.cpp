#include "support/game/levelbuilder.h"
#include "support/game/mapworld.h"
#include "support/ogre/ogrewindow.h"
#include "support/tempdir.h"

#include "game/world/entitymapsource.h"
#include "gamedata.h"

#include "engine/core/simulator.h"
#include "game/level/level.h"
#include "game/world/entitymanager.h"
#include "toolkit/thread.h"

#include <OgreCamera.h>
#include <OgreDataStream.h>
#include <OgreImage.h>
#include <OgreRenderWindow.h>
#include <OgreResourceGroupManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreViewport.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{
const unsigned WIDTH = 640;
const unsigned HEIGHT = 320;

// A hall with a gallery, lit by the content pack's lamps, one of them shut off by a door.
test::LevelBuilder litHall()
{
    test::LevelBuilder builder;
    builder.row("techfloor", -10, 10, 4, -0.5f).row("techceiling", -10, 10, 4, 10.5f);
    builder.column("techwall", -12.5f, 2, 10, 4).column("techwall", 12.5f, 2, 10, 4);
    builder.row("techledge", -6, 6, 4, 5);
    builder.block("techcube", Ogre::Vector3(-4, 0.5f, 0)).block("techcube", Ogre::Vector3(3, 0.5f, 0));
    builder.entity("lamp", Ogre::Vector3(-8, 3, 0)).entity("lamp", Ogre::Vector3(0, 8, 0));
    builder.entity("flickerlamp", Ogre::Vector3(9, 2, 0)).entity("doora", Ogre::Vector3(6, 1.5f, 0));
    builder.special("spstart", Ogre::Vector3(-8, 1, 0));
    return builder;
}

float brightness(const Ogre::Image& shot, const Ogre::Camera& camera, const Ogre::Vector3& point)
{
    const Ogre::Vector3 projected = camera.getProjectionMatrix() * (camera.getViewMatrix() * point);
    const unsigned x = unsigned((projected.x + 1.0f) * 0.5f * shot.getWidth());
    const unsigned y = unsigned((1.0f - projected.y) * 0.5f * shot.getHeight());
    const Ogre::ColourValue colour = shot.getColourAt(x, y, 0);
    return colour.r + colour.g + colour.b;
}

// The level scene draws its blocks lit by the light map the generator baked from the lamps.
// With KORVANE_UPDATE_REFERENCE set, the frame becomes the picture in docs/screens.
TEST(LightMapScene, BlocksShowTheBakedLightMap)
{
    test::OgreWindow window(WIDTH, HEIGHT);
    test::loadPngPlugin(window.root());
    test::TempDir user;
    levels::GameData data(user.path());
    data.simulator().loadTemplates("data/entitybodies.xml");
    game::Level level(&window.sceneManager(), &data.simulator(), user.path());
    Ogre::ResourceGroupManager::getSingleton().initialiseResourceGroup("default");
    game::EntityManager entities(&data.simulator(), nullptr, nullptr);
    entities.loadEntityPrototypes("entities.xml");
    const game::EntityMapSource source(entities);
    level.initialize(nullptr);
    ASSERT_TRUE(litHall().save(level, "hall"));
    level.updateLevelCache();
    ASSERT_TRUE(level.load("hall", false));
    level.createScene();
    EXPECT_FALSE(level.hasLightMap());
    ASSERT_TRUE(level.generateLightMap(&source));
    while (level.getMapGeneratorCount() > 0)
    {
        level.updateMapGenerators();
        brix::Thread::sleep(1);
    }
    ASSERT_TRUE(level.hasLightMap());

    window.sceneManager().setAmbientLight(Ogre::ColourValue(0.6f, 0.6f, 0.6f));
    window.renderWindow().getViewport(0)->setBackgroundColour(Ogre::ColourValue(0.1f, 0.1f, 0.12f));
    Ogre::Camera& camera = window.camera();
    camera.setAspectRatio(float(WIDTH) / HEIGHT);
    camera.setFOVy(Ogre::Degree(45));
    camera.setNearClipDistance(0.5f);
    camera.setFarClipDistance(500.0f);
    camera.getParentSceneNode()->setPosition(0, 5, 16);
    window.renderFrame();
    const std::string frame = std::string(std::getenv("KORVANE_BINARY_DIR")) + "/lightmap-scene.png";
    window.renderWindow().writeContentsToFile(frame);
    if (std::getenv("KORVANE_UPDATE_REFERENCE"))
        test::writeFile(test::sourcePath("docs/screens/lightmap.png"), test::readFile(frame));

    const Ogre::Image shot = test::MapWorld::readMap(frame);
    ASSERT_EQ(WIDTH, shot.getWidth());
    // The floor under the left lamp and beside the right one is lit; in the middle the gallery
    // shades it from the top lamp, and the closed door keeps the right lamp's light out.
    const float dark = brightness(shot, camera, Ogre::Vector3(2, 0, 1.5f));
    EXPECT_GT(brightness(shot, camera, Ogre::Vector3(-8, 0, 1.5f)), dark + 0.2f);
    EXPECT_GT(brightness(shot, camera, Ogre::Vector3(10, 0, 1.5f)), dark + 0.2f);
    EXPECT_NEAR(dark, brightness(shot, camera, Ogre::Vector3(4.5f, 0, 1.5f)), 0.1f);
    level.clear();
}
} // namespace
