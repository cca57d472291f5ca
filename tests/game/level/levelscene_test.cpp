#include "support/game/levelscene.h"
#include "support/ogre/ogrewindow.h"
#include "support/tempdir.h"

#include "gamedata.h"

#include "game/level/level.h"
#include "game/level/levelcache.h"

#include <OgreCamera.h>
#include <OgreGpuProgramManager.h>
#include <OgreDataStream.h>
#include <OgreImage.h>
#include <OgreViewport.h>
#include <OgreRenderWindow.h>
#include <OgreResourceGroupManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreTextureManager.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
const Ogre::ColourValue BACKGROUND(0.1f, 0.1f, 0.12f);
const float FIELD_OF_VIEW = 30.0f;

// The shipped levels as the game draws them, seen from the front with the whole box in view.
// With KORVANE_UPDATE_REFERENCE set, the frames become the pictures in docs/screens/levels.
TEST(LevelScene, DrawsTheShippedLevelsWithTheirLightMapArea)
{
    test::OgreWindow window(640, 240, {"Codec_STBI"});
    test::TempDir user;
    levels::GameData data(user.path());
    game::Level level(&window.sceneManager(), &data.simulator(), user.path());
    test::prepareLevelScene(window, level, Ogre::ColourValue(0.6f, 0.6f, 0.6f), BACKGROUND);
    Ogre::Camera& camera = window.camera();
    camera.setFOVy(Ogre::Degree(FIELD_OF_VIEW));
    camera.setAspectRatio(640.0f / 240.0f);
    camera.setFarClipDistance(500.0f);

    std::vector<std::string> names;
    level.getLevelCache()->getLevelNames(names, game::LevelCache::FLAG_BUILTIN,
                                         game::LevelCache::FLAG_BUILTIN);
    ASSERT_GE(names.size(), 14u);
    for (const std::string& name : names)
    {
        SCOPED_TRACE(name);
        ASSERT_TRUE(level.load(name, false));
        level.createScene();
        const Ogre::AxisAlignedBox& box = level.getBoundingBox();
        // The light map spans the level box.
        Ogre::GpuSharedParametersPtr shared =
            Ogre::GpuProgramManager::getSingleton().getSharedParameters("ambient_lightmap");
        const float* area =
            shared->getFloatPointer(shared->getConstantDefinition("iLightMapDimensions").physicalIndex);
        EXPECT_EQ(box.getMinimum().x, area[0]);
        EXPECT_EQ(box.getMinimum().y, area[1]);
        EXPECT_EQ(box.getSize().x, area[2]);
        EXPECT_EQ(box.getSize().y, area[3]);

        const Ogre::Vector3 size = box.getSize();
        const float tangent = std::tan(Ogre::Degree(FIELD_OF_VIEW * 0.5f).valueRadians());
        const float distance =
            std::max(size.x * 0.5f / (tangent * camera.getAspectRatio()), size.y * 0.5f / tangent);
        camera.getParentSceneNode()->setPosition(box.getCenter().x, box.getCenter().y, distance);
        window.renderFrame();
        const std::string frame = std::string(std::getenv("KORVANE_BINARY_DIR")) + "/" + name + "-level.png";
        window.renderWindow().writeContentsToFile(frame);
        if (std::getenv("KORVANE_UPDATE_REFERENCE"))
            test::writeFile(test::sourcePath("docs/screens/levels/" + name + ".png"), test::readFile(frame));

        // The blocks show; a long thin walk covers only a small part of its picture.
        std::string bytes = test::readFile(frame);
        ASSERT_FALSE(bytes.empty());
        Ogre::Image shot;
        shot.load(Ogre::DataStreamPtr(new Ogre::MemoryDataStream(&bytes[0], bytes.size(), false)), "png");
        unsigned drawn = 0;
        for (unsigned y = 0; y < shot.getHeight(); ++y)
            for (unsigned x = 0; x < shot.getWidth(); ++x)
            {
                const Ogre::ColourValue difference = shot.getColourAt(x, y, 0) - BACKGROUND;
                drawn += std::abs(difference.r) + std::abs(difference.g) + std::abs(difference.b) > 0.05f;
            }
        EXPECT_GT(drawn, shot.getWidth() * shot.getHeight() / 25);
        level.clear();
    }
}
} // namespace
