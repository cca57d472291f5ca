#include "game/application/camera.h"
#include "game/application/hud.h"
#include "game/application/keyboardcontroller.h"
#include "game/multiplayer/player.h"
#include "game/world/controller.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "support/game/gamerun.h"
#include "support/game/inputrig.h"
#include "engine/core/inputmanager.h"
#include "engine/presentation/labelmanager.h"
#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogremenuitem.h"
#include "game/multiplayer/client.h"
#include "game/multiplayer/playermanager.h"
#include "support/loopback.h"
#include "support/ogre/manualobjectreader.h"
#include "support/ogre/shownlines.h"
#include "support/tempdir.h"

#include <GLFW/glfw3.h>

#include <OgreDataStream.h>
#include <OgreFontManager.h>
#include <OgreImage.h>
#include <OgreManualObject.h>
#include <OgreSceneManager.h>
#include <OgreViewport.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

namespace
{
const int KEY_SPACE = 32;
const int KEY_LEFT_CONTROL = 341;
const int KEY_R = 82;
// Pixels on either side of the split where neither HUD may draw, at 640 x 360.
const unsigned int SEAM_BAND = 5;

void hold(test::GameRun& game, int key, bool down)
{
    game.getInputManager()->keyCallback(game.getWindow(), key, 0, down ? 1 : 0, 0);
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
// Runs ticks until the first local client plays in the match, at most ten seconds of them.
bool untilInMatch(test::GameRun& game, unsigned int clients)
{
    for (int i = 0; i < 400; ++i)
    {
        bool ready = true;
        for (unsigned int c = 0; c < clients; ++c)
            ready = ready && game.getClient(c)->getConnectionState() == game::Client::STATE_IN_MATCH &&
                    game.getCamera(c)->getPlayer() != 0;
        if (ready)
            return true;
        game.runTicks(1);
    }
    return false;
}

// The lines the first camera's HUD shows, in the game's font.
std::vector<std::string> hudLines(test::GameRun& game)
{
    Ogre::FontPtr font = Ogre::FontManager::getSingleton().getByName(
        game::HUD::FONT_NAME, Ogre::ResourceGroupManager::AUTODETECT_RESOURCE_GROUP_NAME);
    return test::shownLines(*game.getCamera(0)->getHUD()->getObject(), *font);
}

game::Human* humanOf(test::GameRun& game, unsigned int client)
{
    game::Player* player = game.getPlayerManager()->getPlayer(game.getClient(client)->getPlayerIndex());
    return player ? static_cast<game::Human*>(player->getHuman()) : nullptr;
}

// From this frame on only that render queue group is drawn; 0 draws them all again.
void drawOnly(test::GameRun& game, unsigned char group)
{
    Ogre::SceneManager* scene = game.getSceneManager();
    scene->clearSpecialCaseRenderQueues();
    if (group)
        scene->addSpecialCaseRenderQueue(group);
    scene->setSpecialCaseRenderQueueMode(group ? Ogre::SceneManager::SCRQM_INCLUDE
                                               : Ogre::SceneManager::SCRQM_EXCLUDE);
}

// What a picture split down the middle shows in each half: the pixels drawn over the views'
// dark background, the brightest channel among them, and the pixels drawn near the seam.
struct THalves
{
    unsigned int drawn[2] = {0, 0};
    float brightest[2] = {0, 0};
    unsigned int atSeam = 0;
};
THalves measureHalves(const std::string& path, unsigned int seamBand)
{
    std::string bytes = test::readFile(path);
    Ogre::Image image;
    image.load(Ogre::DataStreamPtr(new Ogre::MemoryDataStream(&bytes[0], bytes.size(), false)), "png");
    THalves halves;
    const unsigned int middle = static_cast<unsigned int>(image.getWidth() / 2);
    for (unsigned int y = 0; y < image.getHeight(); ++y)
        for (unsigned int x = 0; x < image.getWidth(); ++x)
        {
            const Ogre::ColourValue colour = image.getColourAt(x, y, 0);
            const float brightest = std::max(colour.r, std::max(colour.g, colour.b));
            if (brightest < 0.3f)
                continue;
            const int half = x < middle ? 0 : 1;
            ++halves.drawn[half];
            halves.brightest[half] = std::max(halves.brightest[half], brightest);
            if (x + seamBand >= middle && x < middle + seamBand)
                ++halves.atSeam;
        }
    return halves;
}

// Points the first player's mouse-aiming controller along a unit direction, as moving the
// mouse does. The window system's own pointer reports are cut off first, so that only the test
// aims: the window's capture of the cursor moves the pointer too.
void aimWithMouse(test::GameRun& game, const Ogre::Vector2& direction)
{
    glfwSetCursorPosCallback(game.getWindow(), nullptr);
    // The report after one far out makes the input manager's last position the origin.
    for (int report = 0; report < 2; ++report)
        game.getInputManager()->mousePositionCallback(game.getWindow(), 2000.0, 2000.0);
    const Ogre::Vector2 pointer = game.getController(0)->getPointerDirection();
    const Ogre::Vector2 motion =
        (2.0f * direction - pointer) * game::KeyboardController::MOUSE_PIXELS_PER_UNIT;
    game.getInputManager()->mousePositionCallback(game.getWindow(), motion.x, -motion.y);
}

// The horizontal middle of the hint the first player's label layer draws over the human at:
// the text at the hint's depth, below the level's title; NaN when there is none.
float hintMiddle(test::GameRun& game, const Ogre::Vector3& at)
{
    const Ogre::Vector3 hint = at + game::Player::HINT_OFFSET;
    float left = std::numeric_limits<float>::max(), right = -left;
    for (const auto& entry : game.getSceneManager()->getMovableObjects("ManualObject"))
    {
        const auto* layer = static_cast<const Ogre::ManualObject*>(entry.second);
        if (layer->getRenderQueueGroup() != brix::LabelManager::RENDER_QUEUE_GROUP ||
            layer->getVisibilityFlags() != 1u || layer->getSections().empty())
            continue;
        // The hint's line and the smaller one under it, clear of the title's a metre above.
        for (const Ogre::Vector3& p : test::readSection(*layer).positions)
            if (std::fabs(p.z - hint.z) < 0.01f && p.y > hint.y - 0.7f && p.y < hint.y + 0.45f)
            {
                left = std::min(left, p.x);
                right = std::max(right, p.x);
            }
    }
    return left <= right ? (left + right) / 2.0f : std::numeric_limits<float>::quiet_NaN();
}

// Chooses a page's item with the arrow keys and activates it with Enter, as a player would.
void choose(test::GameRun& game, const std::string& item)
{
    for (int i = 0; i < 30 && game.currentItem() != item; ++i)
        game.press(test::KEY_DOWN);
    game.press(test::KEY_ENTER);
}
} // namespace

// Single player started from the main menu: the configured keyboard walks, jumps and shoots
// through the client's controller, the client's camera follows its human and shows its HUD.
// The level's first hint stands ahead of the human, whichever way the mouse turns it.
TEST(Playing, SinglePlayerFromTheMainMenuWalksJumpsAndShootsOnSp01)
{
    test::UserFolder user;
    user.writeTestConfiguration({{"misc/controllerinfo", "3"}});
    float hintAhead[2] = {0, 0};
    float startX = 0, walkedX = 0, groundY = 0, peakY = -1e9f;
    unsigned int shotButtons = 0, mode = 0, mask = 0;
    uint32_t clipBefore = 0, clipAfter = 0;
    int viewports[2] = {-1, -1};
    bool inMatch = false, hudShown = false, sameController = false;
    std::vector<std::string> afterShot, afterReload;
    Ogre::Vector3 cameraAt;
    std::string statistics;
    test::GameRun::play(
        [&](test::GameRun& game)
        {
            game.then(
                [&](test::GameRun& game)
                {
                    choose(game, "sp");
                    game.item("sp", "level")->setValue(std::string("sp01"));
                    choose(game, "ready");
                    mode = game.getGameMode();
                    inMatch = untilInMatch(game, 1);
                    viewports[0] = game.getCamera(0)->getViewportMode();
                    viewports[1] = game.getCamera(1)->getViewportMode();
                    mask = game.getInputManager()->getListenerEnableMask();
                });
            game.then(
                [&](test::GameRun& game)
                {
                    game::Human* human = humanOf(game, 0);
                    ASSERT_NE(nullptr, human);
                    sameController = human->getController() == game.getController(0);
                    aimWithMouse(game, Ogre::Vector2(1.0f, 0.0f));
                    game.runTicks(40);
                    hintAhead[0] = hintMiddle(game, human->getPosition()) - human->getPosition().x;
                    aimWithMouse(game, Ogre::Vector2(-1.0f, 0.0f));
                    game.runTicks(1);
                    hintAhead[1] = hintMiddle(game, human->getPosition()) - human->getPosition().x;
                    aimWithMouse(game, Ogre::Vector2(1.0f, 0.0f));
                    game.runTicks(1);
                    startX = human->getPosition().x;
                    groundY = human->getPosition().y;
                    hold(game, test::KEY_RIGHT, true);
                    game.runTicks(40);
                    hold(game, test::KEY_RIGHT, false);
                    game.runTicks(10);
                    walkedX = human->getPosition().x;
                    hold(game, KEY_SPACE, true);
                    for (int i = 0; i < 30; ++i)
                    {
                        game.runTicks(1);
                        peakY = std::max(peakY, human->getPosition().y);
                    }
                    hold(game, KEY_SPACE, false);
                    uint32_t reserve = 0;
                    human->getWeapon(0, clipBefore, reserve);
                    hold(game, KEY_LEFT_CONTROL, true);
                    game.runTicks(2);
                    human->getWeapon(0, clipAfter, reserve);
                    game::Controller::TInput input;
                    game.getController(0)->getLatestInput(input);
                    shotButtons = input.buttons;
                    hold(game, KEY_LEFT_CONTROL, false);
                    // Two seconds for the camera to settle on the human.
                    game.runTicks(80);
                    cameraAt = game.getCamera(0)->getSmoothedLookAt();
                    human->showChatMessage("Onwards!");
                    game.getMessageDisplay()->clear();
                    game.onEvent(game::EventDispatcher::MenuCommand, 5, 0, "");
                    const std::vector<std::string> shown = game.getMessageDisplay()->getMessages();
                    statistics = shown.empty() ? std::string() : shown.front();
                    afterShot = hudLines(game);
                    hold(game, KEY_R, true);
                    game.runTicks(1);
                    hold(game, KEY_R, false);
                    game.runTicks(60);
                    afterReload = hudLines(game);
                });
            game.wait(2);
            game.then(
                [&](test::GameRun& game)
                {
                    Ogre::ManualObject* hud = game.getCamera(0)->getHUD()->getObject();
                    hudShown = hud->isVisible() && !hud->getSections().empty();
                    game.getMessageDisplay()->clear();
                    game.screenshot(framePath("play-sp01.png"));
                });
        });
    EXPECT_EQ(1u, mode);
    EXPECT_TRUE(inMatch);
    EXPECT_EQ(game::Camera::VIEWPORT_FULL, viewports[0]);
    EXPECT_EQ(game::Camera::VIEWPORT_NONE, viewports[1]);
    EXPECT_EQ(game::Application::INPUT_MENU | game::Application::INPUT_PLAYERS, mask);
    EXPECT_TRUE(sameController) << "the human plays with the client's controller";
    EXPECT_NEAR(game::Player::HINT_AHEAD, hintAhead[0], 0.01f) << "facing right";
    EXPECT_NEAR(-game::Player::HINT_AHEAD, hintAhead[1], 0.01f) << "facing left";
    // Walking for a second at up to 5.1 m/s, a jump of more than half a metre, the shoot bit.
    EXPECT_GT(walkedX - startX, 2.5f);
    EXPECT_LT(walkedX - startX, 5.2f);
    EXPECT_GT(peakY - groundY, 0.5f);
    EXPECT_EQ(1u, shotButtons & 1u);
    EXPECT_GT(clipBefore, 0u);
    EXPECT_EQ(clipBefore - 1, clipAfter);
    EXPECT_NEAR(walkedX + 4.0f, cameraAt.x, 0.5f);
    EXPECT_TRUE(hudShown);
    // The HUD's lines top first (blanks are not drawn): the key letters, the empty second slot,
    // then the name beside the pistol's rounds beyond its clip of 12 and the clip itself.
    typedef std::vector<std::string> Lines;
    EXPECT_EQ((Lines{"CBA", "---", "Tester(0)Pistol(48/11)"}), afterShot);
    EXPECT_EQ((Lines{"CBA", "---", "Tester(0)Pistol(47/12)"}), afterReload);
    EXPECT_EQ(0u, statistics.find("FPS: ")) << statistics;
    EXPECT_NE(std::string::npos, statistics.find(" triangles: ")) << statistics;
    keepPicture("play-sp01.png");
}

// Hosting with split screen from the host page: the window splits, the keyboard walks the first
// player and the gamepad the second, each through its own client. Each half shows its player's
// level title once and its own HUD clear of the other half's.
TEST(Playing, SplitScreenHostPlaysWithTheKeyboardAndAGamepad)
{
    test::TempDir shots;
    THalves labels, huds;
    test::FakeJoysticks joysticks(1);
    const unsigned int LEFT_X = 0;
    test::UserFolder user;
    user.writeTestConfiguration({{"player1/controller", "0"}, {"player2/controller", "2"}});
    float moved[2] = {0, 0};
    int types[2] = {0, 0};
    int viewports[2] = {-1, -1};
    int keyboardType = 0;
    unsigned int mode = 0;
    bool inMatch = false, restarted = false;
    test::GameRun::play(
        [&](test::GameRun& game)
        {
            game.then(
                [&](test::GameRun& game)
                {
                    game.item("host", "level")->setValue(std::string("arena"));
                    game.item("host", "players")->setValue(2);
                    game.item("host", "splitscreen")->setIndex(1);
                    game.item("host", "port")->setValue(std::to_string(test::freeUdpPort()));
                    choose(game, "mp");
                    choose(game, "host");
                    choose(game, "ready");
                    mode = game.getGameMode();
                    inMatch = untilInMatch(game, 2);
                    viewports[0] = game.getCamera(0)->getViewportMode();
                    viewports[1] = game.getCamera(1)->getViewportMode();
                    keyboardType = game.getController(0)->getType();
                    types[1] = game.getController(1)->getType();
                    // Two seconds for the cameras to settle on their humans, under the titles.
                    game.runTicks(80);
                    game.getMessageDisplay()->clear();
                    drawOnly(game, brix::LabelManager::RENDER_QUEUE_GROUP);
                    game.screenshot(shots.file("labels.png"));
                });
            game.then(
                [&](test::GameRun& game)
                {
                    drawOnly(game, game::HUD::RENDER_QUEUE_GROUP);
                    game.screenshot(shots.file("huds.png"));
                });
            game.then(
                [&](test::GameRun& game)
                {
                    drawOnly(game, 0);
                    labels = measureHalves(shots.file("labels.png"), 0);
                    huds = measureHalves(shots.file("huds.png"), SEAM_BAND);
                });
            game.then(
                [&](test::GameRun& game)
                {
                    game::Human* humans[2] = {humanOf(game, 0), humanOf(game, 1)};
                    ASSERT_TRUE(humans[0] && humans[1]);
                    game.runTicks(40);
                    const float start[2] = {humans[0]->getPosition().x, humans[1]->getPosition().x};
                    hold(game, test::KEY_LEFT, true);
                    test::InputRig::setAxis(0, LEFT_X, 1.0f);
                    game.runTicks(30);
                    hold(game, test::KEY_LEFT, false);
                    test::InputRig::setAxis(0, LEFT_X, 0.0f);
                    game.runTicks(60);
                    for (int i = 0; i < 2; ++i)
                        moved[i] = humans[i]->getPosition().x - start[i];
                    game.getMessageDisplay()->clear();
                });
            game.wait(2);
            game.then([&](test::GameRun& game) { game.screenshot(framePath("play-split.png")); });
            game.then(
                [&](test::GameRun& game)
                {
                    // Player 1 takes the mouse too during the match; the restarted match plays
                    // with the new controller, the old one being gone.
                    game.getConfiguration().setInteger("player1/controller", 1);
                    game.restartMatch();
                    game.runTicks(2);
                    restarted = untilInMatch(game, 2) && humanOf(game, 0) &&
                                humanOf(game, 0)->getController() == game.getController(0);
                    types[0] = game.getController(0)->getType();
                });
        });
    EXPECT_EQ(2u, mode);
    EXPECT_TRUE(inMatch);
    EXPECT_EQ(game::Camera::VIEWPORT_LEFT, viewports[0]);
    EXPECT_EQ(game::Camera::VIEWPORT_RIGHT, viewports[1]);
    EXPECT_EQ(1, keyboardType);
    EXPECT_EQ(2, types[0]);
    EXPECT_EQ(3, types[1]);
    EXPECT_TRUE(restarted);
    EXPECT_LT(moved[0], -1.0f);
    EXPECT_GT(moved[1], 1.0f);
    for (int half = 0; half < 2; ++half)
    {
        SCOPED_TRACE(half);
        // The title, white at 0.7 over the dark background (its size depends on the start), and
        // nothing drawn twice over it.
        EXPECT_GT(labels.drawn[half], 30u);
        EXPECT_LT(labels.brightest[half], 0.85f);
        EXPECT_GT(huds.drawn[half], 500u);
    }
    EXPECT_EQ(0u, huds.atSeam);
    keepPicture("play-split.png");
}
