#include "game/application/camera.h"
#include "game/application/hud.h"
#include "game/application/interactionlabel.h"
#include "engine/presentation/labelmanager.h"
#include "game/world/worldlabel.h"
#include "game/multiplayer/player.h"
#include "game/world/controller.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "support/game/gamerun.h"
#include "support/game/inputrig.h"
#include "support/game/localmatch.h"
#include "support/tempdir.h"

#include <OgreManualObject.h>
#include <OgreViewport.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace
{
const int KEY_SPACE = 32;
const int KEY_LEFT_CONTROL = 341;
const float TICK = 0.025f;

void hold(test::GameRun& game, int key, bool down)
{
    game.getInputManager()->keyCallback(game.getWindow(), key, 0, down ? 1 : 0, 0);
}

// Whole ticks of the game's update, each with its frame, outside the frame clock.
void runTicks(test::GameRun& game, int ticks)
{
    for (int i = 0; i < ticks; ++i)
        game.updateGame(1, TICK, 0.0f);
}

// The frame, written by the run once drawn, becomes the picture in docs/screens when
// KORVANE_UPDATE_REFERENCE is set.
std::string framePath(const std::string& name)
{
    return std::string(std::getenv("KORVANE_BINARY_DIR")) + "/" + name;
}
void keepPicture(const std::string& name)
{
    if (std::getenv("KORVANE_UPDATE_REFERENCE"))
        test::writeFile(test::sourcePath("docs/screens/" + name), test::readFile(framePath(name)));
}
} // namespace

TEST(Playing, KeysWalkRightJumpAndShootOnSp01WithTheCameraFollowing)
{
    test::UserFolder user;
    user.writeTestConfiguration({{"misc/controllerinfo", "3"}});
    std::unique_ptr<test::LocalMatch> match;
    float startX = 0, walkedX = 0, groundY = 0, peakY = -1e9f;
    unsigned int shotButtons = 0;
    uint32_t clipBefore = 0, clipAfter = 0;
    Ogre::Vector3 cameraAt;
    test::GameRun::play(
        [&](test::GameRun& game)
        {
            game.then([&](test::GameRun& game) { match.reset(new test::LocalMatch(game, "sp01")); });
            game.then(
                [&](test::GameRun& game)
                {
                    game::Human* human = match->human(0);
                    runTicks(game, 40);
                    startX = human->getPosition().x;
                    groundY = human->getPosition().y;
                    hold(game, test::KEY_RIGHT, true);
                    runTicks(game, 40);
                    hold(game, test::KEY_RIGHT, false);
                    runTicks(game, 10);
                    walkedX = human->getPosition().x;
                    hold(game, KEY_SPACE, true);
                    for (int i = 0; i < 30; ++i)
                    {
                        runTicks(game, 1);
                        peakY = std::max(peakY, human->getPosition().y);
                    }
                    hold(game, KEY_SPACE, false);
                    uint32_t reserve = 0;
                    human->getWeapon(0, clipBefore, reserve);
                    hold(game, KEY_LEFT_CONTROL, true);
                    runTicks(game, 2);
                    human->getWeapon(0, clipAfter, reserve);
                    game::Controller::TInput input;
                    game.getController(0)->getLatestInput(input);
                    shotButtons = input.buttons;
                    hold(game, KEY_LEFT_CONTROL, false);
                    // Two seconds for the camera to settle on the human.
                    runTicks(game, 80);
                    cameraAt = game.getCamera(0)->getSmoothedLookAt();
                    match->human(0)->showChatMessage("Onwards!");
                    // A caption at an object beside the human, as the world floats them.
                    auto* crate = static_cast<game::WorldLabel*>(game.getLabelManager()->addLabel(
                        "interaction", match->human(0)->getPosition() + Ogre::Vector3(-2.0f, 0.0f, 0.0f)));
                    crate->setText("Crate");
                    crate->setBoundingBox(Ogre::AxisAlignedBox(-0.5f, -0.5f, -0.5f, 0.5f, 0.5f, 0.5f));
                    crate->setPlacement(game::InteractionLabel::PLACEMENT_BELOW);
                    crate->setLayerFlags(1);
                });
            game.wait(2);
            game.then([&](test::GameRun& game) { game.screenshot(framePath("play-sp01.png")); });
            game.then([&](test::GameRun&) { match.reset(); });
        });
    // Walking for a second at up to 5.1 m/s, a jump of more than half a metre, the shoot bit.
    EXPECT_GT(walkedX - startX, 2.5f);
    EXPECT_LT(walkedX - startX, 5.2f);
    EXPECT_GT(peakY - groundY, 0.5f);
    EXPECT_EQ(1u, shotButtons & 1u);
    EXPECT_GT(clipBefore, 0u);
    EXPECT_EQ(clipBefore - 1, clipAfter);
    EXPECT_NEAR(walkedX + 4.0f, cameraAt.x, 0.5f);
    keepPicture("play-sp01.png");
}

TEST(Playing, SplitScreenPlayersWalkWithTheKeyboardAndAGamepad)
{
    // Player 2 on the first gamepad, plugged in before the game starts.
    test::FakeJoysticks joysticks(1);
    const unsigned int LEFT_X = 0;
    test::UserFolder user;
    user.writeTestConfiguration({{"player2/controller", "2"}});
    std::unique_ptr<test::LocalMatch> match;
    float moved[2] = {0, 0};
    int types[2] = {0, 0};
    test::GameRun::play(
        [&](test::GameRun& game)
        {
            game.then([&](test::GameRun& game) { match.reset(new test::LocalMatch(game, "sp01", 2)); });
            game.then(
                [&](test::GameRun& game)
                {
                    types[0] = game.getController(0)->getType();
                    types[1] = game.getController(1)->getType();
                    runTicks(game, 40);
                    const float start[2] = {match->human(0)->getPosition().x,
                                            match->human(1)->getPosition().x};
                    hold(game, test::KEY_LEFT, true);
                    test::InputRig::setAxis(0, LEFT_X, 1.0f);
                    runTicks(game, 30);
                    hold(game, test::KEY_LEFT, false);
                    test::InputRig::setAxis(0, LEFT_X, 0.0f);
                    runTicks(game, 60);
                    for (int i = 0; i < 2; ++i)
                        moved[i] = match->human(i)->getPosition().x - start[i];
                });
            game.wait(2);
            game.then([&](test::GameRun& game) { game.screenshot(framePath("play-split.png")); });
            game.then([&](test::GameRun&) { match.reset(); });
        });
    // The keyboard (with mouse aiming, the default) walks player 1 left, the stick player 2
    // right, each in its own half.
    EXPECT_EQ(2, types[0]);
    EXPECT_EQ(3, types[1]);
    EXPECT_LT(moved[0], -1.0f);
    EXPECT_GT(moved[1], 1.0f);
    keepPicture("play-split.png");
}
