#include "support/game/levelscene.h"
#include "support/ogre/ogrewindow.h"
#include "support/tempdir.h"

#include "gamedata.h"

#include "engine/core/simulator.h"
#include "game/level/level.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"

#include <OgreCamera.h>
#include <OgreDataStream.h>
#include <OgreImage.h>
#include <OgreRenderWindow.h>
#include <OgreResourceGroupManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreTextureManager.h>
#include <OgreViewport.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace
{
const Ogre::ColourValue BACKGROUND(0.1f, 0.1f, 0.12f);

// The pixels of a PNG file that differ from the background.
unsigned drawnPixels(const std::string& file, unsigned x0, unsigned x1)
{
    std::string bytes = test::readFile(file);
    Ogre::Image shot;
    shot.load(Ogre::DataStreamPtr(new Ogre::MemoryDataStream(&bytes[0], bytes.size(), false)), "png");
    unsigned drawn = 0;
    for (unsigned y = 0; y < shot.getHeight(); ++y)
        for (unsigned x = x0; x < x1 && x < shot.getWidth(); ++x)
        {
            const Ogre::ColourValue difference = shot.getColourAt(x, y, 0) - BACKGROUND;
            drawn += std::abs(difference.r) + std::abs(difference.g) + std::abs(difference.b) > 0.05f;
        }
    return drawn;
}

// A drone, a crawler and a sentry gun of the shipped content standing in the arena, seen from
// the front. With KORVANE_UPDATE_REFERENCE set, the frame becomes docs/screens/enemies.png.
TEST(EnemiesScene, ShowsTheThreeEnemiesInALevel)
{
    std::srand(3);
    test::OgreWindow window(640, 320, {"Codec_STBI"});
    test::TempDir user;
    levels::GameData data(user.path());
    data.simulator().loadTemplates(test::sourcePath("data/entitybodies.xml"));
    game::Level level(&window.sceneManager(), &data.simulator(), user.path());
    test::prepareLevelScene(window, level, Ogre::ColourValue(1.0f, 1.0f, 1.0f), BACKGROUND);
    ASSERT_TRUE(level.load("arena", false));
    level.createScene();

    game::EventDispatcher events;
    game::EntityManager entities(&data.simulator(), &window.sceneManager(),
                                 window.sceneManager().getRootSceneNode());
    entities.setServices(&events, nullptr, nullptr, nullptr, &level);
    entities.loadEntityPrototypes(test::sourcePath("entities.xml"));

    // The floor below the middle of the level.
    const Ogre::AxisAlignedBox& box = level.getBoundingBox();
    const Ogre::Vector3 top(box.getCenter().x, box.getMaximum().y - 0.5f, 0.0f);
    brix::TTraceContact floor;
    data.simulator().traceRay(top, Ogre::Vector3(top.x, box.getMinimum().y, 0.0f), &floor, nullptr);
    ASSERT_GT(floor.normal.y, 0.5f);
    const Ogre::Vector3 ground = floor.position;
    const Ogre::Quaternion facingLeft(Ogre::Degree(180.0f), Ogre::Vector3::UNIT_Y);
    ASSERT_NE(entities.createEntity("drone", ground + Ogre::Vector3(-2.6f, 2.2f, 0.0f),
                                    Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO),
              nullptr);
    ASSERT_NE(entities.createEntity("crawler", ground + Ogre::Vector3(0.0f, 0.3f, 0.0f),
                                    Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO),
              nullptr);
    ASSERT_NE(entities.createEntity("sentrygun", ground + Ogre::Vector3(2.6f, 0.6f, 0.0f), facingLeft,
                                    Ogre::Vector3::ZERO, Ogre::Vector3::ZERO),
              nullptr);
    for (int tick = 0; tick < 10; ++tick)
    {
        entities.simulateTo(entities.nextTick());
        events.dispatch();
        entities.interpolate(game::Entity::TICK_SECONDS, 1.0f);
    }

    Ogre::Camera& camera = window.camera();
    camera.setFOVy(Ogre::Degree(30.0f));
    camera.setAspectRatio(2.0f);
    camera.setNearClipDistance(0.1f);
    camera.setFarClipDistance(500.0f);
    camera.getParentSceneNode()->setPosition(ground + Ogre::Vector3(0.0f, 1.3f, 10.0f));
    window.renderFrame();
    const std::string frame = std::string(std::getenv("KORVANE_BINARY_DIR")) + "/enemies.png";
    window.renderWindow().writeContentsToFile(frame);
    if (std::getenv("KORVANE_UPDATE_REFERENCE"))
        test::writeFile(test::sourcePath("docs/screens/enemies.png"), test::readFile(frame));
    // The level fills the picture; each third, where one enemy stands, shows it.
    EXPECT_GT(drawnPixels(frame, 0, 640), 640u * 320u / 4u);
    entities.destroyAllEntities();
}
} // namespace
