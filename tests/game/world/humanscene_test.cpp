#include "game/level/level.h"
#include "game/world/controller.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "game/world/weaponslot.h"
#include "support/game/gameworld.h"
#include "support/game/levelscene.h"
#include "support/ogre/ogrewindow.h"
#include "support/tempdir.h"

#include "gamedata.h"

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

// The shipped player in sp01, aiming its pistol a little up, drawn as the game draws it.
// With KORVANE_UPDATE_REFERENCE set, the frame becomes docs/screens/human-weapon.png.
TEST(HumanScene, DrawsAHumanHoldingItsWeaponInALevel)
{
    test::OgreWindow window(480, 270, {"Codec_STBI"});
    test::TempDir user;
    levels::GameData data(user.path());
    game::Level level(&window.sceneManager(), &data.simulator(), user.path());
    test::prepareLevelScene(window, level, Ogre::ColourValue(0.6f, 0.6f, 0.6f), BACKGROUND);
    ASSERT_TRUE(level.load("sp01", false));
    level.createScene();

    test::GameWorld world(data.simulator(), &window.sceneManager(), &level);
    world.entities().loadEntityPrototypes(test::sourcePath("entities.xml"));
    game::Controller controller(0);
    auto* human = static_cast<game::Human*>(world.create("player", Ogre::Vector3(1.0f, 1.0f, 0.0f)));
    human->setController(&controller);
    for (int i = 0; i < 40; ++i)
    {
        game::Controller::TInput input;
        input.tick = static_cast<unsigned short>(world.entities().getTick() + 1);
        input.aimX = 1.0f;
        input.aimY = 0.3f;
        controller.addInput(input);
        world.tick();
    }
    ASSERT_TRUE(human->isOnGround());
    ASSERT_NE(human->getWeaponSlot(0).getWeapon(), nullptr);
    EXPECT_TRUE(human->getWeaponSlot(0).isVisible());
    // The pistol is in the weapon hand, in front of the body and above the hips.
    const Ogre::Vector3 hand = human->getWeaponSlot(0).getHandPosition();
    EXPECT_GT(hand.x, human->getPosition().x);
    EXPECT_GT(hand.y, human->getPosition().y);

    Ogre::Camera& camera = window.camera();
    camera.setFOVy(Ogre::Degree(30.0f));
    camera.setAspectRatio(480.0f / 270.0f);
    camera.getParentSceneNode()->setPosition(human->getPosition() + Ogre::Vector3(0.6f, 0.3f, 6.0f));
    window.renderFrame();
    const std::string frame = std::string(std::getenv("KORVANE_BINARY_DIR")) + "/human-weapon.png";
    window.renderWindow().writeContentsToFile(frame);
    if (std::getenv("KORVANE_UPDATE_REFERENCE"))
        test::writeFile(test::sourcePath("docs/screens/human-weapon.png"), test::readFile(frame));

    // The human stands in the middle of the picture, drawn over the background.
    std::string bytes = test::readFile(frame);
    ASSERT_FALSE(bytes.empty());
    Ogre::Image shot;
    shot.load(Ogre::DataStreamPtr(new Ogre::MemoryDataStream(&bytes[0], bytes.size(), false)), "png");
    unsigned drawn = 0;
    for (unsigned y = shot.getHeight() / 3; y < shot.getHeight() * 2 / 3; ++y)
        for (unsigned x = shot.getWidth() / 3; x < shot.getWidth() * 2 / 3; ++x)
        {
            const Ogre::ColourValue difference = shot.getColourAt(x, y, 0) - BACKGROUND;
            drawn += std::abs(difference.r) + std::abs(difference.g) + std::abs(difference.b) > 0.05f;
        }
    EXPECT_GT(drawn, shot.getWidth() * shot.getHeight() / 80);
}
} // namespace
